#include <gtest/gtest.h>

#include <aclapi.h>

#include <cstring>
#include <vector>

#include "registry/registry.h"
#include "registry/registry_exception.h"
#include "tests/support/case_name.h"
#include "tests/support/scratch_registry.h"

namespace {

const std::wstring TestKey = L"Software\\TarnixLauncherTests";

TRegistry MachineReader(RegistryView view) {
    TRegistry reader(view);
    reader.SetRootKey(HKEY_LOCAL_MACHINE);
    return reader;
}

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
    {"EmptyText", REG_SZ, {}, L"", nullptr},
    {"EmptyDword", REG_DWORD, {}, L"", nullptr},
    {"EmptyBinary", REG_BINARY, {}, L"", nullptr},
    {"EmptyMultiText", REG_MULTI_SZ, {}, L"", nullptr},
    {"Dword", REG_DWORD, Bytes(&Number, 4), nullptr, "Invalid data type for 'Dword'"},
    {"Qword", REG_QWORD, Bytes(&Wide, 8), nullptr, "Invalid data type for 'Qword'"},
    {"Binary", REG_BINARY, Bytes("\x01\x02", 2), nullptr, "Invalid data type for 'Binary'"},
    {"MultiText", REG_MULTI_SZ, Bytes(L"a\0b\0", 10), nullptr, "Invalid data type for 'MultiText'"},
};

class ReadStringTest : public testing::TestWithParam<ValueCase> {};

TEST_P(ReadStringTest, ReadsTextOrRaises) {
    const ValueCase& c = GetParam();
    const std::wstring name(c.Name, c.Name + std::strlen(c.Name));
    ScratchKey key(KEY_WOW64_64KEY, TestKey);
    key.SetRaw(name, c.Type, c.Data.data(), static_cast<DWORD>(c.Data.size()));
    TRegistry reader = MachineReader(RegistryView::View64);
    ASSERT_TRUE(reader.OpenKey(TestKey));
    if (c.Text != nullptr) {
        EXPECT_EQ(reader.ReadString(name), c.Text);
        return;
    }
    try {
        reader.ReadString(name);
        FAIL() << "no ERegistryException";
    } catch (const ERegistryException& error) {
        EXPECT_STREQ(error.what(), c.Message);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, ReadStringTest, testing::ValuesIn(ValueCases), CaseName());

TEST(ReadString, IsEmptyForAMissingValueOrWithNoKeyOpen) {
    ScratchKey key(KEY_WOW64_64KEY, TestKey);
    key.SetText(L"Present", L"x");
    TRegistry reader = MachineReader(RegistryView::View64);
    EXPECT_EQ(reader.ReadString(L"Present"), L"");
    ASSERT_TRUE(reader.OpenKey(TestKey));
    EXPECT_EQ(reader.ReadString(L"Missing"), L"");
    EXPECT_EQ(reader.ReadString(L"Present"), L"x");
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

TEST(KeyExists, IsFalseWhenTheKeysSecurityRefusesQuerying) {
    ScratchKey key(KEY_WOW64_64KEY, TestKey + L"\\Guarded");
    // Deny querying to everyone on the key itself.
    EXPLICIT_ACCESSW deny{};
    BuildExplicitAccessWithNameW(&deny, const_cast<wchar_t*>(L"EVERYONE"), KEY_QUERY_VALUE,
                                 DENY_ACCESS, NO_INHERITANCE);
    PACL acl = nullptr;
    ASSERT_EQ(SetEntriesInAclW(1, &deny, nullptr, &acl), ERROR_SUCCESS);
    const DWORD applied = SetSecurityInfo(key.Handle(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION,
                                          nullptr, nullptr, acl, nullptr);
    LocalFree(acl);
    ASSERT_EQ(applied, ERROR_SUCCESS);

    TRegistry reader = MachineReader(RegistryView::View64);
    HKEY probe = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (TestKey + L"\\Guarded").c_str(), 0,
                      KEY_QUERY_VALUE | KEY_WOW64_64KEY, &probe) == ERROR_SUCCESS) {
        RegCloseKey(probe);
        GTEST_SKIP() << "this system does not enforce registry key security";
    }
    EXPECT_FALSE(reader.KeyExists(TestKey + L"\\Guarded"));
    EXPECT_FALSE(reader.OpenKey(TestKey + L"\\Guarded"));
    EXPECT_EQ(reader.CurrentKey(), nullptr);
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

TEST(RootKey, ClosesTheOpenKeyOnlyWhenItChanges) {
    ScratchKey key(KEY_WOW64_64KEY, TestKey);
    TRegistry reader = MachineReader(RegistryView::View64);
    ASSERT_TRUE(reader.OpenKey(TestKey));
    reader.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_NE(reader.CurrentKey(), nullptr);
    reader.SetRootKey(HKEY_CURRENT_USER);
    EXPECT_EQ(reader.CurrentKey(), nullptr);
    EXPECT_EQ(reader.RootKey(), HKEY_CURRENT_USER);
}

TEST(CloseKey, ClosesOnceAndThenDoesNothing) {
    ScratchKey key(KEY_WOW64_64KEY, TestKey);
    key.SetText(L"Value", L"x");
    TRegistry reader = MachineReader(RegistryView::View64);
    ASSERT_TRUE(reader.OpenKey(TestKey));
    reader.CloseKey();
    EXPECT_EQ(reader.CurrentKey(), nullptr);
    EXPECT_EQ(reader.ReadString(L"Value"), L"");
    reader.CloseKey();
    EXPECT_EQ(reader.CurrentKey(), nullptr);
}

} // namespace
