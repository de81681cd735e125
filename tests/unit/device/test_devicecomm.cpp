// The device link on loopback only: every socket binds 127.0.0.1, port 0.
#include "base/uErrors.h"
#include "device/uDeviceComm.h"
#include "platform/Socket.h"

#include <chrono>
#include <gtest/gtest.h>

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "(no error)";
}

struct LoopbackPair : ::testing::Test {
    void SetUp() override {
        a.BindToAddress("127.0.0.1");
        b.BindToAddress("127.0.0.1");
        b.Host = "127.0.0.1";
        b.Port = a.LocalPort();
    }
    TXPort a, b;
};

} // namespace

TEST(XPortDefaults, PropertiesAndNoBroadcastPermission) {
    TXPort link;
    EXPECT_EQ(link.Host, "");
    EXPECT_EQ(link.Port, 30718);
    EXPECT_EQ(link.ReceiveTimeout, 3000);
    EXPECT_EQ(link.BufferSize, 8192);
    EXPECT_FALSE(link.BroadcastEnabled);
    EXPECT_FALSE(link.BroadcastPermitted());

    TXPort standing;
    standing.BroadcastEnabled = true;
    EXPECT_TRUE(standing.BroadcastPermitted());
}

TEST_F(LoopbackPair, DatagramArrivesWithItsSender) {
    const std::string request("\x00\x00\x00\xE4", 4);
    b.SendToHost(request);
    std::string peer;
    int port = -1;
    EXPECT_EQ(a.ReceiveDatagram(1000, peer, port), request);
    EXPECT_EQ(peer, "127.0.0.1");
    EXPECT_EQ(port, b.LocalPort());
}

TEST_F(LoopbackPair, OneCallReturnsOneDatagram) {
    b.SendToHost("first");
    b.SendToHost("second");
    std::string peer;
    int port = 0;
    EXPECT_EQ(a.ReceiveDatagram(1000, peer, port), "first");
    EXPECT_EQ(a.ReceiveDatagram(1000, peer, port), "second");
    EXPECT_EQ(a.ReceiveDatagram(0, peer, port), "");
}

TEST_F(LoopbackPair, TimeOutsReturnEmptyWithoutSender) {
    struct Case {
        int timeout;
        int receiveTimeout;
        int minMs, maxMs;
    } cases[] = {
        {80, 3000, 70, 1000},     // positive: that wait
        {0, 3000, 0, 50},         // look only
        {-1, 60, 50, 1000},       // the link's ReceiveTimeout
        {-7, 3000, 0, 50},        // other negatives never wait
        {-1, -5, 0, 50},          // a negative ReceiveTimeout neither
        {1100, 3000, 1090, 2000}, // whole seconds plus milliseconds
    };
    for (const Case& c : cases) {
        a.ReceiveTimeout = c.receiveTimeout;
        std::string peer = "x";
        int port = 7;
        auto start = Clock::now();
        EXPECT_EQ(a.ReceiveDatagram(c.timeout, peer, port), "") << c.timeout;
        auto ms = MsSince(start);
        EXPECT_GE(ms, c.minMs) << c.timeout;
        EXPECT_LE(ms, c.maxMs) << c.timeout;
        EXPECT_EQ(peer, "");
        EXPECT_EQ(port, 0);
    }
}

TEST_F(LoopbackPair, ZeroByteDatagramIsAReceiveError) {
    b.SendToHost("");
    std::string peer;
    int port = 0;
    EXPECT_EQ(ErrorOf([&] { a.ReceiveDatagram(1000, peer, port); }), "UDP Receive Error = 0.");
}

TEST_F(LoopbackPair, DatagramLargerThanBufferIsDetectedAndConsumed) {
    a.BufferSize = 16;
    b.SendToHost(std::string(16, 'x')); // fits exactly
    b.SendToHost(std::string(17, 'y')); // would be cut silently without a check
    b.SendToHost("after");
    std::string peer;
    int port = 0;
    EXPECT_EQ(a.ReceiveDatagram(1000, peer, port), std::string(16, 'x'));
    std::string error = ErrorOf([&] { a.ReceiveDatagram(1000, peer, port); });
    EXPECT_EQ(error, SocketErrorMessage(platform::MessageTooLongError()));
    EXPECT_EQ(error.rfind("Socket Error # ", 0), 0u);
    EXPECT_NE(error.find("\r\nMessage too long"), std::string::npos) << error;
    EXPECT_EQ(a.ReceiveDatagram(1000, peer, port), "after");
}

TEST_F(LoopbackPair, ErrorsOfOneDatagramAreTheirOwnKindAndTheLinkWorksOn) {
    // The search skips these and goes on; any other failure ends it.
    a.BufferSize = 16;
    b.SendToHost("");
    b.SendToHost(std::string(17, 'y'));
    b.SendToHost("after");
    std::string peer;
    int port = 0;
    EXPECT_THROW(a.ReceiveDatagram(1000, peer, port), EDatagramError);
    EXPECT_THROW(a.ReceiveDatagram(1000, peer, port), EDatagramError);
    EXPECT_EQ(a.ReceiveDatagram(1000, peer, port), "after");

    TXPort unbound;
    try {
        unbound.BindToAddress("999.1.1.1");
        ADD_FAILURE() << "bound to 999.1.1.1";
    } catch (const EDatagramError&) {
        ADD_FAILURE() << "a bind failure is not about a datagram";
    } catch (const Exception&) {
    }
}

TEST_F(LoopbackPair, SendErrors) {
    EXPECT_EQ(ErrorOf([&] { b.SendToHost(std::string(70000, 'z')); }), "Package Size Too Big.");
    b.Host = "";
    EXPECT_EQ(ErrorOf([&] { b.SendToHost("x"); }).rfind("Socket Error # ", 0), 0u);
    b.Host = "not-an-address";
    EXPECT_EQ(ErrorOf([&] { b.SendToHost("x"); }).rfind("Socket Error # ", 0), 0u);
}

TEST(XPortBind, ErrorsAreSocketErrors) {
    for (const char* address : {"999.1.1.1", "127.0.0.1.5", "abc"}) {
        TXPort link;
        std::string error = ErrorOf([&] { link.BindToAddress(address); });
        EXPECT_EQ(error.rfind("Socket Error # ", 0), 0u) << address << ": " << error;
    }
}

TEST(XPortBind, AddressInUseIsReportedByThePlatform) {
    platform::UdpSocket first, second;
    ASSERT_TRUE(first.Open());
    ASSERT_TRUE(second.Open());
    ASSERT_EQ(first.Bind("127.0.0.1", 0), 0);
    int port = 0;
    ASSERT_EQ(first.LocalPort(port), 0);
    EXPECT_EQ(second.Bind("127.0.0.1", port), platform::AddressInUseError());
}

TEST(SocketErrorText, KnownAndUnknownCodes) {
    EXPECT_EQ(SocketErrorMessage(platform::MessageTooLongError()).substr(0, 15), "Socket Error # ");
    EXPECT_FALSE(platform::SocketErrorText(platform::MessageTooLongError()).empty());
    EXPECT_EQ(platform::SocketErrorText(987654), "");
    EXPECT_EQ(SocketErrorMessage(987654), "Socket Error # 987654\r\n");
}
