#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <filesystem>

#include "tests/support/scratch_folder.h"
#include "text/conversion.h"
#include "text/file_system.h"
#include "text/format.h"
#include "text/system_library.h"

namespace fs = std::filesystem;

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
    ScratchFolder folder;
    std::wstring longPath = folder.Text();
    while (longPath.size() <= 300) {
        longPath += L"\\" + std::wstring(60, L'd');
    }
    fs::create_directories(L"\\\\?\\" + longPath);
    CurrentDirectoryScope scope(longPath);
    if (!SetCurrentDirectoryW(longPath.c_str()) &&
        !SetCurrentDirectoryW((L"\\\\?\\" + longPath).c_str())) {
        GTEST_SKIP() << "this system keeps the current directory under MAX_PATH";
    }
    EXPECT_EQ(CurrentDirectory(), longPath);
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
    EXPECT_NE(SystemFunction<decltype(GetACP)>(L"kernel32.dll", "GetACP"), nullptr);
    EXPECT_NE(SystemFunction<decltype(RegCloseKey)>(L"api-ms-win-core-registry-l1-1-0.dll",
                                                    "RegCloseKey"),
              nullptr);
    EXPECT_EQ(SystemFunction<decltype(GetACP)>(L"kernel32.dll", "NoSuchFunction"), nullptr);
    EXPECT_EQ(SystemFunction<decltype(GetACP)>(L"no-such-library.dll", "GetACP"), nullptr);
}

TEST(SystemFunction, NeverLoadsADllPlantedBesideTheProgram) {
    const fs::path planted = ProgramFolder() / L"tarnix-planted.dll";
    PlaceFile(ProgramFolder() / L"stand_in_runtime.exe", planted);
    const HMODULE loaded = LoadSystemLibrary(L"tarnix-planted.dll");
    // The same name through the ordinary search finds it, so the file is usable.
    const HMODULE searched = LoadLibraryW(L"tarnix-planted.dll");
    if (searched != nullptr) {
        FreeLibrary(searched);
    }
    fs::remove(planted);
    EXPECT_EQ(loaded, nullptr);
    EXPECT_NE(searched, nullptr);
}

} // namespace
