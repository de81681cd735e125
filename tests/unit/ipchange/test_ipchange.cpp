// The IP change engine against recording fakes: datagram bytes, the fixed
// order of checks, both ways, and every failure's code and message.

#include "ipchange/uXPortIPChangeStrings.h"
#include "support/FakeIPChangeServices.h"

#include <gtest/gtest.h>

namespace {

using namespace IPChangeStrings;

const std::string Sent = SIPChangeRequestSent;
const std::string Failed = SIPChangeError;

struct TDatagramCase {
    const char* mac;
    const char* ip;
    const char* hex;
};

class IpSetupDatagram : public testing::TestWithParam<TDatagramCase> {};

TEST_P(IpSetupDatagram, BytesAsBroadcastThroughTheAdapter) {
    const TDatagramCase& c = GetParam();
    TFakeEngine f;
    std::string message;
    int code = -1;
    EXPECT_TRUE(f.engine->ChangeIP(c.mac, c.ip, "10.0.0.1", message, code));
    EXPECT_EQ(code, IPChangeRequestSent);
    EXPECT_EQ(message, Sent);
    ASSERT_EQ(f.net.datagrams.size(), 1u);
    EXPECT_EQ(f.net.datagrams[0].size(), 20u);
    const std::vector<std::string> expected = {std::string("ping ") + c.ip + " 500 3",
                                               "bind 10.0.0.1", std::string("send 30718 ") + c.hex};
    EXPECT_EQ(f.net.events, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Engine, IpSetupDatagram,
    testing::Values(TDatagramCase{"00-11-22-33-44-55", "192.168.1.50",
                                  "00 00 00 FC 49 50 2D 53 45 54 55 50 00 00 44 55 C0 A8 01 32"},
                    // Lower case gives the same suffix bytes as upper case.
                    TDatagramCase{"00-11-22-33-aa-bb", "192.168.1.50",
                                  "00 00 00 FC 49 50 2D 53 45 54 55 50 00 00 AA BB C0 A8 01 32"},
                    // DHCP: four zero bytes are sent, not dropped.
                    TDatagramCase{"00-20-4A-01-02-03", "0.0.0.0",
                                  "00 00 00 FC 49 50 2D 53 45 54 55 50 00 00 02 03 00 00 00 00"},
                    // Leading zeros are decimal.
                    TDatagramCase{"00-20-4A-01-02-03", "010.077.001.009",
                                  "00 00 00 FC 49 50 2D 53 45 54 55 50 00 00 02 03 0A 4D 01 09"}));

TEST(MacSuffix, FifthAndSixthPairInUpperCase) {
    EXPECT_EQ(TXPortIPChange::MacSuffix("00-11-22-33-44-55"), "4455");
    EXPECT_EQ(TXPortIPChange::MacSuffix("00-11-22-33-aa-bB"), "AABB");
    EXPECT_EQ(TXPortIPChange::MacSuffix("00:11:22:33:44:55"), "0000");
    EXPECT_EQ(TXPortIPChange::MacSuffix("00-11-22-33-44-55-66"), "0000");
    EXPECT_EQ(TXPortIPChange::MacSuffix(""), "0000");
}

TEST(Messages, DefaultsAreInForceFromConstruction) {
    TXPortIPChange engine;
    EXPECT_EQ(engine.MessageText(1), "IP address was temporarily assigned to MAC\r\n"
                                     "To make IP change permanent you must change IP adress in "
                                     "device setup!");
    EXPECT_EQ(engine.MessageText(2), "Request of IP address change was successfully sent.");
    EXPECT_EQ(engine.MessageText(3), "IP address change error.");
    EXPECT_EQ(engine.MessageText(4),
              "IP address syntax error.\r\nWrite correct IP address, please.");
    EXPECT_EQ(engine.MessageText(5), "Selected IP address already exists.");
    EXPECT_EQ(engine.MessageText(6), "MAC address syntax error.");
    EXPECT_FALSE(engine.ArpOnly);
    EXPECT_FALSE(engine.AllAdapters);
}

TEST(Messages, EmptyEntriesKeepTheTextInForce) {
    TFakeEngine f;
    TXPortIPChangeMsgLngSupport texts;
    texts.Texts = {"T1", "", "T3", "T4", "T5", ""};
    f.engine->SetMessages(texts);
    // A second record with only empty entries changes nothing.
    f.engine->SetMessages(TXPortIPChangeMsgLngSupport{});
    EXPECT_EQ(f.engine->MessageText(1), "T1");
    EXPECT_EQ(f.engine->MessageText(2), Sent);
    EXPECT_EQ(f.engine->MessageText(6), SIPChangeMACSyntax);

    std::string message;
    int code = -1;
    f.engine->ChangeIP("00:11:22:33:44:55", "10.0.0.5", "", message, code);
    EXPECT_EQ(message, SIPChangeMACSyntax);
    f.engine->ChangeIP("00-11-22-33-44-55", "10.0.0.5", "", message, code);
    EXPECT_EQ(message, Sent);
    f.engine->ChangeIP("00-11-22-33-44-55", "10.0.0.256", "", message, code);
    EXPECT_EQ(message, "T4");
    f.net.pingAnswers = true;
    f.engine->ChangeIP("00-11-22-33-44-55", "10.0.0.5", "", message, code);
    EXPECT_EQ(message, "T5");
}

// One row per way a change is refused or fails.
struct TFailureCase {
    const char* name;
    const char* mac;
    const char* ip;
    bool arp;
    void (*setup)(TFakeNet&);
    const char* message;
    std::size_t pings;      // pings expected
    const char* cause = ""; // the line a user is shown after the message
};

// Test listings show the case's name rather than its bytes.
void PrintTo(const TFailureCase& c, std::ostream* os) {
    *os << c.name;
}

class ChangeFailure : public testing::TestWithParam<TFailureCase> {};

TEST_P(ChangeFailure, CodeOneMessageAndNothingSentOrRun) {
    const TFailureCase& c = GetParam();
    TFakeEngine f;
    f.net.adapterTable = {Adapter("qv0", {{"192.168.1.1", "255.255.255.0"}})};
    c.setup(f.net);
    f.engine->ArpOnly = c.arp;
    std::string message = "stale";
    int code = -1;
    EXPECT_FALSE(f.engine->ChangeIP(c.mac, c.ip, "192.168.1.1", message, code));
    EXPECT_EQ(code, IPChangeFailed);
    EXPECT_EQ(message, c.message);
    EXPECT_EQ(f.engine->Cause(), c.cause);
    EXPECT_EQ(f.net.Count("ping "), c.pings);
    EXPECT_EQ(f.net.Count("send "), 0u);
    EXPECT_EQ(f.net.Count("run "), 0u);
    EXPECT_EQ(f.net.Count("connect "), 0u);
}

void Nothing(TFakeNet&) {}

INSTANTIATE_TEST_SUITE_P(
    Engine, ChangeFailure,
    testing::Values(TFailureCase{"ColonMacBeforeAnyPing", "00:11:22:33:44:55", "192.168.1.50",
                                 false, Nothing, SIPChangeMACSyntax, 0},
                    TFailureCase{"AddressInUse", "00-11-22-33-44-55", "192.168.1.50", false,
                                 [](TFakeNet& n) { n.pingAnswers = true; }, SIPChangeIPExists, 1},
                    // The address syntax is checked after the ping, by the chosen way.
                    TFailureCase{"Octet256PingedThenRefused", "00-11-22-33-44-55", "192.168.1.256",
                                 false, Nothing, SIPChangeIPSyntax, 1},
                    TFailureCase{"Octet256Arp", "00-11-22-33-44-55", "192.168.1.256", true, Nothing,
                                 SIPChangeIPSyntax, 1},
                    TFailureCase{"NoIcmpHandle", "00-11-22-33-44-55", "192.168.1.50", false,
                                 [](TFakeNet& n) { n.pingRaises = true; }, SIPChangeError, 1,
                                 SIPChangeCausePing},
                    TFailureCase{"BindFails", "00-11-22-33-44-55", "192.168.1.50", false,
                                 [](TFakeNet& n) { n.unbindable = {"192.168.1.1"}; },
                                 SIPChangeError, 1},
                    TFailureCase{"SendFails", "00-11-22-33-44-55", "192.168.1.50", false,
                                 [](TFakeNet& n) { n.sendFails = true; }, SIPChangeError, 1},
                    TFailureCase{"ArpCommandCannotStart", "00-11-22-33-44-55", "192.168.1.50", true,
                                 [](TFakeNet& n) { n.runRaises = true; }, SIPChangeError, 1},
                    TFailureCase{"NoAdapterReachesTheAddress", "00-11-22-33-44-55", "10.9.9.9",
                                 true, Nothing, SIPChangeError, 1}),
    [](const testing::TestParamInfo<TFailureCase>& info) { return info.param.name; });

TEST(AllAdapters, OneDatagramPerAdapterInOrder) {
    TFakeEngine f;
    f.net.adapterAddresses = {"10.77.1.1", "10.77.2.1", "0.0.0.0"};
    f.engine->AllAdapters = true;
    std::string message;
    int code = -1;
    // The found-through adapter is not used when every adapter is.
    EXPECT_TRUE(f.engine->ChangeIP("00-11-22-33-44-55", "10.77.1.50", "10.77.9.9", message, code));
    EXPECT_EQ(code, IPChangeRequestSent);
    EXPECT_EQ(f.net.datagrams.size(), 3u);
    const std::vector<std::string> binds = {f.net.events[1], f.net.events[3], f.net.events[5]};
    EXPECT_EQ(binds,
              (std::vector<std::string>{"bind 10.77.1.1", "bind 10.77.2.1", "bind 0.0.0.0"}));
}

TEST(AllAdapters, SecondUnbindableStopsAfterOneDatagram) {
    TFakeEngine f;
    f.net.adapterAddresses = {"10.77.1.1", "10.77.2.1", "10.77.3.1"};
    f.net.unbindable = {"10.77.2.1"};
    f.engine->AllAdapters = true;
    std::string message;
    int code = -1;
    EXPECT_FALSE(f.engine->ChangeIP("00-11-22-33-44-55", "10.77.1.50", "", message, code));
    EXPECT_EQ(code, IPChangeFailed);
    EXPECT_EQ(message, Failed);
    EXPECT_EQ(f.net.datagrams.size(), 1u);
    EXPECT_EQ(f.net.Count("bind 10.77.3.1"), 0u);
}

TEST(AllAdapters, NoAdapterIsAnErrorNotASuccess) {
    TFakeEngine f;
    f.engine->AllAdapters = true;
    std::string message;
    int code = -1;
    EXPECT_FALSE(f.engine->ChangeIP("00-11-22-33-44-55", "10.77.1.50", "", message, code));
    EXPECT_EQ(code, IPChangeFailed);
    EXPECT_EQ(message, Failed);
    EXPECT_TRUE(f.net.datagrams.empty());
}

TEST(OneAdapter, EmptyAdapterSendsUnbound) {
    TFakeEngine f;
    std::string message;
    EXPECT_EQ(f.engine->SendIpSetup("00-11-22-33-44-55", "10.77.1.50", message, ""),
              IPChangeRequestSent);
    EXPECT_EQ(f.net.Count("bind "), 0u);
    EXPECT_EQ(f.net.datagrams.size(), 1u);
}

TEST(OneAdapter, DirectCallWithBadMacSendsNothing) {
    // A suffix of 00 00 would re-address whichever device has it.
    TFakeEngine f;
    std::string message;
    EXPECT_EQ(f.engine->SendIpSetup("0-1-2-3-4-5", "10.77.1.50", message, ""), IPChangeFailed);
    EXPECT_EQ(message, SIPChangeMACSyntax);
    EXPECT_TRUE(f.net.datagrams.empty());
}

TEST(ArpWay, CommandThenConnectionAttemptToPortOne) {
    TFakeEngine f;
    f.net.adapterTable = {Adapter("qv0", {{"10.77.1.1", "255.255.255.0"}}),
                          Adapter("qv1", {{"192.168.1.1", "255.255.255.0"}})};
    f.engine->ArpOnly = true;
    std::string message;
    int code = -1;
    EXPECT_TRUE(
        f.engine->ChangeIP("00-11-22-33-44-55", "192.168.1.50", "10.77.1.1", message, code));
    EXPECT_EQ(code, IPChangeTemporary);
    EXPECT_EQ(message, SIPChangeTemporary);
    ASSERT_EQ(f.net.events.size(), 3u);
    EXPECT_EQ(f.net.events[0], "ping 192.168.1.50 500 3");
    // Hidden, bounded, and the entry on the adapter that reaches the address.
    const std::string run = f.net.events[1];
    EXPECT_EQ(run.rfind("run hidden 5000 ", 0), 0u) << run;
    const std::string tail = " neigh replace 192.168.1.50 lladdr 00:11:22:33:44:55 dev qv1 nud "
                             "permanent";
    EXPECT_TRUE(run.size() > tail.size() &&
                run.compare(run.size() - tail.size(), tail.size(), tail) == 0)
        << run;
    EXPECT_EQ(f.net.events[2], "connect 192.168.1.50 1 3000");
    EXPECT_TRUE(f.net.datagrams.empty());
}

TEST(ArpWay, LeadingZerosReachTheToolsAsDecimal) {
    TFakeEngine f;
    f.net.adapterTable = {Adapter("qv0", {{"10.77.1.1", "255.255.255.0"}})};
    std::string message;
    EXPECT_EQ(f.engine->AssignByArp("00-11-22-33-44-55", "010.077.001.050", message),
              IPChangeTemporary);
    ASSERT_EQ(f.net.events.size(), 2u);
    EXPECT_NE(f.net.events[0].find(" neigh replace 10.77.1.50 lladdr "), std::string::npos);
    EXPECT_EQ(f.net.events[1], "connect 10.77.1.50 1 3000");
}

TEST(ArpWay, CommandOverItsTimeLimitIsAFailureAndNoAttemptFollows) {
    TFakeEngine f;
    f.net.adapterTable = {Adapter("qv0", {{"10.77.1.1", "255.255.255.0"}})};
    f.net.runTimesOut = true;
    std::string message;
    EXPECT_EQ(f.engine->AssignByArp("00-11-22-33-44-55", "10.77.1.50", message), IPChangeFailed);
    EXPECT_EQ(message, Failed);
    EXPECT_EQ(f.net.Count("run "), 1u);
    EXPECT_EQ(f.net.Count("connect "), 0u);
}

TEST(ArpWay, RefusedEntryIsAnErrorNotATemporaryAssignment) {
    // E.g. no administrator rights: the command ends, the table is unchanged.
    TFakeEngine f;
    f.net.adapterTable = {Adapter("qv0", {{"10.77.1.1", "255.255.255.0"}})};
    f.net.entryRefused = true;
    f.engine->ArpOnly = true;
    std::string message;
    int code = -1;
    EXPECT_FALSE(f.engine->ChangeIP("00-11-22-33-44-55", "10.77.1.50", "", message, code));
    EXPECT_EQ(code, IPChangeFailed);
    EXPECT_EQ(message, Failed);
    EXPECT_EQ(f.engine->Cause(), SIPChangeCauseArpRights);
    EXPECT_EQ(f.net.Count("run "), 1u);
    EXPECT_EQ(f.net.Count("connect "), 0u);
}

TEST(Cause, OneLineAndResetByEveryEntryPoint) {
    for (const char* cause : {SIPChangeCausePing, SIPChangeCauseArpRights})
        EXPECT_EQ(std::string(cause).find_first_of("\r\n"), std::string::npos) << cause;

    TFakeEngine f;
    f.net.adapterTable = {Adapter("qv0", {{"10.77.1.1", "255.255.255.0"}})};
    std::string message;
    int code = -1;
    auto failPing = [&] {
        f.net.pingRaises = true;
        f.engine->ChangeIP("00-11-22-33-44-55", "10.77.1.50", "", message, code);
        ASSERT_EQ(f.engine->Cause(), SIPChangeCausePing);
        f.net.pingRaises = false;
    };
    failPing();
    EXPECT_TRUE(f.engine->ChangeIP("00-11-22-33-44-55", "10.77.1.50", "", message, code));
    EXPECT_EQ(f.engine->Cause(), "");
    failPing();
    EXPECT_EQ(f.engine->SendIpSetup("00-11-22-33-44-55", "10.77.1.50", message, ""),
              IPChangeRequestSent);
    EXPECT_EQ(f.engine->Cause(), "");
    failPing();
    EXPECT_EQ(f.engine->AssignByArp("00-11-22-33-44-55", "10.77.1.50", message), IPChangeTemporary);
    EXPECT_EQ(f.engine->Cause(), "");
    // The direct call reports the missing entry the same way.
    f.net.entryRefused = true;
    EXPECT_EQ(f.engine->AssignByArp("00-11-22-33-44-55", "10.77.1.51", message), IPChangeFailed);
    EXPECT_EQ(message, Failed);
    EXPECT_EQ(f.engine->Cause(), SIPChangeCauseArpRights);
}

std::vector<std::string> IpsOf(const std::vector<TXportPar>& devices) {
    std::vector<std::string> ips;
    for (const TXportPar& d : devices)
        ips.push_back(d.IP);
    return ips;
}

TEST(SharedMacSuffix, OtherDevicesWithTheLastTwoOctetsBehindTheAdapter) {
    const std::vector<TXportPar> devices = {
        ListedDevice("00-20-4A-01-02-03", "10.77.1.10", "10.77.1.1"), // the device itself
        ListedDevice("00-20-4A-07-02-03", "10.77.1.12", "10.77.1.1"), // same suffix, same adapter
        ListedDevice("00-20-4a-09-02-03", "10.77.2.12", "10.77.2.1"), // same suffix, other adapter
        ListedDevice("00-20-4A-01-03-02", "10.77.1.13", "10.77.1.1"), // octets swapped
        ListedDevice("00-20-4A-01-12-03", "10.77.1.14", "10.77.1.1"), // fifth octet differs
        ListedDevice("N/A", "10.77.1.15", "10.77.1.1"),
        ListedDevice("00-20-4A-0B-02-0", "10.77.1.16", "10.77.1.1"), // not a MAC
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(IpsOf(DevicesSharingMacSuffix(devices, "00-20-4A-01-02-03", "10.77.1.1")),
              V{"10.77.1.12"});
    EXPECT_EQ(IpsOf(DevicesSharingMacSuffix(devices, "00-20-4A-01-02-03", "10.77.2.1")),
              V{"10.77.2.12"});
    // All adapters; the MAC in colon form and lower case is the same device.
    EXPECT_EQ(IpsOf(DevicesSharingMacSuffix(devices, "00:20:4a:01:02:03", "")),
              (V{"10.77.1.12", "10.77.2.12"}));
    // A device not in the list is compared with all of them.
    EXPECT_EQ(IpsOf(DevicesSharingMacSuffix(devices, "00-20-4A-0F-02-03", "10.77.1.1")),
              (V{"10.77.1.10", "10.77.1.12"}));
    EXPECT_TRUE(DevicesSharingMacSuffix(devices, "00-20-4A-01-02-04", "").empty());
    EXPECT_TRUE(DevicesSharingMacSuffix(devices, "N/A", "").empty());
    EXPECT_TRUE(DevicesSharingMacSuffix(devices, "00-20-4A-01-02", "").empty());
    EXPECT_TRUE(DevicesSharingMacSuffix({}, "00-20-4A-01-02-03", "").empty());
}

TEST(ArpWay, FailedConnectionAttemptLeavesTheEntryAndReportsAnError) {
    TFakeEngine f;
    f.net.adapterTable = {Adapter("qv0", {{"10.77.1.1", "255.255.255.0"}})};
    f.net.connectRaises = true;
    f.engine->ArpOnly = true;
    std::string message;
    int code = -1;
    EXPECT_FALSE(f.engine->ChangeIP("00-11-22-33-44-55", "10.77.1.50", "", message, code));
    EXPECT_EQ(code, IPChangeFailed);
    EXPECT_EQ(message, Failed);
    EXPECT_EQ(f.net.Count("run "), 1u);
}

// Addresses that are valid text but no device's: refused like bad text, with
// the reason as the cause, after the ping and before anything is sent or run.
struct TUnusableCase {
    const char* name;
    const char* ip;
    bool arp;
    bool allAdapters;
    const char* adapter; // the adapter the device was found through
    const char* cause;   // empty: the address is taken
};

void PrintTo(const TUnusableCase& c, std::ostream* os) {
    *os << c.name;
}

class UnusableAddress : public testing::TestWithParam<TUnusableCase> {};

TEST_P(UnusableAddress, RefusedWithTheSyntaxMessageAndItsReason) {
    const TUnusableCase& c = GetParam();
    TFakeEngine f;
    // qv1 has a second, wider subnet; qv2 and qv3 are point-to-point links.
    f.net.adapterTable = {
        Adapter("qv0", {{"10.99.1.1", "255.255.255.0"}}),
        Adapter("qv1", {{"10.99.2.1", "255.255.254.0"}, {"172.16.0.1", "255.255.0.0"}}),
        Adapter("qv2", {{"10.99.5.0", "255.255.255.254"}}),
        Adapter("qv3", {{"10.99.6.1", "255.255.255.255"}}),
        Adapter("qv4", {{"0.0.0.0", "0.0.0.0"}}),
    };
    f.net.adapterAddresses = {"10.99.1.1", "10.99.2.1", "10.99.5.0", "10.99.6.1", "0.0.0.0"};
    f.engine->ArpOnly = c.arp;
    f.engine->AllAdapters = c.allAdapters;
    std::string message;
    int code = -1;
    const bool done = f.engine->ChangeIP("00-20-4A-01-02-03", c.ip, c.adapter, message, code);
    EXPECT_EQ(f.net.Count("ping "), 1u);
    EXPECT_EQ(f.engine->Cause(), c.cause);
    if (*c.cause) {
        EXPECT_FALSE(done);
        EXPECT_EQ(code, IPChangeFailed);
        EXPECT_EQ(message, SIPChangeIPSyntax);
        EXPECT_EQ(f.net.events.size(), 1u) << "only the ping";
    } else {
        EXPECT_TRUE(done) << message;
        EXPECT_EQ(code, c.arp ? IPChangeTemporary : IPChangeRequestSent);
        EXPECT_EQ(f.net.Count(c.arp ? "connect " : "send "), c.allAdapters ? 5u : 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Engine, UnusableAddress,
    testing::Values(
        TUnusableCase{
            "SubnetBroadcast", "10.99.1.255", false, false, "10.99.1.1",
            "10.99.1.255 is the broadcast address of the subnet of adapter 10.99.1.1/24."},
        TUnusableCase{"SubnetNetwork", "10.99.1.0", false, false, "10.99.1.1",
                      "10.99.1.0 is the network address of the subnet of adapter 10.99.1.1/24."},
        TUnusableCase{
            "LeadingZerosNamedPlainly", "010.099.001.255", false, false, "10.99.1.1",
            "10.99.1.255 is the broadcast address of the subnet of adapter 10.99.1.1/24."},
        TUnusableCase{"LimitedBroadcast", "255.255.255.255", false, false, "10.99.1.1",
                      "255.255.255.255 is the broadcast address of every network."},
        TUnusableCase{"Multicast", "224.0.0.1", false, false, "10.99.1.1",
                      "224.0.0.1 is a multicast address."},
        TUnusableCase{"MulticastTop", "239.255.255.255", true, false, "",
                      "239.255.255.255 is a multicast address."},
        TUnusableCase{"ClassE", "240.0.0.1", false, true, "",
                      "240.0.0.1 is a reserved address (class E, 240.0.0.0/4)."},
        TUnusableCase{"ClassETop", "255.255.255.254", false, false, "10.99.1.1",
                      "255.255.255.254 is a reserved address (class E, 240.0.0.0/4)."},
        TUnusableCase{"Loopback", "127.0.0.1", false, false, "10.99.1.1",
                      "127.0.0.1 is a loopback address (127.0.0.0/8)."},
        TUnusableCase{"LoopbackTop", "127.255.255.255", true, false, "",
                      "127.255.255.255 is a loopback address (127.0.0.0/8)."},
        TUnusableCase{"ThisNetwork", "0.1.2.3", false, false, "10.99.1.1",
                      "0.1.2.3 is in 0.0.0.0/8, which stands for this network and is no "
                      "device's address."},
        TUnusableCase{"ZeroIsNoDhcpInTheArpWay", "0.0.0.0", true, false, "",
                      "0.0.0.0 is in 0.0.0.0/8, which stands for this network and is no "
                      "device's address."},
        // Every adapter: any subnet that holds the address counts.
        TUnusableCase{"AllAdaptersWiderSubnet", "10.99.3.255", false, true, "",
                      "10.99.3.255 is the broadcast address of the subnet of adapter "
                      "10.99.2.1/23."},
        TUnusableCase{"AllAdaptersSecondAddress", "172.16.0.0", false, true, "10.99.1.1",
                      "172.16.0.0 is the network address of the subnet of adapter 172.16.0.1/16."},
        TUnusableCase{"ArpWayAnyAdapter", "10.99.2.0", true, false, "",
                      "10.99.2.0 is the network address of the subnet of adapter 10.99.2.1/23."},
        // One adapter: its own subnet; an adapter the table lacks says nothing.
        TUnusableCase{"OneAdapterSecondAddress", "172.16.255.255", false, false, "172.16.0.1",
                      "172.16.255.255 is the broadcast address of the subnet of adapter "
                      "172.16.0.1/16."},
        TUnusableCase{
            "UnknownAdapterMeansEverySubnet", "10.99.1.255", false, false, "10.50.0.1",
            "10.99.1.255 is the broadcast address of the subnet of adapter 10.99.1.1/24."},
        TUnusableCase{"NoAdapterMeansEverySubnet", "10.99.2.0", false, false, "",
                      "10.99.2.0 is the network address of the subnet of adapter 10.99.2.1/23."},
        // Taken: DHCP, the edges of the refused ranges, another adapter's
        // broadcast address for a device on this one, a host of a wider
        // subnet, point-to-point subnets.
        TUnusableCase{"Dhcp", "0.0.0.0", false, false, "10.99.1.1", ""},
        TUnusableCase{"DhcpEveryAdapter", "0.0.0.0", false, true, "", ""},
        TUnusableCase{"AboveThisNetwork", "1.0.0.0", false, false, "10.99.1.1", ""},
        TUnusableCase{"BelowLoopback", "126.255.255.255", false, false, "10.99.1.1", ""},
        TUnusableCase{"AboveLoopback", "128.0.0.0", false, false, "10.99.1.1", ""},
        TUnusableCase{"BelowMulticast", "223.255.255.255", false, false, "10.99.1.1", ""},
        TUnusableCase{"HostNextToBroadcast", "10.99.1.254", false, false, "10.99.1.1", ""},
        TUnusableCase{"HostNextToNetwork", "10.99.1.1", true, false, "", ""},
        TUnusableCase{"OtherAdaptersBroadcastThroughThisOne", "10.99.3.255", false, false,
                      "10.99.1.1", ""},
        TUnusableCase{"HostOfTheWiderSubnet", "10.99.2.255", false, true, "", ""},
        TUnusableCase{"PointToPointBothEnds", "10.99.5.1", true, false, "", ""},
        TUnusableCase{"SingleAddressSubnet", "10.99.6.1", false, false, "10.99.6.1", ""}),
    [](const testing::TestParamInfo<TUnusableCase>& info) { return info.param.name; });

TEST(UnusableAddress, UnreadableAdapterTableIsAnErrorAndSendsNothing) {
    TFakeEngine f;
    f.net.tableRaises = true;
    std::string message;
    int code = -1;
    EXPECT_FALSE(f.engine->ChangeIP("00-20-4A-01-02-03", "10.99.1.50", "10.99.1.1", message, code));
    EXPECT_EQ(code, IPChangeFailed);
    EXPECT_EQ(message, Failed);
    EXPECT_EQ(f.net.Count("send "), 0u);
    // The ranges no network allows need no table.
    EXPECT_EQ(f.engine->SendIpSetup("00-20-4A-01-02-03", "224.0.0.1", message, "10.99.1.1"),
              IPChangeFailed);
    EXPECT_EQ(message, SIPChangeIPSyntax);
    // Nor does DHCP.
    EXPECT_EQ(f.engine->SendIpSetup("00-20-4A-01-02-03", "0.0.0.0", message, "10.99.1.1"),
              IPChangeRequestSent);
}

TEST(UnusableAddress, EveryCauseIsOneLine) {
    for (const char* cause :
         {SIPChangeCauseSubnetBroadcast, SIPChangeCauseSubnetNetwork,
          SIPChangeCauseLimitedBroadcast, SIPChangeCauseThisNetwork, SIPChangeCauseLoopback,
          SIPChangeCauseMulticast, SIPChangeCauseReserved})
        EXPECT_EQ(std::string(cause).find_first_of("\r\n"), std::string::npos) << cause;
}

} // namespace
