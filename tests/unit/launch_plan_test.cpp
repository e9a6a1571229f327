#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <memory>

#include "launcher/launch_plan.h"
#include "registry/registry_exception.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/case_name.h"
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
};

struct RuntimePlanCase {
    const char* Name;
    const wchar_t* Directory; // the current directory
    bool RuntimeFolder;       // the folder Java below it exists
    const wchar_t* JavaHome;  // in the 64-bit view; null: no installed runtime
    LaunchRoute Route;
    const char* CommandLine;
    const char* WorkingDirectory;
    const wchar_t* LookAlike = nullptr; // a folder with a Java folder, beside the directory
    DWORD Refusal = 0;
};
TABLE_CASE_PRINTER(RuntimePlanCase)

constexpr auto Private = LaunchRoute::PrivateRuntime;
constexpr auto Installed = LaunchRoute::InstalledRuntime;

const RuntimePlanCase RuntimePlanCases[] = {
    {"PrivateWorkedResult", L"C:\\App", true, nullptr, Private,
     "\"C:\\App\\Java\\bin\\Javaw.exe\" -Xmx768m -jar \"C:\\App\"\\tarnix2018.jar", "C:\\App"},
    {"InstalledWorkedResult", L"C:\\App", false, L"C:\\JRE8", Installed,
     "\"C:\\JRE8\\bin\\Javaw.exe\" -Xmx768m -jar \"C:\\App\"\\tarnix2018.jar", "C:\\App"},
    // At a root the archive's folder is quoted without its backslash, which
    // would escape the closing quote; the runtime folder has two separators.
    {"PrivateAtDriveRoot", L"C:\\", true, nullptr, Private,
     "\"C:\\\\Java\\bin\\Javaw.exe\" -Xmx768m -jar \"C:\"\\tarnix2018.jar", "C:\\"},
    {"InstalledAtDriveRoot", L"C:\\", false, L"C:\\JRE8", Installed,
     "\"C:\\JRE8\\bin\\Javaw.exe\" -Xmx768m -jar \"C:\"\\tarnix2018.jar", "C:\\"},
    {"JavaHomeWithTrailingBackslash", L"C:\\App", false, L"C:\\JRE8\\", Installed,
     "\"C:\\JRE8\\\\bin\\Javaw.exe\" -Xmx768m -jar \"C:\\App\"\\tarnix2018.jar", "C:\\App"},
    // Without a home nothing is started (not \bin\Javaw.exe of the drive).
    {"EmptyJavaHome", L"C:\\App", false, L"", Installed, "", "C:\\App"},
    {"NoInstalledRuntime", L"C:\\App", false, nullptr, Installed, "", "C:\\App"},
    {"DirectoryInTheCodePage", L"C:\\A\u00e7\u00e3o Caf\u00e9", true, nullptr, Private,
     "\"C:\\A\xe7\xe3o Caf\xe9\\Java\\bin\\Javaw.exe\" -Xmx768m -jar \"C:\\A\xe7\xe3o "
     "Caf\xe9\"\\tarnix2018.jar",
     "C:\\A\xe7\xe3o Caf\xe9"},
    // Outside code page 1252 a name is refused, never narrowed to the near
    // name of another folder (C:\xapp) or runtime (C:\JRE8).
    {"DirectoryOutsideTheCodePageBesideALookAlikeRuntime", L"C:\\\uff58app", false, L"C:\\JRE8",
     Installed, "", "", L"C:\\xapp", ERROR_NO_UNICODE_TRANSLATION},
    {"DirectoryOutsideTheCodePageAlone", L"C:\\\uff58app", false, L"C:\\JRE8", Installed, "", "",
     nullptr, ERROR_NO_UNICODE_TRANSLATION},
    {"DirectoryOutsideTheCodePageWithItsOwnRuntime", L"C:\\\uff58app", true, nullptr, Private, "",
     "", nullptr, ERROR_NO_UNICODE_TRANSLATION},
    {"JavaHomeOutsideTheCodePage", L"C:\\App", false, L"C:\\JRE\uff18", Installed, "", "", nullptr,
     ERROR_NO_UNICODE_TRANSLATION},
};

class RuntimePlanTest : public LaunchPlanTest,
                        public testing::WithParamInterface<RuntimePlanCase> {};

TEST_P(RuntimePlanTest, ComposesTheCommandLineAndWorkingDirectory) {
    const RuntimePlanCase& c = GetParam();
    const fs::path directory(c.Directory);
    std::unique_ptr<FixedFolder> folder, runtime, lookAlike;
    if (c.LookAlike != nullptr) {
        lookAlike = std::make_unique<FixedFolder>(c.LookAlike);
        fs::create_directories(fs::path(c.LookAlike) / L"Java");
    }
    if (directory != directory.root_path()) {
        folder = std::make_unique<FixedFolder>(directory);
    }
    if (c.RuntimeFolder) {
        runtime = std::make_unique<FixedFolder>(directory / L"Java");
    }
    std::unique_ptr<ScratchKey> key;
    if (c.JavaHome != nullptr) {
        key = InstalledRuntime(KEY_WOW64_64KEY, c.JavaHome);
    }
    const RuntimePlan result = PlanIn(c.Directory);
    EXPECT_EQ(result.Route, c.Route);
    EXPECT_EQ(result.Plan.CommandLine, c.CommandLine);
    EXPECT_EQ(result.Plan.WorkingDirectory, c.WorkingDirectory);
    EXPECT_EQ(result.Plan.RefusalCode, c.Refusal);
}

INSTANTIATE_TEST_SUITE_P(Table, RuntimePlanTest, testing::ValuesIn(RuntimePlanCases), CaseName());

struct SisPlanCase {
    const char* Name;
    const wchar_t* Executable;
    const char* QuotedExecutable; // the command line's head; null: refused
};
TABLE_CASE_PRINTER(SisPlanCase)

const SisPlanCase SisPlanCases[] = {
    {"WorkedResult", L"C:\\JRE8\\bin\\javaw.exe", "\"C:\\JRE8\\bin\\javaw.exe\""},
    {"ExecutableOutsideTheCodePage", L"C:\\JRE\uff18\\bin\\javaw.exe", nullptr},
};

class SisPlanTest : public LaunchPlanTest, public testing::WithParamInterface<SisPlanCase> {};

TEST_P(SisPlanTest, ComposesTheFixedCommandOrRefuses) {
    const SisPlanCase& c = GetParam();
    ScratchKey key(KEY_WOW64_64KEY, SystemKey);
    key.SetText(L"Executavel", c.Executable);
    const LaunchPlan plan = BuildSisPlan();
    if (c.QuotedExecutable == nullptr) {
        EXPECT_EQ(plan.CommandLine, "");
        EXPECT_EQ(plan.RefusalCode, static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
        return;
    }
    EXPECT_EQ(plan.CommandLine, std::string(c.QuotedExecutable) + FixedCommandTail);
    EXPECT_EQ(plan.WorkingDirectory, FixedFolderText);
    EXPECT_EQ(plan.RefusalCode, 0u);
}

INSTANTIATE_TEST_SUITE_P(Table, SisPlanTest, testing::ValuesIn(SisPlanCases), CaseName());

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
    {"HomeOutsideTheCodePageIsRefused", true, L"C:\\JRE\uff18", false, nullptr, nullptr},
    // The key exists for KeyExists but does not open for reading.
    {"NoFallBackWhenTheSixtyFourBitKeyRefusesNotify", true, L"C:\\JRE64", true, L"C:\\JRE32", "",
     KEY_NOTIFY},
};

class JavaHomeTest : public LaunchPlanTest, public testing::WithParamInterface<ViewCase> {};

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

INSTANTIATE_TEST_SUITE_P(Table, JavaHomeTest, testing::ValuesIn(ViewCases), CaseName());

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
