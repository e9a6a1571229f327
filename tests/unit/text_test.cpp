#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <cstdlib>
#include <filesystem>

#include "tests/support/case_name.h"
#include "tests/support/code_page.h"
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

TEST(FormatNarrow, FormatsTextAndSignedIntegersWithNoLengthLimit) {
    EXPECT_EQ(FormatNarrow("Erro %d ao executar o aplicativo.", 2),
              "Erro 2 ao executar o aplicativo.");
    EXPECT_EQ(FormatNarrow("%d", INT_MIN), "-2147483648");
    EXPECT_EQ(FormatNarrow("\"%s\"", ""), "\"\"");
    EXPECT_EQ(FormatNarrow("%s", ""), "");
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

TEST(Conversion, SubstitutesCharacterForCharacter) {
    // Whatever the code page lacks becomes one character each, never dropped,
    // never a NUL.
    const std::wstring wide = L"a\u4e2d\u0141\u03a9\u20a9c";
    const AnsiString narrow = ToNarrow(wide);
    EXPECT_EQ(narrow.find('\0'), AnsiString::npos);
    const UnicodeString back = ToWide(narrow);
    ASSERT_EQ(back.size(), wide.size()) << narrow;
    EXPECT_EQ(back.front(), L'a');
    EXPECT_EQ(back.back(), L'c');
}

TEST(CodePage, IsTheOneThisRunIsMeantFor) {
    EXPECT_EQ(GetACP(), IntendedCodePage());
}

// The ANSI code pages the table states: Western, Central European,
// Cyrillic, Greek, Japanese, Simplified Chinese, Korean, Traditional
// Chinese and UTF-8.
constexpr UINT StatedCodePages[] = {1252, 1250, 1251, 1253, 932, 936, 949, 950, 65001};

struct ExactCase {
    const char* Name;
    const wchar_t* Wide;
    ByCodePage<const char*> Narrow; // null: the code page cannot hold it exactly
};
TABLE_CASE_PRINTER(ExactCase)

const ExactCase ExactCases[] = {
    {"Empty", L"", {{AnyCodePage, ""}}},
    {"Ascii", L"C:\\Tarnix App", {{AnyCodePage, "C:\\Tarnix App"}}},
    {"Aplicacao",
     L"Aplica\u00e7\u00e3o",
     {{1252, "Aplica\xe7\xe3o"}, {65001, "Aplica\xc3\xa7\xc3\xa3o"}, {AnyCodePage, nullptr}}},
    {"Lodz",
     L"\u0141\u00f3d\u017a",
     {{1250, "\xa3\xf3"
             "d\x9f"},
      {65001, "\xc5\x81\xc3\xb3"
              "d\xc5\xba"},
      {AnyCodePage, nullptr}}},
    {"HungarianO",
     L"Szab\u0151",
     {{1250, "Szab\xf5"}, {65001, "Szab\xc5\x91"}, {AnyCodePage, nullptr}}},
    {"Papka",
     L"\u041f\u0430\u043f\u043a\u0430",
     {{1251, "\xcf\xe0\xef\xea\xe0"},
      {932, "\x84\x50\x84\x70\x84\x81\x84\x7b\x84\x70"},
      {936, "\xa7\xb1\xa7\xd1\xa7\xe1\xa7\xdc\xa7\xd1"},
      {949, "\xac\xb1\xac\xd1\xac\xe1\xac\xdc\xac\xd1"},
      {65001, "\xd0\x9f\xd0\xb0\xd0\xbf\xd0\xba\xd0\xb0"},
      {AnyCodePage, nullptr}}},
    {"Fakelos",
     L"\u03a6\u03ac\u03ba\u03b5\u03bb\u03bf\u03c2",
     {{1253, "\xd6\xdc\xea\xe5\xeb\xef\xf2"},
      {65001, "\xce\xa6\xce\xac\xce\xba\xce\xb5\xce\xbb\xce\xbf\xcf\x82"},
      {AnyCodePage, nullptr}}},
    {"GreekOmega",
     L"\u03a9",
     {{1253, "\xd9"},
      {932, "\x83\xb6"},
      {936, "\xa6\xb8"},
      {949, "\xa5\xd8"},
      {950, "\xa3\x5b"},
      {65001, "\xce\xa9"},
      {AnyCodePage, nullptr}}},
    // Double-byte characters whose second byte is 0x5C, a backslash's byte,
    // in 932 (hyou, so, nou), 936 (jou) and 950 (kyo).
    {"Hyou",
     L"\u8868",
     {{932, "\x95\\"},
      {936, "\xb1\xed"},
      {949, "\xf8\xfa"},
      {950, "\xaa\xed"},
      {65001, "\xe8\xa1\xa8"},
      {AnyCodePage, nullptr}}},
    {"So",
     L"\u30bd",
     {{932, "\x83\\"},
      {936, "\xa5\xbd"},
      {949, "\xab\xbd"},
      {65001, "\xe3\x82\xbd"},
      {AnyCodePage, nullptr}}},
    {"Nou",
     L"\u80fd",
     {{932, "\x94\\"},
      {936, "\xc4\xdc"},
      {949, "\xd2\xf6"},
      {950, "\xaf\xe0"},
      {65001, "\xe8\x83\xbd"},
      {AnyCodePage, nullptr}}},
    {"Jou",
     L"\u4e57",
     {{932, "\x8f\xe6"}, {936, "\x81\\"}, {65001, "\xe4\xb9\x97"}, {AnyCodePage, nullptr}}},
    {"Kyo",
     L"\u8a31",
     {{932, "\x8b\x96"},
      {936, "\xd4\x53"},
      {949, "\xfa\xc9"},
      {950, "\xb3\\"},
      {65001, "\xe8\xa8\xb1"},
      {AnyCodePage, nullptr}}},
    {"Ideograph",
     L"\u4e2d",
     {{932, "\x92\x86"},
      {936, "\xd6\xd0"},
      {949, "\xf1\xe9"},
      {950, "\xa4\xa4"},
      {65001, "\xe4\xb8\xad"},
      {AnyCodePage, nullptr}}},
    {"HangulGa", L"\uac00", {{949, "\xb0\xa1"}, {65001, "\xea\xb0\x80"}, {AnyCodePage, nullptr}}},
    // Near x and 8 in the single-byte code pages.
    {"FullwidthLetter",
     L"\uff58",
     {{932, "\x82\x98"},
      {936, "\xa3\xf8"},
      {949, "\xa3\xf8"},
      {950, "\xa3\x41"},
      {65001, "\xef\xbd\x98"},
      {AnyCodePage, nullptr}}},
    {"FullwidthDigit",
     L"\uff18",
     {{932, "\x82\x57"},
      {936, "\xa3\xb8"},
      {949, "\xa3\xb8"},
      {950, "\xa2\xb7"},
      {65001, "\xef\xbc\x98"},
      {AnyCodePage, nullptr}}},
    // Near a backslash: the yen sign in 932, the won sign in 949, the
    // fullwidth backslash in the single-byte code pages.
    {"Yen",
     L"\u00a5",
     {{1252, "\xa5"}, {1253, "\xa5"}, {65001, "\xc2\xa5"}, {AnyCodePage, nullptr}}},
    {"Won", L"\u20a9", {{65001, "\xe2\x82\xa9"}, {AnyCodePage, nullptr}}},
    {"FullwidthBackslash",
     L"\uff3c",
     {{932, "\x81\x5f"},
      {936, "\xa3\xdc"},
      {949, "\xa1\xac"},
      {950, "\xa2\x40"},
      {65001, "\xef\xbc\xbc"},
      {AnyCodePage, nullptr}}},
    {"NonBreakingHyphen", L"\u2011", {{65001, "\xe2\x80\x91"}, {AnyCodePage, nullptr}}},
    {"EuroSign",
     L"\u20ac",
     {{1252, "\x80"},
      {1250, "\x80"},
      {1251, "\x88"},
      {1253, "\x80"},
      {936, "\x80"},
      {949, "\xa2\xe6"},
      {950, "\xa3\xe1"},
      {65001, "\xe2\x82\xac"},
      {932, nullptr}}},
    {"Emoji", L"\U0001f600", {{65001, "\xf0\x9f\x98\x80"}, {AnyCodePage, nullptr}}},
    // UTF-8 too gives a replacement character, which reads back as another.
    {"LoneSurrogate", L"C:\\\xd800", {{AnyCodePage, nullptr}}},
};

TABLE_TEST(ExactConversionTest, ExactCase, ExactCases);

std::string Shown(const std::optional<AnsiString>& narrow) {
    return narrow ? "\"" + *narrow + "\"" : "refused";
}

TEST_P(ExactConversionTest, GivesTheTextOnlyWhenItRoundTrips) {
    const ExactCase& c = GetParam();
    for (const UINT codePage : StatedCodePages) {
        if (const char* const* narrow = ExpectationUnder(c.Narrow, codePage)) {
            const std::optional<AnsiString> expected =
                *narrow != nullptr ? std::optional<AnsiString>(*narrow) : std::nullopt;
            EXPECT_EQ(ToNarrowExactIn(codePage, c.Wide), expected)
                << "code page " << codePage << ": " << Shown(ToNarrowExactIn(codePage, c.Wide));
        }
    }
    // And the launcher's own conversion, in the code page it runs under.
    if (const char* const* narrow = ExpectationUnder(c.Narrow, GetACP())) {
        EXPECT_EQ(ToNarrowExact(c.Wide),
                  *narrow != nullptr ? std::optional<AnsiString>(*narrow) : std::nullopt)
            << "code page " << GetACP() << ": " << Shown(ToNarrowExact(c.Wide));
    }
}

TEST(CodePageRecord, WritesWhatTheCodePageLacksAsCodePoints) {
    const ByCodePage<const wchar_t*> written = {
        {1250, L"C:\\Tarnix \u0142"},
        {949, L"C:\\Tarnix \u0142"},
        {65001, L"C:\\Tarnix \u0142"},
        {AnyCodePage, L"C:\\Tarnix <U+0142>"},
    };
    if (const wchar_t* const* expected = ExpectationUnder(written, GetACP())) {
        EXPECT_EQ(WithCodePointsOutsideTheCodePage(L"C:\\Tarnix \u0142"), *expected);
    }
    // Outside the Basic Multilingual Plane, and what no code page holds.
    EXPECT_EQ(WithCodePointsOutsideTheCodePage(L"a\xd800"
                                               L"b"),
              L"a<U+D800>b");
    EXPECT_EQ(WithCodePointsOutsideTheCodePage(L"\U0001f600"),
              GetACP() == CP_UTF8 ? L"\U0001f600" : L"<U+1F600>");
}

TEST(CurrentDirectory, ReadsTheDirectoryWithoutTrailingBackslashButADriveRoot) {
    ScratchFolder folder(L"Pasta com espa\u00e7os");
    for (const std::wstring& directory : {folder.Text(), std::wstring(L"C:\\")}) {
        CurrentDirectoryScope scope(directory);
        EXPECT_EQ(CurrentDirectory().value_or(L""), directory);
    }
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
            whole = CurrentDirectory() == std::optional<std::wstring>(longPath);
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

TABLE_TEST(SystemLibraryFallbackTest, FallbackCase, FallbackCases);

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

} // namespace
