#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>

#include "launcher/launch.h"
#include "launcher/launch_plan.h"
#include "text/conversion.h"
#include "tests/end_to_end/launcher_process.h"
#include "tests/support/message_box.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/case_name.h"
#include "tests/support/code_page.h"
#include "tests/support/launcher_entries.h"
#include "tests/support/scratch_registry.h"
#include "tests/support/stand_in_record.h"

namespace fs = std::filesystem;

namespace {

constexpr DWORD AbnormalTerminationStatus = 3;

// A name code page 1252 cannot hold; narrowed, it would be xapp.
constexpr wchar_t FullwidthFolder[] = L"\uff58app";

// The application folder: a space and letters of the code page the test
// runs under, so that it never causes a refusal itself.
std::wstring ApplicationFolderName() {
    const ByCodePage<const wchar_t*> names = {
        {1250, L"Aplika\u010dn\u00ed Test"},
        {932, L"\u30a2\u30d7\u30ea Test"},
        {949, L"\uc571 Test"},
        {AnyCodePage, L"Aplica\u00e7\u00e3o Teste"},
    };
    return *ExpectationUnder(names, GetACP());
}

fs::path LauncherPath() {
    return ProgramFolder().parent_path() / L"tarnix2018.exe";
}
fs::path StandInPath() {
    return ProgramFolder() / L"stand_in_runtime.exe";
}

fs::path SystemFolder() {
    wchar_t folder[MAX_PATH + 1] = {};
    GetSystemDirectoryW(folder, MAX_PATH + 1);
    return folder;
}

// How many of these module paths lie directly in the folder.
long LoadedFrom(const std::vector<std::wstring>& modules, const fs::path& folder) {
    return std::count_if(modules.begin(), modules.end(), [&folder](const std::wstring& module) {
        return CompareStringOrdinal(fs::path(module).parent_path().c_str(), -1, folder.c_str(), -1,
                                    TRUE) == CSTR_EQUAL;
    });
}

std::wstring Quoted(const fs::path& path) {
    return L"\"" + path.wstring() + L"\"";
}

// Each test runs the real launcher from an application folder whose name
// has a space and letters outside ASCII, with no registry entry of its own.
class LauncherTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(GetACP(), IntendedCodePage());
        ASSERT_TRUE(ToNarrowExact(app_.Text()))
            << "the application folder is outside the code page";
        RemoveLauncherEntries();
        SetEnvironmentVariableW(RecordVariable, record_.c_str());
    }

    void TearDown() override {
        for (const wchar_t* name :
             {RecordVariable, HoldEventVariable, ExitCodeVariable, InheritedHandleVariable}) {
            SetEnvironmentVariableW(name, nullptr);
        }
    }

    // Runs the launcher with these arguments and returns its exit status.
    DWORD Run(const std::wstring& arguments = L"", const std::wstring& directory = L"") {
        const std::wstring commandLine =
            Quoted(LauncherPath()) + (arguments.empty() ? L"" : L" " + arguments);
        LauncherProcess launcher(commandLine, directory.empty() ? app_.Text() : directory);
        return launcher.WaitForExit();
    }

    struct BoxRun {
        MessageBoxContent Box;
        DWORD Status;
        std::vector<std::wstring> Modules; // loaded while the box was up
    };

    // Runs the launcher, expects a box with this caption, reads and dismisses
    // it, and returns what it showed, what was loaded and the exit status.
    BoxRun RunToBox(const std::wstring& caption, const std::wstring& arguments = L"",
                    const fs::path& launcher = LauncherPath(), const fs::path& directory = {}) {
        LauncherProcess process(Quoted(launcher) + L" " + arguments,
                                directory.empty() ? app_.Text() : directory.wstring());
        BoxRun run{};
        // Its box whatever the caption, so that a wrong one, or none, fails at
        // once instead of waiting out the time-out.
        if (HWND box = process.WaitForBox()) {
            run.Box = ReadMessageBox(box);
            run.Modules = process.LoadedModules();
            DismissMessageBox(box);
        }
        EXPECT_EQ(run.Box.Caption, caption);
        run.Status = process.WaitForExit();
        return run;
    }

    StandInRecord Record() const { return ReadStandInRecord(record_); }

    // A folder of this name beside the application folder, gone with it.
    fs::path Beside(const wchar_t* name) const { return app_.Path().parent_path() / name; }

    ScratchFolder app_{ApplicationFolderName()};
    fs::path record_ = app_.Path().parent_path() / L"record.txt";
};

TEST_F(LauncherTest, PrivateRuntimeIsStartedHiddenWithTheArchiveOfTheFolder) {
    PlaceFile(StandInPath(), app_.Path() / L"Java\\bin\\Javaw.exe");
    // A handle the launcher inherits must reach the runtime too.
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    const UniqueHandle event(CreateEventW(&inheritable, TRUE, FALSE, nullptr));
    SetEnvironmentVariableW(InheritedHandleVariable,
                            std::to_wstring(reinterpret_cast<uintptr_t>(event.get())).c_str());

    ASSERT_EQ(Run(), 0u);
    const StandInRecord record = Record();
    const std::wstring command = record.at(CommandLineKey);
    EXPECT_EQ(command, Quoted(app_.Path() / L"Java\\bin\\Javaw.exe") + L" -Xmx768m -jar \"" +
                           app_.Text() + L"\"\\tarnix2018.jar");
    EXPECT_EQ(SplitArgument(command, 1), L"-Xmx768m");
    EXPECT_EQ(SplitArgument(command, 2), L"-jar");
    EXPECT_EQ(SplitArgument(command, 3), (app_.Path() / L"tarnix2018.jar").wstring());
    EXPECT_EQ(record.at(DirectoryKey), app_.Text());
    EXPECT_EQ(record.at(StartupFlagsKey), std::to_wstring(STARTF_USESHOWWINDOW));
    EXPECT_EQ(record.at(ShowWindowKey), std::to_wstring(SW_HIDE));
    EXPECT_EQ(record.at(HandleInheritedKey), L"yes");
}

TEST_F(LauncherTest, InstalledRuntimeComesFromTheSixtyFourBitView) {
    ScratchFolder jre(L"Java Runtime");
    PlaceFile(StandInPath(), jre.Path() / L"bin\\Javaw.exe");
    ScratchKey key64(KEY_WOW64_64KEY, RuntimeKey);
    key64.SetText(L"JavaHome", jre.Text());
    ScratchKey key32(KEY_WOW64_32KEY, RuntimeKey);
    key32.SetText(L"JavaHome", L"C:\\Nowhere");

    ASSERT_EQ(Run(), 0u);
    const StandInRecord record = Record();
    EXPECT_EQ(record.at(CommandLineKey), Quoted(jre.Path() / L"bin\\Javaw.exe") +
                                             L" -Xmx768m -jar \"" + app_.Text() +
                                             L"\"\\tarnix2018.jar");
    EXPECT_EQ(record.at(DirectoryKey), app_.Text());
}

TEST_F(LauncherTest, SisStartsTheInstalledSystemsRuntimeInTheFixedFolder) {
    ScratchFolder sisJava(L"Sis Java");
    const fs::path executable = sisJava.Path() / L"bin\\javaw.exe";
    PlaceFile(StandInPath(), executable);
    ScratchKey key(KEY_WOW64_64KEY, SystemKey);
    key.SetText(L"Executavel", executable.wstring());
    // Even a private runtime does not count here, nor what follows "sis".
    PlaceFile(StandInPath(), app_.Path() / L"Java\\bin\\Javaw.exe");

    ASSERT_EQ(Run(L"sis other arguments"), 0u);
    const StandInRecord record = Record();
    EXPECT_EQ(record.at(CommandLineKey),
              Quoted(executable) + L" -Xmx768m -jar \"" + FixedDirectory + L"\\tarnix2018.jar\"");
    EXPECT_EQ(record.at(DirectoryKey), FixedDirectory);
}

// Makes the stand-in runtime wait until released.
class HeldChild {
public:
    HeldChild()
        : name_(L"tarnix-hold-" + std::to_wstring(GetCurrentProcessId())),
          event_(CreateEventW(nullptr, TRUE, FALSE, name_.c_str())) {
        SetEnvironmentVariableW(HoldEventVariable, name_.c_str());
    }
    ~HeldChild() { Release(); }
    HeldChild(const HeldChild&) = delete;
    HeldChild& operator=(const HeldChild&) = delete;

    void Release() const { SetEvent(event_.get()); }

private:
    std::wstring name_;
    UniqueHandle event_;
};

TEST_F(LauncherTest, LivesUntilTheChildEndsAndIgnoresItsStatus) {
    PlaceFile(StandInPath(), app_.Path() / L"Java\\bin\\Javaw.exe");
    HeldChild child;
    SetEnvironmentVariableW(ExitCodeVariable, L"7");

    LauncherProcess launcher(Quoted(LauncherPath()), app_.Text());
    EXPECT_EQ(launcher.WaitForExit(1500), static_cast<DWORD>(STILL_ACTIVE));
    child.Release();
    EXPECT_EQ(launcher.WaitForExit(), 0u);
    EXPECT_FALSE(Record().empty());
}

struct StartCase {
    const char* Name;
    bool PrivateRuntime;
    const wchar_t* Arguments;
    bool ReadsAnArgument;                // and so needs USER32, which itself loads ADVAPI32
    bool FromOutsideTheCodePage = false; // started in a folder 1252 cannot hold
};
TABLE_CASE_PRINTER(StartCase)

const StartCase StartCases[] = {
    {"PrivateRuntime", true, L"", false},
    {"InstalledRuntime", false, L"", false},
    {"Sis", false, L"SIS", true},
    // The current directory is no part of a SIS start.
    {"SisFromAFolderOutsideTheCodePage", false, L"SIS", true, true},
};

FIXTURE_TABLE_TEST(LauncherTest, StartTest, StartCase, StartCases);

// A start that shows no box and upper-cases nothing has no use for USER32,
// and the registry is read without ADVAPI32: neither is loaded.
TEST_P(StartTest, LoadsUser32OnlyToReadAnArgument) {
    const StartCase& c = GetParam();
    ScratchFolder jre;
    const fs::path runtime =
        c.PrivateRuntime ? app_.Path() / L"Java\\bin\\Javaw.exe" : jre.Path() / L"bin\\Javaw.exe";
    PlaceFile(StandInPath(), runtime);
    ScratchKey installed(KEY_WOW64_64KEY, RuntimeKey);
    installed.SetText(L"JavaHome", jre.Text());
    ScratchKey system(KEY_WOW64_64KEY, SystemKey);
    system.SetText(L"Executavel", runtime.wstring());
    HeldChild child;
    const fs::path directory = c.FromOutsideTheCodePage ? Beside(FullwidthFolder) : app_.Path();
    fs::create_directories(directory);

    LauncherProcess launcher(Quoted(LauncherPath()) + L" " + c.Arguments, directory.wstring());
    for (int i = 0; i < 100 && Record().empty(); ++i) {
        Sleep(50);
    }
    ASSERT_FALSE(Record().empty()) << "the runtime was not started";
    const std::vector<std::wstring> modules = launcher.LoadedModules();
    child.Release();
    EXPECT_EQ(launcher.WaitForExit(), 0u);
    ASSERT_FALSE(modules.empty());
    const auto loaded = [&modules](const wchar_t* name) {
        return std::count_if(modules.begin(), modules.end(), [name](const std::wstring& path) {
            return fs::path(path).filename() == name;
        });
    };
    EXPECT_EQ(loaded(L"tarnix2018.exe"), 1);
    EXPECT_EQ(loaded(L"user32.dll"), c.ReadsAnArgument ? 1 : 0);
    if (!c.ReadsAnArgument) {
        EXPECT_EQ(loaded(L"advapi32.dll"), 0);
    }
}

// What a failed launch finds on the machine besides the test's folder.
enum class Setting {
    Nothing,
    RuntimeFolderWithoutExecutable,
    ProgramAtDriveRoot,  // a Javaw.exe planted in \bin of the drive
    SisWithoutItsFolder, // the installed system's runtime, but no fixed folder
    DllsBesideACopy,     // a copy of the launcher with DLLs a box loads beside it
};

struct FailedLaunchCase {
    const char* Name;
    const wchar_t* Arguments;
    Setting Given;
    DWORD Code; // 0: whatever the system gives for an empty command line
};
TABLE_CASE_PRINTER(FailedLaunchCase)

const FailedLaunchCase FailedLaunchCases[] = {
    {"UnknownArgument", L"xyz", Setting::Nothing, 0},
    {"QuotedBlankBeforeSis", L"\" SIS\"", Setting::Nothing, 0},
    {"MissingRuntimeExecutable", L"", Setting::RuntimeFolderWithoutExecutable,
     ERROR_FILE_NOT_FOUND},
    {"NoJavaHomeStartsNothingFromTheDriveRoot", L"", Setting::ProgramAtDriveRoot, 0},
    {"SisWithoutItsWorkingDirectory", L"SIS", Setting::SisWithoutItsFolder, ERROR_DIRECTORY},
    {"NoDllLoadedFromBesideTheLauncher", L"xyz", Setting::DllsBesideACopy, 0},
};

FIXTURE_TABLE_TEST(LauncherTest, FailedLaunchTest, FailedLaunchCase, FailedLaunchCases);

DWORD EmptyCommandLineError() {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    char empty[] = "";
    EXPECT_FALSE(
        CreateProcessA(nullptr, empty, nullptr, nullptr, TRUE, 0, nullptr, "", &startup, &process));
    return GetLastError();
}

TEST_P(FailedLaunchTest, ShowsOneErrorBoxAndExitsWithZero) {
    const FailedLaunchCase& c = GetParam();
    const fs::path planted = fs::path(app_.Text().substr(0, 3)) / L"bin\\Javaw.exe";
    ScratchKey system(KEY_WOW64_64KEY, SystemKey);
    ScratchKey installed(KEY_WOW64_64KEY, RuntimeKey);
    fs::path launcher = LauncherPath();
    if (c.Given == Setting::RuntimeFolderWithoutExecutable) {
        fs::create_directories(app_.Path() / L"Java\\bin");
    } else if (c.Given == Setting::ProgramAtDriveRoot) {
        PlaceFile(StandInPath(), planted);
    } else if (c.Given == Setting::SisWithoutItsFolder) {
        system.SetText(L"Executavel", StandInPath().wstring());
        fs::rename(FixedDirectory, FixedDirectory + L".away");
    } else if (c.Given == Setting::DllsBesideACopy) {
        // The system's own copies: loadable, told apart only by their folder.
        launcher = app_.Path() / L"tarnix2018.exe";
        PlaceFile(LauncherPath(), launcher);
        for (const wchar_t* name : {L"uxtheme.dll", L"imm32.dll"}) {
            PlaceFile(SystemFolder() / name, app_.Path() / name);
        }
    }
    const auto [box, status, modules] = RunToBox(L"Erro", c.Arguments, launcher);
    if (c.Given == Setting::ProgramAtDriveRoot) {
        fs::remove(planted);
    } else if (c.Given == Setting::SisWithoutItsFolder) {
        fs::rename(FixedDirectory + L".away", FixedDirectory);
    }
    const DWORD code = c.Code != 0 ? c.Code : EmptyCommandLineError();
    EXPECT_EQ(box.Text, L"Erro " + std::to_wstring(code) + L" ao executar o aplicativo.");
    EXPECT_EQ(box.Buttons, L"OK");
    EXPECT_NE(box.Icon, nullptr);
    EXPECT_EQ(status, 0u);
    EXPECT_TRUE(Record().empty()) << "a program was started";
    // Nothing but the program itself comes from its own folder.
    ASSERT_FALSE(modules.empty());
    EXPECT_EQ(LoadedFrom(modules, launcher.parent_path()), 1);
    // No second box follows.
    EXPECT_EQ(WaitForMessageBox(L"Erro", 300), nullptr);
}

// Where a row's name stands in a start.
enum class Role {
    PrivateRuntimeFolder, // the current directory, holding Java\bin\Javaw.exe
    CurrentDirectory,     // the current directory, with an ordinary installed runtime
    JavaHome,             // holding bin\Javaw.exe
    JavaHomeWithBackslash,
    Executable, // Executavel names NAME\bin\javaw.exe, started with SIS
};

enum class Outcome {
    Starts,  // exactly what was named
    Refused, // error 1113, nothing started
};

struct CodePageStartCase {
    const char* Name;
    Role Given;
    const wchar_t* Folder;    // beside the application folder
    const wchar_t* LookAlike; // where near characters would lead, with a runtime; or null
    ByCodePage<Outcome> Expected;
    std::size_t PathLength = 0; // the name repeated until the folder's path is this long
};
TABLE_CASE_PRINTER(CodePageStartCase)

constexpr auto Starts = Outcome::Starts;
constexpr auto Refused = Outcome::Refused;

// Names that 932, 949 and UTF-8 hold, and the single-byte code pages do not.
const ByCodePage<Outcome> HeldByTheEastAsianCodePagesAndUtf8 = {
    {932, Starts}, {949, Starts}, {65001, Starts}, {AnyCodePage, Refused}};

const CodePageStartCase CodePageStartCases[] = {
    // In 932 each character's second byte is 0x5C, a backslash's byte.
    {"DoubleByteDirectory", Role::PrivateRuntimeFolder, L"\u8868\u30bd\u80fd", nullptr,
     HeldByTheEastAsianCodePagesAndUtf8},
    {"DoubleByteJavaHome", Role::JavaHome, L"\u8868\u30bd\u80fd", nullptr,
     HeldByTheEastAsianCodePagesAndUtf8},
    {"DoubleByteJavaHomeWithBackslash", Role::JavaHomeWithBackslash, L"\u8868\u30bd\u80fd", nullptr,
     HeldByTheEastAsianCodePagesAndUtf8},
    {"DoubleByteExecutable", Role::Executable, L"\u8868\u30bd\u80fd", nullptr,
     HeldByTheEastAsianCodePagesAndUtf8},
    // Near a backslash: the yen sign in 932, the won sign in 949, the
    // fullwidth backslash in 1252 and 1250; x\y is the look-alike.
    {"YenDirectoryBesideALookAlike",
     Role::PrivateRuntimeFolder,
     L"x\u00a5y",
     L"x\\y",
     {{1252, Starts}, {65001, Starts}, {AnyCodePage, Refused}}},
    {"WonDirectoryBesideALookAlike",
     Role::PrivateRuntimeFolder,
     L"x\u20a9y",
     L"x\\y",
     {{65001, Starts}, {AnyCodePage, Refused}}},
    {"FullwidthBackslashDirectoryBesideALookAlike", Role::PrivateRuntimeFolder, L"x\uff3cy",
     L"x\\y", HeldByTheEastAsianCodePagesAndUtf8},
    // Near x and 8 in the single-byte code pages.
    {"FullwidthDirectoryBesideALookAlike", Role::PrivateRuntimeFolder, FullwidthFolder, L"xapp",
     HeldByTheEastAsianCodePagesAndUtf8},
    {"FullwidthDirectoryWithAnInstalledRuntime", Role::CurrentDirectory, FullwidthFolder, nullptr,
     HeldByTheEastAsianCodePagesAndUtf8},
    {"FullwidthJavaHomeBesideALookAlike", Role::JavaHome, L"JRE\uff18", L"JRE8",
     HeldByTheEastAsianCodePagesAndUtf8},
    {"FullwidthExecutableBesideALookAlike", Role::Executable, L"JRE\uff18", L"JRE8",
     HeldByTheEastAsianCodePagesAndUtf8},
    {"PolishDirectory",
     Role::PrivateRuntimeFolder,
     L"\u0141\u00f3d\u017a",
     nullptr,
     {{1250, Starts}, {65001, Starts}, {AnyCodePage, Refused}}},
    // 200 characters, near 400 bytes in UTF-8; no name ends in a space.
    {"LongAccentedDirectory",
     Role::PrivateRuntimeFolder,
     L"A\u00e7\u00e3o",
     nullptr,
     {{1252, Starts}, {65001, Starts}, {AnyCodePage, Refused}},
     200},
};

FIXTURE_TABLE_TEST(LauncherTest, CodePageStartTest, CodePageStartCase, CodePageStartCases);

TEST_P(CodePageStartTest, StartsExactlyWhatIsNamedOrNothing) {
    const CodePageStartCase& c = GetParam();
    const Outcome* expected = ExpectationUnder(c.Expected, GetACP());
    ASSERT_NE(expected, nullptr);
    fs::path folder = Beside(c.Folder);
    while (folder.wstring().size() < c.PathLength) {
        folder += c.Folder;
    }
    if (c.PathLength != 0) {
        folder = folder.wstring().substr(0, c.PathLength);
    }
    const bool inDirectory =
        c.Given == Role::PrivateRuntimeFolder || c.Given == Role::CurrentDirectory;
    const fs::path runtimeInside = c.Given == Role::PrivateRuntimeFolder ? L"Java\\bin\\Javaw.exe"
                                   : c.Given == Role::Executable         ? L"bin\\javaw.exe"
                                                                         : L"bin\\Javaw.exe";
    PlaceFile(StandInPath(), folder / runtimeInside);
    if (c.LookAlike != nullptr) {
        PlaceFile(StandInPath(), Beside(c.LookAlike) / runtimeInside);
    }
    ScratchKey installed(KEY_WOW64_64KEY, RuntimeKey);
    ScratchKey system(KEY_WOW64_64KEY, SystemKey);
    const fs::path ordinaryRuntime = Beside(L"Runtime");
    std::wstring runtime = (folder / runtimeInside).wstring();
    if (c.Given == Role::CurrentDirectory) {
        PlaceFile(StandInPath(), ordinaryRuntime / L"bin\\Javaw.exe");
        installed.SetText(L"JavaHome", ordinaryRuntime.wstring());
        runtime = (ordinaryRuntime / L"bin\\Javaw.exe").wstring();
    } else if (c.Given == Role::JavaHome || c.Given == Role::JavaHomeWithBackslash) {
        const std::wstring home =
            folder.wstring() + (c.Given == Role::JavaHomeWithBackslash ? L"\\" : L"");
        installed.SetText(L"JavaHome", home);
        runtime = home + L"\\bin\\Javaw.exe";
    } else if (c.Given == Role::Executable) {
        system.SetText(L"Executavel", runtime);
    }
    const std::wstring directory = inDirectory ? folder.wstring() : app_.Text();
    const std::wstring arguments = c.Given == Role::Executable ? L"SIS" : L"";
    if (*expected == Outcome::Refused) {
        const auto [box, status, modules] = RunToBox(L"Erro", arguments, LauncherPath(), directory);
        EXPECT_EQ(box.Text, L"Erro 1113 ao executar o aplicativo.");
        EXPECT_EQ(status, 0u);
        EXPECT_TRUE(Record().empty()) << "started " << ToNarrow(Record()[CommandLineKey]);
        return;
    }
    ASSERT_EQ(Run(arguments, directory), 0u);
    ASSERT_FALSE(Record().empty()) << "nothing was started";
    if (c.Given == Role::Executable) {
        EXPECT_EQ(Record().at(CommandLineKey),
                  Quoted(runtime) + L" -Xmx768m -jar \"" + FixedDirectory + L"\\tarnix2018.jar\"");
        EXPECT_EQ(Record().at(DirectoryKey), FixedDirectory);
        return;
    }
    EXPECT_EQ(Record().at(CommandLineKey),
              Quoted(runtime) + L" -Xmx768m -jar \"" + directory + L"\"\\tarnix2018.jar");
    EXPECT_EQ(Record().at(DirectoryKey), directory);
}

TEST_F(LauncherTest, UnreadableRegistryValueEndsWithTheAbnormalTerminationBox) {
    PlaceFile(StandInPath(), app_.Path() / L"Java\\bin\\Javaw.exe");
    ScratchKey key(KEY_WOW64_64KEY, SystemKey);
    const DWORD number = 1;
    key.SetRaw(L"Executavel", REG_DWORD, &number, sizeof number);

    // The caption is the program's whole file name, read as characters: a
    // long path is not cut, and no character's second byte is taken for a
    // backslash (hyou in 932).
    ScratchFolder other(L"p");
    const std::wstring longName = L"tarnix2018 " + std::wstring(150, L'\u00e7') + L".exe";
    const struct {
        fs::path Launcher;
        std::wstring Caption;
    } launchers[] = {
        {LauncherPath(), L"tarnix2018.exe"},
        {other.Path() / std::wstring(120, L'\u00e7') / L"tarnix2018.exe", L"tarnix2018.exe"},
        {other.Path() / L"\u8868.exe", L"\u8868.exe"},
        {other.Path() / longName, longName},
    };
    for (const auto& [launcher, caption] : launchers) {
        if (launcher != LauncherPath()) {
            PlaceFile(LauncherPath(), launcher);
        }
        const auto [box, status, modules] = RunToBox(caption, L"SIS", launcher);
        EXPECT_EQ(box.Text, L"Abnormal program termination");
        EXPECT_EQ(box.Buttons, L"OK");
        EXPECT_NE(box.Icon, nullptr);
        EXPECT_EQ(status, AbnormalTerminationStatus);
        EXPECT_TRUE(Record().empty()) << "a program was started";
    }
}

struct RootCase {
    const char* Name;
    const wchar_t* Root;
    const wchar_t* Archive; // as the runtime's argument splitter reads it
    bool WineStartsThere;   // Wine starts no process in a share's folder
};
TABLE_CASE_PRINTER(RootCase)

const RootCase RootCases[] = {
    {"DriveRoot", L"C:\\", L"C:\\tarnix2018.jar", true},
    {"ShareRoot", L"\\\\tarnix-server\\share\\", L"\\\\tarnix-server\\share\\tarnix2018.jar",
     false},
};

FIXTURE_TABLE_TEST(LauncherTest, RootTest, RootCase, RootCases);

TEST_P(RootTest, GivesTheRuntimeAnArchivePathItReadsRight) {
    const RootCase& c = GetParam();
    const fs::path runtime = fs::path(c.Root) / L"Java\\bin\\Javaw.exe";
    PlaceFile(StandInPath(), runtime);
    DWORD status = 0;
    if (c.WineStartsThere) {
        status = Run(L"", c.Root);
    } else {
        // The launcher's own steps, taken in this process.
        CurrentDirectoryScope scope(c.Root);
        RegistryReaders readers = CreateRegistryReaders();
        LaunchAndWait(BuildRuntimePlan(readers).Plan);
    }
    fs::remove_all(fs::path(c.Root) / L"Java");
    ASSERT_EQ(status, 0u);
    ASSERT_FALSE(Record().empty()) << "the runtime was not started";
    const std::wstring command = Record().at(CommandLineKey);
    EXPECT_EQ(SplitArgument(command, 3), c.Archive);
    if (c.WineStartsThere) {
        EXPECT_EQ(command, L"\"C:\\\\Java\\bin\\Javaw.exe\" -Xmx768m -jar \"C:\"\\tarnix2018.jar");
        EXPECT_EQ(Record().at(DirectoryKey), c.Root);
    }
}

} // namespace
