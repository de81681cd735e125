#include "base/uErrors.h"
#include "search/IPInfo.h"

#include <gtest/gtest.h>

namespace {

platform::AdapterRecord Adapter(const std::string& name, std::vector<std::string> addresses) {
    platform::AdapterRecord r;
    r.Name = name;
    for (const auto& a : addresses)
        r.Addresses.push_back({a, "255.255.255.0"});
    return r;
}

} // namespace

TEST(IPInfo, AdapterFields) {
    platform::AdapterRecord r = Adapter("qv0", {"10.77.1.1", "10.77.9.1"});
    r.Description = "Test adapter";
    r.HardwareAddress = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    r.Index = 7;
    r.Type = 1;
    r.HasCurrentAddress = true;
    r.CurrentAddress = r.Addresses[0];
    r.Gateways = {{"10.77.1.254", ""}};
    TIPInfo info({r, Adapter("qv1", {})});
    ASSERT_EQ(info.AdapterCount(), 2);
    const TAdapter& a = info.Adapter(0);
    EXPECT_EQ(a.Name, "qv0");
    EXPECT_EQ(a.Description, "Test adapter");
    EXPECT_EQ(a.HardwareAddressLength, 6);
    EXPECT_EQ(a.HardwareAddress, "00:1A:2B:3C:4D:5E");
    EXPECT_EQ(a.Index, 7);
    EXPECT_EQ(a.Type, 1);
    EXPECT_FALSE(a.DHCPEnabled);
    EXPECT_EQ(a.CurrentIPAddress.Address, "10.77.1.1");
    ASSERT_EQ(a.AddressCount(), 2);
    EXPECT_EQ(a.Address(1).Address, "10.77.9.1");
    EXPECT_EQ(a.Address(1).Mask, "255.255.255.0");
    ASSERT_EQ(a.Gateways.size(), 1u);
    EXPECT_EQ(a.Gateways[0].Address, "10.77.1.254");
    EXPECT_EQ(info.Adapter(1).HardwareAddress, "");
    EXPECT_EQ(info.Adapter(1).HardwareAddressLength, 0);
    EXPECT_EQ(info.Adapter(1).CurrentIPAddress.Address, "");
    EXPECT_THROW(info.Adapter(2), Exception);
    EXPECT_THROW(a.Address(2), Exception);
}

TEST(IPInfo, FirstAddressOfEveryAdapterUnfiltered) {
    std::vector<platform::AdapterRecord> table = {
        Adapter("a", {}),
        Adapter("b", {"0.0.0.0"}),
        Adapter("c", {"10.1.1.1", "10.1.1.2", "10.1.1.3"}),
        Adapter("d", {"10.1.1.1"}),
    };
    // More adapters than a fixed-size table would hold.
    for (int i = 0; i < 10; ++i)
        table.push_back(Adapter("x" + std::to_string(i), {"10.2." + std::to_string(i) + ".1"}));
    std::vector<std::string> list = {"stale"};
    GetAdapterAddresses(TIPInfo(table), list);
    ASSERT_EQ(list.size(), 13u);
    EXPECT_EQ(list[0], "0.0.0.0");
    EXPECT_EQ(list[1], "10.1.1.1");
    EXPECT_EQ(list[2], "10.1.1.1");
    EXPECT_EQ(list[12], "10.2.9.1");
}

TEST(IPInfo, SystemTableLeavesLoopbackOutInKernelOrder) {
    // Reads the table only; nothing is sent.
    TIPInfo info;
    int previous = 0;
    for (int i = 0; i < info.AdapterCount(); ++i) {
        const TAdapter& a = info.Adapter(i);
        EXPECT_NE(a.Name, "lo");
        EXPECT_GT(a.Index, previous);
        previous = a.Index;
        for (const auto& addr : a.IPAddresses)
            EXPECT_NE(addr.Address.rfind("127.", 0), 0u) << a.Name;
        if (a.HardwareAddressLength > 0) {
            EXPECT_EQ(a.HardwareAddress.size(),
                      static_cast<std::size_t>(a.HardwareAddressLength) * 3 - 1);
        }
    }
    std::vector<std::string> list;
    EXPECT_NO_THROW(GetAdapterAddresses(list));
}
