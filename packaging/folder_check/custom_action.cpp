// The package's custom actions on the installation folder: the check before
// LaunchConditions, the maintenance run's folder, and, as SYSTEM, the
// folder's making (and its rollback), a second look before the first file,
// and the made folders' removal; and a bare package's look for the Java the
// launcher will start.
#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "packaging/folder_check/folder_judgement.h"
#include "packaging/folder_check/folder_plan.h"
#include "packaging/folder_check/folder_reading.h"
#include "packaging/folder_check/installer_session.h"
#include "packaging/folder_check/java_look.h"
#include "packaging/folder_check/machine.h"
#include "packaging/folder_check/made_record.h"

namespace {

// The check's properties set, or the install stopped: an unset property
// must never leave it looking accepted, nor refused for nothing.
UINT Concluded(MSIHANDLE install, const std::vector<PropertyValue>& properties) {
    const bool set =
        SetProperties(properties, [install](const wchar_t* name, const std::wstring& value) {
            const UINT result = MsiSetPropertyW(install, name, value.c_str());
            if (result != ERROR_SUCCESS) {
                Log(install,
                    std::wstring(L"FolderCheck: MsiSetPropertyW of ") + name + L" failed, error " +
                        std::to_wstring(result),
                    false);
            }
            return result == ERROR_SUCCESS;
        });
    return set ? ERROR_SUCCESS : ERROR_INSTALL_FAILURE;
}

// An action run so that Cancel ends it as the user asked, and any other
// failure is logged and fails the install.
UINT Guarded(MSIHANDLE install, const wchar_t* action, const std::function<UINT()>& run) {
    try {
        return run();
    } catch (const InstallCancelled&) {
        return ERROR_INSTALL_USEREXIT;
    } catch (...) {
        Log(install, std::wstring(action) + L": failed unexpectedly: " + CurrentFailure(), false);
        return ERROR_INSTALL_FAILURE;
    }
}

// A refusal as the log words it.
std::wstring Refusing(const Verdict& verdict) {
    return std::wstring(L"refused (") + RefusalName(verdict.Reason) + L"): " + verdict.Folder +
           (verdict.Trustee.empty() ? L"" : L" for " + verdict.Trustee);
}

// What the check judged, as it handed it to a deferred action; thrown when
// there is none.
FolderPlan PlanOf(MSIHANDLE install) {
    std::optional<FolderPlan> plan = ParsePlanData(Property(install, L"CustomActionData"));
    if (!plan) {
        throw CallFailed{L"the CustomActionData of the folder's plan", ERROR_INVALID_DATA};
    }
    return *plan;
}

// A network folder's share's own permissions govern it: nothing to do.
bool GovernedByItsShare(MSIHANDLE install, const wchar_t* action, const FolderPlan& plan) {
    if (plan.Network) {
        Log(install, std::wstring(action) + L": a network folder, governed by its share");
    }
    return plan.Network;
}

// The folder, found other than it was judged: logged, shown, and the
// install failed and rolled back.
UINT Refused(MSIHANDLE install, const wchar_t* action, const FolderPath& folder,
             const Verdict& verdict) {
    Log(install, std::wstring(action) + L": " + Refusing(verdict));
    ShowError(install, L"A pasta de instalação " + folder.WithBackslash() +
                           L" mudou depois de verificada: " + Finding(verdict) +
                           L". A instalação foi desfeita. Verifique quem pode criar ou mudar "
                           L"pastas no caminho dela e execute a instalação de novo.");
    return ERROR_INSTALL_FAILURE;
}

// The folder as it is now, judged as the second look judges it.
Verdict InPlaceRefusal(MSIHANDLE install, const wchar_t* action, const FolderPlan& plan) {
    const MadeFolder made = ReadMadeFolder(plan.Folder);
    Log(install, std::wstring(action) + L": " + plan.Folder.WithBackslash() + L" leads to " +
                     made.Itself.Where.Text() + L", owned by " +
                     (made.Itself.Descriptor ? made.Itself.Descriptor->Owner : L"") +
                     L", holding " + std::to_wstring(made.Contents.size()) + L" things");
    return MadeFolderRefusal(made, plan);
}

// Takes away the recorded folders that chosen() picks, deepest first: each
// only where it is still the folder made, and empty. A record is forgotten
// only where its folder is gone or no longer the one made: a folder left
// because something is in it goes with a later removal.
void TakeAwayMadeFolders(MSIHANDLE install, const wchar_t* action,
                         const std::function<bool(const MadeRecord&)>& chosen) {
    const MadeRecords read = ReadMadeRecords();
    for (const std::wstring& name : read.Unreadable) {
        Log(install, std::wstring(action) + L": a record that cannot be read, kept: " + name);
    }
    for (const MadeRecord& record : read.Records) {
        if (chosen(record)) {
            const Removal removal = RemoveMadeFolder(record);
            Log(install,
                std::wstring(action) + L": " + RemovalName(removal) + L" " + record.Path.Text());
            if (Forgets(removal)) {
                ForgetMadeRecord(record.Path);
            }
        }
    }
}

} // namespace

extern "C" __declspec(dllexport) UINT __stdcall CheckInstallFolder(MSIHANDLE install) {
    // Where the check fails: refused as unverifiable, with its message,
    // never a bare failure. The box names the property until its value is read.
    Judgement refused;
    refused.Result = {Refusal::Unverifiable, L"INSTALLDIR"};
    try {
        const std::vector<std::wstring> installed = InstalledLocations(install);
        const std::wstring given =
            FolderToJudge(Property(install, L"INSTALLDIR"),
                          !Property(install, L"INSTALLDIRGIVEN").empty(), installed);
        refused.Result.Folder = given;
        const Machine machine = ReadMachine(
            {Property(install, L"WindowsFolder"), Property(install, L"ProgramFilesFolder"),
             Property(install, L"ProgramFiles64Folder"), Property(install, L"CommonAppDataFolder"),
             Property(install, L"TempFolder")});
        const PackageLayout layout = ReadPackageLayout(install);
        for (const std::wstring& location : installed) {
            Log(install, L"CheckInstallFolder: installed in " + location);
        }
        Judgement judgement = JudgeInstallFolder(
            given, machine, layout.Reach, installed,
            [install](const std::wstring& line) { Log(install, L"CheckInstallFolder: " + line); });
        const Verdict& verdict = judgement.Result;
        std::wstring plan;
        if (!verdict) {
            // What an upgrade finds in its folder may stay, each thing judged
            // here, before anything is removed; a folder that was not there
            // holds nothing of anyone's when made.
            const FolderPlan data =
                PlanFor(judgement, machine, L"O:BA" + FolderLock(install), layout);
            Log(install,
                L"CheckInstallFolder: it may hold, when made: " + Joined(data.Allowed, L"; "));
            MadeFolder older;
            if (!judgement.MovedFrom.Empty()) {
                older = ReadMadeFolder(judgement.MovedFrom);
                Log(install, L"CheckInstallFolder: moving from " + judgement.MovedFrom.Text() +
                                 L", holding " + std::to_wstring(older.Contents.size()) +
                                 L" things");
            }
            judgement.Result = FoundFolderRefusal(judgement, data, older);
            plan = PlanData(data);
        }
        Log(install,
            L"CheckInstallFolder: " +
                (verdict ? Refusing(verdict) : L"accepted " + judgement.Folder.WithBackslash()));
        return Concluded(install, CheckProperties(judgement, plan));
    } catch (const InstallCancelled&) {
        return ERROR_INSTALL_USEREXIT;
    } catch (...) {
        Log(install, L"CheckInstallFolder: " + CurrentFailure() + L"; refused (unverifiable)",
            false);
        return Concluded(install, CheckProperties(refused, {}));
    }
}

// A maintenance run (repair, reinstall, patch, removal) stays where the
// product is, or is refused with its own message; a removal never.
extern "C" __declspec(dllexport) UINT __stdcall KeepInstalledFolder(MSIHANDLE install) {
    return Guarded(install, L"KeepInstalledFolder", [install]() -> UINT {
        const std::wstring given = Property(install, L"INSTALLDIR");
        const std::wstring location = ProductLocation(install);
        const MaintenanceFolder decision =
            MaintenanceDecision(given, location, SameName(Property(install, L"REMOVE"), L"ALL"));
        Log(install, L"KeepInstalledFolder: installed in " + location + L", INSTALLDIR " + given +
                         (decision.Refused ? L": refused (maintenance)" : L": " + decision.Folder));
        return Concluded(install,
                         {{L"INSTALLDIR", decision.Folder},
                          {L"InstallDirRefusal",
                           RefusalName(decision.Refused ? Refusal::Maintenance : Refusal::None)},
                          {L"InstallDirRefusalFolder", location}});
    });
}

// As SYSTEM, before CreateFolders writes the lock: makes the folder and every
// missing one above it with CreateDirectoryW, which fails where anything
// appeared since the check, so that nothing another account put there is
// adopted. A folder there when judged (an upgrade) is looked at again.
extern "C" __declspec(dllexport) UINT __stdcall MakeInstallFolder(MSIHANDLE install) {
    return Guarded(install, L"MakeInstallFolder", [install]() -> UINT {
        const FolderPlan plan = PlanOf(install);
        if (GovernedByItsShare(install, L"MakeInstallFolder", plan)) {
            return ERROR_SUCCESS;
        }
        const FolderPath& folder = plan.Folder;
        if (plan.Nearest == folder) {
            // There when judged: an upgrade in place, whose older version
            // stays until the newer is installed. What changed since is refused.
            const Verdict verdict = InPlaceRefusal(install, L"MakeInstallFolder", plan);
            if (verdict) {
                return Refused(install, L"MakeInstallFolder", plan.Folder, verdict);
            }
            Log(install, L"MakeInstallFolder: kept " + folder.WithBackslash());
        }
        // Each with the lock's descriptor, Administrators its owner,
        // protected: nothing a folder above passes down reaches it.
        const LocalPointer<void> lock = DescriptorFromText(plan.Descriptor);
        if (!lock) {
            ThrowLastError(L"ConvertStringSecurityDescriptorToSecurityDescriptorW");
        }
        SECURITY_ATTRIBUTES locked{sizeof locked, lock.get(), FALSE};
        const std::wstring product = Property(install, L"ProductCode");
        for (const FolderPath& path : FoldersToMake(plan)) {
            if (!CreateDirectoryW(path.Text().c_str(), &locked)) {
                const DWORD error = GetLastError();
                Log(install, L"MakeInstallFolder: " + path.Text() + L" could not be made, error " +
                                 std::to_wstring(error));
                return Refused(install, L"MakeInstallFolder", folder,
                               {Refusal::Appeared, path.Text()});
            }
            // Recorded as what it is, where the check said it leads, so that
            // only this folder is ever taken away.
            KeepMadeRecord(path, ResolvedStep(plan, path), product);
            Log(install, L"MakeInstallFolder: made " + path.Text());
        }
        return ERROR_SUCCESS;
    });
}

// Its rollback: what this install's make action made, and only that.
extern "C" __declspec(dllexport) UINT __stdcall MakeInstallFolderRollback(MSIHANDLE install) {
    // A rollback goes on whatever fails here.
    Guarded(install, L"MakeInstallFolderRollback", [install]() -> UINT {
        const std::wstring product = Property(install, L"ProductCode");
        TakeAwayMadeFolders(
            install, L"MakeInstallFolderRollback",
            [&product](const MadeRecord& record) { return record.Product == product; });
        return ERROR_SUCCESS;
    });
    return ERROR_SUCCESS;
}

// As SYSTEM, once a removal or an upgrade has succeeded: the folders the
// make actions made (INSTALLDIR and those above it, the older version's
// among them) that are left empty.
extern "C" __declspec(dllexport) UINT __stdcall RemoveMadeFolders(MSIHANDLE install) {
    return Guarded(install, L"RemoveMadeFolders", [install]() -> UINT {
        TakeAwayMadeFolders(install, L"RemoveMadeFolders", [](const MadeRecord&) { return true; });
        return ERROR_SUCCESS;
    });
}

extern "C" __declspec(dllexport) UINT __stdcall VerifyInstallFolder(MSIHANDLE install) {
    return Guarded(install, L"VerifyInstallFolder", [install]() -> UINT {
        const FolderPlan plan = PlanOf(install);
        if (GovernedByItsShare(install, L"VerifyInstallFolder", plan)) {
            return ERROR_SUCCESS;
        }
        Verdict verdict = InPlaceRefusal(install, L"VerifyInstallFolder", plan);
        if (!verdict) {
            // The folder itself and every one above it, once more.
            verdict = WayRefusal(WayDownTo(plan.Folder), plan.Trusted);
        }
        if (!verdict) {
            Log(install, L"VerifyInstallFolder: verified " + plan.Folder.WithBackslash());
            return ERROR_SUCCESS;
        }
        return Refused(install, L"VerifyInstallFolder", plan.Folder, verdict);
    });
}

// A package without a private runtime: whether the launcher will find the
// installed Java, and what of it others may change, said in the log and in
// the properties of the launch conditions that JAVA_REQUIRED=1 turns on.
// The install goes on whatever the look finds or fails on.
extern "C" __declspec(dllexport) UINT __stdcall FindJava(MSIHANDLE install) {
    return Guarded(install, L"FindJava", [install]() -> UINT {
        JavaLook look;
        try {
            look = LookForInstalledJava(ReadTrustedAccounts());
        } catch (const InstallCancelled&) {
            throw;
        } catch (...) {
            look = {false, L"no Java the launcher can start: the look failed: " + CurrentFailure()};
        }
        Log(install, L"FindJava: " + look.Line);
        return Concluded(install, JavaProperties(look));
    });
}
