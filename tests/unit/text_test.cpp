#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <cstdlib>
#include <filesystem>

#include "tests/support/case_name.h"
#include "tests/support/scratch_folder.h"
#include "text/conversion.h"
#include "text/file_system.h"
#include "text/format.h"
#include "text/system_library.h"
#include "registry/registry_api.h"

namespace fs = std::filesystem;

// Runs the block in a copy of this test program and passes when it exits
// with 0: what the block does to its process cannot reach the other tests.
#define EXPECT_IN_A_PROCESS_OF_ITS_OWN(block) EXPECT_EXIT(block, testing::ExitedWithCode(0), "")

namespace {

TEST(FormatNarrow, FormatsTextAndSignedIntegers) {
    EXPECT_EQ(FormatNarrow("Erro %d ao executar o aplicativo.", 2),
              "Erro 2 ao executar o aplicativo.");
    EXPECT_EQ(FormatNarrow("%d", INT_MIN), "-2147483648");
    EXPECT_EQ(FormatNarrow("\"%s\"", ""), "\"\"");
    EXPECT_EQ(FormatNarrow("%s", ""), "");
}

TEST(FormatNarrow, HasNoLengthLimit) {
    const std::string longText(100000, 'x');
    EXPECT_EQ(FormatNarrow("[%s]", longText.c_str()), "[" + longText + "]");
}

TEST(AppendFormatNarrow, AppendsToWhatIsThere) {
    AnsiString text = "C:\\App";
    AppendFormatNarrow(text, "\\Java");
    EXPECT_EQ(text, "C:\\App\\Java");
    AppendFormatNarrow(text, " %d%s", -1, "!");
    EXPECT_EQ(text, "C:\\App\\Java -1!");
}

bool Windows1252() {
    return GetACP() == 1252;
}

TEST(Conversion, RoundTripsWhatTheCodePageHolds) {
    if (!Windows1252()) {
        GTEST_SKIP() << "expects the Western code page 1252, not " << GetACP();
    }
    EXPECT_EQ(ToNarrow(L""), "");
    EXPECT_EQ(ToWide(""), L"");
    EXPECT_EQ(ToNarrow(L"C:\\Aplica\u00e7\u00e3o"), "C:\\Aplica\xe7\xe3o");
    EXPECT_EQ(ToWide("C:\\Aplica\xe7\xe3o"), L"C:\\Aplica\u00e7\u00e3o");
    EXPECT_EQ(ToNarrow(L"\u20ac"), "\x80");
}

TEST(Conversion, SubstitutesWhatTheCodePageLacks) {
    if (!Windows1252()) {
        GTEST_SKIP() << "expects the Western code page 1252, not " << GetACP();
    }
    // One narrow character for each, never dropped, never a NUL.
    const AnsiString narrow = ToNarrow(L"a\u03a9b\u4e2dc");
    ASSERT_EQ(narrow.size(), 5u);
    EXPECT_EQ(narrow.front(), 'a');
    EXPECT_EQ(narrow.back(), 'c');
    EXPECT_NE(narrow[1], '\0');
    EXPECT_NE(ToWide(narrow), L"a\u03a9b\u4e2dc");
}

struct ExactCase {
    const char* Name;
    const wchar_t* Wide;
    const char* Narrow; // null: the code page cannot hold it exactly
};
TABLE_CASE_PRINTER(ExactCase)

const ExactCase ExactCases[] = {
    {"Empty", L"", ""},
    {"WesternLetters", L"C:\\A\u00e7\u00e3o Caf\u00e9", "C:\\A\xe7\xe3o Caf\xe9"},
    {"EuroSign", L"\u20ac", "\x80"},
    // Each of these has a near character in 1252 (x, 8, -, l, o, O).
    {"FullwidthLetter", L"C:\\\uff58app", nullptr},
    {"FullwidthDigit", L"C:\\JRE\uff18", nullptr},
    {"NonBreakingHyphen", L"C:\\Tarnix\u2011App", nullptr},
    {"PolishL", L"C:\\Zak\u0142ad", nullptr},
    {"HungarianO", L"C:\\Szab\u0151", nullptr},
    {"GreekOmega", L"C:\\App\u03a9", nullptr},
    // No near character: the default one.
    {"Ideograph", L"C:\\\u4e2d", nullptr},
    {"LoneSurrogate", L"C:\\\xd800", nullptr},
};

class ExactConversionTest : public testing::TestWithParam<ExactCase> {};

TEST_P(ExactConversionTest, GivesTheTextOnlyWhenItRoundTrips) {
    if (!Windows1252()) {
        GTEST_SKIP() << "expects the Western code page 1252, not " << GetACP();
    }
    const ExactCase& c = GetParam();
    const std::optional<AnsiString> narrow = ToNarrowExact(c.Wide);
    if (c.Narrow == nullptr) {
        EXPECT_FALSE(narrow.has_value()) << *narrow;
    } else {
        EXPECT_EQ(narrow, c.Narrow);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, ExactConversionTest, testing::ValuesIn(ExactCases), CaseName());

TEST(CurrentDirectory, ReadsTheDirectoryWithoutTrailingBackslash) {
    ScratchFolder folder(L"Pasta com espa\u00e7os");
    CurrentDirectoryScope scope(folder.Text());
    EXPECT_EQ(CurrentDirectory(), folder.Text());
}

TEST(CurrentDirectory, KeepsTheBackslashOfADriveRoot) {
    CurrentDirectoryScope scope(L"C:\\");
    EXPECT_EQ(CurrentDirectory(), L"C:\\");
}

TEST(CurrentDirectory, ReadsADirectoryLongerThanMaxPathWhole) {
    // Such a current directory leaves Wine's loader unable to load a DLL.
    EXPECT_IN_A_PROCESS_OF_ITS_OWN({
        bool whole = false;
        {
            ScratchFolder folder;
            std::wstring longPath = folder.Text();
            while (longPath.size() <= 300) {
                longPath += L"\\" + std::wstring(60, L'd');
            }
            fs::create_directories(L"\\\\?\\" + longPath);
            CurrentDirectoryScope scope(longPath);
            whole = CurrentDirectory() == longPath;
        }
        std::exit(whole ? 0 : 1);
    });
}

TEST(FolderExists, IsTrueOnlyForAnExistingFolder) {
    ScratchFolder folder;
    const fs::path file = folder.Path() / L"file.txt";
    PlaceFile(ProgramFolder() / L"unit_tests.exe", file);
    EXPECT_TRUE(FolderExists(folder.Text()));
    EXPECT_TRUE(FolderExists(folder.Text() + L"\\"));
    EXPECT_FALSE(FolderExists(file.wstring()));
    EXPECT_FALSE(FolderExists(folder.Text() + L"\\missing"));
    EXPECT_FALSE(FolderExists(L""));
    EXPECT_FALSE(FolderExists(L"Z:\\no\\such\\place\\at\\all"));
}

} // namespace

namespace {

TEST(SystemFunction, FindsSystemFunctionsOnly) {
    EXPECT_NE(SYSTEM_FUNCTION(L"kernel32.dll", GetACP), nullptr);
    EXPECT_NE(SYSTEM_FUNCTION(RegistryApiSet, RegCloseKey), nullptr);
    EXPECT_EQ(ModuleFunction<decltype(GetACP)>(LoadSystemLibrary(L"kernel32.dll"), "NoSuch"),
              nullptr);
    EXPECT_EQ(SYSTEM_FUNCTION(L"no-such-library.dll", GetACP), nullptr);
}

TEST(SystemFunction, NeverLoadsADllPlantedBesideTheProgramNorLetsOthersDoSo) {
    const fs::path planted = ProgramFolder() / L"tarnix-planted.dll";
    PlaceFile(ProgramFolder() / L"stand_in_runtime.exe", planted);
    // Once restricted, an ordinary load looks in the system folder alone.
    EXPECT_IN_A_PROCESS_OF_ITS_OWN({
        RestrictDllSearchToSystemFolder();
        std::exit(LoadLibraryW(L"tarnix-planted.dll") == nullptr ? 0 : 1);
    });
    const HMODULE loaded = LoadSystemLibrary(L"tarnix-planted.dll");
    // Unrestricted, the same name is found, so the file is usable.
    const HMODULE searched = LoadLibraryW(L"tarnix-planted.dll");
    if (searched != nullptr) {
        FreeLibrary(searched);
    }
    fs::remove(planted);
    EXPECT_EQ(loaded, nullptr);
    EXPECT_NE(searched, nullptr);
}

} // namespace

namespace {

// A first load attempt that fails as a system would, with that error.
template <DWORD error> HMODULE WINAPI FailingFirstAttempt(LPCWSTR, HANDLE, DWORD) {
    SetLastError(error);
    return nullptr;
}

struct FallbackCase {
    const char* Name;
    LoadLibraryExFunction FirstAttempt;
    const wchar_t* LoadedFrom; // null: nothing is loaded
};
TABLE_CASE_PRINTER(FallbackCase)

const FallbackCase FallbackCases[] = {
    // A system without the loader update rejects the search flag itself.
    {"SearchFlagUnknown", FailingFirstAttempt<ERROR_INVALID_PARAMETER>,
     L"C:\\Windows\\System32\\version.dll"},
    {"MissingFromTheSystemFolder", FailingFirstAttempt<ERROR_MOD_NOT_FOUND>, nullptr},
    {"AccessDenied", FailingFirstAttempt<ERROR_ACCESS_DENIED>, nullptr},
};

class SystemLibraryFallbackTest : public testing::TestWithParam<FallbackCase> {};

TEST_P(SystemLibraryFallbackTest, LoadsByFullPathOnlyWhenTheSearchFlagIsUnknown) {
    const FallbackCase& test = GetParam();
    const HMODULE module = LoadSystemLibrary(L"version.dll", test.FirstAttempt);
    if (test.LoadedFrom == nullptr) {
        EXPECT_EQ(module, nullptr);
        return;
    }
    ASSERT_NE(module, nullptr);
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(module, path.data(), MAX_PATH));
    EXPECT_EQ(CompareStringOrdinal(path.c_str(), -1, test.LoadedFrom, -1, TRUE), CSTR_EQUAL)
        << ToNarrow(path);
}

INSTANTIATE_TEST_SUITE_P(Table, SystemLibraryFallbackTest, testing::ValuesIn(FallbackCases),
                         CaseName());

} // namespace
