#pragma once

#include <string>
#include <vector>

// The addresses a server name stands for, as text (127.0.0.1, ::1): what
// it resolves to, and the address an ipv6-literal.net name spells. Empty
// when it does not resolve.
std::vector<std::wstring> ServerAddresses(const std::wstring& server);

// This machine's own addresses, of every adapter.
std::vector<std::wstring> OwnAddresses();

// Whether an address is this machine: loopback (127.0.0.0/8, ::1, an IPv4
// loopback mapped into IPv6) or one of its own.
bool IsThisMachine(const std::wstring& address, const std::vector<std::wstring>& own);
