// The package's custom actions on the installation folder: the check that
// decides, from the file system itself, whether INSTALLDIR may receive the
// application, before LaunchConditions; and its second look, as SYSTEM,
// once the folder is made and before the first file is written.
#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include <algorithm>
#include <string>
#include <vector>

#include "packaging/folder_check/check_outcome.h"
#include "packaging/folder_check/install_folder.h"
#include "packaging/folder_check/installer_session.h"
#include "packaging/folder_check/made_folder.h"
#include "text/file_system.h"

namespace {

// The check's properties set, or the install stopped: a property the check
// could not set must never leave it looking accepted, nor refused for
// nothing.
UINT Concluded(MSIHANDLE install, const std::vector<PropertyValue>& properties) {
    const bool set =
        SetProperties(properties, [install](const wchar_t* name, const std::wstring& value) {
            const UINT result = MsiSetPropertyW(install, name, value.c_str());
            if (result != ERROR_SUCCESS) {
                Log(install, std::wstring(L"CheckInstallFolder: could not set ") + name +
                                 L", error " + std::to_wstring(result));
            }
            return result == ERROR_SUCCESS;
        });
    return set ? ERROR_SUCCESS : ERROR_INSTALL_FAILURE;
}

} // namespace

extern "C" __declspec(dllexport) UINT __stdcall CheckInstallFolder(MSIHANDLE install) {
    try {
        const Machine machine = ReadMachine(
            {Property(install, L"WindowsFolder"), Property(install, L"ProgramFilesFolder"),
             Property(install, L"ProgramFiles64Folder"), Property(install, L"CommonAppDataFolder"),
             Property(install, L"TempFolder")});
        const std::wstring given = Property(install, L"INSTALLDIR");
        const std::vector<std::wstring> installed = InstalledLocations(install);
        const PackageLayout layout = ReadPackageLayout(install);
        PackageReach reach;
        for (const std::wstring& file : layout.Files) {
            reach.LongestFile = std::max(reach.LongestFile, file.size());
        }
        for (const std::wstring& folder : layout.Folders) {
            reach.DeepestFolder = std::max(reach.DeepestFolder, folder.size());
        }
        for (const std::wstring& location : installed) {
            Log(install, L"CheckInstallFolder: installed in " + location);
        }
        const Judgement judgement = JudgedOrUnverifiable(given, [&] {
            return JudgeInstallFolder(given, machine, reach, installed,
                                      [install](const std::wstring& line) {
                                          Log(install, L"CheckInstallFolder: " + line);
                                      });
        });
        const Verdict& verdict = judgement.Result;
        std::wstring verification;
        if (verdict.Reason == Refusal::None) {
            // What an upgrade finds in its folder may stay; a folder that
            // was not there holds nothing of anyone's when made.
            verification = NetworkFolderMark;
            if (!IsNetworkPath(judgement.Folder)) {
                const Verification data = {
                    judgement.Folder, judgement.Resolved, machine.Administrator,
                    judgement.Existed ? AllowedContents(judgement.Folder, layout) : layout.Folders};
                std::wstring allowed;
                for (const std::wstring& path : data.Allowed) {
                    allowed += (allowed.empty() ? L"" : L"; ") + path;
                }
                Log(install, L"CheckInstallFolder: it may hold, when made: " + allowed);
                verification = VerificationData(data);
            }
            Log(install, L"CheckInstallFolder: accepted " + judgement.Folder);
        } else {
            Log(install, std::wstring(L"CheckInstallFolder: refused (") +
                             RefusalName(verdict.Reason) + L"): " + verdict.Folder +
                             (verdict.Trustee.empty() ? L"" : L" for " + verdict.Trustee));
        }
        return Concluded(install, CheckProperties(judgement, verification));
    } catch (...) {
        // Refused as unverifiable, with its message, never a bare failure.
        Log(install, L"CheckInstallFolder: failed unexpectedly; refused (unverifiable)");
        Judgement refused;
        refused.Result = {Refusal::Unverifiable, L"INSTALLDIR", {}};
        try {
            refused.Result.Folder = Property(install, L"INSTALLDIR");
        } catch (...) {
            // The box names the property, not a folder.
        }
        return Concluded(install, CheckProperties(refused, {}));
    }
}

extern "C" __declspec(dllexport) UINT __stdcall VerifyInstallFolder(MSIHANDLE install) {
    try {
        const std::wstring data = Property(install, L"CustomActionData");
        if (data == NetworkFolderMark) {
            Log(install, L"VerifyInstallFolder: a network folder, governed by its share");
            return ERROR_SUCCESS;
        }
        const std::optional<Verification> verification = ParseVerificationData(data);
        if (!verification) {
            Log(install, L"VerifyInstallFolder: no folder to verify");
            return ERROR_INSTALL_FAILURE;
        }
        const std::vector<std::wstring> trusted = TrustedTrustees(
            verification->Account, !verification->Account.empty(), LocalAdministrators());
        const MadeFolder made = ReadMadeFolder(verification->Folder);
        Log(install, L"VerifyInstallFolder: " + verification->Folder + L" leads to " +
                         made.FinalPath + L", owned by " + made.Owner + L", holding " +
                         std::to_wstring(made.Contents.size()) + L" things");
        Verdict verdict = MadeFolderRefusal(made, *verification, trusted);
        if (verdict.Reason == Refusal::None) {
            // The folder itself and every one above it, once more.
            verdict =
                WayRefusal(WayDownTo(std::wstring(WithoutTrailingBackslash(verification->Folder))),
                           trusted, false);
        }
        if (verdict.Reason == Refusal::None) {
            Log(install, L"VerifyInstallFolder: verified " + verification->Folder);
            return ERROR_SUCCESS;
        }
        Log(install, std::wstring(L"VerifyInstallFolder: refused (") + RefusalName(verdict.Reason) +
                         L"): " + verdict.Folder +
                         (verdict.Trustee.empty() ? L"" : L" for " + verdict.Trustee));
        ShowError(install, L"A pasta de instalação " + verification->Folder +
                               L" mudou depois de verificada: " + Finding(verdict) +
                               L". A instalação foi desfeita. Verifique quem pode criar ou mudar "
                               L"pastas no caminho dela e execute a instalação de novo.");
        return ERROR_INSTALL_FAILURE;
    } catch (...) {
        Log(install, L"VerifyInstallFolder: failed unexpectedly");
        return ERROR_INSTALL_FAILURE;
    }
}
