#include "packaging/folder_check/server_addresses.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "text/unique_handle.h"

namespace {

struct SocketsCleanup {
    void operator()(WSADATA*) const { WSACleanup(); }
};

// An address as text: an IPv4 address mapped into IPv6 (::ffff:10.1.2.3,
// ::ffff:a01:203) is written as that IPv4 address, so that one address
// has one text.
std::wstring Text(int family, const void* raw) {
    const auto* v6 = static_cast<const in6_addr*>(raw);
    if (family == AF_INET6 && IN6_IS_ADDR_V4MAPPED(v6)) {
        return Text(AF_INET, v6->s6_addr + 12);
    }
    wchar_t text[INET6_ADDRSTRLEN] = {};
    return InetNtopW(family, raw, text, INET6_ADDRSTRLEN) == nullptr ? L"" : text;
}

std::wstring Text(const sockaddr* address) {
    return address->sa_family == AF_INET6
               ? Text(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr)
               : Text(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr);
}

} // namespace

std::wstring CanonicalAddress(std::wstring address) {
    std::transform(address.begin(), address.end(), address.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(towlower(c)); });
    in6_addr parsed{};
    return InetPtonW(AF_INET6, address.c_str(), &parsed) == 1 ? Text(AF_INET6, &parsed) : address;
}

namespace {

// The address a name of the documented UNC form of IPv6 spells:
// 0--1.ipv6-literal.net is ::1 ('-' for ':', 's' for the zone's '%').
std::wstring LiteralAddress(const std::wstring& server) {
    const std::wstring suffix = L".ipv6-literal.net";
    std::wstring literal = CanonicalAddress(server);
    if (literal.size() <= suffix.size() ||
        literal.compare(literal.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return {};
    }
    literal.resize(literal.size() - suffix.size());
    std::replace(literal.begin(), literal.end(), L'-', L':');
    literal = literal.substr(0, literal.find(L's')); // the zone says nothing of the host
    in6_addr parsed{};
    return InetPtonW(AF_INET6, literal.c_str(), &parsed) == 1 ? Text(AF_INET6, &parsed) : L"";
}

} // namespace

std::vector<std::wstring> ServerAddresses(const std::wstring& server) {
    std::vector<std::wstring> addresses;
    if (const std::wstring literal = LiteralAddress(server); !literal.empty()) {
        addresses.push_back(literal);
    }
    WSADATA data{};
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        throw std::runtime_error("Windows Sockets cannot start");
    }
    const std::unique_ptr<WSADATA, SocketsCleanup> started(&data);
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    ADDRINFOW* found = nullptr;
    // A name that does not resolve is left to Windows.
    if (GetAddrInfoW(server.c_str(), nullptr, &hints, &found) != 0) {
        return addresses;
    }
    const Owned<ADDRINFOW, FreeAddrInfoW> owned(found);
    for (const ADDRINFOW* info = found; info != nullptr; info = info->ai_next) {
        if (info->ai_addr != nullptr &&
            (info->ai_family == AF_INET || info->ai_family == AF_INET6)) {
            addresses.push_back(Text(info->ai_addr));
        }
    }
    return addresses;
}

std::vector<std::wstring> OwnAddresses() {
    ULONG bytes = 16384;
    std::vector<unsigned char> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(bytes);
        result = GetAdaptersAddresses(
            AF_UNSPEC, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
            nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &bytes);
    }
    // No adapter is no address; any other failure leaves this machine unknown.
    if (result == ERROR_NO_DATA) {
        return {};
    }
    if (result != NO_ERROR) {
        throw std::runtime_error("this machine's addresses cannot be read");
    }
    std::vector<std::wstring> own;
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter != nullptr;
         adapter = adapter->Next) {
        for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr;
             unicast = unicast->Next) {
            own.push_back(Text(unicast->Address.lpSockaddr));
        }
    }
    return own;
}
