// The package's custom action: decides, from the file system itself,
// whether INSTALLDIR may receive the application, before LaunchConditions.
#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include <string>
#include <vector>

#include "packaging/folder_check/install_folder.h"

namespace {

std::wstring Property(MSIHANDLE install, const wchar_t* name) {
    DWORD length = 0;
    wchar_t empty[1] = L"";
    if (MsiGetPropertyW(install, name, empty, &length) != ERROR_MORE_DATA) {
        return {};
    }
    std::wstring value(++length, L'\0');
    if (MsiGetPropertyW(install, name, value.data(), &length) != ERROR_SUCCESS) {
        return {};
    }
    value.resize(length);
    return value;
}

// Where Windows Installer has the products of this package's upgrade code
// installed: the only folders an upgrade may reuse. Asked of Windows
// Installer itself, so that no property given on the command line opens
// an existing folder.
std::vector<std::wstring> InstalledLocations(MSIHANDLE install) {
    const std::wstring upgradeCode = Property(install, L"UpgradeCode");
    std::vector<std::wstring> locations;
    wchar_t product[39] = {};
    for (DWORD i = 0; MsiEnumRelatedProductsW(upgradeCode.c_str(), 0, i, product) == ERROR_SUCCESS;
         ++i) {
        DWORD length = 0;
        wchar_t empty[1] = L"";
        if (MsiGetProductInfoW(product, INSTALLPROPERTY_INSTALLLOCATION, empty, &length) !=
            ERROR_MORE_DATA) {
            continue;
        }
        std::wstring location(++length, L'\0');
        if (MsiGetProductInfoW(product, INSTALLPROPERTY_INSTALLLOCATION, location.data(),
                               &length) == ERROR_SUCCESS) {
            location.resize(length);
            locations.push_back(location);
        }
    }
    return locations;
}

// One line in the installer's log.
void Log(MSIHANDLE install, const std::wstring& text) {
    PMSIHANDLE record = MsiCreateRecord(1);
    MsiRecordSetStringW(record, 0, (L"CheckInstallFolder: " + text).c_str());
    MsiProcessMessage(install, INSTALLMESSAGE_INFO, record);
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
        for (const std::wstring& location : installed) {
            Log(install, L"installed in " + location);
        }
        const Judgement judgement = JudgeInstallFolder(
            given, machine, installed, [install](const std::wstring& line) { Log(install, line); });
        const Verdict& verdict = judgement.Result;
        if (verdict.Reason == Refusal::None) {
            Log(install, L"accepted " + judgement.Folder);
            MsiSetPropertyW(install, L"INSTALLDIR", judgement.Folder.c_str());
        } else {
            Log(install, std::wstring(L"refused (") + RefusalName(verdict.Reason) + L"): " +
                             verdict.Folder +
                             (verdict.Trustee.empty() ? L"" : L" for " + verdict.Trustee));
        }
        MsiSetPropertyW(install, L"INSTALLDIRREFUSAL", RefusalName(verdict.Reason));
        MsiSetPropertyW(install, L"INSTALLDIRREFUSALFOLDER", verdict.Folder.c_str());
        MsiSetPropertyW(install, L"INSTALLDIRREFUSALTRUSTEE", verdict.Trustee.c_str());
        MsiSetPropertyW(install, L"INSTALLDIRCHECKED", L"1");
        return ERROR_SUCCESS;
    } catch (...) {
        return ERROR_INSTALL_FAILURE;
    }
}
