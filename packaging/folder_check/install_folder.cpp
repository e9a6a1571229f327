#include "packaging/folder_check/install_folder.h"

#include <windows.h>

#include <aclapi.h>
#include <lm.h>
#include <sddl.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string_view>

#include "text/unique_handle.h"
#include "packaging/folder_check/folder_path.h"
#include "packaging/folder_check/local_text.h"
#include "packaging/folder_check/server_addresses.h"
#include "text/conversion.h"
#include "text/file_system.h"

namespace {

// The longest path a Win32 call takes, NUL included.
constexpr std::size_t LongestWin32Path = 32767;

struct NetBufferFreer {
    void operator()(BYTE* buffer) const { NetApiBufferFree(buffer); }
};

struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

DWORD Attributes(const std::wstring& path) {
    return GetFileAttributesW(path.c_str());
}

bool Exists(const std::wstring& path) {
    return Attributes(path) != INVALID_FILE_ATTRIBUTES;
}

std::optional<std::wstring> FolderSddl(const std::wstring& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    const LocalPointer<void> owned(descriptor);
    return DescriptorText(descriptor);
}

// A text value, environment references expanded (RRF_RT_REG_SZ takes a
// REG_EXPAND_SZ expanded).
std::wstring Value(HKEY key, const wchar_t* name) {
    DWORD bytes = 0;
    if (RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) !=
        ERROR_SUCCESS) {
        return {};
    }
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, text.data(), &bytes) !=
        ERROR_SUCCESS) {
        return {};
    }
    text.resize(wcslen(text.c_str()));
    return text;
}

// A key of the machine's own (64-bit) registry, or null.
UniqueKey OpenMachineKey(HKEY parent, const wchar_t* path) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(parent, path, 0, KEY_READ | KEY_WOW64_64KEY, &opened) != ERROR_SUCCESS) {
        return nullptr;
    }
    return UniqueKey(opened);
}

// Every profile the machine knows, and ProgramData, from its profile list,
// whoever installs (under SYSTEM the installing account's own profile is
// the system's).
std::vector<ProtectedFolder> ProfileListFolders() {
    std::vector<ProtectedFolder> folders;
    const UniqueKey list = OpenMachineKey(
        HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList");
    if (!list) {
        // Every profile unknown: nothing could be judged against them.
        folders.push_back({L"", Refusal::Profile, true, L"ProfileList"});
        return folders;
    }
    for (const wchar_t* name : {L"ProfilesDirectory", L"Public"}) {
        folders.push_back({Value(list.get(), name), Refusal::Profile, true, name});
    }
    // Below the profiles folder on every Windows that names it; Wine does not.
    folders.push_back({Value(list.get(), L"Default"), Refusal::Profile, true});
    folders.push_back({Value(list.get(), L"ProgramData"), Refusal::Shared, true, L"ProgramData"});
    wchar_t sid[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(list.get(), i, sid, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        if (const UniqueKey profile = OpenMachineKey(list.get(), sid)) {
            folders.push_back({Value(profile.get(), L"ProfileImagePath"), Refusal::Profile, true});
        }
    }
    return folders;
}

// The Program Files folders themselves, as the machine records them,
// whatever the installer's properties say.
std::vector<ProtectedFolder> RecordedProgramFiles() {
    std::vector<ProtectedFolder> folders;
    if (const UniqueKey key =
            OpenMachineKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion")) {
        for (const wchar_t* name :
             {L"ProgramFilesDir", L"ProgramFilesDir (x86)", L"ProgramW6432Dir"}) {
            folders.push_back({Value(key.get(), name), Refusal::System, false});
        }
    }
    return folders;
}

std::wstring InstallingAccount() {
    HANDLE token = nullptr;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token) &&
        !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return {};
    }
    const UniqueHandle owned(token);
    DWORD bytes = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &bytes);
    std::vector<unsigned char> buffer(bytes);
    if (bytes == 0 || !GetTokenInformation(token, TokenUser, buffer.data(), bytes, &bytes)) {
        return {};
    }
    return SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

// Whether a token holds Administrators; thrown when it cannot be told.
bool HoldsAdministrators(HANDLE token) {
    unsigned char administrators[SECURITY_MAX_SID_SIZE] = {};
    DWORD size = sizeof administrators;
    BOOL member = FALSE;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) ||
        !CheckTokenMembership(token, administrators, &member)) {
        throw std::runtime_error("Administrators membership unknown");
    }
    return member != FALSE;
}

// The token the check runs with (the installing account's, when
// impersonated), read.
AccountToken ReadAccountToken() {
    AccountToken read;
    read.System = InstallingAccount() == L"S-1-5-18";
    read.Member = HoldsAdministrators(nullptr);
    HANDLE token = nullptr;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token) &&
        !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        throw std::runtime_error("no token");
    }
    const UniqueHandle owned(token);
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD bytes = 0;
    if (!GetTokenInformation(token, TokenElevationType, &type, sizeof type, &bytes)) {
        throw std::runtime_error("elevation type unknown");
    }
    read.Limited = type == TokenElevationTypeLimited;
    if (read.Limited) {
        TOKEN_LINKED_TOKEN linked{};
        if (!GetTokenInformation(token, TokenLinkedToken, &linked, sizeof linked, &bytes)) {
            throw std::runtime_error("linked token unknown");
        }
        const UniqueHandle ownedLinked(linked.LinkedToken);
        read.LinkedMember = HoldsAdministrators(linked.LinkedToken);
    }
    return read;
}

// The volume a path lies on: a volume mounted in a folder is that folder.
std::wstring VolumePath(const std::wstring& path) {
    std::wstring volume(path.size() + 2, L'\0');
    if (!GetVolumePathNameW(path.c_str(), volume.data(), static_cast<DWORD>(volume.size()))) {
        return PathRoot(path);
    }
    volume.resize(wcslen(volume.c_str()));
    return volume;
}

// A volume's drive type and flags; no flags where they cannot be read.
VolumeFacts ReadVolume(const std::wstring& volume) {
    DWORD flags = 0;
    const UINT type = GetDriveTypeW(volume.c_str());
    if (!GetVolumeInformationW(volume.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0)) {
        flags = 0;
    }
    return {volume, type, flags};
}

// Whether a folder holds nothing; a folder that cannot be listed is not.
bool IsEmptyFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    const UniqueSearch search = SearchFolder(folder, found);
    if (!search) {
        return false;
    }
    do {
        if (std::wstring_view(found.cFileName) != L"." &&
            std::wstring_view(found.cFileName) != L"..") {
            return false;
        }
    } while (FindNextFileW(search.get(), &found));
    return GetLastError() == ERROR_NO_MORE_FILES;
}

} // namespace

std::wstring FolderAsCreated(const std::wstring& text) {
    std::wstring full = RequiredText("GetFullPathNameW", [&text](wchar_t* buffer, DWORD size) {
        return GetFullPathNameW(text.c_str(), size, buffer, nullptr);
    });
    while (full.size() > PathRoot(full).size() && full.back() == L'\\') {
        full.pop_back();
    }
    std::wstring existing = full;
    std::wstring rest;
    while (!Exists(existing)) {
        const std::wstring parent = ParentFolder(existing);
        if (parent.empty()) {
            return full; // not even its root exists
        }
        const size_t start = parent.back() == L'\\' ? parent.size() : parent.size() + 1;
        rest = existing.substr(start) + (rest.empty() ? L"" : L"\\" + rest);
        existing = parent;
    }
    const std::wstring longName =
        RequiredText("GetLongPathNameW", [&existing](wchar_t* buffer, DWORD size) {
            return GetLongPathNameW(existing.c_str(), buffer, size);
        });
    if (rest.empty()) {
        return longName;
    }
    return longName + (longName.back() == L'\\' ? L"" : L"\\") + rest;
}

Machine ReadMachine(const InstallerFolders& given) {
    Machine machine;
    const std::wstring windows =
        given.Windows.empty() ? RequiredText("GetSystemWindowsDirectoryW",
                                             [](wchar_t* buffer, DWORD size) {
                                                 return GetSystemWindowsDirectoryW(buffer, size);
                                             })
                              : given.Windows;
    machine.Protected.push_back({windows, Refusal::System, true});
    machine.Protected.push_back({given.ProgramFiles, Refusal::System, false});
    machine.Protected.push_back({given.ProgramFiles64, Refusal::System, false});
    machine.Protected.push_back({given.CommonAppData, Refusal::Shared, true});
    machine.Protected.push_back({given.Temp, Refusal::Shared, true});
    machine.Protected.push_back(
        {RequiredText("GetTempPathW",
                      [](wchar_t* buffer, DWORD size) { return GetTempPathW(size, buffer); }),
         Refusal::Shared, true});
    for (const auto& recorded : {ProfileListFolders(), RecordedProgramFiles()}) {
        machine.Protected.insert(machine.Protected.end(), recorded.begin(), recorded.end());
    }
    for (ProtectedFolder& folder : machine.Protected) {
        if (!folder.Path.empty()) {
            folder.Path = FolderAsCreated(folder.Path);
        }
    }
    for (const COMPUTER_NAME_FORMAT format :
         {ComputerNameNetBIOS, ComputerNameDnsHostname, ComputerNameDnsFullyQualified,
          ComputerNamePhysicalNetBIOS, ComputerNamePhysicalDnsHostname,
          ComputerNamePhysicalDnsFullyQualified}) {
        machine.OwnNames.push_back(
            RequiredText("GetComputerNameExW", [format](wchar_t* buffer, DWORD size) {
                DWORD length = size;
                if (GetComputerNameExW(format, buffer, &length)) {
                    return length;
                }
                return GetLastError() == ERROR_MORE_DATA ? length : 0;
            }));
    }
    if (CountsAsAdministrator(ReadAccountToken())) {
        machine.Administrator = InstallingAccount();
    }
    machine.Trusted = TrustedTrustees(machine.Administrator, !machine.Administrator.empty(),
                                      LocalAdministrators());
    return machine;
}

std::vector<std::wstring> TrustedTrustees(const std::wstring& account, bool administrator,
                                          const std::vector<std::wstring>& administrators) {
    std::vector<std::wstring> trusted = {
        L"S-1-5-18", L"S-1-5-32-544",
        L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", L"S-1-3-0", L"S-1-3-4"};
    trusted.insert(trusted.end(), administrators.begin(), administrators.end());
    if (administrator && !account.empty()) {
        trusted.push_back(account);
    }
    return trusted;
}

bool CountsAsAdministrator(const AccountToken& token) {
    return token.System || token.Member || (token.Limited && token.LinkedMember);
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
        throw std::runtime_error("the Administrators group has no name");
    }
    std::vector<std::wstring> members;
    DWORD_PTR resume = 0;
    NET_API_STATUS status = ERROR_MORE_DATA;
    while (status == ERROR_MORE_DATA) {
        BYTE* buffer = nullptr;
        DWORD read = 0;
        DWORD total = 0;
        status = NetLocalGroupGetMembers(nullptr, name, 0, &buffer, MAX_PREFERRED_LENGTH, &read,
                                         &total, &resume);
        const std::unique_ptr<BYTE, NetBufferFreer> owned(buffer);
        if (status != NERR_Success && status != ERROR_MORE_DATA) {
            throw std::runtime_error("the Administrators group's members cannot be read");
        }
        const auto* entries = reinterpret_cast<const LOCALGROUP_MEMBERS_INFO_0*>(buffer);
        for (DWORD i = 0; i < read; ++i) {
            const std::wstring member = SidText(entries[i].lgrmi0_sid);
            if (member.empty()) {
                throw std::runtime_error("an administrator's SID cannot be written");
            }
            members.push_back(member);
        }
    }
    return members;
}

FolderFacts ReadFolderFacts(const std::wstring& text,
                            const std::vector<std::wstring>& installedLocations) {
    FolderFacts facts;
    facts.Text = text;
    // No Win32 call is given a text Windows would reshape or not take.
    if (text.size() >= LongestWin32Path || FormRefusal(text) != Refusal::None) {
        return facts;
    }
    facts.Folder = FolderAsCreated(text);
    facts.HoldsInCodePage = ToNarrowExact(facts.Folder).has_value();
    for (const std::wstring& location : installedLocations) {
        facts.InstalledAt.push_back(FolderAsCreated(location));
    }
    facts.Exists = !facts.Folder.empty() && Exists(facts.Folder);
    if (facts.Folder.size() <= PathRoot(facts.Folder).size()) {
        return facts;
    }
    if (IsNetworkPath(facts.Folder)) {
        const std::wstring root = PathRoot(facts.Folder);
        facts.ServerAddresses = ServerAddresses(root.substr(2, root.find(L'\\', 2) - 2));
        facts.OwnAddresses = OwnAddresses();
        return facts;
    }
    facts.Volume = ReadVolume(PathRoot(facts.Folder));
    std::wstring nearest = facts.Folder;
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    while (!nearest.empty() && (attributes = Attributes(nearest)) == INVALID_FILE_ATTRIBUTES) {
        // Absent is the only failure that says nothing is there.
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            facts.Unreadable = nearest;
            return facts;
        }
        nearest = ParentFolder(nearest);
    }
    facts.Nearest = nearest;
    facts.NearestIsFolder = nearest.empty() || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (nearest.empty() || !facts.NearestIsFolder) {
        return facts;
    }
    facts.FinalNearest = FinalPath(nearest);
    if (!facts.FinalNearest) {
        return facts;
    }
    facts.ResolvedVolume = ReadVolume(VolumePath(ResolvedFolder(facts)));
    if (facts.Exists) {
        facts.Empty = IsEmptyFolder(facts.Folder);
        facts.Sddl = FolderSddl(facts.Folder);
    }
    facts.Way = WayDownTo(nearest);
    if (*facts.FinalNearest != nearest) {
        facts.WayToWhereItLeads = WayDownTo(*facts.FinalNearest);
    }
    return facts;
}

Judgement JudgeInstallFolder(const std::wstring& text, const Machine& machine,
                             const PackageReach& reach,
                             const std::vector<std::wstring>& installedLocations,
                             const std::function<void(const std::wstring&)>& log) {
    const FolderFacts facts = ReadFolderFacts(text, installedLocations);
    if (!facts.Folder.empty()) {
        for (const std::wstring& line : FactLines(facts)) {
            log(line);
        }
    }
    return JudgeFolder(facts, machine, reach);
}

std::optional<std::wstring> FinalPath(const std::wstring& path, bool keepLastLink) {
    const UniqueHandle folder = OwnedFile(OpenWithCreateFile(
        path, FILE_READ_ATTRIBUTES,
        FILE_FLAG_BACKUP_SEMANTICS | (keepLastLink ? FILE_FLAG_OPEN_REPARSE_POINT : 0)));
    if (!folder) {
        return std::nullopt;
    }
    const std::optional<std::wstring> read = GrownText([&folder](wchar_t* buffer, DWORD size) {
        return GetFinalPathNameByHandleW(folder.get(), buffer, size, VOLUME_NAME_DOS);
    });
    if (!read || read->empty()) {
        return std::nullopt;
    }
    const std::wstring& final = *read;
    if (final.rfind(L"\\\\?\\UNC\\", 0) == 0) {
        return L"\\" + final.substr(7);
    }
    if (final.rfind(L"\\\\?\\", 0) == 0) {
        return final.substr(4);
    }
    return final;
}

std::vector<FolderOnTheWay> WayDownTo(const std::wstring& last) {
    std::vector<FolderOnTheWay> way;
    for (std::wstring step = last; !step.empty(); step = ParentFolder(step)) {
        const DWORD attributes = Attributes(step);
        const bool link = attributes != INVALID_FILE_ATTRIBUTES &&
                          (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        way.insert(way.begin(),
                   {step, FolderSddl(step), link, link ? ReadOwnFacts(step).Sddl : std::nullopt,
                    SameFolder(VolumePath(step), step)});
    }
    return way;
}

HANDLE OpenWithCreateFile(const std::wstring& path, DWORD access, DWORD flags) {
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, flags, nullptr);
}

OwnFacts ReadOwnFacts(const std::wstring& path, const ItselfOpener& open) {
    OwnFacts facts;
    const UniqueHandle owned =
        OwnedFile(open(path, FILE_READ_ATTRIBUTES | READ_CONTROL,
                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT));
    if (!owned) {
        return facts;
    }
    const HANDLE opened = owned.get();
    BY_HANDLE_FILE_INFORMATION information{};
    if (GetFileInformationByHandle(opened, &information)) {
        facts.Links = information.nNumberOfLinks;
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PSID owner = nullptr;
    if (GetSecurityInfo(opened, SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, &descriptor) == ERROR_SUCCESS) {
        const LocalPointer<void> ownedDescriptor(descriptor);
        facts.Owner = SidText(owner);
        facts.Sddl = DescriptorText(descriptor);
    }
    return facts;
}

Judgement JudgedOrUnverifiable(const std::wstring& text, const std::function<Judgement()>& judge) {
    try {
        return judge();
    } catch (const InstallCancelled&) {
        throw;
    } catch (...) {
        Judgement refused;
        refused.Result = {Refusal::Unverifiable, text, {}};
        return refused;
    }
}
