#include "tests/support/folder_facts.h"

#include <iphlpapi.h>

#include <cstring>

#include "tests/support/code_page.h"

namespace {

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
    {"AFileOnTheWay", L"D:\\arquivo.txt\\App", Refusal::NotAFolder, L"D:\\arquivo.txt"},
};

TABLE_TEST(JudgeTest, TextCase, JudgeCases);

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

TABLE_TEST(CodePageFolderTest, CodePageFolderCase, CodePageFolderCases);

TEST_P(CodePageFolderTest, RefusesAFolderTheLauncherCouldNotStartFrom) {
    const Refusal* expected = ExpectationUnder(GetParam().Expected, GetACP());
    ASSERT_NE(expected, nullptr);
    const Judgement judgement = JudgedHere(GetParam().Text);
    EXPECT_STREQ(RefusalName(judgement.Result.Reason), RefusalName(*expected));
}

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

TABLE_TEST(ExistingTest, ExistingCase, ExistingCases);

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
    // Windows Installer's 259 for a file: the table SharedRules reads.
    {"NoSubfolderTheFolderItselfAt249", 249, {4, 0}, Refusal::TooLong},
    {"PastWhatAnyWin32CallTakes", 40000, SmallPackage, Refusal::TooLong},
};

TABLE_TEST(LengthTest, LengthCase, LengthCases);

TEST_P(LengthTest, KeepsEveryInstalledPathWithinWhatWindowsMakes) {
    const LengthCase& c = GetParam();
    const Judgement judgement = JudgedHere(L"C:\\" + std::wstring(c.Length - 3, L'a'), {}, c.Reach);
    EXPECT_STREQ(RefusalName(judgement.Result.Reason), RefusalName(c.Expected));
}

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
} // namespace
