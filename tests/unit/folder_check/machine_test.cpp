#include "tests/support/folder_facts.h"

#include "text/unique_handle.h"

namespace {

TEST(ReadAccountToken, FindsNoAdministratorInAStandardAccountsToken) {
    HANDLE process = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, &process));
    const UniqueHandle ownedProcess(process);
    std::vector<unsigned char> administrators = WellKnownSid(WinBuiltinAdministratorsSid);
    // Administrators as deny-only: the token a standard account has.
    SID_AND_ATTRIBUTES denied = {administrators.data(), 0};
    HANDLE restricted = nullptr;
    ASSERT_TRUE(CreateRestrictedToken(process, 0, 1, &denied, 0, nullptr, 0, nullptr, &restricted));
    const UniqueHandle ownedRestricted(restricted);
    EXPECT_TRUE(ReadAccountToken(process).Member); // every test runs as an administrator
    EXPECT_FALSE(ReadAccountToken(restricted).Member);
}

TEST(ServerAddresses, AreIpv6AddressesToo) {
    // A name whose only address is an IPv6 one, as this machine's may be.
    EXPECT_EQ(ServerAddresses(L"::1"), std::vector<std::wstring>{L"::1"});
}
} // namespace
