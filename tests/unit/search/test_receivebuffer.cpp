// The link's receive queue over loopback: a burst of replies that arrives
// before the program reads any of them is kept whole once the queue is sized
// as the search sizes it, and is cut short by a small queue.
#include "device/uDeviceComm.h"
#include "search/uXPortSearch.h"

#include <gtest/gtest.h>

namespace {

// Sends `count` discovery-sized datagrams to a link before reading any of
// them; the number that were kept.
int KeptOfBurst(int queueBytes, int count, int* granted) {
    TXPort receiver;
    receiver.BindToAddress("127.0.0.1");
    *granted = receiver.SetReceiveBufferSize(queueBytes);
    const int port = receiver.LocalPort();
    TXPort sender;
    sender.BindToAddress("127.0.0.1");
    const std::string reply(XPortDiscoveryReplySize, '\x5A');
    for (int i = 0; i < count; ++i)
        sender.SendTo(reply, "127.0.0.1", port);
    int kept = 0;
    std::string peer;
    int peerPort = 0;
    while (!receiver.ReceiveDatagram(50, peer, peerPort).empty())
        ++kept;
    return kept;
}

} // namespace

TEST(ReceiveBuffer, BurstIsKeptWithTheSearchQueueAndCutWithASmallOne) {
    constexpr int Burst = 1000;
    int small = 0;
    const int kept = KeptOfBurst(4096, Burst, &small);
    EXPECT_LT(kept, Burst) << "a small queue should drop part of the burst";
    EXPECT_GT(small, 0);
    EXPECT_LT(small, TXportSearch::MinReceiveBufferSize);

    int granted = 0;
    const int all = KeptOfBurst(TXportSearch::DefaultReceiveBufferSize, Burst, &granted);
    if (granted < TXportSearch::DefaultReceiveBufferSize)
        GTEST_SKIP() << "only " << granted << " bytes granted: raising the queue beyond "
                     << "net.core.rmem_max needs CAP_NET_ADMIN";
    EXPECT_EQ(all, Burst);
}
