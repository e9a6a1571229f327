#include "tests/support/folder_facts.h"

#include <aclapi.h>

#include <memory>

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
#define IN64 JAVA_KEY L" (64-bit view), JavaHome "
#define NO_JAVA L"no Java the launcher can start: "
#define STARTS(home) home L": the launcher will start " home L"\\bin\\Javaw.exe"
#define OTHERS L"; others may change it: refused (writable): "
const JavaLookCase JavaLookCases[] = {
    {"None", nullptr, nullptr, false,
     NO_JAVA JAVA_KEY L" is in neither the 64-bit nor the 32-bit view"},
    {"Usable64", L"C:\\JavaOlhar\\jre", nullptr, true, IN64 STARTS(L"C:\\JavaOlhar\\jre")},
    {"Only32", nullptr, L"C:\\JavaOlhar\\jre", true,
     JAVA_KEY L" (32-bit view), JavaHome " STARTS(L"C:\\JavaOlhar\\jre")},
    // The launcher takes the 64-bit key whatever the 32-bit one holds.
    {"EmptyHome64BesideAGood32", L"", L"C:\\JavaOlhar\\jre", false,
     NO_JAVA JAVA_KEY L" (64-bit view), JavaHome is empty"},
    {"Home64WithoutTheRuntime", L"C:\\JavaOlhar\\vazio", L"C:\\JavaOlhar\\jre", false,
     NO_JAVA IN64 L"C:\\JavaOlhar\\vazio holds no C:\\JavaOlhar\\vazio\\bin\\Javaw.exe"},
    // Half a runtime taken away: a folder where the program was.
    {"AFolderNamedJavaw", L"C:\\JavaOlhar\\pasta", nullptr, false,
     NO_JAVA IN64 L"C:\\JavaOlhar\\pasta holds no C:\\JavaOlhar\\pasta\\bin\\Javaw.exe"},
    {"JavawInLowerCase", L"C:\\JavaOlhar\\lower", nullptr, true,
     IN64 STARTS(L"C:\\JavaOlhar\\lower")},
    {"NotText", L"", nullptr, false, NO_JAVA JAVA_KEY L" (64-bit view), JavaHome is not text",
     true},
    // A sound Java is named as above; one that others may change is named
    // with what they may change, and who.
    {"AHomeEveryoneMayChange", L"C:\\JavaOlhar\\aberta", nullptr, true,
     IN64 STARTS(L"C:\\JavaOlhar\\aberta") OTHERS L"C:\\JavaOlhar\\aberta for S-1-1-0"},
    {"AFileEveryoneMayWrite", L"C:\\JavaOlhar\\arquivo", nullptr, true,
     IN64 STARTS(L"C:\\JavaOlhar\\arquivo")
         OTHERS L"C:\\JavaOlhar\\arquivo\\bin\\Javaw.exe for S-1-1-0"},
    {"AFolderAboveEveryoneMayChange", L"C:\\JavaOlhar\\acima\\jre", nullptr, true,
     IN64 STARTS(L"C:\\JavaOlhar\\acima\\jre") OTHERS L"C:\\JavaOlhar\\acima for S-1-1-0"},
    {"AHomeNarrowedToAnotherName", L"C:\\JavaOlhar\\\uff4aava", nullptr, false,
     NO_JAVA IN64 L"C:\\JavaOlhar\\\uff4aava holds characters the code page cannot hold (the "
                  L"launcher shows 1113)"},
};

TABLE_TEST(JavaLookTest, JavaLookCase, JavaLookCases);

TEST_P(JavaLookTest, LooksWhereTheLauncherLooks) {
    const JavaLookCase& c = GetParam();
    const fs::path homes = L"C:\\JavaOlhar";
    fs::remove_all(homes);
    for (const wchar_t* folder : {L"jre\\bin", L"lower\\bin", L"vazio", L"pasta\\bin\\Javaw.exe"}) {
        fs::create_directories(homes / folder);
    }
    std::ofstream(homes / L"jre\\bin\\Javaw.exe") << "x";
    std::ofstream(homes / L"lower\\bin\\javaw.exe") << "x";
    // Opened to Everyone's full control (Wine: mode 0777, 0666 for a file).
    const LocalPointer<void> open = DescriptorFromText(L"D:(A;;FA;;;WD)");
    PACL everyone = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    GetSecurityDescriptorDacl(open.get(), &present, &everyone, &defaulted);
    for (const wchar_t* home : {L"aberta", L"arquivo", L"acima\\jre"}) {
        fs::create_directories(homes / home / L"bin");
        std::ofstream(homes / home / L"bin\\Javaw.exe") << "x";
    }
    for (const wchar_t* opened : {L"aberta", L"arquivo\\bin\\Javaw.exe", L"acima"}) {
        std::wstring path = (homes / opened).wstring();
        ASSERT_EQ(SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                        nullptr, nullptr, everyone, nullptr),
                  static_cast<DWORD>(ERROR_SUCCESS));
    }
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
    const JavaLook look = LookForInstalledJava(ReadTrustedAccounts());
    EXPECT_EQ(look.Usable, c.Usable);
    EXPECT_EQ(look.Line, c.Line);
    keys.clear();
    fs::remove_all(homes);
}

} // namespace
