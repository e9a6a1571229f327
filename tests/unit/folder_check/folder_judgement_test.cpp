#include "tests/support/folder_facts.h"

#include <algorithm>
#include <map>
#include <sstream>

namespace {

struct WayCase {
    const char* Name;
    std::vector<WrittenStep> Way;
    Refusal Expected;
    const wchar_t* At; // the folder at fault
    bool ByAnAdministrator = true;
};
TABLE_CASE_PRINTER(WayCase)

// Most rows: D:\ as Windows ships it, then D:\Aplicativos, or the link
// D:\Link (its target's descriptor, then its own), as the row writes it.
constexpr wchar_t Apps[] = L"D:\\Aplicativos";
constexpr wchar_t Link[] = L"D:\\Link";
std::vector<WrittenStep> OnD(std::optional<std::wstring> sddl) {
    return {{L"D:\\", VolumeRoot}, {Apps, std::move(sddl)}};
}
std::vector<WrittenStep> LinkOnD(const wchar_t* target, std::optional<std::wstring> own) {
    return {{L"D:\\", VolumeRoot}, {Link, target, true, std::move(own)}};
}

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
    {"ParentUsersMayRepermit", OnD(UsersRepermit), Refusal::Writable, Apps},
    // Said apart: only protecting the folder takes an inherited right away.
    {"ParentInheritsUsersModify", OnD(InheritsUsersModify), Refusal::Inherited, Apps},
    {"ParentUsersHoldGenericAll", OnD(L"O:BAD:PAI(A;OICI;FA;;;SY)(A;;GA;;;BU)"), Refusal::Writable,
     Apps},
    {"ParentOwnedByAUser", OnD(OwnedByAUser), Refusal::Owner, Apps},
    {"ParentOwnedByTheInstaller", OnD(OwnedByTheInstaller), Refusal::None, L""},
    // An elevated install for a standard user trusts no folder of that user's.
    {"ParentOwnedByAStandardInstaller", OnD(OwnedByTheInstaller), Refusal::Owner, Apps, false},
    // The administrators a machine has are trusted as owners and grantees.
    {"ParentOwnedByDomainAdmins",
     OnD(L"O:S-1-5-21-5-6-7-512D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;S-1-5-21-5-6-7-512)"),
     Refusal::None, L""},
    {"ProtectedAdministratorsOnlyParent", OnD(AdministratorsOnly), Refusal::None, L""},
    {"DeleteChildOnTheGrandparent",
     {{L"D:\\", VolumeRoot},
      {L"D:\\Dados", UsersDeleteChildren},
      {L"D:\\Dados\\Aplicativos", AdministratorsOnly}},
     Refusal::Writable,
     L"D:\\Dados"},
    // A link is judged by its own descriptor and by its target's; said as
    // the link's own rule, whether granted or inherited.
    {"LinkUsersMayChange", LinkOnD(AdministratorsOnly, UsersWrite), Refusal::Reparse, Link},
    {"LinkUsersMayChangeByInheritance", LinkOnD(AdministratorsOnly, InheritsUsersModify),
     Refusal::Reparse, Link},
    {"LinkOwnedByAUser", LinkOnD(AdministratorsOnly, OwnedByAUser), Refusal::Reparse, Link},
    {"LinkOnlyAdministratorsChange", LinkOnD(AdministratorsOnly, AdministratorsOnly), Refusal::None,
     L""},
    {"LinkToAFolderUsersMayRepermit", LinkOnD(UsersRepermit, AdministratorsOnly), Refusal::Writable,
     Link},
    {"LinkWhoseOwnDescriptorIsUnreadable", LinkOnD(AdministratorsOnly, std::nullopt),
     Refusal::Unverifiable, Link},
    {"UnreadableDescriptor", OnD(std::nullopt), Refusal::Unverifiable, Apps},
};

TABLE_TEST(WayTest, WayCase, WayCases);

TEST_P(WayTest, JudgesEveryFolderDownToTheInstallation) {
    const WayCase& c = GetParam();
    // The list the action builds, not one of the test's own.
    const Verdict verdict = WayRefusal(
        Read(c.Way), TrustedTrustees(c.ByAnAdministrator ? Installer : L"", MachineAdministrators));
    EXPECT_STREQ(RefusalName(verdict.Reason), RefusalName(c.Expected));
    EXPECT_EQ(verdict.Folder, c.At);
}

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

TABLE_TEST(TrusteeTest, TrusteeCase, TrusteeCases);

TEST_P(TrusteeTest, TrustsTheInstallingAccountOnlyAsAnAdministrator) {
    const TrusteeCase& c = GetParam();
    const std::vector<std::wstring> trusted =
        TrustedTrustees(c.ByAnAdministrator ? Installer : L"", MachineAdministrators);
    EXPECT_EQ(std::count(trusted.begin(), trusted.end(), c.Trustee), c.Trusted ? 1 : 0);
}

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

TABLE_TEST(TokenTest, TokenCase, TokenCases);

TEST_P(TokenTest, JudgesAnAdministratorByItsElevatedToken) {
    EXPECT_EQ(CountsAsAdministrator(GetParam().Token), GetParam().Administrator);
}

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
    // Device names: the table the package build's tests read too (SharedRules).
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

TABLE_TEST(FormTest, TextCase, FormCases);

TEST_P(FormTest, JudgesTheTextAsGiven) {
    EXPECT_STREQ(RefusalName(FormRefusal(GetParam().Text)), RefusalName(GetParam().Expected));
}

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
    Refusal Expected;
    const wchar_t* At;
    void (*Change)(FolderFacts&);
    const wchar_t* MovedFrom = L""; // where an upgrade takes the older version's files from
};
TABLE_CASE_PRINTER(FactsCase)

const FactsCase FactsCases[] = {
    {"Plain", Refusal::None, L"", [](FolderFacts&) {}},
    // Every folder the package makes is made locked: what the roots Windows
    // ships pass down is moot, and a root's DELETE counts for nothing; the
    // launcher's own SIS folder installs; not below a folder made there by
    // hand, which any user may rename.
    {"TwoLevelsBelowTheSystemDrivesRoot", Refusal::None, L"",
     [](FolderFacts& f) {
         Below(f, L"C:\\Velmora\\Tarnix", {{L"C:\\", VolumeRoot}});
     }},
    {"TheSisFolderOnADataDrive", Refusal::None, L"",
     [](FolderFacts& f) {
         Below(f, L"D:\\aplic\\mivo2016\\dovrenta\\Producao\\Tarnix-Cadastro",
               {{L"D:\\", VolumeRoot}});
     }},
    {"BelowAnOlderDataDrivesRoot", Refusal::None, L"",
     [](FolderFacts& f) {
         Below(f, L"D:\\Apps\\Tarnix", {{L"D:\\", DataVolumeRoot}});
     }},
    {"BelowAFolderMadeWithMkdirInARoot", Refusal::Inherited, L"D:\\aplic",
     [](FolderFacts& f) {
         Below(f, L"D:\\aplic\\mivo2016\\Tarnix",
               {{L"D:\\", VolumeRoot}, {L"D:\\aplic", MadeWithMkdirInARoot}});
     }},
    {"NtfsOnARemovableDisk", Refusal::None, L"",
     [](FolderFacts& f) { f.Volume.DriveType = DRIVE_REMOVABLE; }},
    {"FatOrExFat", Refusal::NoPermissions, L"C:\\",
     [](FolderFacts& f) { f.Volume.Flags = FILE_UNICODE_ON_DISK; }},
    {"MappedNetworkDrive", Refusal::Mapped, L"C:\\",
     [](FolderFacts& f) { f.Volume.DriveType = DRIVE_REMOTE; }},
    {"NoSuchLetter", Refusal::Mapped, L"C:\\",
     [](FolderFacts& f) { f.Volume.DriveType = DRIVE_NO_ROOT_DIR; }},
    // A failure that is no absence, whatever else was read.
    {"AFolderOfTheWayThatFailsToOpen", Refusal::Unverifiable, L"C:\\Tarnix",
     [](FolderFacts& f) { f.Unreadable = L"C:\\Tarnix"; }},
    {"ALinkToAVolumeThatKeepsNoPermissions", Refusal::NoPermissions, L"E:\\",
     [](FolderFacts& f) {
         f.FinalNearest = L"E:\\Dados";
         f.ResolvedVolume = {L"E:\\", DRIVE_FIXED, 0};
     }},
    {"ALinkToANetworkDrive", Refusal::Mapped, L"Z:\\",
     [](FolderFacts& f) {
         f.FinalNearest = L"Z:\\Dados";
         f.ResolvedVolume = {L"Z:\\", DRIVE_REMOTE, FILE_PERSISTENT_ACLS};
     }},
    {"ALinkToAVolumeRoot", Refusal::Root, L"E:\\",
     [](FolderFacts& f) {
         f.Folder = f.Nearest = L"C:\\Tarnix";
         f.FinalNearest = L"E:\\";
     }},
    {"AVolumeMountedWhereItLeads", Refusal::Root, L"C:\\Tarnix\\App",
     [](FolderFacts& f) { f.ResolvedVolume.Path = L"C:\\Tarnix\\App\\"; }},
    {"ATrustedLinkIntoAFolderUsersMayRepermit", Refusal::Writable, L"D:\\Aberta",
     [](FolderFacts& f) {
         f.FinalNearest = L"D:\\Aberta\\Dentro";
         f.WayToWhereItLeads = Read({{L"D:\\", VolumeRoot},
                                     {L"D:\\Aberta", UsersRepermit},
                                     {L"D:\\Aberta\\Dentro", AdministratorsOnly}});
     }},
    // A server that resolves to one of this machine's adapters' addresses.
    {"AServerThatIsThisMachine", Refusal::Loopback, L"\\\\servidor\\share\\",
     [](FolderFacts& f) {
         f.Folder = f.Text = L"\\\\servidor\\share\\Tarnix";
         f.ServerAddresses = {L"10.1.2.9", L"10.1.2.3"};
         f.OwnAddresses = {L"10.1.2.3"};
     }},
    // A network folder there: another installation's, or this product's own.
    {"AnExistingNetworkFolder", Refusal::Existing, L"\\\\servidor\\share\\Tarnix", OnAShare},
    {"TheNetworkFolderTheProductIsIn", Refusal::None, L"",
     [](FolderFacts& f) {
         OnAShare(f);
         f.InstalledAt = {f.Folder};
     }},
    {"AnEmptyFolderMadeAndSecuredBeforehand", Refusal::None, L"",
     [](FolderFacts& f) { EmptyFolder(f, AdministratorsOnly); }},
    {"AnEmptyFolderUsersMayModify", Refusal::Existing, L"C:\\Tarnix",
     [](FolderFacts& f) { EmptyFolder(f, InheritsUsersModify); }},
    // An upgrade moves only where the product is elsewhere: not where the
    // folder is named through a link to where it is installed.
    {"AnUpgradeElsewhereIsAMove", Refusal::None, L"",
     [](FolderFacts& f) { f.InstalledAt = {L"C:\\Antiga"}; }, L"C:\\Antiga"},
    {"AnUpgradeInPlaceNamedThroughALinkIsNoMove", Refusal::None, L"",
     [](FolderFacts& f) {
         EmptyFolder(f, AdministratorsOnly);
         f.Folder = f.Nearest = f.Text = L"C:\\Elo"; // leading to C:\Tarnix
         f.InstalledAt = {L"C:\\Tarnix"};
     }},
    // An upgrade replaces one installation: two are named, whatever the folder.
    {"TwoInstallationsInTwoFolders", Refusal::Related, L"C:\\A\\ e D:\\B\\",
     [](FolderFacts& f) {
         f.InstalledAt = {L"C:\\A", L"c:\\a\\", L"D:\\B"};
     }},
};

TABLE_TEST(FactsTest, FactsCase, FactsCases);

TEST_P(FactsTest, JudgesWhatTheMachineSaid) {
    FolderFacts facts = Plain();
    GetParam().Change(facts);
    const Machine machine = {{}, {}, TrustedTrustees(Installer, MachineAdministrators)};
    const Judgement judgement = JudgeFolder(facts, machine, SmallPackage);
    EXPECT_STREQ(RefusalName(judgement.Result.Reason), RefusalName(GetParam().Expected));
    EXPECT_EQ(judgement.Result.Folder, GetParam().At);
    EXPECT_EQ(judgement.MovedFrom.Text(), GetParam().MovedFrom);
}

// What the package build refuses too, from the one table both tests read:
// device names in any folder, and the longest path Windows Installer installs.
TEST(SharedRules, AreThePackageBuildsToo) {
    std::ifstream table(std::string("Z:") + TARNIX_SOURCE_DIR "/tests/support/shared_rules.tsv");
    ASSERT_TRUE(table.is_open());
    const Machine machine = {{}, {}, TrustedTrustees(Installer, MachineAdministrators)};
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
    EXPECT_EQ(rows, 12);
}

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

TABLE_TEST(AddressTest, AddressCase, AddressCases);

TEST_P(AddressTest, TellsThisMachineByItsAddresses) {
    // As the reader gives them: one text an address.
    EXPECT_EQ(IsThisMachine(CanonicalAddress(GetParam().Address), {OwnAddress}),
              GetParam().ThisMachine);
}

// An existing folder, and where Windows Installer has the product installed.

TEST(RefusalName, IsEachReasonsOwnKeyword) {
    // What the log, the launch conditions and the administrators' page share.
    std::wstring keywords;
    for (std::size_t i = 0; i <= static_cast<std::size_t>(Refusal::Appeared); ++i) {
        keywords += RefusalName(static_cast<Refusal>(i)) + std::wstring(L" ");
    }
    EXPECT_EQ(keywords,
              L" relative slash dot percent device loopback mapped noacls root system "
              L"shared profile existing owner writable inherited reparse unverifiable "
              L"codepage reserved devicename server notafolder toolong maintenance related moved "
              L"planted hardlink appeared ");
}

// The folder as the second look finds it, against the data the first check
// gave: C:\Tarnix, allowed to hold the package's Java and Java\bin.
const FolderPlan Judged = {
    L"C:\\Tarnix\\",          false,
    L"C:\\Tarnix\\",          L"C:\\",
    L"O:BAD:PAI(A;;FA;;;SY)", TrustedTrustees(Installer, MachineAdministrators),
    {L"Java", L"Java\\bin"}};
constexpr wchar_t AUser[] = L"S-1-5-21-1-2-3-1001";

// A thing the folder holds as the rows write it: its path below the
// folder, its owner, its names, and its own descriptor as SDDL where the
// row gives one (else its owner's locked one).
constexpr wchar_t Administrators[] = L"S-1-5-32-544";
struct Held {
    const wchar_t* Path;
    const wchar_t* Owner = Administrators;
    unsigned long Names = 1;
    const wchar_t* Sddl = nullptr;
    bool Link = false;
};

// C:\Tarnix as the second look reads it: what it holds, its owner (null: it
// could not be opened); its own descriptor, a link, where it leads, where
// the row says otherwise.
constexpr wchar_t Tarnix[] = L"C:\\Tarnix";
struct MadeCase {
    const char* Name;
    Refusal Expected;
    const wchar_t* At;
    std::vector<Held> Contents = {};
    const wchar_t* Owner = Administrators;
    const wchar_t* Sddl = nullptr;
    bool Link = false;
    const wchar_t* Where = Tarnix;
};
TABLE_CASE_PRINTER(MadeCase)

const MadeCase MadeCases[] = {
    {"EmptyAndOwnedByAdministrators", Refusal::None, L""},
    {"OwnedByTheInstallingAdministrator", Refusal::None, L"", {}, Installer},
    {"HoldingThePackagesFolders",
     Refusal::None,
     L"",
     {{L"Java", L"S-1-5-18"}, {L"java\\BIN"}},
     L"S-1-5-18"},
    {"Gone", Refusal::Unverifiable, Tarnix, {}, nullptr},
    {"MadeByAUser", Refusal::Owner, Tarnix, {}, AUser},
    {"ALinkInItsPlace", Refusal::Reparse, Tarnix, {}, Administrators, nullptr, true},
    {"LeadingElsewhere",
     Refusal::Moved,
     L"D:\\Tarnix",
     {},
     Administrators,
     nullptr,
     false,
     L"D:\\Tarnix"},
    {"HoldingAPlantedFile",
     Refusal::Planted,
     L"C:\\Tarnix\\Java\\bin\\jli.dll",
     {{L"Java"}, {L"Java\\bin"}, {L"Java\\bin\\jli.dll"}}},
    {"HoldingAFolderOfAUser", Refusal::Owner, L"C:\\Tarnix\\Java", {{L"Java", AUser}}},
    {"HoldingALink",
     Refusal::Reparse,
     L"C:\\Tarnix\\Java",
     {{L"Java", Administrators, 1, nullptr, true}}},
    // What an upgrade finds is judged as files: a second name of a file
    // that may lie anywhere, or one that others may change.
    {"HoldingAHardLink",
     Refusal::HardLink,
     L"C:\\Tarnix\\Java\\bin",
     {{L"Java\\bin", Administrators, 2}}},
    {"HoldingAJavaFolderUsersMayModify",
     Refusal::Writable,
     L"C:\\Tarnix\\Java",
     {{L"Java", Administrators, 1, L"O:BAD:PAI(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;BU)"}}},
    // One bit each: create files in a folder of an upgraded installation,
    // and create folders in the installation folder itself (a Java folder
    // where the package has none), as a data drive's root grants it.
    {"HoldingAFolderUsersMayCreateFilesIn",
     Refusal::Writable,
     L"C:\\Tarnix\\Java",
     {{L"Java", Administrators, 1, L"O:BAD:PAI(A;OICI;FA;;;BA)(A;;0x1200ab;;;BU)"}}},
    {"AuthenticatedUsersMayMakeFoldersInIt",
     Refusal::Writable,
     Tarnix,
     {},
     Administrators,
     L"O:BAD:PAI(A;OICI;FA;;;BA)(A;;LC;;;AU)"},
    {"UsersMayAddFilesToIt",
     Refusal::Writable,
     Tarnix,
     {},
     Administrators,
     L"O:BAD:PAI(A;OICI;FA;;;BA)(A;;0x1200ab;;;BU)"},
};

// A descriptor owned by owner with the lock's grants: Users read and run.
Security Locked(const wchar_t* owner, const wchar_t* sddl) {
    return Parsed(sddl != nullptr
                      ? sddl
                      : L"O:" + std::wstring(owner) +
                            L"D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)");
}

TABLE_TEST(MadeFolderTest, MadeCase, MadeCases);

TEST_P(MadeFolderTest, AdoptsOnlyTheFolderThatWasJudged) {
    const MadeCase& c = GetParam();
    MadeFolder made = {{Judged.Folder, c.Owner != nullptr}};
    if (c.Owner != nullptr) {
        made.Itself = {Judged.Folder, true, 0, true, c.Link, c.Where, Locked(c.Owner, c.Sddl)};
    }
    for (const Held& held : c.Contents) {
        made.Contents.push_back({Judged.Folder / held.Path,
                                 true,
                                 0,
                                 false,
                                 held.Link,
                                 {},
                                 Locked(held.Owner, held.Sddl),
                                 held.Names});
    }
    const Verdict verdict = MadeFolderRefusal(made, Judged);
    EXPECT_STREQ(RefusalName(verdict.Reason), RefusalName(c.Expected));
    EXPECT_EQ(verdict.Folder, c.At);
}

// On a move, the older version's folder is judged before anything is
// removed from it, where it is there.
TEST(FoundFolderRefusal, JudgesTheOlderFolderOfAMoveWhereItIsThere) {
    Judgement moving;
    moving.MovedFrom = L"C:\\Antiga";
    const Security locked = Locked(Administrators, nullptr);
    const MadeFolder older = {{L"C:\\Antiga", true, 0, true, false, {}, locked},
                              {{L"C:\\Antiga\\Java\\bin", true, 0, true, true, {}, locked, 1}}};
    EXPECT_EQ(FoundFolderRefusal(moving, Judged, older).Folder, L"C:\\Antiga\\Java\\bin");
    EXPECT_FALSE(FoundFolderRefusal(Judgement{}, Judged, older)); // no move
    EXPECT_FALSE(
        FoundFolderRefusal(moving, Judged, {{L"C:\\Antiga", false, ERROR_PATH_NOT_FOUND}}));
    EXPECT_EQ(
        FoundFolderRefusal(moving, Judged, {{L"C:\\Antiga", false, ERROR_ACCESS_DENIED}}).Reason,
        Refusal::Unverifiable);
}

// What a rollback or a removal finds at a recorded folder's path: the
// identity is the volume serial and the 128-bit file id, each part compared.
constexpr wchar_t Made[] = L"C:\\Nivel1\\Nivel2";
constexpr wchar_t Identity[] = L"000000000000abcd-0000000000000001ffffffff00000002";
// What the removal's reading of it says: a link or not, where it is, and
// its identities.
struct Seen {
    bool Link;
    const wchar_t* Where;
    const wchar_t* Identity;
    const wchar_t* IndexIdentity = L"";
    unsigned long Error = 0; // why it could not be opened; 0: opened
};
struct RemovalCase {
    const char* Name;
    Removal Expected;
    Seen Found;
    const wchar_t* Recorded = Identity;
};
TABLE_CASE_PRINTER(RemovalCase)

const RemovalCase RemovalCases[] = {
    {"TheFolderMade", Removal::Removed, {false, Made, Identity}},
    {"ALinkInItsPlace", Removal::NotTheFolderMade, {true, Made, Identity}},
    {"ReachedThroughALinkAbove", Removal::NotTheFolderMade, {false, L"C:\\Alvo\\Nivel2", Identity}},
    {"AnotherVolume",
     Removal::NotTheFolderMade,
     {false, Made, L"000000000000abce-0000000000000001ffffffff00000002"}},
    {"AnotherFileIdsHighHalf",
     Removal::NotTheFolderMade,
     {false, Made, L"000000000000abcd-0000000000000002ffffffff00000002"}},
    {"AnotherFileIdsLowHalf",
     Removal::NotTheFolderMade,
     {false, Made, L"000000000000abcd-0000000000000001ffffffff00000003"}},
    {"WhereItIsCannotBeTold", Removal::CouldNotOpen, {false, L"", Identity}},
    {"WhatItIsCannotBeTold", Removal::CouldNotOpen, {false, Made, L""}},
    // Written before the 128-bit id: the file index it holds still tells it.
    {"AnOlderRecordsIndex",
     Removal::Removed,
     {false, Made, Identity, L"0000abcd-0000000100000002"},
     L"0000abcd-0000000100000002"},
    {"AnOlderRecordOfAnotherIndex",
     Removal::NotTheFolderMade,
     {false, Made, Identity, L"0000abcd-0000000100000003"},
     L"0000abcd-0000000100000002"},
    // Not to be opened: gone only where nothing is there; there but held
    // (a program that lets no one delete it), kept for a later removal.
    {"Gone", Removal::Gone, {false, L"", L"", L"", ERROR_PATH_NOT_FOUND}},
    {"HeldOpenByAProgram", Removal::CouldNotOpen, {false, L"", L"", L"", ERROR_SHARING_VIOLATION}},
};

TABLE_TEST(RemovalTest, RemovalCase, RemovalCases);

TEST_P(RemovalTest, TakesAwayOnlyTheFolderMade) {
    const Seen& seen = GetParam().Found;
    FileObject found = {Made, seen.Error == 0, seen.Error, true, seen.Link, seen.Where};
    found.Identity = seen.Identity;
    found.IndexIdentity = seen.IndexIdentity;
    EXPECT_STREQ(RemovalName(RemovalBefore(found, {Made, GetParam().Recorded, L"{P}"})),
                 RemovalName(GetParam().Expected));
}

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
    {"AHardLinkShowsItsOwnBox", Refusal::HardLink, nullptr, L"", L"1"},
    // A root's backslash doubled, or the quote after it would be taken as text.
    {"RefusedAtARoot", Refusal::Writable, nullptr, L"", L"1", L"D:\\", L"\"D:\\\\\""},
    // No launch condition of its own on a first install: the closing one stops it.
    {"ARefusalNoConditionShowsStops", Refusal::Maintenance, nullptr, L""},
    {"ARefusalThatCannotBeSetStops", Refusal::Writable, L"InstallDirRefusal", L"(unset)"},
    {"AFolderThatCannotBeSetStops", Refusal::None, L"INSTALLDIR", L"(unset)"},
    {"DataThatCannotBeSetStops", Refusal::None, L"VerifyInstallFolder", L"(unset)"},
};

TABLE_TEST(OutcomeTest, OutcomeCase, OutcomeCases);

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

// Where the product is, Windows Installer's one record says: installed in
// C:\TarnixM, told C:\Outra.
TEST(FolderToJudge, IsTheOneNamedOrWhereWindowsInstallerHasTheProduct) {
    constexpr wchar_t Here[] = L"C:\\TarnixM\\", There[] = L"C:\\Outra\\";
    EXPECT_EQ(FolderToJudge(There, true, {Here}), There); // a move
    EXPECT_EQ(FolderToJudge(There, false, {Here}), Here); // an upgrade; There: the default
    EXPECT_EQ(FolderToJudge(There, false, {}), There);    // a first install
    // A maintenance run stays there whatever it is told; refused only where
    // Windows Installer cannot say, a removal never.
    for (const bool removal : {false, true}) {
        EXPECT_EQ(MaintenanceDecision(There, Here, removal).Folder, Here);
        EXPECT_FALSE(MaintenanceDecision(There, Here, removal).Refused);
        EXPECT_EQ(MaintenanceDecision(There, L"", removal).Refused, !removal);
    }
}

TEST(PlanData, CarriesEveryFieldToTheDeferredActions) {
    const FolderPlan given = {L"C:\\Tarnix\\",
                              false,
                              L"E:\\Real\\",
                              L"C:\\",
                              L"O:BAD:PAI(A;;FA;;;SY)",
                              {L"S-1-5-18", L"S-1-5-21-9-9-9-500"},
                              {L"Java", L"notas.txt"},
                              {L"Java", L"Java\\bin"}};
    const std::wstring data = PlanData(given);
    EXPECT_EQ(data, L"C:\\Tarnix\\\nlocal\nE:\\Real\\\nC:\\\nO:BAD:PAI(A;;FA;;;SY)\n"
                    L"S-1-5-18 S-1-5-21-9-9-9-500\nJava|Java\\bin\nJava\nnotas.txt");
    const std::optional<FolderPlan> read = ParsePlanData(data);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(PlanData(*read), data);
    // A network folder carries itself alone; no plan, or a local one missing
    // what the second look judges with, is none.
    EXPECT_TRUE(ParsePlanData(PlanData({L"\\\\servidor\\share\\Tarnix", true}))->Network);
    EXPECT_FALSE(ParsePlanData(L"").has_value());
    EXPECT_FALSE(
        ParsePlanData(L"C:\\T\\\nlocal\nC:\\T\\\nC:\\\nO:BA\n\n").has_value()); // none trusted
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
    // The package's folders not there when judged, each where the folder leads.
    plan.Layout = {L"Java", L"Java\\bin"};
    plan.Resolved = L"E:\\Real";
    EXPECT_EQ(FoldersToMake(plan),
              (std::vector<FolderPath>{L"C:\\A\\B\\C\\Java", L"C:\\A\\B\\C\\Java\\bin"}));
    EXPECT_EQ(ResolvedStep(plan, L"C:\\A\\B\\C\\Java\\bin"), FolderPath(L"E:\\Real\\Java\\bin"));
}

// An upgrade in place may find the older version's files (in use) beside
// what an administrator added, each once, after the package's folders;
// only those of the package's it did not hold are to be made.

TEST(AllowedContents, AreThePackagesFoldersAndAllTheFolderHolds) {
    Judgement judgement;
    judgement.Folder = L"C:\\TarnixPermitido";
    for (const wchar_t* held : {L"Java", L"Java\\bin", L"tarnix2018.exe", L"notas.txt",
                                L"Java\\bin\\Javaw.exe", L"Java\\bin\\extra.dll"}) {
        judgement.Found.Contents.push_back({judgement.Folder / held, true});
    }
    const PackageLayout layout = {{L"Java", L"Java\\bin", L"lib"}};
    EXPECT_EQ(
        AllowedContents(judgement, layout),
        (std::vector<std::wstring>{L"Java", L"Java\\bin", L"lib", L"tarnix2018.exe", L"notas.txt",
                                   L"Java\\bin\\Javaw.exe", L"Java\\bin\\extra.dll"}));
    EXPECT_EQ(PlanFor(judgement, {}, L"", layout).Layout, std::vector<std::wstring>{L"lib"});
}

TEST(ProtectedRefusal, IsUnverifiableForAFolderTheMachineDoesNotNameAndNoneForAnUnsetOne) {
    const std::vector<ProtectedFolder> folders = {{L"C:\\Windows", Refusal::System, true},
                                                  {L"", Refusal::Profile, true, L"Public"}};
    const Verdict verdict = ProtectedRefusal(L"C:\\Tarnix", folders);
    EXPECT_EQ(verdict.Reason, Refusal::Unverifiable);
    EXPECT_EQ(verdict.Folder, L"Public");
    // An unset folder holds nothing: System64Folder is empty on 32-bit Windows.
    const std::vector<ProtectedFolder> unset = {{L"", Refusal::System, true}};
    EXPECT_EQ(ProtectedRefusal(L"C:\\Tarnix", unset).Reason, Refusal::None);
    EXPECT_EQ(ProtectedRefusal(L"\\\\servidor\\share\\Tarnix", unset).Reason, Refusal::None);
}
} // namespace
