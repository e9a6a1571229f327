#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "registry/registry.h"
#include "registry/registry_exception.h"
#include "tests/support/case_name.h"
#include "tests/support/scratch_registry.h"

namespace {

const std::wstring TestKey = L"Software\\TarnixLauncherTests";

std::vector<BYTE> Bytes(const void* data, size_t size) {
    const auto* bytes = static_cast<const BYTE*>(data);
    return {bytes, bytes + size};
}

struct ValueCase {
    const char* Name;
    DWORD Type;
    std::vector<BYTE> Data;
    const wchar_t* Text; // the expected text, or null when ReadString raises
    const char* Message; // the expected message when it raises
};
TABLE_CASE_PRINTER(ValueCase)

const DWORD Number = 42;
const ULONGLONG Wide = 42;

const ValueCase ValueCases[] = {
    {"Text", REG_SZ, Bytes(L"C:\\JRE8", 16), L"C:\\JRE8", nullptr},
    {"ExpandableTextIsNotExpanded", REG_EXPAND_SZ, Bytes(L"%SystemRoot%\\j", 30),
     L"%SystemRoot%\\j", nullptr},
    {"EmbeddedNulEndsTheText", REG_SZ, Bytes(L"ab\0cd", 12), L"ab", nullptr},
    {"NoTerminatingNul", REG_SZ, Bytes(L"abc", 6), L"abc", nullptr},
    {"OddByteCount", REG_SZ, Bytes(L"ab", 5), L"ab", nullptr},
    // An odd count without a NUL: the whole units only, nothing raised.
    {"OddByteCountWithoutNul", REG_SZ, Bytes(L"C:\\JRE8x", 15), L"C:\\JRE8", nullptr},
    {"OddByteCountWithoutNulExpandable", REG_EXPAND_SZ, Bytes(L"C:\\JRE8x", 15), L"C:\\JRE8",
     nullptr},
    {"OddByteCountNulBeforeTheEnd", REG_SZ, Bytes(L"ab\0cd", 9), L"ab", nullptr},
    {"SingleByte", REG_SZ, Bytes("a", 1), L"", nullptr},
    {"EmptyText", REG_SZ, {}, L"", nullptr},
    {"EmptyDword", REG_DWORD, {}, L"", nullptr},
    {"EmptyBinary", REG_BINARY, {}, L"", nullptr},
    {"EmptyMultiText", REG_MULTI_SZ, {}, L"", nullptr},
    {"Dword", REG_DWORD, Bytes(&Number, 4), nullptr, "Invalid data type for 'Dword'"},
    {"Qword", REG_QWORD, Bytes(&Wide, 8), nullptr, "Invalid data type for 'Qword'"},
    {"Binary", REG_BINARY, Bytes("\x01\x02", 2), nullptr, "Invalid data type for 'Binary'"},
    {"MultiText", REG_MULTI_SZ, Bytes(L"a\0b\0", 10), nullptr, "Invalid data type for 'MultiText'"},
};

TABLE_TEST(ReadStringTest, ValueCase, ValueCases);

TEST_P(ReadStringTest, ReadsTextOrRaises) {
    const ValueCase& c = GetParam();
    const std::wstring name(c.Name, c.Name + std::strlen(c.Name));
    ScratchKey key(KEY_WOW64_64KEY, TestKey);
    key.SetRaw(name, c.Type, c.Data.data(), static_cast<DWORD>(c.Data.size()));
    TRegistry reader = MachineReader(RegistryView::View64);
    ASSERT_TRUE(reader.OpenKey(TestKey));
    if (c.Text != nullptr) {
        const UnicodeString text = reader.ReadString(name);
        EXPECT_EQ(text, c.Text);
        // What narrow calls and FolderExists see: nothing past the text.
        EXPECT_STREQ(text.c_str(), c.Text);
        return;
    }
    try {
        reader.ReadString(name);
        FAIL() << "no ERegistryException";
    } catch (const ERegistryException& error) {
        EXPECT_STREQ(error.what(), c.Message);
    }
}

TEST(ReadString, IsEmptyForAMissingValueOrWithNoKeyOpen) {
    ScratchKey key(KEY_WOW64_64KEY, TestKey);
    key.SetText(L"Present", L"x");
    TRegistry reader = MachineReader(RegistryView::View64);
    EXPECT_EQ(reader.ReadString(L"Present"), L"");
    ASSERT_TRUE(reader.OpenKey(TestKey));
    EXPECT_EQ(reader.ReadString(L"Missing"), L"");
    EXPECT_EQ(reader.ReadString(L"Present"), L"x");
}

TEST(RegistryFunctions, ComeFromAdvapi32WhereTheApiSetIsMissing) {
    ScratchKey key(KEY_WOW64_64KEY, TestKey);
    key.SetText(L"Value", L"through ADVAPI32");
    const RegistryFunctions fallback =
        LoadRegistryFunctions(L"api-ms-win-core-registry-l9-9-9.dll");
    ASSERT_NE(fallback.Open, nullptr);
    HKEY opened = nullptr;
    ASSERT_EQ(
        fallback.Open(HKEY_LOCAL_MACHINE, TestKey.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &opened),
        ERROR_SUCCESS);
    wchar_t text[32] = {};
    DWORD bytes = sizeof text;
    EXPECT_EQ(
        fallback.Query(opened, L"Value", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &bytes),
        ERROR_SUCCESS);
    EXPECT_EQ(fallback.Close(opened), ERROR_SUCCESS);
    EXPECT_STREQ(text, L"through ADVAPI32");
}

TEST(Views, EachReaderSeesOnlyItsOwnView) {
    ScratchKey only64(KEY_WOW64_64KEY, TestKey + L"\\Only64");
    ScratchKey only32(KEY_WOW64_32KEY, TestKey + L"\\Only32");
    only64.SetText(L"Value", L"64");
    only32.SetText(L"Value", L"32");
    TRegistry view64 = MachineReader(RegistryView::View64);
    TRegistry viewDefault = MachineReader(RegistryView::ViewDefault);

    EXPECT_TRUE(view64.KeyExists(TestKey + L"\\Only64"));
    EXPECT_FALSE(view64.KeyExists(TestKey + L"\\Only32"));
    EXPECT_TRUE(viewDefault.KeyExists(TestKey + L"\\Only32"));
    EXPECT_FALSE(viewDefault.KeyExists(TestKey + L"\\Only64"));

    ASSERT_TRUE(view64.OpenKey(TestKey + L"\\Only64"));
    EXPECT_EQ(view64.ReadString(L"Value"), L"64");
    ASSERT_TRUE(viewDefault.OpenKey(TestKey + L"\\Only32"));
    EXPECT_EQ(viewDefault.ReadString(L"Value"), L"32");
}

TEST(Creation, StartsOnTheCurrentUserWithNoKeyOpen) {
    TRegistry reader(RegistryView::View64);
    EXPECT_EQ(reader.RootKey(), HKEY_CURRENT_USER);
    EXPECT_EQ(reader.Access(), 0x20119u);
    EXPECT_EQ(reader.CurrentKey(), nullptr);
    EXPECT_EQ(TRegistry(RegistryView::ViewDefault).Access(), 0x20019u);
}

TEST(KeyExists, LeavesAccessAndTheOpenKeyAsTheyWere) {
    ScratchKey key(KEY_WOW64_64KEY, TestKey + L"\\Sub");
    TRegistry reader = MachineReader(RegistryView::View64);
    ASSERT_TRUE(reader.OpenKey(TestKey));
    const HKEY open = reader.CurrentKey();
    EXPECT_TRUE(reader.KeyExists(L"Sub"));
    EXPECT_FALSE(reader.KeyExists(L"Missing"));
    EXPECT_EQ(reader.CurrentKey(), open);
    EXPECT_EQ(reader.Access(), 0x20119u);
}

struct SecurityCase {
    const char* Name;
    REGSAM Denied; // to everyone, on the key itself
    bool Exists;   // KeyExists asks for its view bits with 0x20009 only
    bool Opens;    // OpenKey asks for the full KEY_READ
};
TABLE_CASE_PRINTER(SecurityCase)

const SecurityCase SecurityCases[] = {
    {"RefusesQuerying", KEY_QUERY_VALUE, false, false},
    {"RefusesOnlyNotifications", KEY_NOTIFY, true, false},
    {"RefusesEnumeratingSubkeys", KEY_ENUMERATE_SUB_KEYS, false, false},
};

TABLE_TEST(KeySecurityTest, SecurityCase, SecurityCases);

TEST_P(KeySecurityTest, KeyExistsAsksForLessThanOpenKey) {
    const SecurityCase& c = GetParam();
    ScratchKey key(KEY_WOW64_64KEY, TestKey + L"\\Guarded");
    key.SetText(L"Value", L"x");
    if (!key.Deny(c.Denied)) {
        GTEST_SKIP() << "this system does not enforce registry key security";
    }
    TRegistry reader = MachineReader(RegistryView::View64);
    EXPECT_EQ(reader.KeyExists(TestKey + L"\\Guarded"), c.Exists);
    EXPECT_EQ(reader.OpenKey(TestKey + L"\\Guarded"), c.Opens);
    EXPECT_EQ(reader.CurrentKey(), nullptr);
    EXPECT_EQ(reader.ReadString(L"Value"), L"");
}

TEST(OpenKey, ResolvesRelativePathsFromTheOpenKeyAndAbsoluteOnesFromTheRoot) {
    ScratchKey child(KEY_WOW64_64KEY, TestKey + L"\\Child");
    child.SetText(L"Where", L"child");
    TRegistry reader = MachineReader(RegistryView::View64);
    ASSERT_TRUE(reader.OpenKey(TestKey));
    ASSERT_TRUE(reader.OpenKey(L"Child"));
    EXPECT_EQ(reader.ReadString(L"Where"), L"child");
    // Relative to the open key "Child", the full path does not exist...
    EXPECT_FALSE(reader.OpenKey(TestKey));
    // ...and a failed open keeps the key that was open.
    EXPECT_EQ(reader.ReadString(L"Where"), L"child");
    // With a leading backslash the path starts at the root again.
    EXPECT_TRUE(reader.KeyExists(L"\\" + TestKey + L"\\Child"));
    ASSERT_TRUE(reader.OpenKey(L"\\" + TestKey));
    EXPECT_EQ(reader.ReadString(L"Where"), L"");
}

TEST(CloseKey, ClosesOnceAndThenDoesNothingAsARootChangeCloses) {
    ScratchKey key(KEY_WOW64_64KEY, TestKey);
    key.SetText(L"Value", L"x");
    TRegistry reader = MachineReader(RegistryView::View64);
    ASSERT_TRUE(reader.OpenKey(TestKey));
    reader.CloseKey();
    EXPECT_EQ(reader.CurrentKey(), nullptr);
    EXPECT_EQ(reader.ReadString(L"Value"), L"");
    reader.CloseKey();
    EXPECT_EQ(reader.CurrentKey(), nullptr);
    // The root key closes the open one only where it changes.
    ASSERT_TRUE(reader.OpenKey(TestKey));
    reader.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_NE(reader.CurrentKey(), nullptr);
    reader.SetRootKey(HKEY_CURRENT_USER);
    EXPECT_EQ(reader.CurrentKey(), nullptr);
    EXPECT_EQ(reader.RootKey(), HKEY_CURRENT_USER);
}

} // namespace
