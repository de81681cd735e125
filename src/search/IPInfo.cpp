#include "search/IPInfo.h"

#include "base/uErrors.h"

#include <cstdio>

namespace {

TInfoIPAddress ToInfo(const platform::AdapterAddressRecord& r) {
    return {r.Address, r.Mask};
}

[[noreturn]] void IndexError(int i) {
    throw Exception("List index out of bounds (" + std::to_string(i) + ")");
}

} // namespace

TAdapter::TAdapter(const platform::AdapterRecord& r)
    : Name(r.Name), Description(r.Description),
      HardwareAddressLength(static_cast<int>(r.HardwareAddress.size())), Index(r.Index),
      Type(r.Type), DHCPEnabled(r.DhcpEnabled), DHCPServer(ToInfo(r.DhcpServer)),
      HaveWINS(r.HaveWins), PrimaryWINSServer(ToInfo(r.PrimaryWinsServer)),
      SecondaryWINSServer(ToInfo(r.SecondaryWinsServer)) {
    for (std::size_t i = 0; i < r.HardwareAddress.size(); ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", r.HardwareAddress[i]);
        if (i)
            HardwareAddress += ':';
        HardwareAddress += hex;
    }
    if (r.HasCurrentAddress)
        CurrentIPAddress = ToInfo(r.CurrentAddress);
    for (const auto& a : r.Addresses)
        IPAddresses.push_back(ToInfo(a));
    for (const auto& g : r.Gateways)
        Gateways.push_back(ToInfo(g));
}

const TInfoIPAddress& TAdapter::Address(int i) const {
    if (i < 0 || i >= AddressCount())
        IndexError(i);
    return IPAddresses[static_cast<std::size_t>(i)];
}

TIPInfo::TIPInfo() : TIPInfo(platform::ReadAdapterTable()) {}

TIPInfo::TIPInfo(const std::vector<platform::AdapterRecord>& records) {
    adapters_.reserve(records.size());
    for (const auto& r : records)
        adapters_.emplace_back(r);
}

const TAdapter& TIPInfo::Adapter(int i) const {
    if (i < 0 || i >= AdapterCount())
        IndexError(i);
    return adapters_[static_cast<std::size_t>(i)];
}

void GetAdapterAddresses(const TIPInfo& info, std::vector<std::string>& list) {
    list.clear();
    for (int i = 0; i < info.AdapterCount(); ++i) {
        const TAdapter& a = info.Adapter(i);
        if (a.AddressCount() > 0)
            list.push_back(a.Address(0).Address);
    }
}

void GetAdapterAddresses(std::vector<std::string>& list) {
    list.clear();
    TIPInfo info;
    GetAdapterAddresses(info, list);
}
