#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <iphlpapi.h>
#include <msiquery.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "packaging/folder_check/folder_judgement.h"
#include "packaging/folder_check/folder_plan.h"
#include "packaging/folder_check/folder_reading.h"
#include "packaging/folder_check/java_look.h"
#include "packaging/folder_check/machine.h"
#include "packaging/folder_check/made_record.h"
#include "tests/support/case_name.h"
#include "tests/support/code_page.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/scratch_registry.h"

namespace fs = std::filesystem;

void PrintTo(const FolderPath& path, std::ostream* stream) {
    *stream << testing::PrintToString(path.Text());
}

namespace {

constexpr wchar_t TrustedInstaller[] =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
constexpr wchar_t Installer[] = L"S-1-5-21-9-9-9-500"; // the installing account
// A domain group the machine's Administrators group holds.
constexpr wchar_t DomainAdmins[] = L"S-1-5-21-5-6-7-512";
const std::vector<std::wstring> MachineAdministrators = {DomainAdmins};
// A package with a small runtime: Java\bin\Javaw.exe and Java\bin.
constexpr PackageReach SmallPackage = {18, 8};

// A whole judgement on this machine, of the small package, its log dropped.
Judgement JudgedHere(const std::wstring& text, const std::vector<std::wstring>& installed = {},
                     const PackageReach& reach = SmallPackage) {
    return JudgeInstallFolder(text, ReadMachine({}), reach, installed, [](const std::wstring&) {});
}

// As Windows ships them: a drive's root on Windows 10 and 11, system or
// data drive (icacls /save), lets Authenticated Users make folders in it,
// and passes them Modify; the folders made there with mkdir inherit it.
constexpr wchar_t MadeWithMkdirInARoot[] =
    L"O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)"
    L"(A;ID;0x1301bf;;;AU)(A;OICIIOID;SDGXGWGR;;;AU)";
constexpr wchar_t VolumeRoot[] = L"O:SYG:SYD:AI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)"
                                 L"(A;OICI;0x1200a9;;;BU)(A;OICIIO;SDGXGWGR;;;AU)(A;;LC;;;AU)";
constexpr wchar_t ProgramFilesX86[] =
    L"O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
    L"D:PAI(A;;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)"
    L"(A;CIIO;GA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)"
    L"(A;;0x1301bf;;;SY)(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)"
    L"(A;;0x1200a9;;;BU)(A;OICIIO;GXGR;;;BU)(A;OICIIO;GA;;;CO)"
    L"(A;;0x1200a9;;;S-1-15-2-1)(A;OICIIO;GXGR;;;S-1-15-2-1)"
    L"(A;;0x1200a9;;;S-1-15-2-2)(A;OICIIO;GXGR;;;S-1-15-2-2)";
// A data volume formatted by Windows Vista to 8.1 (KB 949608):
// Authenticated Users may modify the root itself, and what is made in it.
constexpr wchar_t DataVolumeRoot[] = L"O:BAG:SYD:AI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)"
                                     L"(A;OICI;0x1301bf;;;AU)(A;OICI;0x1200a9;;;BU)";
constexpr wchar_t AdministratorsOnly[] =
    L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
constexpr wchar_t InheritsUsersModify[] = L"O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)"
                                          L"(A;OICIID;0x1200a9;;;BU)(A;OICIID;0x1301bf;;;AU)";
constexpr wchar_t OwnedByAUser[] =
    L"O:S-1-5-21-1-2-3-1001D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
constexpr wchar_t OwnedByTheInstaller[] =
    L"O:S-1-5-21-9-9-9-500D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
// Users may delete and rename what is inside (delete-child), nothing more.
constexpr wchar_t UsersDeleteChildren[] =
    L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;;0x1200e9;;;BU)";
constexpr wchar_t UsersRepermit[] = L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;;WD;;;BU)";
constexpr wchar_t UsersWrite[] = L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;;0x1201bf;;;BU)";

// A descriptor written as SDDL, read as the reader reads one.
Security Parsed(const std::optional<std::wstring>& sddl) {
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
std::vector<FolderOnTheWay> Read(const std::vector<WrittenStep>& written) {
    std::vector<FolderOnTheWay> way;
    for (const WrittenStep& step : written) {
        way.push_back({step.Path, Parsed(step.Sddl), step.ReparsePoint, Parsed(step.LinkSddl),
                       step.VolumeRoot});
    }
    return way;
}

struct WayCase {
    const char* Name;
    std::vector<WrittenStep> Way;
    Refusal Expected;
    const wchar_t* At; // the folder at fault
    bool ByAnAdministrator = true;
};
TABLE_CASE_PRINTER(WayCase)

const WayCase WayCases[] = {
    // CREATOR OWNER becomes the installing account; packages read only.
    {"ProgramFilesAsShipped",
     {{L"C:\\", VolumeRoot}, {L"C:\\Program Files (x86)", ProgramFilesX86}},
     Refusal::None,
     L""},
    {"RootUsersMayRepermit", {{L"D:\\", UsersRepermit}}, Refusal::Writable, L"D:\\"},
    {"AVolumeMountedInAFolderIsARoot",
     {{L"C:\\", VolumeRoot}, {L"C:\\Dados", DataVolumeRoot, false, std::nullopt, true}},
     Refusal::None,
     L""},
    {"RootUsersMayDeleteWhatItHolds", {{L"D:\\", UsersDeleteChildren}}, Refusal::Writable, L"D:\\"},
    {"ParentUsersMayRepermit",
     {{L"D:\\", VolumeRoot}, {L"D:\\Aplicativos", UsersRepermit}},
     Refusal::Writable,
     L"D:\\Aplicativos"},
    // Said apart: only protecting the folder takes an inherited right away.
    {"ParentInheritsUsersModify",
     {{L"D:\\", VolumeRoot}, {L"D:\\Aplicativos", InheritsUsersModify}},
     Refusal::Inherited,
     L"D:\\Aplicativos"},
    {"ParentUsersHoldGenericAll",
     {{L"D:\\", VolumeRoot}, {L"D:\\Aplicativos", L"O:BAD:PAI(A;OICI;FA;;;SY)(A;;GA;;;BU)"}},
     Refusal::Writable,
     L"D:\\Aplicativos"},
    {"ParentOwnedByAUser",
     {{L"D:\\", VolumeRoot}, {L"D:\\Aplicativos", OwnedByAUser}},
     Refusal::Owner,
     L"D:\\Aplicativos"},
    {"ParentOwnedByTheInstaller",
     {{L"D:\\", VolumeRoot}, {L"D:\\Aplicativos", OwnedByTheInstaller}},
     Refusal::None,
     L""},
    // An elevated install for a standard user trusts no folder of that user's.
    {"ParentOwnedByAStandardInstaller",
     {{L"D:\\", VolumeRoot}, {L"D:\\Aplicativos", OwnedByTheInstaller}},
     Refusal::Owner,
     L"D:\\Aplicativos",
     false},
    // The administrators a machine has are trusted as owners and grantees.
    {"ParentOwnedByDomainAdmins",
     {{L"D:\\", VolumeRoot},
      {L"D:\\Aplicativos", L"O:S-1-5-21-5-6-7-512D:PAI(A;OICI;FA;;;SY)"
                           L"(A;OICI;FA;;;S-1-5-21-5-6-7-512)"}},
     Refusal::None,
     L""},
    {"ProtectedAdministratorsOnlyParent",
     {{L"D:\\", VolumeRoot}, {L"D:\\Aplicativos", AdministratorsOnly}},
     Refusal::None,
     L""},
    {"DeleteChildOnTheGrandparent",
     {{L"D:\\", VolumeRoot},
      {L"D:\\Dados", UsersDeleteChildren},
      {L"D:\\Dados\\Aplicativos", AdministratorsOnly}},
     Refusal::Writable,
     L"D:\\Dados"},
    // A link is judged by its own descriptor and by its target's.
    {"LinkUsersMayChange",
     {{L"D:\\", VolumeRoot}, {L"D:\\Link", AdministratorsOnly, true, UsersWrite}},
     Refusal::Reparse,
     L"D:\\Link"},
    // Said as the link's own rule, whether granted or inherited.
    {"LinkUsersMayChangeByInheritance",
     {{L"D:\\", VolumeRoot}, {L"D:\\Link", AdministratorsOnly, true, InheritsUsersModify}},
     Refusal::Reparse,
     L"D:\\Link"},
    {"LinkOwnedByAUser",
     {{L"D:\\", VolumeRoot}, {L"D:\\Link", AdministratorsOnly, true, OwnedByAUser}},
     Refusal::Reparse,
     L"D:\\Link"},
    {"LinkOnlyAdministratorsChange",
     {{L"D:\\", VolumeRoot}, {L"D:\\Link", AdministratorsOnly, true, AdministratorsOnly}},
     Refusal::None,
     L""},
    {"LinkToAFolderUsersMayRepermit",
     {{L"D:\\", VolumeRoot}, {L"D:\\Link", UsersRepermit, true, AdministratorsOnly}},
     Refusal::Writable,
     L"D:\\Link"},
    {"LinkWhoseOwnDescriptorIsUnreadable",
     {{L"D:\\", VolumeRoot}, {L"D:\\Link", AdministratorsOnly, true, std::nullopt}},
     Refusal::Unverifiable,
     L"D:\\Link"},
    {"UnreadableDescriptor",
     {{L"D:\\", VolumeRoot}, {L"D:\\Aplicativos", std::nullopt}},
     Refusal::Unverifiable,
     L"D:\\Aplicativos"},
};

class WayTest : public testing::TestWithParam<WayCase> {};

TEST_P(WayTest, JudgesEveryFolderDownToTheInstallation) {
    const WayCase& c = GetParam();
    // The list the action builds, not one of the test's own.
    const Verdict verdict = WayRefusal(
        Read(c.Way), TrustedTrustees(c.ByAnAdministrator ? Installer : L"", MachineAdministrators));
    EXPECT_STREQ(RefusalName(verdict.Reason), RefusalName(c.Expected));
    EXPECT_EQ(verdict.Folder, c.At);
}

INSTANTIATE_TEST_SUITE_P(Table, WayTest, testing::ValuesIn(WayCases), CaseName());

struct TrusteeCase {
    const char* Name;
    bool ByAnAdministrator;
    const wchar_t* Trustee;
    bool Trusted;
};
TABLE_CASE_PRINTER(TrusteeCase)

const TrusteeCase TrusteeCases[] = {
    {"SystemAlways", false, L"S-1-5-18", true},
    {"AdministratorsAlways", false, L"S-1-5-32-544", true},
    {"TrustedInstallerAlways", false, TrustedInstaller, true},
    // Whoever creates a folder below Program Files holds what CREATOR OWNER
    // is given there: the installing account or SYSTEM.
    {"CreatorOwnerAlways", false, L"S-1-3-0", true},
    {"TheInstallingAdministrator", true, Installer, true},
    {"AMemberOfTheAdministratorsGroup", false, DomainAdmins, true},
    {"OwnerRightsAlways", false, L"S-1-3-4", true},
    {"NeverCreatorGroup", true, L"S-1-3-1", false},
    {"NeverTheInstallingStandardUser", false, Installer, false},
    {"NeverUsers", true, L"S-1-5-32-545", false},
    {"NeverAuthenticatedUsers", true, L"S-1-5-11", false},
};

class TrusteeTest : public testing::TestWithParam<TrusteeCase> {};

TEST_P(TrusteeTest, TrustsTheInstallingAccountOnlyAsAnAdministrator) {
    const TrusteeCase& c = GetParam();
    const std::vector<std::wstring> trusted =
        TrustedTrustees(c.ByAnAdministrator ? Installer : L"", MachineAdministrators);
    EXPECT_EQ(std::count(trusted.begin(), trusted.end(), c.Trustee), c.Trusted ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Table, TrusteeTest, testing::ValuesIn(TrusteeCases), CaseName());

struct TokenCase {
    const char* Name;
    AccountToken Token;
    bool Administrator;
};
TABLE_CASE_PRINTER(TokenCase)

const TokenCase TokenCases[] = {
    {"System", {true, false, false, false}, true},
    {"AnElevatedAdministrator", {false, true, false, false}, true},
    // Double-clicked from Explorer: the check gets the limited token.
    {"TheLimitedTokenOfAnAdministrator", {false, false, true, true}, true},
    {"AStandardUser", {false, false, false, false}, false},
    {"AStandardUsersLimitedToken", {false, false, true, false}, false},
};

class TokenTest : public testing::TestWithParam<TokenCase> {};

TEST_P(TokenTest, JudgesAnAdministratorByItsElevatedToken) {
    EXPECT_EQ(CountsAsAdministrator(GetParam().Token), GetParam().Administrator);
}

INSTANTIATE_TEST_SUITE_P(Table, TokenTest, testing::ValuesIn(TokenCases), CaseName());

// A folder as given, and the reason it is refused for.
struct TextCase {
    const char* Name;
    const wchar_t* Text;
    Refusal Expected;
    const wchar_t* At = nullptr; // the folder the refusal names, where the row pins it
};
TABLE_CASE_PRINTER(TextCase)

// Read from the text as given, before Windows reshapes it: no machine.
const TextCase FormCases[] = {
    {"PercentPair", L"C:\\%TEMP%\\Tarnix", Refusal::Percent},
    {"PercentPairAcrossNames", L"C:\\Cem 100%\\Tarnix 50%", Refusal::Percent},
    // NTFS takes C:\Windows::$INDEX_ALLOCATION for C:\Windows itself.
    {"IndexAllocationStream", L"C:\\Windows::$INDEX_ALLOCATION\\Tarnix", Refusal::Reserved},
    {"AlternateStream", L"C:\\x:y\\Tarnix", Refusal::Reserved},
    {"Pipe", L"C:\\Tar|nix", Refusal::Reserved},
    {"QuestionMark", L"C:\\Tarnix?", Refusal::Reserved},
    {"Star", L"C:\\Tar*nix", Refusal::Reserved},
    {"AngleBrackets", L"C:\\<Tarnix>", Refusal::Reserved},
    {"DoubleQuote", L"C:\\\"Tarnix\"", Refusal::Reserved},
    {"Tab", L"C:\\Tar\tnix", Refusal::Reserved},
    {"EmptyName", L"C:\\Tarnix\\\\App", Refusal::Reserved},
    {"Con", L"C:\\CON\\Tarnix", Refusal::DeviceName},
    {"NulInLowerCase", L"C:\\Tarnix\\nul", Refusal::DeviceName},
    {"Com1", L"C:\\COM1", Refusal::DeviceName},
    {"Lpt1WithAnExtension", L"C:\\LPT1.txt", Refusal::DeviceName},
    {"ComWithASuperscriptDigit", L"C:\\COM\u00b9\\Tarnix", Refusal::DeviceName},
    // The name before the first dot, spaces before the extension trimmed.
    {"ConWithTwoExtensions", L"C:\\CON.tar.gz", Refusal::DeviceName},
    {"NulBeforeASpacedExtension", L"C:\\NUL .txt", Refusal::DeviceName},
    {"ConsoleIsNoDevice", L"C:\\CONSOLE\\Tarnix", Refusal::None},
    {"DeviceNamespace", L"\\\\??\\C:\\Tarnix", Refusal::Device},
    {"EmptyServer", L"\\\\\\share\\Tarnix", Refusal::Server},
    {"ShareDotDot", L"\\\\servidor\\..\\Tarnix", Refusal::Server},
    {"ServerWithASpace", L"\\\\um servidor\\share\\Tarnix", Refusal::Server},
    {"Relative", L"Tarnix", Refusal::Relative},
    {"RootRelative", L"\\Tarnix", Refusal::Relative},
    {"ForwardSlash", L"C:/Tarnix", Refusal::Slash},
    {"MixedSlashes", L"C:\\Tarnix/Misto", Refusal::Slash},
    {"TrailingDots", L"C:\\Tarnix..", Refusal::Dot},
    {"TrailingSpace", L"C:\\Tarnix \\App", Refusal::Dot},
    {"Verbatim", L"\\\\?\\C:\\Tarnix", Refusal::Device},
    {"Device", L"\\\\.\\C:\\Tarnix", Refusal::Device},
};

class FormTest : public testing::TestWithParam<TextCase> {};

TEST_P(FormTest, JudgesTheTextAsGiven) {
    EXPECT_STREQ(RefusalName(FormRefusal(GetParam().Text)), RefusalName(GetParam().Expected));
}

INSTANTIATE_TEST_SUITE_P(Table, FormTest, testing::ValuesIn(FormCases), CaseName());

// Whole judgements on this machine's own folders and registry.
const TextCase JudgeCases[] = {
    {"DriveFolder", L"C:\\Tarnix", Refusal::None},
    {"SinglePercent", L"C:\\Cem 100%\\Tarnix", Refusal::None},
    {"FinalBackslashTwice", L"C:\\Tarnix\\\\", Refusal::None},
    {"NetBiosServerName", L"\\\\FILE_SRV\\apps\\Tarnix", Refusal::None},
    // A share whose name ends in $ is hidden, not administrative.
    {"HiddenShare", L"\\\\fileserver\\apps$\\Tarnix", Refusal::None},
    {"AdminShare", L"\\\\servidor\\ADMIN$\\Tarnix", Refusal::Loopback},
    {"IpcShare", L"\\\\servidor\\ipc$\\Tarnix", Refusal::Loopback},
    {"DotDotIsNoTrailingDot", L"C:\\Tarnix\\..\\App", Refusal::None},
    {"ANameThatOnlyBeginsAsWindowsDoes", L"C:\\Windows Tarnix", Refusal::None},
    {"DotDotIntoWindows", L"C:\\Program Files (x86)\\..\\Windows\\Tarnix", Refusal::System},
    {"ProgramFilesItself", L"C:\\Program Files (x86)", Refusal::System},
    {"BelowProgramFiles", L"C:\\Program Files (x86)\\Velmora\\Tarnix", Refusal::None},
    {"LocalhostAdministrativeShare", L"\\\\localhost\\C$\\Tarnix", Refusal::Loopback},
    {"LoopbackAddress", L"\\\\127.0.0.1\\share\\Tarnix", Refusal::Loopback},
    // The loopback address by other names, resolved.
    {"LoopbackByNumber", L"\\\\2130706433\\share\\Tarnix", Refusal::Loopback},
    {"LoopbackInHexadecimal", L"\\\\0x7f000001\\share\\Tarnix", Refusal::Loopback},
    {"Ipv6LiteralLoopback", L"\\\\0--1.ipv6-literal.net\\share\\Tarnix", Refusal::Loopback},
    {"AdministrativeShareElsewhere", L"\\\\servidor\\D$\\Tarnix", Refusal::Loopback},
    {"NetworkShare", L"\\\\servidor\\share\\Tarnix", Refusal::None},
    {"ShareRoot", L"\\\\servidor\\share", Refusal::Root},
    {"LetterWithoutADrive", L"Q:\\Tarnix", Refusal::Mapped},
    // The profile list, not the installing account, names the profiles.
    {"AnotherUsersProfile", L"C:\\users\\alice\\Apps\\Tarnix", Refusal::Profile},
    {"TheProfilesFolder", L"C:\\users", Refusal::Profile},
    {"ProgramData", L"C:\\ProgramData\\Tarnix", Refusal::Shared},
    {"DriveRoot", L"C:\\", Refusal::Root},
    // A failure to open that is no absence (here a link to itself; access
    // denied alike) is never taken for a folder still to be made.
    {"BelowAFolderThatCannotBeOpened", L"D:\\laco\\Tarnix", Refusal::Unverifiable,
     L"D:\\laco\\Tarnix"},
};

class JudgeTest : public testing::TestWithParam<TextCase> {};

TEST_P(JudgeTest, JudgesTheFolderAsWindowsWillCreateIt) {
    const Judgement judgement = JudgedHere(GetParam().Text);
    EXPECT_STREQ(RefusalName(judgement.Result.Reason), RefusalName(GetParam().Expected));
    if (GetParam().At != nullptr) {
        EXPECT_EQ(judgement.Result.Folder, GetParam().At);
    }
    if (GetParam().Expected == Refusal::None && !judgement.Folder.IsNetwork()) {
        // No link on the way: it leads where it is.
        EXPECT_EQ(judgement.Resolved, judgement.Folder);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, JudgeTest, testing::ValuesIn(JudgeCases), CaseName());

// Judgements on facts written out, as a machine would give them: what no
// Wine prefix can show. C:\Tarnix\App, C:\Tarnix existing and only
// administrators' to change, unless the row says otherwise.
FolderFacts Plain() {
    FolderFacts facts;
    facts.Folder = facts.Text = L"C:\\Tarnix\\App";
    facts.HoldsInCodePage = true;
    facts.Volume = facts.ResolvedVolume = {L"C:\\", DRIVE_FIXED, FILE_PERSISTENT_ACLS};
    facts.Nearest = L"C:\\Tarnix";
    facts.FinalNearest = L"C:\\Tarnix";
    facts.Way = Read({{L"C:\\", VolumeRoot}, {L"C:\\Tarnix", AdministratorsOnly}});
    return facts;
}

// C:\Tarnix itself, there and empty, with its own descriptor.
void EmptyFolder(FolderFacts& facts, const wchar_t* sddl) {
    facts.Text = facts.FinalNearest->Text();
    facts.Folder = facts.Nearest = *facts.FinalNearest;
    facts.Exists = facts.Empty = true;
    facts.Descriptor = Parsed(sddl);
}

// FOLDER, to be made below the last of the existing WAY.
void Below(FolderFacts& facts, const wchar_t* folder, const std::vector<WrittenStep>& way) {
    facts.Folder = facts.Text = folder;
    facts.FinalNearest = facts.Nearest = way.back().Path;
    facts.Volume = facts.ResolvedVolume = {way[0].Path, DRIVE_FIXED, FILE_PERSISTENT_ACLS};
    facts.Way = Read(way);
}

// \\servidor\share\Tarnix, there.
void OnAShare(FolderFacts& facts) {
    facts.Folder = facts.Text = L"\\\\servidor\\share\\Tarnix";
    facts.Exists = true;
}

struct FactsCase {
    const char* Name;
    void (*Change)(FolderFacts&);
    Refusal Expected;
    const wchar_t* At;
};
TABLE_CASE_PRINTER(FactsCase)

const FactsCase FactsCases[] = {
    {"Plain", [](FolderFacts&) {}, Refusal::None, L""},
    // Every folder the package makes is made locked: what the roots Windows
    // ships pass down is moot, and a root's DELETE counts for nothing; the
    // launcher's own SIS folder installs; not below a folder made there by
    // hand, which any user may rename.
    {"TwoLevelsBelowTheSystemDrivesRoot",
     [](FolderFacts& f) {
         Below(f, L"C:\\Velmora\\Tarnix", {{L"C:\\", VolumeRoot}});
     },
     Refusal::None, L""},
    {"TheSisFolderOnADataDrive",
     [](FolderFacts& f) {
         Below(f, L"D:\\aplic\\mivo2016\\dovrenta\\Producao\\Tarnix-Cadastro",
               {{L"D:\\", VolumeRoot}});
     },
     Refusal::None, L""},
    {"BelowAnOlderDataDrivesRoot",
     [](FolderFacts& f) {
         Below(f, L"D:\\Apps\\Tarnix", {{L"D:\\", DataVolumeRoot}});
     },
     Refusal::None, L""},
    {"BelowAFolderMadeWithMkdirInARoot",
     [](FolderFacts& f) {
         Below(f, L"D:\\aplic\\mivo2016\\Tarnix",
               {{L"D:\\", VolumeRoot}, {L"D:\\aplic", MadeWithMkdirInARoot}});
     },
     Refusal::Inherited, L"D:\\aplic"},
    {"NtfsOnARemovableDisk", [](FolderFacts& f) { f.Volume.DriveType = DRIVE_REMOVABLE; },
     Refusal::None, L""},
    {"FatOrExFat", [](FolderFacts& f) { f.Volume.Flags = FILE_UNICODE_ON_DISK; },
     Refusal::NoPermissions, L"C:\\"},
    {"MappedNetworkDrive", [](FolderFacts& f) { f.Volume.DriveType = DRIVE_REMOTE; },
     Refusal::Mapped, L"C:\\"},
    {"NoSuchLetter", [](FolderFacts& f) { f.Volume.DriveType = DRIVE_NO_ROOT_DIR; },
     Refusal::Mapped, L"C:\\"},
    // A failure that is no absence, whatever else was read.
    {"AFolderOfTheWayThatFailsToOpen", [](FolderFacts& f) { f.Unreadable = L"C:\\Tarnix"; },
     Refusal::Unverifiable, L"C:\\Tarnix"},
    {"ALinkToAVolumeThatKeepsNoPermissions",
     [](FolderFacts& f) {
         f.FinalNearest = L"E:\\Dados";
         f.ResolvedVolume = {L"E:\\", DRIVE_FIXED, 0};
     },
     Refusal::NoPermissions, L"E:\\"},
    {"ALinkToANetworkDrive",
     [](FolderFacts& f) {
         f.FinalNearest = L"Z:\\Dados";
         f.ResolvedVolume = {L"Z:\\", DRIVE_REMOTE, FILE_PERSISTENT_ACLS};
     },
     Refusal::Mapped, L"Z:\\"},
    {"ALinkToAVolumeRoot",
     [](FolderFacts& f) {
         f.Folder = f.Nearest = L"C:\\Tarnix";
         f.FinalNearest = L"E:\\";
     },
     Refusal::Root, L"E:\\"},
    {"AVolumeMountedWhereItLeads",
     [](FolderFacts& f) { f.ResolvedVolume.Path = L"C:\\Tarnix\\App\\"; }, Refusal::Root,
     L"C:\\Tarnix\\App"},
    {"ATrustedLinkIntoAFolderUsersMayRepermit",
     [](FolderFacts& f) {
         f.FinalNearest = L"D:\\Aberta\\Dentro";
         f.WayToWhereItLeads = Read({{L"D:\\", VolumeRoot},
                                     {L"D:\\Aberta", UsersRepermit},
                                     {L"D:\\Aberta\\Dentro", AdministratorsOnly}});
     },
     Refusal::Writable, L"D:\\Aberta"},
    // A server that resolves to one of this machine's adapters' addresses.
    {"AServerThatIsThisMachine",
     [](FolderFacts& f) {
         f.Folder = f.Text = L"\\\\servidor\\share\\Tarnix";
         f.ServerAddresses = {L"10.1.2.9", L"10.1.2.3"};
         f.OwnAddresses = {L"10.1.2.3"};
     },
     Refusal::Loopback, L"\\\\servidor\\share\\"},
    // A network folder there: another installation's, or this product's own.
    {"AnExistingNetworkFolder", OnAShare, Refusal::Existing, L"\\\\servidor\\share\\Tarnix"},
    {"TheNetworkFolderTheProductIsIn",
     [](FolderFacts& f) {
         OnAShare(f);
         f.InstalledAt = {f.Folder};
     },
     Refusal::None, L""},
    {"AnEmptyFolderMadeAndSecuredBeforehand",
     [](FolderFacts& f) { EmptyFolder(f, AdministratorsOnly); }, Refusal::None, L""},
    {"AnEmptyFolderUsersMayModify", [](FolderFacts& f) { EmptyFolder(f, InheritsUsersModify); },
     Refusal::Existing, L"C:\\Tarnix"},
};

class FactsTest : public testing::TestWithParam<FactsCase> {};

TEST_P(FactsTest, JudgesWhatTheMachineSaid) {
    FolderFacts facts = Plain();
    GetParam().Change(facts);
    const Machine machine = {{}, {}, TrustedTrustees(Installer, MachineAdministrators), {}};
    const Verdict verdict = JudgeFolder(facts, machine, SmallPackage).Result;
    EXPECT_STREQ(RefusalName(verdict.Reason), RefusalName(GetParam().Expected));
    EXPECT_EQ(verdict.Folder, GetParam().At);
}

INSTANTIATE_TEST_SUITE_P(Table, FactsTest, testing::ValuesIn(FactsCases), CaseName());

// What the package build refuses too, from the one table both tests read:
// device names in any folder, and the longest path Windows Installer installs.
TEST(SharedRules, AreThePackageBuildsToo) {
    std::ifstream table(std::string("Z:") + TARNIX_SOURCE_DIR "/tests/support/shared_rules.tsv");
    ASSERT_TRUE(table.is_open());
    const Machine machine = {{}, {}, TrustedTrustees(Installer, MachineAdministrators), {}};
    int rows = 0;
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::string kind, value, refused;
        if (line[0] == '#' || !std::getline(std::getline(fields, kind, '\t'), value, '\t') ||
            !std::getline(fields, refused, '\t')) {
            continue;
        }
        std::wstring name(value.size(), L'\0');
        name.resize(static_cast<std::size_t>(
            MultiByteToWideChar(CP_UTF8, 0, value.data(), static_cast<int>(value.size()),
                                name.data(), static_cast<int>(name.size()))));
        const FolderFacts facts = Plain(); // the file's path: the folder, a backslash, the file
        const bool refusedHere =
            kind == "name" ? FormRefusal(L"C:\\Tarnix\\" + name) == Refusal::DeviceName
                           : JudgeFolder(facts, machine,
                                         {std::stoul(value) - facts.Folder.Text().size() - 1, 0})
                                     .Result.Reason == Refusal::TooLong;
        EXPECT_EQ(refusedHere, refused == "yes") << line;
        ++rows;
    }
    EXPECT_EQ(rows, 8);
}

// A folder the launcher could never start from, by the launcher's own rule
// in the code page the test runs under.
struct CodePageFolderCase {
    const char* Name;
    const wchar_t* Text;
    ByCodePage<Refusal> Expected;
};
TABLE_CASE_PRINTER(CodePageFolderCase)

const CodePageFolderCase CodePageFolderCases[] = {
    {"PolishL",
     L"C:\\Tarnix \u0142",
     {{1250, Refusal::None},
      {949, Refusal::None},
      {65001, Refusal::None},
      {AnyCodePage, Refusal::CodePage}}},
    {"PortugueseAccents",
     L"C:\\Aplica\u00e7\u00f5es\\Tarnix",
     {{1252, Refusal::None}, {65001, Refusal::None}, {AnyCodePage, Refusal::CodePage}}},
    {"NonBreakingHyphen",
     L"C:\\Tarnix\u2011App",
     {{65001, Refusal::None}, {AnyCodePage, Refusal::CodePage}}},
    {"Ascii", L"C:\\Tarnix App", {{AnyCodePage, Refusal::None}}},
    // Judged as Windows will create it: the name .. leaves is no name of it.
    {"DotDotPastANameOutsideTheCodePage",
     L"C:\\Tarnix \u2011\\..\\Tarnix App",
     {{AnyCodePage, Refusal::None}}},
};

class CodePageFolderTest : public testing::TestWithParam<CodePageFolderCase> {};

TEST_P(CodePageFolderTest, RefusesAFolderTheLauncherCouldNotStartFrom) {
    const Refusal* expected = ExpectationUnder(GetParam().Expected, GetACP());
    ASSERT_NE(expected, nullptr);
    const Judgement judgement = JudgedHere(GetParam().Text);
    EXPECT_STREQ(RefusalName(judgement.Result.Reason), RefusalName(*expected));
}

INSTANTIATE_TEST_SUITE_P(Table, CodePageFolderTest, testing::ValuesIn(CodePageFolderCases),
                         CaseName());

struct AddressCase {
    const char* Name;
    const wchar_t* Address;
    bool ThisMachine;
};
TABLE_CASE_PRINTER(AddressCase)

// This machine's own address, as its adapters would list it.
constexpr wchar_t OwnAddress[] = L"10.1.2.3";

const AddressCase AddressCases[] = {
    {"LoopbackItself", L"127.0.0.1", true},
    {"AnyLoopbackAddress", L"127.20.30.40", true},
    {"Ipv6Loopback", L"::1", true},
    {"Ipv4LoopbackMappedIntoIpv6", L"::ffff:127.0.0.9", true},
    {"ItsOwnAddress", OwnAddress, true},
    {"ItsOwnAddressMappedIntoIpv6", L"::ffff:10.1.2.3", true},
    {"ItsOwnAddressMappedInHexadecimal", L"::FFFF:a01:203", true},
    {"AnotherAddressMapped", L"::ffff:10.1.2.4", false},
    {"AnotherMachine", L"10.1.2.4", false},
    {"Ipv6OfAnotherMachine", L"fe80::1", false},
    {"Nothing", L"", false},
};

class AddressTest : public testing::TestWithParam<AddressCase> {};

TEST_P(AddressTest, TellsThisMachineByItsAddresses) {
    // As the reader gives them: one text an address.
    EXPECT_EQ(IsThisMachine(CanonicalAddress(GetParam().Address), {OwnAddress}),
              GetParam().ThisMachine);
}

INSTANTIATE_TEST_SUITE_P(Table, AddressTest, testing::ValuesIn(AddressCases), CaseName());

// An existing folder, and where Windows Installer has the product installed.
struct ExistingCase {
    const char* Name;
    std::vector<std::wstring> Installed;
    bool HoldsAFile;
    Refusal Expected;
};
TABLE_CASE_PRINTER(ExistingCase)

const ExistingCase ExistingCases[] = {
    // Whatever a property remembers or claims: no product, no reuse.
    {"NoProductInstalled", {}, true, Refusal::Existing},
    {"ProductInstalledThere", {L"C:\\TarnixExistente\\"}, true, Refusal::None},
    {"ProductInstalledThereInOtherLetterCase", {L"c:\\tarnixexistente"}, true, Refusal::None},
    {"ProductInstalledElsewhere", {L"C:\\Outra\\", L""}, true, Refusal::Existing},
    {"ProductInstalledBelowIt", {L"C:\\TarnixExistente\\Tarnix\\"}, true, Refusal::Existing},
    // Made empty and secured beforehand by an administrator (here the
    // installing one; Users read and run).
    {"EmptyAndSecuredBeforehand", {}, false, Refusal::None},
};

class ExistingTest : public testing::TestWithParam<ExistingCase> {};

TEST_P(ExistingTest, ReusesOnlyTheFolderAProductIsInstalledIn) {
    const fs::path folder = L"C:\\TarnixExistente";
    fs::create_directories(folder);
    if (GetParam().HoldsAFile) {
        std::ofstream(folder / L"notas.txt") << "x";
    }
    const Judgement judgement = JudgedHere(folder.wstring(), GetParam().Installed);
    fs::remove_all(folder);
    EXPECT_STREQ(RefusalName(judgement.Result.Reason), RefusalName(GetParam().Expected));
    // Only what an upgrade finds in its own folder may stay there.
    EXPECT_EQ(judgement.Existed, GetParam().Expected == Refusal::None);
}

INSTANTIATE_TEST_SUITE_P(Table, ExistingTest, testing::ValuesIn(ExistingCases), CaseName());

TEST(JudgeInstallFolder, RefusesThisComputerByItsOwnNameAndAddress) {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(name, &length));
    // An adapter's address, read apart from the product's reader, so that one
    // that skips this machine's own addresses cannot skip the test too.
    alignas(MIB_IPADDRTABLE) unsigned char buffer[16384];
    ULONG size = sizeof buffer;
    auto* table = reinterpret_cast<MIB_IPADDRTABLE*>(buffer);
    ASSERT_EQ(GetIpAddrTable(table, &size, FALSE), static_cast<DWORD>(NO_ERROR));
    std::wstring own;
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        wchar_t text[16] = L"";
        InetNtopW(AF_INET, &table->table[i].dwAddr, text, 16);
        own = std::wstring(text).rfind(L"127.", 0) == 0 ? own : text;
    }
    for (const std::wstring& server : {std::wstring(name), own}) {
        const Judgement judgement = JudgedHere(L"\\\\" + server + L"\\share\\Tarnix");
        // Where there is no address, \\\share\Tarnix names no server at all.
        EXPECT_STREQ(RefusalName(judgement.Result.Reason),
                     server.empty() ? L"server" : L"loopback");
    }
    if (own.empty()) {
        GTEST_SKIP() << "no adapter with an IPv4 address of its own";
    }
}

// C:\Dados cannot be read; below C:\Link lies a volume mounted in a folder
// deeper than the path given.
BOOL WINAPI VolumePathOf(LPCWSTR path, LPWSTR buffer, DWORD size) {
    const std::wstring volume = L"C:\\" + std::wstring(300, L'v') + L"\\";
    return path != std::wstring(L"C:\\Dados") && size > volume.size() &&
           wcscpy(buffer, volume.c_str()) != nullptr;
}

TEST(VolumePath, IsReadWholeOrRefusedNeverGuessed) {
    // The drive's root instead would judge a mounted volume by the drive's flags.
    EXPECT_THROW(VolumePath(L"C:\\Dados", VolumePathOf), CallFailed);
    EXPECT_EQ(VolumePath(L"C:\\Link", VolumePathOf), L"C:\\" + std::wstring(300, L'v'));
}

TEST(WayDownTo, ReadsALinksOwnDescriptorWithoutFollowingIt) {
    // D:\\elo is a link to D:\\alvo.
    EXPECT_TRUE(ReadObject(L"D:\\elo").Link);
    EXPECT_FALSE(ReadObject(L"D:\\elo", Follow::Yes).Link);
    const std::vector<FolderOnTheWay> way = WayDownTo(L"D:\\elo");
    ASSERT_EQ(way.size(), 2u);
    EXPECT_TRUE(way[1].ReparsePoint);
    EXPECT_TRUE(way[1].LinkDescriptor.has_value());
}

// A well-known SID, as Windows writes it.
std::vector<unsigned char> WellKnownSid(WELL_KNOWN_SID_TYPE type) {
    std::vector<unsigned char> sid(SECURITY_MAX_SID_SIZE);
    DWORD size = SECURITY_MAX_SID_SIZE;
    EXPECT_TRUE(CreateWellKnownSid(type, nullptr, sid.data(), &size));
    return sid;
}

TEST(ReadAccountToken, FindsNoAdministratorInAStandardAccountsToken) {
    HANDLE process = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, &process));
    const UniqueHandle ownedProcess(process);
    std::vector<unsigned char> administrators = WellKnownSid(WinBuiltinAdministratorsSid);
    // Administrators as deny-only: the token a standard account has.
    SID_AND_ATTRIBUTES denied = {administrators.data(), 0};
    HANDLE restricted = nullptr;
    ASSERT_TRUE(CreateRestrictedToken(process, 0, 1, &denied, 0, nullptr, 0, nullptr, &restricted));
    const UniqueHandle ownedRestricted(restricted);
    EXPECT_TRUE(ReadAccountToken(process).Member); // every test runs as an administrator
    EXPECT_FALSE(ReadAccountToken(restricted).Member);
}

TEST(RefusalName, IsEachReasonsOwnKeyword) {
    // What the log, the launch conditions and the administrators' page share.
    std::wstring keywords;
    for (std::size_t i = 0; i <= static_cast<std::size_t>(Refusal::Appeared); ++i) {
        keywords += RefusalName(static_cast<Refusal>(i)) + std::wstring(L" ");
    }
    EXPECT_EQ(keywords, L" relative slash dot percent device loopback mapped noacls root system "
                        L"shared profile existing owner writable inherited reparse unverifiable "
                        L"codepage reserved devicename server notafolder toolong maintenance moved "
                        L"planted hardlink appeared ");
}

TEST(ServerAddresses, AreIpv6AddressesToo) {
    // A name whose only address is an IPv6 one, as this machine's may be.
    EXPECT_EQ(ServerAddresses(L"::1"), std::vector<std::wstring>{L"::1"});
}

TEST(JudgeInstallFolder, RefusesAProfileOutsideTheProfilesFolder) {
    // As a moved profile is: named only by its own entry in the profile list.
    ScratchKey entry(KEY_WOW64_64KEY,
                     L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList"
                     L"\\S-1-5-21-1-2-3-1234");
    entry.SetText(L"ProfileImagePath", L"C:\\Perfis\\alice");
    const Judgement judgement = JudgedHere(L"C:\\Perfis\\alice\\Apps\\Tarnix");
    EXPECT_STREQ(RefusalName(judgement.Result.Reason), L"profile");
}

TEST(JudgeInstallFolder, RefusesAsUnverifiableWhatFailsUnexpectedly) {
    const auto judged = [](auto failure) {
        return JudgeInstallFolder(L"C:\\Tarnix\\", ReadMachine({}), SmallPackage, {},
                                  [&](const std::wstring&) { throw failure; });
    };
    const Judgement judgement = judged(std::runtime_error("a failure no input should cause"));
    EXPECT_STREQ(RefusalName(judgement.Result.Reason), L"unverifiable");
    EXPECT_EQ(judgement.Result.Folder, L"C:\\Tarnix\\");
    // Cancel is the user's answer, no failure: it ends the action as asked.
    EXPECT_THROW(judged(InstallCancelled{}), InstallCancelled);
}

TEST(JudgeInstallFolder, RefusesAFileOnTheWay) {
    const fs::path file = L"C:\\TarnixArquivo.txt";
    std::ofstream(file) << "x";
    const Judgement judgement = JudgedHere(L"C:\\TarnixArquivo.txt\\App");
    fs::remove(file);
    EXPECT_STREQ(RefusalName(judgement.Result.Reason), L"notafolder");
    EXPECT_EQ(judgement.Result.Folder, L"C:\\TarnixArquivo.txt");
}

struct LengthCase {
    const char* Name;
    std::size_t Length; // of the folder, C:\ and one name
    PackageReach Reach;
    Refusal Expected;
};
TABLE_CASE_PRINTER(LengthCase)

const LengthCase LengthCases[] = {
    // CreateDirectory makes folders of 248 characters at most.
    {"DeepestFolderAt248", 239, SmallPackage, Refusal::None},
    {"DeepestFolderAt249", 240, SmallPackage, Refusal::TooLong},
    // Windows Installer writes files of 259 at most.
    {"LongestFileAt259", 228, {30, 8}, Refusal::None},
    {"LongestFileAt260", 229, {30, 8}, Refusal::TooLong},
    {"NoSubfolderTheFolderItselfAt249", 249, {4, 0}, Refusal::TooLong},
    {"PastWhatAnyWin32CallTakes", 40000, SmallPackage, Refusal::TooLong},
};

class LengthTest : public testing::TestWithParam<LengthCase> {};

TEST_P(LengthTest, KeepsEveryInstalledPathWithinWhatWindowsMakes) {
    const LengthCase& c = GetParam();
    const Judgement judgement = JudgedHere(L"C:\\" + std::wstring(c.Length - 3, L'a'), {}, c.Reach);
    EXPECT_STREQ(RefusalName(judgement.Result.Reason), RefusalName(c.Expected));
}

INSTANTIATE_TEST_SUITE_P(Table, LengthTest, testing::ValuesIn(LengthCases), CaseName());

TEST(FolderAsCreated, GivesLongNamesForTheExistingPart) {
    const fs::path folder = L"C:\\Tarnix Pasta Longa Demais";
    fs::create_directories(folder);
    std::wstring shortName(MAX_PATH, L'\0');
    shortName.resize(GetShortPathNameW(folder.c_str(), shortName.data(), MAX_PATH));
    fs::remove(folder);
    ASSERT_NE(shortName, folder.wstring()) << "no short name on this volume";
    fs::create_directories(folder);
    EXPECT_EQ(FolderAsCreated(shortName + L"\\Nova\\..\\App\\"),
              L"C:\\Tarnix Pasta Longa Demais\\App");
    fs::remove(folder);
}

// The folder as the second look finds it, against the data the first check
// gave: C:\Tarnix, allowed to hold the package's Java and Java\bin.
const FolderPlan Judged = {
    L"C:\\Tarnix\\",          false,
    L"C:\\Tarnix\\",          L"C:\\",
    L"O:BAD:PAI(A;;FA;;;SY)", TrustedTrustees(Installer, MachineAdministrators),
    {L"Java", L"Java\\bin"}};
constexpr wchar_t AUser[] = L"S-1-5-21-1-2-3-1001";

// The folder as the tables write it: owners, and descriptors as SDDL where
// the row gives one (else the owner's locked one).
struct WrittenEntry {
    std::wstring Path;
    bool ReparsePoint = false;
    std::wstring Owner;
    unsigned long Links = 1;
    std::optional<std::wstring> Sddl = std::nullopt;
};
struct WrittenMade {
    bool Opened = false;
    bool ReparsePoint = false;
    FolderPath FinalPath;
    std::wstring Owner;
    std::vector<WrittenEntry> Contents;
    std::optional<std::wstring> Sddl = std::nullopt;
};

struct MadeCase {
    const char* Name;
    WrittenMade Made;
    Refusal Expected;
    const wchar_t* At;
};
TABLE_CASE_PRINTER(MadeCase)

const MadeCase MadeCases[] = {
    {"EmptyAndOwnedByAdministrators",
     {true, false, L"C:\\Tarnix", L"S-1-5-32-544", {}},
     Refusal::None,
     L""},
    {"OwnedByTheInstallingAdministrator",
     {true, false, L"C:\\Tarnix", Installer, {}},
     Refusal::None,
     L""},
    {"HoldingThePackagesFolders",
     {true,
      false,
      L"C:\\Tarnix",
      L"S-1-5-18",
      {{L"Java", false, L"S-1-5-18"}, {L"java\\BIN", false, L"S-1-5-32-544"}}},
     Refusal::None,
     L""},
    {"Gone", {false, false, L"", L"", {}}, Refusal::Unverifiable, L"C:\\Tarnix"},
    {"MadeByAUser", {true, false, L"C:\\Tarnix", AUser, {}}, Refusal::Owner, L"C:\\Tarnix"},
    {"ALinkInItsPlace",
     {true, true, L"C:\\Tarnix", L"S-1-5-32-544", {}},
     Refusal::Reparse,
     L"C:\\Tarnix"},
    {"LeadingElsewhere",
     {true, false, L"D:\\Tarnix", L"S-1-5-32-544", {}},
     Refusal::Moved,
     L"D:\\Tarnix"},
    {"HoldingAPlantedFile",
     {true,
      false,
      L"C:\\Tarnix",
      L"S-1-5-32-544",
      {{L"Java", false, L"S-1-5-32-544"},
       {L"Java\\bin", false, L"S-1-5-32-544"},
       {L"Java\\bin\\jli.dll", false, L"S-1-5-32-544"}}},
     Refusal::Planted,
     L"C:\\Tarnix\\Java\\bin\\jli.dll"},
    {"HoldingAFolderOfAUser",
     {true, false, L"C:\\Tarnix", L"S-1-5-32-544", {{L"Java", false, AUser}}},
     Refusal::Owner,
     L"C:\\Tarnix\\Java"},
    {"HoldingALink",
     {true, false, L"C:\\Tarnix", L"S-1-5-32-544", {{L"Java", true, L"S-1-5-32-544"}}},
     Refusal::Reparse,
     L"C:\\Tarnix\\Java"},
    // What an upgrade finds is judged as files: a second name of a file
    // that may lie anywhere, or one that others may change.
    {"HoldingAHardLink",
     {true, false, L"C:\\Tarnix", L"S-1-5-32-544", {{L"Java\\bin", false, L"S-1-5-32-544", 2}}},
     Refusal::HardLink,
     L"C:\\Tarnix\\Java\\bin"},
    {"HoldingAJavaFolderUsersMayModify",
     {true,
      false,
      L"C:\\Tarnix",
      L"S-1-5-32-544",
      {{L"Java", false, L"S-1-5-32-544", 1, L"O:BAD:PAI(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;BU)"}}},
     Refusal::Writable,
     L"C:\\Tarnix\\Java"},
    // One bit each: create files in a folder of an upgraded installation,
    // and create folders in the installation folder itself (a Java folder
    // where the package has none), as a data drive's root grants it.
    {"HoldingAFolderUsersMayCreateFilesIn",
     {true,
      false,
      L"C:\\Tarnix",
      L"S-1-5-32-544",
      {{L"Java", false, L"S-1-5-32-544", 1, L"O:BAD:PAI(A;OICI;FA;;;BA)(A;;0x1200ab;;;BU)"}}},
     Refusal::Writable,
     L"C:\\Tarnix\\Java"},
    {"AuthenticatedUsersMayMakeFoldersInIt",
     {true, false, L"C:\\Tarnix", L"S-1-5-32-544", {}, L"O:BAD:PAI(A;OICI;FA;;;BA)(A;;LC;;;AU)"},
     Refusal::Writable,
     L"C:\\Tarnix"},
    {"UsersMayAddFilesToIt",
     {true,
      false,
      L"C:\\Tarnix",
      L"S-1-5-32-544",
      {},
      L"O:BAD:PAI(A;OICI;FA;;;BA)(A;;0x1200ab;;;BU)"},
     Refusal::Writable,
     L"C:\\Tarnix"},
};

// A descriptor owned by owner with the lock's grants: Users read and run.
std::wstring Locked(const std::wstring& owner) {
    return L"O:" + owner + L"D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
}

class MadeFolderTest : public testing::TestWithParam<MadeCase> {};

TEST_P(MadeFolderTest, AdoptsOnlyTheFolderThatWasJudged) {
    const MadeCase& c = GetParam();
    // Each thing read with its owner's locked descriptor, unless the row gives one.
    MadeFolder made = {{Judged.Folder, c.Made.Opened}};
    made.Itself.Folder = true;
    made.Itself.Link = c.Made.ReparsePoint;
    made.Itself.Where = c.Made.FinalPath;
    made.Itself.Descriptor = Parsed(c.Made.Sddl.value_or(Locked(c.Made.Owner)));
    for (const WrittenEntry& entry : c.Made.Contents) {
        FileObject read = {Judged.Folder / entry.Path, true};
        read.Link = entry.ReparsePoint;
        read.Names = entry.Links;
        read.Descriptor = Parsed(entry.Sddl.value_or(Locked(entry.Owner)));
        made.Contents.push_back(read);
    }
    const Verdict verdict = MadeFolderRefusal(made, Judged);
    EXPECT_STREQ(RefusalName(verdict.Reason), RefusalName(c.Expected));
    EXPECT_EQ(verdict.Folder, c.At);
}

INSTANTIATE_TEST_SUITE_P(Table, MadeFolderTest, testing::ValuesIn(MadeCases), CaseName());

// What a rollback or a removal finds at a recorded folder's path: the
// identity is the volume serial and the 128-bit file id, each part compared.
const MadeRecord Recorded = {L"C:\\Nivel1\\Nivel2",
                             L"000000000000abcd-0000000000000001ffffffff00000002", L"{P}"};
// What the removal's reading of it says: a link or not, where it is, and
// its identities.
struct Seen {
    bool Link;
    FolderPath Where;
    std::wstring Identity;
    std::wstring IndexIdentity = {};
};
struct RemovalCase {
    const char* Name;
    Seen Found;
    bool Removed;
    const wchar_t* Identity = Recorded.Identity.c_str();
};
TABLE_CASE_PRINTER(RemovalCase)

const RemovalCase RemovalCases[] = {
    {"TheFolderMade", {false, L"C:\\Nivel1\\Nivel2", Recorded.Identity}, true},
    {"ALinkInItsPlace", {true, L"C:\\Nivel1\\Nivel2", Recorded.Identity}, false},
    {"ReachedThroughALinkAbove", {false, L"C:\\Alvo\\Nivel2", Recorded.Identity}, false},
    {"AnotherVolume",
     {false, L"C:\\Nivel1\\Nivel2", L"000000000000abce-0000000000000001ffffffff00000002"},
     false},
    {"AnotherFileIdsHighHalf",
     {false, L"C:\\Nivel1\\Nivel2", L"000000000000abcd-0000000000000002ffffffff00000002"},
     false},
    {"AnotherFileIdsLowHalf",
     {false, L"C:\\Nivel1\\Nivel2", L"000000000000abcd-0000000000000001ffffffff00000003"},
     false},
    {"WhereItIsCannotBeTold", {false, L"", Recorded.Identity}, false},
    {"WhatItIsCannotBeTold", {false, L"C:\\Nivel1\\Nivel2", L""}, false},
    // Written before the 128-bit id: the file index it holds still tells it.
    {"AnOlderRecordsIndex",
     {false, L"C:\\Nivel1\\Nivel2", Recorded.Identity, L"0000abcd-0000000100000002"},
     true,
     L"0000abcd-0000000100000002"},
    {"AnOlderRecordOfAnotherIndex",
     {false, L"C:\\Nivel1\\Nivel2", Recorded.Identity, L"0000abcd-0000000100000003"},
     false,
     L"0000abcd-0000000100000002"},
};

class RemovalTest : public testing::TestWithParam<RemovalCase> {};

TEST_P(RemovalTest, TakesAwayOnlyTheFolderMade) {
    const MadeRecord record = {Recorded.Path, GetParam().Identity, Recorded.Product};
    const Seen& seen = GetParam().Found;
    FileObject found = {Recorded.Path, true};
    found.Folder = true;
    found.Link = seen.Link;
    found.Where = seen.Where;
    found.Identity = seen.Identity;
    found.IndexIdentity = seen.IndexIdentity;
    EXPECT_EQ(IsTheMadeFolder(found, record), GetParam().Removed);
}

INSTANTIATE_TEST_SUITE_P(Table, RemovalTest, testing::ValuesIn(RemovalCases), CaseName());

// The removal itself, on the disk: C:\TarnixFeita recorded as made, then
// changed by the row before it is looked at, or between its judgement and
// its removal.
struct RemovedCase {
    const char* Name;
    void (*Before)(const fs::path& made);
    void (*Judged)(const fs::path& made);
    Removal Expected;
    bool Stays;      // a folder is still at the path
    bool AsideStays; // the folder moved aside by the row is still there
};
TABLE_CASE_PRINTER(RemovedCase)

void Nothing(const fs::path&) {}
// The folder made moved aside, as it keeps its file id, and another made in its place.
void Swapped(const fs::path& made) {
    fs::rename(made, made.wstring() + L"Antiga");
    fs::create_directory(made);
}

const RemovedCase RemovedCases[] = {
    {"TheFolderMade", Nothing, Nothing, Removal::Removed, false, false},
    {"Gone", [](const fs::path& made) { fs::remove(made); }, Nothing, Removal::Gone, false, false},
    {"MadeAgainSince", Swapped, Nothing, Removal::NotTheFolderMade, true, true},
    {"NotEmpty", [](const fs::path& made) { std::ofstream(made / L"nota.txt") << "x"; }, Nothing,
     Removal::NotEmpty, true, false},
    // Swapped between the look and the removal: the one now at the path
    // stays. (Wine keeps the judged one too: it unlinks a closed folder only
    // where its name still leads to it; Windows removes it.)
    {"SwappedOnceJudged", Nothing, Swapped, Removal::Removed, true, true},
};

class RemovedTest : public testing::TestWithParam<RemovedCase> {};

TEST_P(RemovedTest, GoesThroughTheHandleTheFolderWasJudgedBy) {
    const fs::path made = L"C:\\TarnixFeita";
    for (const wchar_t* left :
         {L"C:\\TarnixFeita\\nota.txt", L"C:\\TarnixFeita", L"C:\\TarnixFeitaAntiga"}) {
        fs::remove(left);
    }
    fs::create_directory(made);
    MadeRecord record = {made.wstring(), L"", L"{P}"};
    record.Identity = ReadObject(made.wstring()).Identity;
    GetParam().Before(made);
    const Removal removal = RemoveMadeFolder(record, [&made] { GetParam().Judged(made); });
    EXPECT_STREQ(RemovalName(removal), RemovalName(GetParam().Expected));
    EXPECT_EQ(fs::exists(made), GetParam().Stays);
    EXPECT_EQ(fs::exists(made.wstring() + L"Antiga"), GetParam().AsideStays);
    fs::remove_all(made);
    fs::remove_all(made.wstring() + L"Antiga");
}

INSTANTIATE_TEST_SUITE_P(Table, RemovedTest, testing::ValuesIn(RemovedCases), CaseName());

TEST(Finding, WritesTheFolderAndTrusteeInOnceAsTheyAre) {
    EXPECT_EQ(Finding({Refusal::Planted, L"C:\\Tarnix[F]\\x[T]", L"S-1-5-21-1-2-3-1001"}),
              L"ela contém C:\\Tarnix[F]\\x[T], que o instalador não criou");
    EXPECT_EQ(Finding({Refusal::Owner, L"C:\\[T]", L"S-1-5-21-1-2-3-1001"}),
              L"C:\\[T] pertence à conta S-1-5-21-1-2-3-1001");
}

// What the check leaves behind, when the installer takes every property
// but one.
struct OutcomeCase {
    const char* Name;
    Refusal Reason;
    const wchar_t* Failing;     // the property the installer will not set: the install stops
    const wchar_t* Accepted;    // InstallDirAccepted as left
    const wchar_t* Shown = L""; // InstallDirRefusalShown: its own launch condition shows it
    const wchar_t* Folder = L"C:\\Tarnix";
    const wchar_t* Argument = L"\"C:\\Tarnix\""; // InstallDirRefusalArgument: as a command takes it
};
TABLE_CASE_PRINTER(OutcomeCase)

const OutcomeCase OutcomeCases[] = {
    {"AcceptedSaysSo", Refusal::None, nullptr, L"1"},
    {"RefusedIsNeverAccepted", Refusal::Writable, nullptr, L"", L"1"},
    // A root's backslash doubled, or the quote after it would be taken as text.
    {"RefusedAtARoot", Refusal::Writable, nullptr, L"", L"1", L"D:\\", L"\"D:\\\\\""},
    // No launch condition of its own on a first install: the closing one stops it.
    {"ARefusalNoConditionShowsStops", Refusal::Maintenance, nullptr, L""},
    {"ARefusalThatCannotBeSetStops", Refusal::Writable, L"InstallDirRefusal", L"(unset)"},
    {"AFolderThatCannotBeSetStops", Refusal::None, L"INSTALLDIR", L"(unset)"},
    {"DataThatCannotBeSetStops", Refusal::None, L"VerifyInstallFolder", L"(unset)"},
};

class OutcomeTest : public testing::TestWithParam<OutcomeCase> {};

TEST_P(OutcomeTest, GoesOnOnlyWhereTheCheckAcceptedAndSaidSo) {
    const OutcomeCase& c = GetParam();
    Judgement judgement;
    judgement.Result = {c.Reason, c.Folder, {}};
    std::map<std::wstring, std::wstring> set = {{L"InstallDirAccepted", L"(unset)"}};
    const bool concluded = SetProperties(
        CheckProperties(judgement, L"data"), [&](const wchar_t* name, const std::wstring& value) {
            set[name] = value;
            return c.Failing == nullptr || name != std::wstring(c.Failing);
        });
    EXPECT_EQ(concluded, c.Failing == nullptr);
    EXPECT_EQ(set[L"InstallDirAccepted"], c.Accepted);
    if (concluded) {
        EXPECT_EQ(set[L"InstallDirRefusalShown"], c.Shown);
        EXPECT_EQ(set[L"InstallDirRefusalArgument"], c.Argument);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, OutcomeTest, testing::ValuesIn(OutcomeCases), CaseName());

struct MaintenanceCase {
    const char* Name;
    const wchar_t* Given;
    bool Remembered;
    const wchar_t* Location;
    bool Removal;
    MaintenanceFolder Expected;
};
TABLE_CASE_PRINTER(MaintenanceCase)

// Installed in C:\TarnixM; told C:\Outra.
constexpr wchar_t Here[] = L"C:\\TarnixM\\";
constexpr wchar_t There[] = L"C:\\Outra\\";
const MaintenanceCase MaintenanceCases[] = {
    {"WhereItIs", L"c:\\tarnixm\\", true, Here, false, {Here, false}},
    {"NothingRememberedTakesTheProducts", There, false, Here, false, {Here, false}},
    {"ElsewhereIsRefused", There, true, Here, false, {There, true}},
    {"ARemovalNever", There, true, Here, true, {Here, false}},
    {"NoKnownLocationIsRefused", There, false, L"", false, {There, true}},
};

class MaintenanceTest : public testing::TestWithParam<MaintenanceCase> {};

TEST_P(MaintenanceTest, NeverMovesTheProduct) {
    const MaintenanceCase& c = GetParam();
    const MaintenanceFolder decision =
        MaintenanceDecision(c.Given, c.Remembered, c.Location, c.Removal);
    EXPECT_EQ(decision.Folder, c.Expected.Folder);
    EXPECT_EQ(decision.Refused, c.Expected.Refused);
}

INSTANTIATE_TEST_SUITE_P(Table, MaintenanceTest, testing::ValuesIn(MaintenanceCases), CaseName());

TEST(PlanData, CarriesEveryFieldToTheDeferredActions) {
    const FolderPlan given = {L"C:\\Tarnix\\",
                              false,
                              L"E:\\Real\\",
                              L"C:\\",
                              L"O:BAD:PAI(A;;FA;;;SY)",
                              {L"S-1-5-18", L"S-1-5-21-9-9-9-500"},
                              {L"Java", L"notas.txt"}};
    const std::optional<FolderPlan> read = ParsePlanData(PlanData(given));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->Folder, given.Folder);
    EXPECT_FALSE(read->Network);
    EXPECT_EQ(read->Resolved, given.Resolved);
    EXPECT_EQ(read->Nearest, L"C:\\");
    EXPECT_EQ(read->Descriptor, L"O:BAD:PAI(A;;FA;;;SY)");
    EXPECT_EQ(read->Trusted, given.Trusted);
    EXPECT_EQ(read->Allowed, given.Allowed);
    // A network folder carries itself alone; no plan, or a local one missing
    // what the second look judges with, is none.
    const std::optional<FolderPlan> network =
        ParsePlanData(PlanData({L"\\\\servidor\\share\\Tarnix", true}));
    ASSERT_TRUE(network.has_value());
    EXPECT_TRUE(network->Network);
    EXPECT_EQ(network->Folder, L"\\\\servidor\\share\\Tarnix");
    EXPECT_FALSE(ParsePlanData(L"").has_value());
    FolderPlan untrusting = given;
    untrusting.Trusted.clear();
    EXPECT_FALSE(ParsePlanData(PlanData(untrusting)).has_value());
}

TEST(FoldersToMake, AreTheMissingOnesFromTheTopDown) {
    FolderPlan plan = Judged;
    plan.Folder = L"C:\\A\\B\\C\\";
    plan.Nearest = L"C:\\A";
    EXPECT_EQ(FoldersToMake(plan), (std::vector<FolderPath>{L"C:\\A\\B", L"C:\\A\\B\\C"}));
    plan.Nearest = L"C:\\";
    EXPECT_EQ(FoldersToMake(plan),
              (std::vector<FolderPath>{L"C:\\A", L"C:\\A\\B", L"C:\\A\\B\\C"}));
    plan.Nearest = L"C:\\A\\B\\C";
    EXPECT_TRUE(FoldersToMake(plan).empty());
}

// An upgrade in place may find the older version's files (in use) beside
// what an administrator added, each once.
TEST(AllowedContents, AreThePackagesFoldersAndAllTheFolderHolds) {
    Judgement judgement;
    judgement.Folder = L"C:\\TarnixPermitido";
    for (const wchar_t* held : {L"Java", L"Java\\bin", L"tarnix2018.exe", L"notas.txt",
                                L"Java\\bin\\Javaw.exe", L"Java\\bin\\extra.dll"}) {
        judgement.Found.Contents.push_back({judgement.Folder / held, true});
    }
    std::vector<std::wstring> allowed = AllowedContents(judgement, {{L"Java", L"Java\\bin"}});
    std::sort(allowed.begin(), allowed.end());
    EXPECT_EQ(allowed, (std::vector<std::wstring>{L"Java", L"Java\\bin", L"Java\\bin\\Javaw.exe",
                                                  L"Java\\bin\\extra.dll", L"notas.txt",
                                                  L"tarnix2018.exe"}));
}

// An allow-object entry, written out byte for byte: Wine neither adds nor
// parses such entries.
std::vector<unsigned char> ObjectEntry(BYTE flags, ACCESS_MASK mask, const GUID* type,
                                       const GUID* inherited, PSID sid) {
    std::vector<unsigned char> entry(sizeof(ACE_HEADER) + 2 * sizeof(DWORD));
    const auto append = [&entry](const void* data, size_t size) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        entry.insert(entry.end(), bytes, bytes + size);
    };
    const DWORD present = (type != nullptr ? ACE_OBJECT_TYPE_PRESENT : 0) |
                          (inherited != nullptr ? ACE_INHERITED_OBJECT_TYPE_PRESENT : 0);
    if (type != nullptr) {
        append(type, sizeof *type);
    }
    if (inherited != nullptr) {
        append(inherited, sizeof *inherited);
    }
    append(sid, GetLengthSid(sid));
    ACE_HEADER header{ACCESS_ALLOWED_OBJECT_ACE_TYPE, flags, static_cast<WORD>(entry.size())};
    std::memcpy(entry.data(), &header, sizeof header);
    std::memcpy(entry.data() + sizeof header, &mask, sizeof mask);
    std::memcpy(entry.data() + sizeof header + sizeof mask, &present, sizeof present);
    return entry;
}

TEST(ReadDescriptor, CountsAllowObjectEntriesLikePlainOnesAndANullListAsEveryone) {
    std::vector<unsigned char> users = WellKnownSid(WinBuiltinUsersSid);
    std::vector<unsigned char> administrators = WellKnownSid(WinBuiltinAdministratorsSid);
    const GUID type = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    const std::vector<unsigned char> plain =
        ObjectEntry(0, WRITE_DAC, nullptr, nullptr, users.data());
    const std::vector<unsigned char> typed =
        ObjectEntry(CONTAINER_INHERIT_ACE | INHERITED_ACE, DELETE, &type, &type, users.data());
    alignas(DWORD) unsigned char list[512] = {};
    const ACL header{ACL_REVISION_DS, 0,
                     static_cast<WORD>(sizeof(ACL) + plain.size() + typed.size()), 2, 0};
    std::memcpy(list, &header, sizeof header);
    std::memcpy(list + sizeof header, plain.data(), plain.size());
    std::memcpy(list + sizeof header + plain.size(), typed.data(), typed.size());
    SECURITY_DESCRIPTOR descriptor{};
    ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorOwner(&descriptor, administrators.data(), FALSE));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, reinterpret_cast<PACL>(list), FALSE));

    const Security reading = ReadDescriptor(&descriptor);
    ASSERT_TRUE(reading.has_value());
    EXPECT_EQ(reading->Owner, L"S-1-5-32-544");
    ASSERT_EQ(reading->Grants.size(), 2u);
    EXPECT_EQ(reading->Grants[0].Trustee, L"S-1-5-32-545");
    EXPECT_EQ(reading->Grants[0].Rights, static_cast<unsigned long>(WRITE_DAC));
    EXPECT_FALSE(reading->Grants[0].Inherited);
    // Past both object types to its SID.
    EXPECT_EQ(reading->Grants[1].Trustee, L"S-1-5-32-545");
    EXPECT_EQ(reading->Grants[1].Rights, static_cast<unsigned long>(DELETE));
    EXPECT_TRUE(reading->Grants[1].Inherited);

    // No list at all is everyone with every right (Wine reads D:NO_ACCESS_CONTROL as an empty one).
    ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE));
    const Security open = ReadDescriptor(&descriptor);
    ASSERT_TRUE(open.has_value());
    ASSERT_EQ(open->Grants.size(), 1u);
    EXPECT_EQ(open->Grants[0].Trustee, L"S-1-1-0");
    EXPECT_EQ(open->Grants[0].Rights, static_cast<unsigned long>(FILE_ALL_ACCESS));
    EXPECT_TRUE(open->Grants[0].AppliesHere);
}

// An installer session of an empty package of the test's own, in which the package's own actions
// run as the installer runs them; its package removed with it, and before it.
struct Session {
    const fs::path Package = fs::temp_directory_path() / L"tarnix-session.msi";
    PMSIHANDLE Handle;

    // Given as INSTALLDIR and as CustomActionData alike.
    void Open(const wchar_t* value) {
        fs::remove(Package);
        { // the package closed before it is opened
            PMSIHANDLE database, summary;
            ASSERT_EQ(MsiOpenDatabaseW(Package.c_str(), MSIDBOPEN_CREATE, &database), 0u);
            // What makes it a package: its platform and language, and a package code.
            ASSERT_EQ(MsiGetSummaryInformationW(database, nullptr, 2, &summary), 0u);
            for (const auto& [id, text] :
                 {std::pair{UINT{PIDSI_TEMPLATE}, L"Intel;1033"},
                  {UINT{PIDSI_REVNUMBER}, L"{6C1F2B0A-3D4E-4F50-8A61-7B2C3D4E5F60}"}}) {
                ASSERT_EQ(MsiSummaryInfoSetPropertyW(summary, id, VT_LPSTR, 0, nullptr, text), 0u);
            }
            ASSERT_EQ(MsiSummaryInfoPersist(summary), 0u);
            ASSERT_EQ(MsiDatabaseCommit(database), 0u);
        }
        MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
        ASSERT_EQ(MsiOpenPackageW(Package.c_str(), &Handle), 0u);
        for (const wchar_t* property : {L"INSTALLDIR", L"CustomActionData"}) {
            ASSERT_EQ(MsiSetPropertyW(Handle, property, value), 0u);
        }
    }
    ~Session() {
        Handle = 0; // closed, so that its package may go
        fs::remove(Package);
    }

    std::wstring Property(const wchar_t* name) {
        wchar_t value[64] = L"";
        DWORD length = 64;
        return MsiGetPropertyW(Handle, name, value, &length) == 0 ? value : L"(unread)";
    }
};

// An action the package's DLL exports, as the installer calls it.
UINT RunAction(const char* action, MSIHANDLE session) {
    using Action = UINT(__stdcall*)(MSIHANDLE);
    const Owned<std::remove_pointer_t<HMODULE>, FreeLibrary> dll(
        LoadLibraryW((ProgramFolder().parent_path() / L"folder_check.dll").c_str()));
    const auto run = reinterpret_cast<Action>(
        reinterpret_cast<void*>(dll ? GetProcAddress(dll.get(), action) : nullptr));
    return run != nullptr ? run(session) : ERROR_PROC_NOT_FOUND;
}

// An action that cannot do its work: a deferred one fails, the check refuses.
struct SessionCase {
    const char* Name;
    const char* Action;
    const wchar_t* Value;
    UINT Expected;
    const wchar_t* Refusal = L"";
};
TABLE_CASE_PRINTER(SessionCase)

const SessionCase SessionCases[] = {
    {"MakeWithoutData", "MakeInstallFolder", L"", ERROR_INSTALL_FAILURE},
    {"VerifyWithGarbledData", "VerifyInstallFolder", L"C:\\T\\\nC:\\T\\", ERROR_INSTALL_FAILURE},
    // A package without the tables the check reads.
    {"CheckThatFailsUnexpectedly", "CheckInstallFolder", L"C:\\T\\", 0, L"unverifiable"},
};

class SessionTest : public testing::TestWithParam<SessionCase> {};

TEST_P(SessionTest, NeverGoesOnWhereItCannotDoItsWork) {
    const SessionCase& c = GetParam();
    Session session;
    ASSERT_NO_FATAL_FAILURE(session.Open(c.Value));
    EXPECT_EQ(RunAction(c.Action, session.Handle), c.Expected);
    EXPECT_EQ(session.Property(L"InstallDirRefusal"), c.Refusal);
    EXPECT_EQ(session.Property(L"InstallDirAccepted"), L"");
}

INSTANTIATE_TEST_SUITE_P(Table, SessionTest, testing::ValuesIn(SessionCases), CaseName());

// Two empty folders recorded as made, by this install's product and by
// another's: the rollback takes this install's alone, a removal every one.
TEST(MadeFolders, TheRollbackTakesThisInstallsAndARemovalEveryOne) {
    const fs::path mine = L"C:\\TarnixDesta", other = L"C:\\TarnixDeOutro";
    for (const auto& [folder, product] : {std::pair{mine, L"{ESTA}"}, {other, L"{OUTRA}"}}) {
        fs::remove_all(folder);
        fs::create_directory(folder);
        KeepMadeRecord(folder.wstring(), folder.wstring(), product);
    }
    Session session;
    ASSERT_NO_FATAL_FAILURE(session.Open(L""));
    ASSERT_EQ(MsiSetPropertyW(session.Handle, L"ProductCode", L"{ESTA}"), 0u);
    EXPECT_EQ(RunAction("MakeInstallFolderRollback", session.Handle), 0u);
    EXPECT_FALSE(fs::exists(mine));
    EXPECT_TRUE(fs::exists(other));
    EXPECT_EQ(RunAction("RemoveMadeFolders", session.Handle), 0u);
    EXPECT_FALSE(fs::exists(other));
}

TEST(ProtectedRefusal, AFolderTheMachineMustNameButDoesNotIsUnverifiable) {
    const std::vector<ProtectedFolder> folders = {{L"C:\\Windows", Refusal::System, true},
                                                  {L"", Refusal::Profile, true, L"Public"}};
    const Verdict verdict = ProtectedRefusal(L"C:\\Tarnix", folders);
    EXPECT_EQ(verdict.Reason, Refusal::Unverifiable);
    EXPECT_EQ(verdict.Folder, L"Public");
}

TEST(ProtectedRefusal, AnUnsetFolderHoldsNothing) {
    // System64Folder is empty on 32-bit Windows.
    const std::vector<ProtectedFolder> folders = {{L"", Refusal::System, true}};
    EXPECT_EQ(ProtectedRefusal(L"C:\\Tarnix", folders).Reason, Refusal::None);
    EXPECT_EQ(ProtectedRefusal(L"\\\\servidor\\share\\Tarnix", folders).Reason, Refusal::None);
}

} // namespace

namespace {

// The installed runtime's key in each view (nothing: no key; a value that is
// not text where asked), against homes of C:\JavaOlhar: jre holds
// bin\Javaw.exe, lower bin\javaw.exe, vazio nothing.
struct JavaLookCase {
    const char* Name;
    const wchar_t* Home64;
    const wchar_t* Home32;
    bool Usable;
    const wchar_t* Line;
    bool NotText64 = false;
};
TABLE_CASE_PRINTER(JavaLookCase)

#define JAVA_KEY L"HKLM\\Software\\JavaSoft\\Java Runtime Environment\\1.8"
#define NO_JAVA L"no Java the launcher can start: "
const JavaLookCase JavaLookCases[] = {
    {"None", nullptr, nullptr, false,
     NO_JAVA JAVA_KEY L" is in neither the 64-bit nor the 32-bit view"},
    {"Usable64", L"C:\\JavaOlhar\\jre", nullptr, true,
     JAVA_KEY L" (64-bit view), JavaHome C:\\JavaOlhar\\jre: the launcher will start "
              L"C:\\JavaOlhar\\jre\\bin\\Javaw.exe"},
    {"Only32", nullptr, L"C:\\JavaOlhar\\jre", true,
     JAVA_KEY L" (32-bit view), JavaHome C:\\JavaOlhar\\jre: the launcher will start "
              L"C:\\JavaOlhar\\jre\\bin\\Javaw.exe"},
    // The launcher takes the 64-bit key whatever the 32-bit one holds.
    {"EmptyHome64BesideAGood32", L"", L"C:\\JavaOlhar\\jre", false,
     NO_JAVA JAVA_KEY L" (64-bit view), JavaHome is empty"},
    {"Home64WithoutTheRuntime", L"C:\\JavaOlhar\\vazio", L"C:\\JavaOlhar\\jre", false,
     NO_JAVA JAVA_KEY L" (64-bit view), JavaHome C:\\JavaOlhar\\vazio holds no "
                      L"C:\\JavaOlhar\\vazio\\bin\\Javaw.exe"},
    {"JavawInLowerCase", L"C:\\JavaOlhar\\lower", nullptr, true,
     JAVA_KEY L" (64-bit view), JavaHome C:\\JavaOlhar\\lower: the launcher will start "
              L"C:\\JavaOlhar\\lower\\bin\\Javaw.exe"},
    {"NotText", L"", nullptr, false, NO_JAVA JAVA_KEY L" (64-bit view), JavaHome is not text",
     true},
    {"AHomeNarrowedToAnotherName", L"C:\\JavaOlhar\\\uff4aava", nullptr, false,
     NO_JAVA JAVA_KEY L" (64-bit view), JavaHome C:\\JavaOlhar\\\uff4aava holds characters the "
                      L"code page cannot hold (the launcher shows 1113)"},
};

class JavaLookTest : public testing::TestWithParam<JavaLookCase> {};

TEST_P(JavaLookTest, LooksWhereTheLauncherLooks) {
    const JavaLookCase& c = GetParam();
    const fs::path homes = L"C:\\JavaOlhar";
    fs::remove_all(homes);
    fs::create_directories(homes / L"jre\\bin");
    fs::create_directories(homes / L"lower\\bin");
    fs::create_directories(homes / L"vazio");
    std::ofstream(homes / L"jre\\bin\\Javaw.exe") << "x";
    std::ofstream(homes / L"lower\\bin\\javaw.exe") << "x";
    const wchar_t* key = L"Software\\JavaSoft\\Java Runtime Environment\\1.8";
    DeleteMachineKey(KEY_WOW64_64KEY, key);
    DeleteMachineKey(KEY_WOW64_32KEY, key);
    std::vector<std::unique_ptr<ScratchKey>> keys;
    for (const auto& [view, home] :
         {std::pair{KEY_WOW64_64KEY, c.Home64}, {KEY_WOW64_32KEY, c.Home32}}) {
        if (home != nullptr) {
            keys.push_back(std::make_unique<ScratchKey>(view, key));
            const DWORD number = 1;
            if (c.NotText64 && view == KEY_WOW64_64KEY) {
                keys.back()->SetRaw(L"JavaHome", REG_DWORD, &number, sizeof number);
            } else {
                keys.back()->SetText(L"JavaHome", home);
            }
        }
    }
    const JavaLook look = LookForInstalledJava();
    EXPECT_EQ(look.Usable, c.Usable);
    EXPECT_EQ(look.Line, c.Line);
    keys.clear();
    fs::remove_all(homes);
}

INSTANTIATE_TEST_SUITE_P(Table, JavaLookTest, testing::ValuesIn(JavaLookCases), CaseName());

} // namespace
