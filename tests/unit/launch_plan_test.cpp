#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <memory>

#include "launcher/launch_plan.h"
#include "registry/registry_exception.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/case_name.h"
#include "tests/support/code_page.h"
#include "tests/support/launcher_entries.h"
#include "tests/support/scratch_registry.h"

namespace fs = std::filesystem;

namespace {

constexpr char FixedCommandTail[] =
    " -Xmx768m -jar \"D:\\aplic\\mivo2016\\dovrenta\\Producao\\Tarnix-Cadastro\\tarnix2018.jar\"";
constexpr char FixedFolderText[] = "D:\\aplic\\mivo2016\\dovrenta\\Producao\\Tarnix-Cadastro";

// A folder of exactly this path for the length of a test.
class FixedFolder {
public:
    explicit FixedFolder(fs::path path) : path_(std::move(path)) { fs::create_directories(path_); }
    ~FixedFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    FixedFolder(const FixedFolder&) = delete;
    FixedFolder& operator=(const FixedFolder&) = delete;

private:
    fs::path path_;
};

struct PlanSetting;
struct PlanText;

// Every test starts with neither registry entry in either view.
class LaunchPlanTest : public testing::Test {
protected:
    void SetUp() override { RemoveLauncherEntries(); }

    // The installed runtime's key in one view, with a JavaHome unless null.
    std::unique_ptr<ScratchKey> InstalledRuntime(REGSAM view, const wchar_t* javaHome) {
        auto key = std::make_unique<ScratchKey>(view, RuntimeKey);
        if (javaHome != nullptr) {
            key->SetText(L"JavaHome", javaHome);
        }
        return key;
    }

    RuntimePlan PlanIn(const std::wstring& directory) {
        CurrentDirectoryScope scope(directory);
        RegistryReaders readers = CreateRegistryReaders();
        return BuildRuntimePlan(readers);
    }
    // Composes the plan in that setting and compares it with the row's
    // expectation under the code page the test runs under.
    void ExpectPlan(const PlanSetting& given, LaunchRoute route, const ByCodePage<PlanText>& row);
};

// Where a plan is composed: the current directory, whether its Java folder
// exists, the installed runtime's home in the 64-bit view (null: none), and
// a folder with a Java folder of its own where a near narrowing would lead.
struct PlanSetting {
    const wchar_t* Directory;
    bool RuntimeFolder;
    const wchar_t* JavaHome;
    const wchar_t* LookAlike = nullptr;
};

// The plan's two texts, and whether it is refused, with error 1113.
struct PlanText {
    std::string CommandLine;
    std::string WorkingDirectory;
    bool Refused = false;
};
const PlanText Refused{"", "", true};

// The plan that starts HOME\bin\Javaw.exe on the archive in FOLDER, which
// the command line quotes as QUOTED (the folder, unless the row says).
PlanText Starts(const std::string& home, const std::string& folder, const char* quoted = nullptr) {
    return {"\"" + home + "\\bin\\Javaw.exe\" -Xmx768m -jar \"" + (quoted ? quoted : folder) +
                "\"\\tarnix2018.jar",
            folder};
}
// The same with the folder's own runtime, FOLDER\Java.
PlanText OwnRuntime(const std::string& folder, const char* quoted = nullptr) {
    return Starts(folder + "\\Java", folder, quoted);
}

// The first folder below the root, which holds all the path names.
fs::path TopFolder(const fs::path& path) {
    return path.root_path() / *path.relative_path().begin();
}

void LaunchPlanTest::ExpectPlan(const PlanSetting& given, LaunchRoute route,
                                const ByCodePage<PlanText>& row) {
    const PlanText* expected = ExpectationUnder(row, GetACP());
    ASSERT_NE(expected, nullptr);
    const fs::path directory(given.Directory);
    std::unique_ptr<FixedFolder> folder, runtime, lookAlike;
    if (given.LookAlike != nullptr) {
        lookAlike = std::make_unique<FixedFolder>(TopFolder(given.LookAlike));
        fs::create_directories(fs::path(given.LookAlike) / L"Java");
    }
    if (directory != directory.root_path()) {
        folder = std::make_unique<FixedFolder>(directory);
    }
    if (given.RuntimeFolder) {
        runtime = std::make_unique<FixedFolder>(directory / L"Java");
    }
    std::unique_ptr<ScratchKey> key;
    if (given.JavaHome != nullptr) {
        key = InstalledRuntime(KEY_WOW64_64KEY, given.JavaHome);
    }
    const RuntimePlan result = PlanIn(given.Directory);
    EXPECT_EQ(result.Route, route);
    EXPECT_EQ(result.Plan.CommandLine, expected->CommandLine);
    EXPECT_EQ(result.Plan.WorkingDirectory, expected->WorkingDirectory);
    EXPECT_EQ(result.Plan.RefusalCode,
              expected->Refused ? static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION) : 0u);
}

struct RuntimePlanCase {
    const char* Name;
    PlanSetting Given;
    LaunchRoute Route;
    ByCodePage<PlanText> Plan;
};
TABLE_CASE_PRINTER(RuntimePlanCase)

constexpr auto Private = LaunchRoute::PrivateRuntime;
constexpr auto Installed = LaunchRoute::InstalledRuntime;

const RuntimePlanCase RuntimePlanCases[] = {
    {"PrivateWorkedResult",
     {L"C:\\App", true, nullptr},
     Private,
     {{AnyCodePage, OwnRuntime("C:\\App")}}},
    {"InstalledWorkedResult",
     {L"C:\\App", false, L"C:\\JRE8"},
     Installed,
     {{AnyCodePage, Starts("C:\\JRE8", "C:\\App")}}},
    // At a root the archive's folder is quoted without its backslash, which
    // would escape the closing quote; the runtime folder has two separators.
    {"PrivateAtDriveRoot",
     {L"C:\\", true, nullptr},
     Private,
     {{AnyCodePage, OwnRuntime("C:\\", "C:")}}},
    {"InstalledAtDriveRoot",
     {L"C:\\", false, L"C:\\JRE8"},
     Installed,
     {{AnyCodePage, Starts("C:\\JRE8", "C:\\", "C:")}}},
    {"JavaHomeWithTrailingBackslash",
     {L"C:\\App", false, L"C:\\JRE8\\"},
     Installed,
     {{AnyCodePage, Starts("C:\\JRE8\\", "C:\\App")}}},
    // Without a home nothing is started (not \bin\Javaw.exe of the drive).
    {"EmptyJavaHome", {L"C:\\App", false, L""}, Installed, {{AnyCodePage, {"", "C:\\App"}}}},
    {"NoInstalledRuntime",
     {L"C:\\App", false, nullptr},
     Installed,
     {{AnyCodePage, {"", "C:\\App"}}}},
};

FIXTURE_TABLE_TEST(LaunchPlanTest, RuntimePlanTest, RuntimePlanCase, RuntimePlanCases);

TEST_P(RuntimePlanTest, ComposesTheCommandLineOrRefuses) {
    ExpectPlan(GetParam().Given, GetParam().Route, GetParam().Plan);
}

// Names whose narrow form turns on the ANSI code page: used exactly where
// the code page holds them, refused where it would give near characters
// that name another folder (a look-alike beside it) or runtime.
const RuntimePlanCase CodePagePlanCases[] = {
    {"AccentedDirectory",
     {L"C:\\A\u00e7\u00e3o Caf\u00e9", true, nullptr},
     Private,
     {{1252, OwnRuntime("C:\\A\xe7\xe3o Caf\xe9")},
      {65001, OwnRuntime("C:\\A\xc3\xa7\xc3\xa3o Caf\xc3\xa9")},
      {AnyCodePage, Refused}}},
    {"FullwidthDirectoryBesideALookAlikeRuntime",
     {L"C:\\\uff58app", false, L"C:\\JRE8", L"C:\\xapp"},
     Installed,
     {{932, Starts("C:\\JRE8", "C:\\\x82\x98"
                               "app")},
      {949, Starts("C:\\JRE8", "C:\\\xa3\xf8"
                               "app")},
      {65001, Starts("C:\\JRE8", "C:\\\xef\xbd\x98"
                                 "app")},
      {AnyCodePage, Refused}}},
    {"FullwidthDirectoryWithItsOwnRuntime",
     {L"C:\\\uff58app", true, nullptr, L"C:\\xapp"},
     Private,
     {{932, OwnRuntime("C:\\\x82\x98"
                       "app")},
      {949, OwnRuntime("C:\\\xa3\xf8"
                       "app")},
      {65001, OwnRuntime("C:\\\xef\xbd\x98"
                         "app")},
      {AnyCodePage, Refused}}},
    {"FullwidthJavaHome",
     {L"C:\\App", false, L"C:\\JRE\uff18"},
     Installed,
     {{932, Starts("C:\\JRE\x82\x57", "C:\\App")},
      {949, Starts("C:\\JRE\xa3\xb8", "C:\\App")},
      {65001, Starts("C:\\JRE\xef\xbc\x98", "C:\\App")},
      {AnyCodePage, Refused}}},
    // Each character's second byte in 932 is 0x5C, a backslash's byte.
    {"DoubleByteDirectory",
     {L"C:\\\u8868\u30bd\u80fd", true, nullptr},
     Private,
     {{932, OwnRuntime("C:\\\x95\\\x83\\\x94\\")},
      {949, OwnRuntime("C:\\\xf8\xfa\xab\xbd\xd2\xf6")},
      {65001, OwnRuntime("C:\\\xe8\xa1\xa8\xe3\x82\xbd\xe8\x83\xbd")},
      {AnyCodePage, Refused}}},
    {"DoubleByteJavaHome",
     {L"C:\\App", false, L"C:\\\u8868"},
     Installed,
     {{932, Starts("C:\\\x95\\", "C:\\App")},
      {949, Starts("C:\\\xf8\xfa", "C:\\App")},
      {65001, Starts("C:\\\xe8\xa1\xa8", "C:\\App")},
      {AnyCodePage, Refused}}},
    {"DoubleByteJavaHomeWithTrailingBackslash",
     {L"C:\\App", false, L"C:\\\u8868\\"},
     Installed,
     {{932, Starts("C:\\\x95\\\\", "C:\\App")},
      {949, Starts("C:\\\xf8\xfa\\", "C:\\App")},
      {65001, Starts("C:\\\xe8\xa1\xa8\\", "C:\\App")},
      {AnyCodePage, Refused}}},
    // Near a backslash: C:\x\y, with a Java folder, is the look-alike.
    {"YenDirectoryBesideALookAlike",
     {L"C:\\x\u00a5y", false, L"C:\\JRE8", L"C:\\x\\y"},
     Installed,
     {{1252, Starts("C:\\JRE8", "C:\\x\xa5y")},
      {65001, Starts("C:\\JRE8", "C:\\x\xc2\xa5y")},
      {AnyCodePage, Refused}}},
    {"WonDirectoryBesideALookAlike",
     {L"C:\\x\u20a9y", false, L"C:\\JRE8", L"C:\\x\\y"},
     Installed,
     {{65001, Starts("C:\\JRE8", "C:\\x\xe2\x82\xa9y")}, {AnyCodePage, Refused}}},
    {"FullwidthBackslashDirectoryBesideALookAlike",
     {L"C:\\x\uff3cy", false, L"C:\\JRE8", L"C:\\x\\y"},
     Installed,
     {{932, Starts("C:\\JRE8", "C:\\x\x81\x5fy")},
      {949, Starts("C:\\JRE8", "C:\\x\xa1\xacy")},
      {65001, Starts("C:\\JRE8", "C:\\x\xef\xbc\xbcy")},
      {AnyCodePage, Refused}}},
};

INSTANTIATE_TEST_SUITE_P(CodePage, RuntimePlanTest, testing::ValuesIn(CodePagePlanCases),
                         CaseName());

struct SisPlanCase {
    const char* Name;
    const wchar_t* Executable;
    ByCodePage<const char*> QuotedExecutable; // the command line's head; null: refused
};
TABLE_CASE_PRINTER(SisPlanCase)

const SisPlanCase SisPlanCases[] = {
    {"WorkedResult", L"C:\\JRE8\\bin\\javaw.exe", {{AnyCodePage, "\"C:\\JRE8\\bin\\javaw.exe\""}}},
    {"FullwidthExecutable",
     L"C:\\JRE\uff18\\bin\\javaw.exe",
     {{932, "\"C:\\JRE\x82\x57\\bin\\javaw.exe\""},
      {949, "\"C:\\JRE\xa3\xb8\\bin\\javaw.exe\""},
      {65001, "\"C:\\JRE\xef\xbc\x98\\bin\\javaw.exe\""},
      {AnyCodePage, nullptr}}},
    {"DoubleByteExecutable",
     L"C:\\\u8868\\bin\\javaw.exe",
     {{932, "\"C:\\\x95\\\\bin\\javaw.exe\""},
      {949, "\"C:\\\xf8\xfa\\bin\\javaw.exe\""},
      {65001, "\"C:\\\xe8\xa1\xa8\\bin\\javaw.exe\""},
      {AnyCodePage, nullptr}}},
};

FIXTURE_TABLE_TEST(LaunchPlanTest, SisPlanTest, SisPlanCase, SisPlanCases);

TEST_P(SisPlanTest, ComposesTheFixedCommandOrRefuses) {
    const SisPlanCase& c = GetParam();
    const char* const* quoted = ExpectationUnder(c.QuotedExecutable, GetACP());
    ASSERT_NE(quoted, nullptr);
    ScratchKey key(KEY_WOW64_64KEY, SystemKey);
    key.SetText(L"Executavel", c.Executable);
    const LaunchPlan plan = BuildSisPlan();
    if (*quoted == nullptr) {
        EXPECT_EQ(plan.CommandLine, "");
        EXPECT_EQ(plan.RefusalCode, static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
        return;
    }
    EXPECT_EQ(plan.CommandLine, std::string(*quoted) + FixedCommandTail);
    EXPECT_EQ(plan.WorkingDirectory, FixedFolderText);
    EXPECT_EQ(plan.RefusalCode, 0u);
}

struct ViewCase {
    const char* Name;
    bool Key64;
    const wchar_t* Home64; // null: the key has no JavaHome value
    bool Key32;
    const wchar_t* Home32;
    const char* ExpectedHome; // empty: no Java home; null: refused
    REGSAM Denied64 = 0;      // refused to everyone on the 64-bit key
};
TABLE_CASE_PRINTER(ViewCase)

const ViewCase ViewCases[] = {
    {"SixtyFourBitViewFirst", true, L"C:\\JRE64", true, L"C:\\JRE32", "C:\\JRE64"},
    {"DefaultViewWhenSixtyFourBitLacksTheKey", false, nullptr, true, L"C:\\JRE32", "C:\\JRE32"},
    {"NoFallBackWhenTheValueIsMissing", true, nullptr, true, L"C:\\JRE32", ""},
    {"NoFallBackWhenTheValueIsEmpty", true, L"", true, L"C:\\JRE32", ""},
    {"DefaultViewValueMissing", false, nullptr, true, nullptr, ""},
    {"KeyInNeitherView", false, nullptr, false, nullptr, ""},
    // A lone surrogate: no code page holds it, UTF-8 included.
    {"HomeOutsideTheCodePageIsRefused", true, L"C:\\JRE\xd800", false, nullptr, nullptr},
    // The key exists for KeyExists but does not open for reading.
    {"NoFallBackWhenTheSixtyFourBitKeyRefusesNotify", true, L"C:\\JRE64", true, L"C:\\JRE32", "",
     KEY_NOTIFY},
};

FIXTURE_TABLE_TEST(LaunchPlanTest, JavaHomeTest, ViewCase, ViewCases);

TEST_P(JavaHomeTest, FollowsTheViewOrder) {
    const ViewCase& c = GetParam();
    std::unique_ptr<ScratchKey> key64, key32;
    if (c.Key64) {
        key64 = InstalledRuntime(KEY_WOW64_64KEY, c.Home64);
        if (c.Denied64 != 0 && !key64->Deny(c.Denied64)) {
            GTEST_SKIP() << "this system does not enforce registry key security";
        }
    }
    if (c.Key32) {
        key32 = InstalledRuntime(KEY_WOW64_32KEY, c.Home32);
    }
    RegistryReaders readers = CreateRegistryReaders();
    const std::optional<AnsiString> home = FindJavaHome(readers);
    if (c.ExpectedHome == nullptr) {
        EXPECT_FALSE(home.has_value());
    } else {
        EXPECT_EQ(home, c.ExpectedHome);
    }
}

TEST_F(LaunchPlanTest, InstalledRouteReleasesTheReadersAndPrivateRouteKeepsThem) {
    ScratchFolder app;
    auto key = InstalledRuntime(KEY_WOW64_64KEY, L"C:\\JRE8");
    CurrentDirectoryScope scope(app.Text());
    RegistryReaders installed = CreateRegistryReaders();
    BuildRuntimePlan(installed);
    EXPECT_FALSE(installed.View64.has_value());
    EXPECT_FALSE(installed.ViewDefault.has_value());

    fs::create_directories(app.Path() / L"Java");
    RegistryReaders privateRoute = CreateRegistryReaders();
    EXPECT_EQ(BuildRuntimePlan(privateRoute).Route, LaunchRoute::PrivateRuntime);
    ASSERT_TRUE(privateRoute.View64.has_value());
    EXPECT_EQ(privateRoute.View64->CurrentKey(), nullptr);
    EXPECT_EQ(privateRoute.View64->RootKey(), HKEY_LOCAL_MACHINE);
}

DWORD WINAPI UnreadableDirectory(DWORD, LPWSTR) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
}

// Read for the private runtime's folder, then failing with a code of its
// own as the archive's folder is read: it changed between the two reads.
DWORD WINAPI ReadableOnlyOnce(DWORD size, LPWSTR buffer) {
    static bool read = false;
    read = !read;
    if (!read) {
        SetLastError(ERROR_NETNAME_DELETED);
        return 0;
    }
    return GetCurrentDirectoryW(size, buffer);
}

TEST_F(LaunchPlanTest, ACurrentDirectoryThatCannotBeReadStartsNothing) {
    // Taken for empty text, it would test \Java at the drive's root.
    ScratchFolder app;
    fs::create_directories(app.Path() / L"Java");
    CurrentDirectoryScope scope(app.Text());
    for (const auto& [call, code] : {std::pair{UnreadableDirectory, ERROR_ACCESS_DENIED},
                                     std::pair{ReadableOnlyOnce, ERROR_NETNAME_DELETED}}) {
        RegistryReaders readers = CreateRegistryReaders();
        const LaunchPlan plan = BuildRuntimePlan(readers, call).Plan;
        EXPECT_EQ(plan.CommandLine, "");
        EXPECT_EQ(plan.RefusalCode, static_cast<DWORD>(code));
    }
}

TEST_F(LaunchPlanTest, AFileNamedJavaIsNoRuntimeFolder) {
    ScratchFolder app;
    PlaceFile(ProgramFolder() / L"unit_tests.exe", app.Path() / L"Java");
    auto key = InstalledRuntime(KEY_WOW64_64KEY, L"C:\\JRE8");
    EXPECT_EQ(PlanIn(app.Text()).Route, LaunchRoute::InstalledRuntime);
}

TEST_F(LaunchPlanTest, SisModeIgnoresTheCurrentDirectoryAndTheRuntimeKey) {
    ScratchKey key(KEY_WOW64_64KEY, SystemKey);
    key.SetText(L"Executavel", L"C:\\Sis Java\\bin\\javaw.exe");
    auto runtime = InstalledRuntime(KEY_WOW64_64KEY, L"C:\\JRE8");
    ScratchFolder app;
    fs::create_directories(app.Path() / L"Java");
    FixedFolder outsideTheCodePage(L"C:\\\uff58app");
    const std::string expected = std::string("\"C:\\Sis Java\\bin\\javaw.exe\"") + FixedCommandTail;
    for (const std::wstring& directory :
         {app.Text(), std::wstring(L"C:\\"), std::wstring(L"C:\\\uff58app")}) {
        CurrentDirectoryScope scope(directory);
        const LaunchPlan plan = BuildSisPlan();
        EXPECT_EQ(plan.CommandLine, expected);
        EXPECT_EQ(plan.WorkingDirectory, FixedFolderText);
    }
}

TEST_F(LaunchPlanTest, SisModeReadsOnlyTheSixtyFourBitView) {
    ScratchKey key(KEY_WOW64_32KEY, SystemKey);
    key.SetText(L"Executavel", L"C:\\JRE8\\bin\\javaw.exe");
    EXPECT_EQ(ReadInstalledExecutable(), "");
    EXPECT_EQ(BuildSisPlan().CommandLine, std::string("\"\"") + FixedCommandTail);
}

TEST_F(LaunchPlanTest, UnreadableValuesRaise) {
    ScratchFolder app;
    const DWORD number = 8;
    {
        auto key = InstalledRuntime(KEY_WOW64_64KEY, nullptr);
        key->SetRaw(L"JavaHome", REG_DWORD, &number, sizeof number);
        RegistryReaders readers = CreateRegistryReaders();
        CurrentDirectoryScope scope(app.Text());
        EXPECT_THROW(BuildRuntimePlan(readers), ERegistryException);
    }
    ScratchKey key(KEY_WOW64_64KEY, SystemKey);
    key.SetRaw(L"Executavel", REG_DWORD, &number, sizeof number);
    EXPECT_THROW(BuildSisPlan(), ERegistryException);
}

} // namespace
