#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "packaging/folder_check/folder_judgement.h"

// The direct members of the local Administrators group, as SIDs; thrown
// when they cannot be read.
std::vector<std::wstring> LocalAdministrators();

// The accounts the checks trust (TrustedTrustees): the installing account
// among them only where it counts as an administrator.
std::vector<std::wstring> ReadTrustedAccounts();

// What a token says of its account (TOKEN_QUERY and TOKEN_DUPLICATE access).
AccountToken ReadAccountToken(HANDLE token);

// The installer's folder properties (empty where unset), completed from
// the machine's own records.
struct InstallerFolders {
    std::wstring Windows, ProgramFiles, ProgramFiles64, CommonAppData, Temp;
};
Machine ReadMachine(const InstallerFolders& folders);

// The addresses a server name stands for, as text (127.0.0.1, ::1): what
// it resolves to, and the address an ipv6-literal.net name spells. Empty
// when it does not resolve.
std::vector<std::wstring> ServerAddresses(const std::wstring& server);

// This machine's own addresses, of every adapter.
std::vector<std::wstring> OwnAddresses();

// One text for an address written any way (an IPv4 address mapped into
// IPv6 as that IPv4 address, IPv6 in its shortest form); as given when it
// is none. Every address above is given so.
std::wstring CanonicalAddress(std::wstring address);
