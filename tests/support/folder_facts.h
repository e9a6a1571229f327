#pragma once

// What the folder check's tests share: what they include, the accounts and
// descriptors of the tables, written as SDDL and read as the reader reads
// them, and a whole judgement on this machine.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "packaging/folder_check/folder_judgement.h"
#include "packaging/folder_check/folder_plan.h"
#include "packaging/folder_check/folder_reading.h"
#include "packaging/folder_check/java_look.h"
#include "packaging/folder_check/machine.h"
#include "packaging/folder_check/made_record.h"
#include "tests/support/case_name.h"
#include "tests/support/scratch_registry.h"

namespace fs = std::filesystem;

inline void PrintTo(const FolderPath& path, std::ostream* stream) {
    *stream << testing::PrintToString(path.Text());
}

inline constexpr wchar_t TrustedInstaller[] =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
inline constexpr wchar_t Installer[] = L"S-1-5-21-9-9-9-500"; // the installing account
// A domain group the machine's Administrators group holds.
inline constexpr wchar_t DomainAdmins[] = L"S-1-5-21-5-6-7-512";
inline const std::vector<std::wstring> MachineAdministrators = {DomainAdmins};
// A package with a small runtime: Java\bin\Javaw.exe and Java\bin.
inline constexpr PackageReach SmallPackage = {18, 8};

// A whole judgement on this machine, of the small package, its log dropped.
inline Judgement JudgedHere(const std::wstring& text,
                            const std::vector<std::wstring>& installed = {},
                            const PackageReach& reach = SmallPackage) {
    return JudgeInstallFolder(text, ReadMachine({}), reach, installed, [](const std::wstring&) {});
}

// As Windows ships them: a drive's root on Windows 10 and 11, system or
// data drive (icacls /save), lets Authenticated Users make folders in it,
// and passes them Modify; the folders made there with mkdir inherit it.
inline constexpr wchar_t MadeWithMkdirInARoot[] =
    L"O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)"
    L"(A;ID;0x1301bf;;;AU)(A;OICIIOID;SDGXGWGR;;;AU)";
inline constexpr wchar_t VolumeRoot[] =
    L"O:SYG:SYD:AI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)"
    L"(A;OICI;0x1200a9;;;BU)(A;OICIIO;SDGXGWGR;;;AU)(A;;LC;;;AU)";
inline constexpr wchar_t ProgramFilesX86[] =
    L"O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
    L"D:PAI(A;;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)"
    L"(A;CIIO;GA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)"
    L"(A;;0x1301bf;;;SY)(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)"
    L"(A;;0x1200a9;;;BU)(A;OICIIO;GXGR;;;BU)(A;OICIIO;GA;;;CO)"
    L"(A;;0x1200a9;;;S-1-15-2-1)(A;OICIIO;GXGR;;;S-1-15-2-1)"
    L"(A;;0x1200a9;;;S-1-15-2-2)(A;OICIIO;GXGR;;;S-1-15-2-2)";
// A data volume formatted by Windows Vista to 8.1 (KB 949608):
// Authenticated Users may modify the root itself, and what is made in it.
inline constexpr wchar_t DataVolumeRoot[] = L"O:BAG:SYD:AI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)"
                                            L"(A;OICI;0x1301bf;;;AU)(A;OICI;0x1200a9;;;BU)";
inline constexpr wchar_t AdministratorsOnly[] =
    L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
inline constexpr wchar_t InheritsUsersModify[] =
    L"O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)"
    L"(A;OICIID;0x1200a9;;;BU)(A;OICIID;0x1301bf;;;AU)";
inline constexpr wchar_t OwnedByAUser[] =
    L"O:S-1-5-21-1-2-3-1001D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
inline constexpr wchar_t OwnedByTheInstaller[] =
    L"O:S-1-5-21-9-9-9-500D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
// Users may delete and rename what is inside (delete-child), nothing more.
inline constexpr wchar_t UsersDeleteChildren[] =
    L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;;0x1200e9;;;BU)";
inline constexpr wchar_t UsersRepermit[] = L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;;WD;;;BU)";
inline constexpr wchar_t UsersWrite[] =
    L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;;0x1201bf;;;BU)";

// A descriptor written as SDDL, read as the reader reads one.
inline Security Parsed(const std::optional<std::wstring>& sddl) {
    const LocalPointer<void> descriptor = sddl ? DescriptorFromText(*sddl) : nullptr;
    return descriptor ? ReadDescriptor(descriptor.get()) : std::nullopt;
}

// A folder on the way as the tables write it: its descriptors as SDDL.
struct WrittenStep {
    FolderPath Path;
    std::optional<std::wstring> Sddl;
    bool ReparsePoint = false;
    std::optional<std::wstring> LinkSddl = std::nullopt;
    bool VolumeRoot = false;
};
inline std::vector<FolderOnTheWay> Read(const std::vector<WrittenStep>& written) {
    std::vector<FolderOnTheWay> way;
    for (const WrittenStep& step : written) {
        way.push_back({step.Path, Parsed(step.Sddl), step.ReparsePoint, Parsed(step.LinkSddl),
                       step.VolumeRoot});
    }
    return way;
}

// A well-known SID, as Windows writes it.
inline std::vector<unsigned char> WellKnownSid(WELL_KNOWN_SID_TYPE type) {
    std::vector<unsigned char> sid(SECURITY_MAX_SID_SIZE);
    DWORD size = SECURITY_MAX_SID_SIZE;
    EXPECT_TRUE(CreateWellKnownSid(type, nullptr, sid.data(), &size));
    return sid;
}

// A folder as given, and the reason it is refused for.
struct TextCase {
    const char* Name;
    const wchar_t* Text;
    Refusal Expected;
    const wchar_t* At = nullptr; // the folder the refusal names, where the row pins it
};
TABLE_CASE_PRINTER(TextCase)
