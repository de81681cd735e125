// The adapter table from the IP Helper's GetAdaptersInfo.

#include "platform/Adapters.h"

#include "base/uErrors.h"
#include "platform/win32/SystemError.h"

// Windows headers in the order they need (winsock2.h before windows.h).
// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
// clang-format on

#include <cstring>
#include <vector>

namespace platform {

namespace {

// The first buffer holds eight adapter records; the table may need more.
constexpr ULONG FirstBufferSize = 5120;
// The table may grow between two calls; a few rounds settle that.
constexpr int MaxRounds = 8;
// Records lie in the buffer, so a chain longer than this is a broken one.
constexpr std::size_t MaxChain = 4096;

// A fixed 16-byte text field, up to its first zero byte.
std::string FieldText(const char* field, std::size_t size) {
    return std::string(field, strnlen(field, size));
}

AdapterAddressRecord ToRecord(const IP_ADDR_STRING& entry) {
    return {FieldText(entry.IpAddress.String, sizeof entry.IpAddress.String),
            FieldText(entry.IpMask.String, sizeof entry.IpMask.String)};
}

// The chain from its embedded first entry through the next-entry links.
std::vector<AdapterAddressRecord> Chain(const IP_ADDR_STRING& first) {
    std::vector<AdapterAddressRecord> list;
    for (const IP_ADDR_STRING* p = &first; p != nullptr && list.size() < MaxChain; p = p->Next)
        list.push_back(ToRecord(*p));
    return list;
}

} // namespace

std::vector<AdapterRecord> ReadAdapterTable() {
    // The buffer grows to the size the call asks for, so that a computer
    // with nine or more adapters still gets its list.
    std::vector<unsigned char> buffer;
    ULONG size = FirstBufferSize;
    DWORD result = ERROR_BUFFER_OVERFLOW;
    for (int round = 0; round < MaxRounds && result == ERROR_BUFFER_OVERFLOW; ++round) {
        buffer.assign(size, 0);
        result = GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
        if (result == ERROR_BUFFER_OVERFLOW && size <= buffer.size())
            break; // asks for no more than it had: report it
    }
    if (result != ERROR_SUCCESS)
        throw Exception(win32::SystemErrorText(result));

    std::vector<AdapterRecord> table;
    for (auto* a = reinterpret_cast<const IP_ADAPTER_INFO*>(buffer.data());
         a != nullptr && table.size() < MaxChain; a = a->Next) {
        AdapterRecord rec;
        rec.Name = FieldText(a->AdapterName, sizeof a->AdapterName);
        rec.Description = FieldText(a->Description, sizeof a->Description);
        const std::size_t hwLen =
            a->AddressLength < sizeof a->Address ? a->AddressLength : sizeof a->Address;
        rec.HardwareAddress.assign(a->Address, a->Address + hwLen);
        rec.Index = static_cast<int>(a->Index);
        rec.Type = static_cast<int>(a->Type);
        rec.DhcpEnabled = a->DhcpEnabled != 0;
        if (a->CurrentIpAddress != nullptr) {
            rec.HasCurrentAddress = true;
            rec.CurrentAddress = ToRecord(*a->CurrentIpAddress);
        }
        rec.Addresses = Chain(a->IpAddressList);
        rec.Gateways = Chain(a->GatewayList);
        rec.DhcpServer = ToRecord(a->DhcpServer);
        rec.HaveWins = a->HaveWins != FALSE;
        rec.PrimaryWinsServer = ToRecord(a->PrimaryWinsServer);
        rec.SecondaryWinsServer = ToRecord(a->SecondaryWinsServer);
        table.push_back(std::move(rec));
    }
    return table;
}

} // namespace platform
