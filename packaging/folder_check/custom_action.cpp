// The package's custom action: decides, from the file system itself,
// whether INSTALLDIR may receive the application, before LaunchConditions.
#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include <string>

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
        const Judgement judgement =
            JudgeInstallFolder(given, machine, !Property(install, L"WIX_UPGRADE_DETECTED").empty(),
                               Property(install, L"REMEMBEREDINSTALLDIR"),
                               [install](const std::wstring& line) { Log(install, line); });
        const Verdict& verdict = judgement.Result;
        if (verdict.Reason == Refusal::None) {
            Log(install, L"accepted " + judgement.Folder);
            MsiSetPropertyW(install, L"INSTALLDIR", judgement.Folder.c_str());
        } else {
            Log(install,
                std::wstring(L"refused (") + RefusalName(verdict.Reason) + L"): " + verdict.Folder);
        }
        MsiSetPropertyW(install, L"INSTALLDIRREFUSAL", RefusalName(verdict.Reason));
        MsiSetPropertyW(install, L"INSTALLDIRREFUSALFOLDER", verdict.Folder.c_str());
        MsiSetPropertyW(install, L"INSTALLDIRCHECKED", L"1");
        return ERROR_SUCCESS;
    } catch (...) {
        return ERROR_INSTALL_FAILURE;
    }
}
