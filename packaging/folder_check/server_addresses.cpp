#include "packaging/folder_check/server_addresses.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <algorithm>
#include <memory>

namespace {

// Windows Sockets for the length of a scope.
class Sockets {
public:
    Sockets() {
        WSADATA data{};
        started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~Sockets() {
        if (started_) {
            WSACleanup();
        }
    }
    Sockets(const Sockets&) = delete;
    Sockets& operator=(const Sockets&) = delete;

private:
    bool started_ = false;
};

struct AddressInfoFreer {
    void operator()(ADDRINFOW* info) const { FreeAddrInfoW(info); }
};

std::wstring Text(const sockaddr* address) {
    wchar_t text[INET6_ADDRSTRLEN] = {};
    const void* raw =
        address->sa_family == AF_INET6
            ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr)
            : static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(address)->sin_addr);
    if (InetNtopW(address->sa_family, raw, text, INET6_ADDRSTRLEN) == nullptr) {
        return {};
    }
    return text;
}

std::wstring Lower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(towlower(c)); });
    return text;
}

// The address a name of the documented UNC form of IPv6 spells:
// 0--1.ipv6-literal.net is ::1 ('-' for ':', 's' for the zone's '%').
std::wstring LiteralAddress(const std::wstring& server) {
    const std::wstring suffix = L".ipv6-literal.net";
    const std::wstring lower = Lower(server);
    if (lower.size() <= suffix.size() ||
        lower.compare(lower.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return {};
    }
    std::wstring literal = lower.substr(0, lower.size() - suffix.size());
    std::replace(literal.begin(), literal.end(), L'-', L':');
    literal = literal.substr(0, literal.find(L's')); // the zone says nothing of the host
    in6_addr parsed{};
    if (InetPtonW(AF_INET6, literal.c_str(), &parsed) != 1) {
        return {};
    }
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = parsed;
    return Text(reinterpret_cast<const sockaddr*>(&address));
}

} // namespace

std::vector<std::wstring> ServerAddresses(const std::wstring& server) {
    std::vector<std::wstring> addresses;
    if (const std::wstring literal = LiteralAddress(server); !literal.empty()) {
        addresses.push_back(literal);
    }
    const Sockets sockets;
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    ADDRINFOW* found = nullptr;
    if (GetAddrInfoW(server.c_str(), nullptr, &hints, &found) != 0) {
        return addresses;
    }
    const std::unique_ptr<ADDRINFOW, AddressInfoFreer> owned(found);
    for (const ADDRINFOW* info = found; info != nullptr; info = info->ai_next) {
        if (info->ai_addr != nullptr &&
            (info->ai_family == AF_INET || info->ai_family == AF_INET6)) {
            addresses.push_back(Text(info->ai_addr));
        }
    }
    return addresses;
}

std::vector<std::wstring> OwnAddresses() {
    std::vector<std::wstring> own;
    ULONG bytes = 16384;
    std::vector<unsigned char> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(bytes);
        result = GetAdaptersAddresses(
            AF_UNSPEC, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
            nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &bytes);
    }
    if (result != NO_ERROR) {
        return own;
    }
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter != nullptr;
         adapter = adapter->Next) {
        for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr;
             unicast = unicast->Next) {
            own.push_back(Text(unicast->Address.lpSockaddr));
        }
    }
    return own;
}

namespace {

// One text for one address: an IPv4 address mapped into IPv6, in either
// form (::ffff:10.1.2.3, ::ffff:a01:203), is that IPv4 address.
std::wstring Canonical(const std::wstring& address) {
    in6_addr parsed{};
    if (InetPtonW(AF_INET6, address.c_str(), &parsed) != 1) {
        return Lower(address);
    }
    if (IN6_IS_ADDR_V4MAPPED(&parsed)) {
        sockaddr_in mapped{};
        mapped.sin_family = AF_INET;
        std::copy(parsed.s6_addr + 12, parsed.s6_addr + 16,
                  reinterpret_cast<unsigned char*>(&mapped.sin_addr));
        return Text(reinterpret_cast<const sockaddr*>(&mapped));
    }
    sockaddr_in6 full{};
    full.sin6_family = AF_INET6;
    full.sin6_addr = parsed;
    return Text(reinterpret_cast<const sockaddr*>(&full));
}

} // namespace

bool IsThisMachine(const std::wstring& address, const std::vector<std::wstring>& own) {
    const std::wstring canonical = Canonical(address);
    if (canonical.rfind(L"127.", 0) == 0 || canonical == L"::1") {
        return true;
    }
    return !canonical.empty() &&
           std::any_of(own.begin(), own.end(), [&canonical](const std::wstring& mine) {
               return Canonical(mine) == canonical;
           });
}
