#include "tests/support/folder_facts.h"

#include <msiquery.h>
#include <propidl.h>

#include "tests/support/scratch_folder.h"

namespace {

// An installer session of an empty package of the test's own, in which the package's own actions
// run as the installer runs them; its package removed with it, and before it.
struct Session {
    const fs::path Package = fs::temp_directory_path() / L"tarnix-session.msi";
    PMSIHANDLE Handle;

    // Given as INSTALLDIR and as CustomActionData alike.
    void Open(const wchar_t* value) {
        fs::remove(Package);
        { // the package closed before it is opened
            PMSIHANDLE database, summary;
            ASSERT_EQ(MsiOpenDatabaseW(Package.c_str(), MSIDBOPEN_CREATE, &database), 0u);
            // What makes it a package: its platform and language, and a package code.
            ASSERT_EQ(MsiGetSummaryInformationW(database, nullptr, 2, &summary), 0u);
            for (const auto& [id, text] :
                 {std::pair{UINT{PIDSI_TEMPLATE}, L"Intel;1033"},
                  {UINT{PIDSI_REVNUMBER}, L"{6C1F2B0A-3D4E-4F50-8A61-7B2C3D4E5F60}"}}) {
                ASSERT_EQ(MsiSummaryInfoSetPropertyW(summary, id, VT_LPSTR, 0, nullptr, text), 0u);
            }
            ASSERT_EQ(MsiSummaryInfoPersist(summary), 0u);
            ASSERT_EQ(MsiDatabaseCommit(database), 0u);
        }
        MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
        ASSERT_EQ(MsiOpenPackageW(Package.c_str(), &Handle), 0u);
        for (const wchar_t* property : {L"INSTALLDIR", L"CustomActionData"}) {
            ASSERT_EQ(MsiSetPropertyW(Handle, property, value), 0u);
        }
    }
    ~Session() {
        Handle = 0; // closed, so that its package may go
        fs::remove(Package);
    }

    std::wstring Property(const wchar_t* name) {
        wchar_t value[64] = L"";
        DWORD length = 64;
        return MsiGetPropertyW(Handle, name, value, &length) == 0 ? value : L"(unread)";
    }
};

// An action the package's DLL exports, as the installer calls it.
UINT RunAction(const char* action, MSIHANDLE session) {
    using Action = UINT(__stdcall*)(MSIHANDLE);
    const Owned<std::remove_pointer_t<HMODULE>, FreeLibrary> dll(
        LoadLibraryW((ProgramFolder().parent_path() / L"folder_check.dll").c_str()));
    const auto run = reinterpret_cast<Action>(
        reinterpret_cast<void*>(dll ? GetProcAddress(dll.get(), action) : nullptr));
    return run != nullptr ? run(session) : ERROR_PROC_NOT_FOUND;
}

// An action that cannot do its work: a deferred one fails, the check refuses.
struct SessionCase {
    const char* Name;
    const char* Action;
    const wchar_t* Value;
    UINT Expected;
    const wchar_t* Refusal = L"";
};
TABLE_CASE_PRINTER(SessionCase)

const SessionCase SessionCases[] = {
    {"MakeWithoutData", "MakeInstallFolder", L"", ERROR_INSTALL_FAILURE},
    {"VerifyWithGarbledData", "VerifyInstallFolder", L"C:\\T\\\nC:\\T\\", ERROR_INSTALL_FAILURE},
    // A package without the tables the check reads.
    {"CheckThatFailsUnexpectedly", "CheckInstallFolder", L"C:\\T\\", 0, L"unverifiable"},
};

TABLE_TEST(SessionTest, SessionCase, SessionCases);

TEST_P(SessionTest, NeverGoesOnWhereItCannotDoItsWork) {
    const SessionCase& c = GetParam();
    Session session;
    ASSERT_NO_FATAL_FAILURE(session.Open(c.Value));
    EXPECT_EQ(RunAction(c.Action, session.Handle), c.Expected);
    EXPECT_EQ(session.Property(L"InstallDirRefusal"), c.Refusal);
    EXPECT_EQ(session.Property(L"InstallDirAccepted"), L"");
}

// Two empty folders recorded as made, by this install's product and by
// another's: the rollback takes this install's alone, a removal every one.
TEST(MadeFolders, TheRollbackTakesThisInstallsAndARemovalEveryOne) {
    const fs::path mine = L"C:\\TarnixDesta", other = L"C:\\TarnixDeOutro";
    for (const auto& [folder, product] : {std::pair{mine, L"{ESTA}"}, {other, L"{OUTRA}"}}) {
        fs::remove_all(folder);
        fs::create_directory(folder);
        KeepMadeRecord(folder.wstring(), folder.wstring(), product);
    }
    Session session;
    ASSERT_NO_FATAL_FAILURE(session.Open(L""));
    ASSERT_EQ(MsiSetPropertyW(session.Handle, L"ProductCode", L"{ESTA}"), 0u);
    EXPECT_EQ(RunAction("MakeInstallFolderRollback", session.Handle), 0u);
    EXPECT_FALSE(fs::exists(mine));
    EXPECT_TRUE(fs::exists(other));
    EXPECT_EQ(RunAction("RemoveMadeFolders", session.Handle), 0u);
    EXPECT_FALSE(fs::exists(other));
}
} // namespace
