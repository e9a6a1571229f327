#include "packaging/folder_check/machine.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <windows.h>

#include <lm.h>

#include <algorithm>
#include <memory>

#include "packaging/folder_check/folder_reading.h"
#include "text/unique_handle.h"

namespace {

// Thrown unless the registry answered, or said the thing is absent.
bool Present(const wchar_t* call, LSTATUS status) {
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA && status != ERROR_FILE_NOT_FOUND) {
        throw CallFailed{call, static_cast<unsigned long>(status)};
    }
    return status != ERROR_FILE_NOT_FOUND;
}

// A text value, environment references expanded (RRF_RT_REG_SZ takes a
// REG_EXPAND_SZ expanded); empty where it is missing.
std::wstring Value(HKEY key, const wchar_t* name) {
    std::wstring text(MAX_PATH, L'\0');
    for (LSTATUS status = ERROR_MORE_DATA; status != ERROR_SUCCESS;) {
        DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        status = RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, text.data(), &bytes);
        if (!Present(L"RegGetValueW", status)) {
            return {};
        }
        text.resize(std::max<std::size_t>(text.size(), bytes / sizeof(wchar_t) + 1));
    }
    text.resize(wcslen(text.c_str()));
    return text;
}

// A key of the machine's own (64-bit) registry; null where it is absent.
UniqueKey OpenMachineKey(HKEY parent, const wchar_t* path) {
    HKEY opened = nullptr;
    return Present(L"RegOpenKeyExW",
                   RegOpenKeyExW(parent, path, 0, KEY_READ | KEY_WOW64_64KEY, &opened))
               ? UniqueKey(opened)
               : nullptr;
}

// The folders the machine records: every profile it knows, and
// ProgramData, from its profile list, whoever installs (under SYSTEM the
// installing account's own profile is the system's); and the Program
// Files folders themselves, whatever the installer's properties say.
std::vector<ProtectedFolder> RecordedFolders() {
    const UniqueKey list = OpenMachineKey(
        HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList");
    if (!list) {
        // Every profile unknown: nothing could be judged against them.
        return {{L"", Refusal::Profile, true, L"ProfileList"}};
    }
    // Default lies below the profiles folder on every Windows that names it; Wine does not.
    std::vector<ProtectedFolder> folders = {
        {Value(list.get(), L"ProfilesDirectory"), Refusal::Profile, true, L"ProfilesDirectory"},
        {Value(list.get(), L"Public"), Refusal::Profile, true, L"Public"},
        {Value(list.get(), L"Default"), Refusal::Profile, true},
        {Value(list.get(), L"ProgramData"), Refusal::Shared, true, L"ProgramData"}};
    wchar_t sid[256];
    DWORD length = 256;
    LSTATUS status = ERROR_SUCCESS;
    for (DWORD i = 0; (status = RegEnumKeyExW(list.get(), i, sid, &length, nullptr, nullptr,
                                              nullptr, nullptr)) == ERROR_SUCCESS;
         ++i, length = 256) {
        if (const UniqueKey profile = OpenMachineKey(list.get(), sid)) {
            folders.push_back({Value(profile.get(), L"ProfileImagePath"), Refusal::Profile, true});
        }
    }
    if (status != ERROR_NO_MORE_ITEMS) {
        throw CallFailed{L"RegEnumKeyExW", static_cast<unsigned long>(status)};
    }
    if (const UniqueKey key =
            OpenMachineKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion")) {
        for (const wchar_t* name :
             {L"ProgramFilesDir", L"ProgramFilesDir (x86)", L"ProgramW6432Dir"}) {
            folders.push_back({Value(key.get(), name), Refusal::System, false});
        }
    }
    return folders;
}

// The token the check runs with: the installing account's, when impersonated.
UniqueHandle OpenToken() {
    HANDLE token = nullptr;
    const DWORD access = TOKEN_QUERY | TOKEN_DUPLICATE;
    if (!OpenThreadToken(GetCurrentThread(), access, TRUE, &token) &&
        !OpenProcessToken(GetCurrentProcess(), access, &token)) {
        ThrowLastError(L"OpenProcessToken");
    }
    return UniqueHandle(token);
}

std::wstring TokenAccount(HANDLE token) {
    // Room for the largest SID there is.
    alignas(TOKEN_USER) unsigned char buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD bytes = 0;
    const std::wstring sid = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &bytes)
                                 ? SidText(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid)
                                 : L"";
    if (sid.empty()) {
        ThrowLastError(L"GetTokenInformation(TokenUser)");
    }
    return sid;
}

// Whether a token holds Administrators; thrown when it cannot be told.
// CheckTokenMembership takes an impersonation token: a primary one is
// asked through a duplicate for identification.
bool HoldsAdministrators(HANDLE token) {
    unsigned char administrators[SECURITY_MAX_SID_SIZE] = {};
    DWORD size = sizeof administrators;
    TOKEN_TYPE type = TokenPrimary;
    DWORD bytes = 0;
    HANDLE duplicate = nullptr;
    const bool asked =
        GetTokenInformation(token, TokenType, &type, sizeof type, &bytes) &&
        (type != TokenPrimary || DuplicateToken(token, SecurityIdentification, &duplicate));
    const UniqueHandle owned(duplicate);
    BOOL member = FALSE;
    if (!asked ||
        !CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) ||
        !CheckTokenMembership(duplicate != nullptr ? duplicate : token, administrators, &member)) {
        ThrowLastError(L"CheckTokenMembership");
    }
    return member != FALSE;
}

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

AccountToken ReadAccountToken(HANDLE token) {
    AccountToken read;
    read.System = TokenAccount(token) == L"S-1-5-18";
    read.Member = HoldsAdministrators(token);
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD bytes = 0;
    if (!GetTokenInformation(token, TokenElevationType, &type, sizeof type, &bytes)) {
        ThrowLastError(L"GetTokenInformation(TokenElevationType)");
    }
    read.Limited = type == TokenElevationTypeLimited;
    if (read.Limited) {
        TOKEN_LINKED_TOKEN linked{};
        if (!GetTokenInformation(token, TokenLinkedToken, &linked, sizeof linked, &bytes)) {
            ThrowLastError(L"GetTokenInformation(TokenLinkedToken)");
        }
        const UniqueHandle ownedLinked(linked.LinkedToken);
        read.LinkedMember = HoldsAdministrators(linked.LinkedToken);
    }
    return read;
}

Machine ReadMachine(const InstallerFolders& given) {
    Machine machine;
    const std::wstring windows =
        !given.Windows.empty()
            ? given.Windows
            : RequiredText(L"GetSystemWindowsDirectoryW", [](wchar_t* buffer, DWORD size) {
                  return GetSystemWindowsDirectoryW(buffer, size);
              });
    const std::wstring temp = RequiredText(
        L"GetTempPathW", [](wchar_t* buffer, DWORD size) { return GetTempPathW(size, buffer); });
    machine.Protected = {{windows, Refusal::System, true},
                         {given.ProgramFiles, Refusal::System, false},
                         {given.ProgramFiles64, Refusal::System, false},
                         {given.CommonAppData, Refusal::Shared, true},
                         {given.Temp, Refusal::Shared, true},
                         {temp, Refusal::Shared, true}};
    const std::vector<ProtectedFolder> recorded = RecordedFolders();
    machine.Protected.insert(machine.Protected.end(), recorded.begin(), recorded.end());
    for (ProtectedFolder& folder : machine.Protected) {
        if (!folder.Path.Empty()) {
            folder.Path = FolderAsCreated(folder.Path.Text());
        }
    }
    for (const COMPUTER_NAME_FORMAT format :
         {ComputerNameNetBIOS, ComputerNameDnsHostname, ComputerNameDnsFullyQualified,
          ComputerNamePhysicalNetBIOS, ComputerNamePhysicalDnsHostname,
          ComputerNamePhysicalDnsFullyQualified}) {
        machine.OwnNames.push_back(
            RequiredText(L"GetComputerNameExW", [format](wchar_t* buffer, DWORD size) {
                DWORD length = size;
                if (GetComputerNameExW(format, buffer, &length)) {
                    return length;
                }
                return GetLastError() == ERROR_MORE_DATA ? length : 0;
            }));
    }
    machine.Trusted = ReadTrustedAccounts();
    return machine;
}

std::vector<std::wstring> ReadTrustedAccounts() {
    const UniqueHandle token = OpenToken();
    const bool administrator = CountsAsAdministrator(ReadAccountToken(token.get()));
    return TrustedTrustees(administrator ? TokenAccount(token.get()) : L"", LocalAdministrators());
}

std::vector<std::wstring> LocalAdministrators() {
    // The group by its SID: its name is the system language's.
    unsigned char sid[SECURITY_MAX_SID_SIZE] = {};
    DWORD size = sizeof sid;
    wchar_t name[256] = {};
    wchar_t domain[256] = {};
    DWORD nameLength = 256;
    DWORD domainLength = 256;
    SID_NAME_USE use{};
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size) ||
        !LookupAccountSidW(nullptr, sid, name, &nameLength, domain, &domainLength, &use)) {
        ThrowLastError(L"LookupAccountSidW");
    }
    std::vector<std::wstring> members;
    DWORD_PTR resume = 0;
    for (NET_API_STATUS status = ERROR_MORE_DATA; status == ERROR_MORE_DATA;) {
        BYTE* buffer = nullptr;
        DWORD read = 0;
        DWORD total = 0;
        status = NetLocalGroupGetMembers(nullptr, name, 0, &buffer, MAX_PREFERRED_LENGTH, &read,
                                         &total, &resume);
        const Owned<BYTE, NetApiBufferFree> owned(buffer);
        if (status != NERR_Success && status != ERROR_MORE_DATA) {
            throw CallFailed{L"NetLocalGroupGetMembers", status};
        }
        const auto* entries = reinterpret_cast<const LOCALGROUP_MEMBERS_INFO_0*>(buffer);
        for (DWORD i = 0; i < read; ++i) {
            members.push_back(SidText(entries[i].lgrmi0_sid));
            if (members.back().empty()) {
                ThrowLastError(L"ConvertSidToStringSidW");
            }
        }
    }
    return members;
}

std::wstring CanonicalAddress(std::wstring address) {
    std::transform(address.begin(), address.end(), address.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(towlower(c)); });
    in6_addr parsed{};
    return InetPtonW(AF_INET6, address.c_str(), &parsed) == 1 ? Text(AF_INET6, &parsed) : address;
}

std::vector<std::wstring> ServerAddresses(const std::wstring& server) {
    std::vector<std::wstring> addresses;
    if (const std::wstring literal = LiteralAddress(server); !literal.empty()) {
        addresses.push_back(literal);
    }
    WSADATA data{};
    if (const int error = WSAStartup(MAKEWORD(2, 2), &data); error != 0) {
        throw CallFailed{L"WSAStartup", static_cast<unsigned long>(error)};
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
        throw CallFailed{L"GetAdaptersAddresses", result};
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
