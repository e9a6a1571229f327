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
    void (*Change)(FolderFacts&);
    Refusal Expected;
    const wchar_t* At;
    const wchar_t* MovedFrom = L""; // where an upgrade takes the older version's files from
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
    // An upgrade moves only where the product is elsewhere: not where the
    // folder is named through a link to where it is installed.
    {"AnUpgradeElsewhereIsAMove", [](FolderFacts& f) { f.InstalledAt = {L"C:\\Antiga"}; },
     Refusal::None, L"", L"C:\\Antiga"},
    {"AnUpgradeInPlaceNamedThroughALinkIsNoMove",
     [](FolderFacts& f) {
         EmptyFolder(f, AdministratorsOnly);
         f.Folder = f.Nearest = f.Text = L"C:\\Elo"; // leading to C:\Tarnix
         f.InstalledAt = {L"C:\\Tarnix"};
     },
     Refusal::None, L""},
    // An upgrade replaces one installation: two are named, whatever the folder.
    {"TwoInstallationsInTwoFolders",
     [](FolderFacts& f) {
         f.InstalledAt = {L"C:\\A", L"c:\\a\\", L"D:\\B"};
     },
     Refusal::Related, L"C:\\A\\ e D:\\B\\"},
};

TABLE_TEST(FactsTest, FactsCase, FactsCases);

TEST_P(FactsTest, JudgesWhatTheMachineSaid) {
    FolderFacts facts = Plain();
    GetParam().Change(facts);
    const Machine machine = {{}, {}, TrustedTrustees(Installer, MachineAdministrators), {}};
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
struct Held {
    const wchar_t* Path;
    const wchar_t* Owner = L"S-1-5-32-544";
    unsigned long Names = 1;
    const wchar_t* Sddl = nullptr;
    bool Link = false;
};

// C:\Tarnix as the second look reads it: its owner (null: it could not be
// opened) and what it holds; its own descriptor, a link, where it leads,
// where the row says otherwise.
struct MadeCase {
    const char* Name;
    const wchar_t* Owner;
    std::vector<Held> Contents;
    Refusal Expected;
    const wchar_t* At;
    const wchar_t* Sddl = nullptr;
    bool Link = false;
    const wchar_t* Where = L"C:\\Tarnix";
};
TABLE_CASE_PRINTER(MadeCase)

constexpr wchar_t Administrators[] = L"S-1-5-32-544";
const MadeCase MadeCases[] = {
    {"EmptyAndOwnedByAdministrators", Administrators, {}, Refusal::None, L""},
    {"OwnedByTheInstallingAdministrator", Installer, {}, Refusal::None, L""},
    {"HoldingThePackagesFolders",
     L"S-1-5-18",
     {{L"Java", L"S-1-5-18"}, {L"java\\BIN"}},
     Refusal::None,
     L""},
    {"Gone", nullptr, {}, Refusal::Unverifiable, L"C:\\Tarnix"},
    {"MadeByAUser", AUser, {}, Refusal::Owner, L"C:\\Tarnix"},
    {"ALinkInItsPlace", Administrators, {}, Refusal::Reparse, L"C:\\Tarnix", nullptr, true},
    {"LeadingElsewhere",
     Administrators,
     {},
     Refusal::Moved,
     L"D:\\Tarnix",
     nullptr,
     false,
     L"D:\\Tarnix"},
    {"HoldingAPlantedFile",
     Administrators,
     {{L"Java"}, {L"Java\\bin"}, {L"Java\\bin\\jli.dll"}},
     Refusal::Planted,
     L"C:\\Tarnix\\Java\\bin\\jli.dll"},
    {"HoldingAFolderOfAUser",
     Administrators,
     {{L"Java", AUser}},
     Refusal::Owner,
     L"C:\\Tarnix\\Java"},
    {"HoldingALink",
     Administrators,
     {{L"Java", Administrators, 1, nullptr, true}},
     Refusal::Reparse,
     L"C:\\Tarnix\\Java"},
    // What an upgrade finds is judged as files: a second name of a file
    // that may lie anywhere, or one that others may change.
    {"HoldingAHardLink",
     Administrators,
     {{L"Java\\bin", Administrators, 2}},
     Refusal::HardLink,
     L"C:\\Tarnix\\Java\\bin"},
    {"HoldingAJavaFolderUsersMayModify",
     Administrators,
     {{L"Java", Administrators, 1, L"O:BAD:PAI(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;BU)"}},
     Refusal::Writable,
     L"C:\\Tarnix\\Java"},
    // One bit each: create files in a folder of an upgraded installation,
    // and create folders in the installation folder itself (a Java folder
    // where the package has none), as a data drive's root grants it.
    {"HoldingAFolderUsersMayCreateFilesIn",
     Administrators,
     {{L"Java", Administrators, 1, L"O:BAD:PAI(A;OICI;FA;;;BA)(A;;0x1200ab;;;BU)"}},
     Refusal::Writable,
     L"C:\\Tarnix\\Java"},
    {"AuthenticatedUsersMayMakeFoldersInIt",
     Administrators,
     {},
     Refusal::Writable,
     L"C:\\Tarnix",
     L"O:BAD:PAI(A;OICI;FA;;;BA)(A;;LC;;;AU)"},
    {"UsersMayAddFilesToIt",
     Administrators,
     {},
     Refusal::Writable,
     L"C:\\Tarnix",
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
    MadeFolder older = {{L"C:\\Antiga", true, 0, true, false, {}, Locked(Administrators, nullptr)}};
    older.Contents.push_back(
        {L"C:\\Antiga\\Java\\bin", true, 0, true, true, {}, Locked(Administrators, nullptr), 1});
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
const MadeRecord Recorded = {L"C:\\Nivel1\\Nivel2",
                             L"000000000000abcd-0000000000000001ffffffff00000002", L"{P}"};
// What the removal's reading of it says: a link or not, where it is, and
// its identities.
struct Seen {
    bool Link;
    FolderPath Where;
    std::wstring Identity;
    std::wstring IndexIdentity = {};
    unsigned long Error = 0; // why it could not be opened; 0: opened
};
struct RemovalCase {
    const char* Name;
    Seen Found;
    Removal Expected;
    const wchar_t* Identity = Recorded.Identity.c_str();
};
TABLE_CASE_PRINTER(RemovalCase)

const RemovalCase RemovalCases[] = {
    {"TheFolderMade", {false, L"C:\\Nivel1\\Nivel2", Recorded.Identity}, Removal::Removed},
    {"ALinkInItsPlace",
     {true, L"C:\\Nivel1\\Nivel2", Recorded.Identity},
     Removal::NotTheFolderMade},
    {"ReachedThroughALinkAbove",
     {false, L"C:\\Alvo\\Nivel2", Recorded.Identity},
     Removal::NotTheFolderMade},
    {"AnotherVolume",
     {false, L"C:\\Nivel1\\Nivel2", L"000000000000abce-0000000000000001ffffffff00000002"},
     Removal::NotTheFolderMade},
    {"AnotherFileIdsHighHalf",
     {false, L"C:\\Nivel1\\Nivel2", L"000000000000abcd-0000000000000002ffffffff00000002"},
     Removal::NotTheFolderMade},
    {"AnotherFileIdsLowHalf",
     {false, L"C:\\Nivel1\\Nivel2", L"000000000000abcd-0000000000000001ffffffff00000003"},
     Removal::NotTheFolderMade},
    {"WhereItIsCannotBeTold", {false, L"", Recorded.Identity}, Removal::CouldNotOpen},
    {"WhatItIsCannotBeTold", {false, L"C:\\Nivel1\\Nivel2", L""}, Removal::CouldNotOpen},
    // Written before the 128-bit id: the file index it holds still tells it.
    {"AnOlderRecordsIndex",
     {false, L"C:\\Nivel1\\Nivel2", Recorded.Identity, L"0000abcd-0000000100000002"},
     Removal::Removed,
     L"0000abcd-0000000100000002"},
    {"AnOlderRecordOfAnotherIndex",
     {false, L"C:\\Nivel1\\Nivel2", Recorded.Identity, L"0000abcd-0000000100000003"},
     Removal::NotTheFolderMade,
     L"0000abcd-0000000100000002"},
    // Not to be opened: gone only where nothing is there; there but held
    // (a program that lets no one delete it), kept for a later removal.
    {"Gone", {false, L"", L"", L"", ERROR_PATH_NOT_FOUND}, Removal::Gone},
    {"HeldOpenByAProgram", {false, L"", L"", L"", ERROR_SHARING_VIOLATION}, Removal::CouldNotOpen},
};

TABLE_TEST(RemovalTest, RemovalCase, RemovalCases);

TEST_P(RemovalTest, TakesAwayOnlyTheFolderMade) {
    const MadeRecord record = {Recorded.Path, GetParam().Identity, Recorded.Product};
    const Seen& seen = GetParam().Found;
    FileObject found = {Recorded.Path, seen.Error == 0, seen.Error};
    found.Folder = true;
    found.Link = seen.Link;
    found.Where = seen.Where;
    found.Identity = seen.Identity;
    found.IndexIdentity = seen.IndexIdentity;
    EXPECT_STREQ(RemovalName(RemovalBefore(found, record)), RemovalName(GetParam().Expected));
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

struct MaintenanceCase {
    const char* Name;
    const wchar_t* Given;
    const wchar_t* Location;
    bool Removal;
    MaintenanceFolder Expected;
};
TABLE_CASE_PRINTER(MaintenanceCase)

// Installed in C:\TarnixM; told C:\Outra.
constexpr wchar_t Here[] = L"C:\\TarnixM\\";
constexpr wchar_t There[] = L"C:\\Outra\\";
const MaintenanceCase MaintenanceCases[] = {
    {"WhereItIs", L"c:\\tarnixm\\", Here, false, {Here, false}},
    {"ElsewhereStaysWhereItIs", There, Here, false, {Here, false}},
    {"NoKnownLocationIsRefused", There, L"", false, {There, true}},
    {"ARemovalNever", There, L"", true, {There, false}},
};

TABLE_TEST(MaintenanceTest, MaintenanceCase, MaintenanceCases);

TEST_P(MaintenanceTest, NeverMovesTheProduct) {
    const MaintenanceCase& c = GetParam();
    const MaintenanceFolder decision = MaintenanceDecision(c.Given, c.Location, c.Removal);
    EXPECT_EQ(decision.Folder, c.Expected.Folder);
    EXPECT_EQ(decision.Refused, c.Expected.Refused);
}

TEST(FolderToJudge, IsTheOneNamedOrForAnUpgradeNamingNoneTheInstalledOne) {
    EXPECT_EQ(FolderToJudge(There, true, {Here}), There); // a move
    EXPECT_EQ(FolderToJudge(There, false, {Here}), Here); // There: the default
    EXPECT_EQ(FolderToJudge(There, false, {}), There);    // a first install
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
    const std::optional<FolderPlan> read = ParsePlanData(PlanData(given));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->Folder, given.Folder);
    EXPECT_FALSE(read->Network);
    EXPECT_EQ(read->Resolved, given.Resolved);
    EXPECT_EQ(read->Nearest, L"C:\\");
    EXPECT_EQ(read->Descriptor, L"O:BAD:PAI(A;;FA;;;SY)");
    EXPECT_EQ(read->Trusted, given.Trusted);
    EXPECT_EQ(read->Allowed, given.Allowed);
    EXPECT_EQ(read->Layout, given.Layout);
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
    // The package's folders not there when judged, each where the folder leads.
    plan.Layout = {L"Java", L"Java\\bin"};
    plan.Resolved = L"E:\\Real";
    EXPECT_EQ(FoldersToMake(plan),
              (std::vector<FolderPath>{L"C:\\A\\B\\C\\Java", L"C:\\A\\B\\C\\Java\\bin"}));
    EXPECT_EQ(ResolvedStep(plan, L"C:\\A\\B\\C\\Java\\bin"), FolderPath(L"E:\\Real\\Java\\bin"));
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
    const PackageLayout layout = {{L"Java", L"Java\\bin", L"lib"}};
    std::vector<std::wstring> allowed = AllowedContents(judgement, layout);
    // Only the package's folders it did not hold are to be made.
    EXPECT_EQ(PlanFor(judgement, {}, L"", layout).Layout, std::vector<std::wstring>{L"lib"});
    std::sort(allowed.begin(), allowed.end());
    EXPECT_EQ(allowed, (std::vector<std::wstring>{L"Java", L"Java\\bin", L"Java\\bin\\Javaw.exe",
                                                  L"Java\\bin\\extra.dll", L"lib", L"notas.txt",
                                                  L"tarnix2018.exe"}));
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
