#include "packaging/folder_check/installer_session.h"

#include <msiquery.h>

#include <algorithm>
#include <cwchar>
#include <exception>
#include <map>

#include "text/conversion.h"

namespace {

void Check(const wchar_t* call, UINT result) {
    if (result != ERROR_SUCCESS) {
        throw CallFailed{call, result};
    }
}

// Text an installer call (named for the log) writes into a buffer whose
// size it reports first, in characters without the NUL.
template <typename Call> std::wstring InstallerText(const wchar_t* call, Call read) {
    DWORD length = 0;
    wchar_t empty[1] = L"";
    if (const UINT result = read(empty, &length); result != ERROR_MORE_DATA) {
        Check(call, result);
        return {};
    }
    std::wstring text(++length, L'\0');
    Check(call, read(text.data(), &length));
    text.resize(length);
    return text;
}

std::wstring RecordText(MSIHANDLE record, UINT field) {
    return InstallerText(L"MsiRecordGetStringW", [record, field](wchar_t* buffer, DWORD* length) {
        return MsiRecordGetStringW(record, field, buffer, length);
    });
}

// Each row of a query on the package's own database, its fields by the
// names the query gives its columns.
using Row = std::map<std::wstring, std::wstring>;
std::vector<Row> Rows(MSIHANDLE install, const wchar_t* query) {
    PMSIHANDLE database = MsiGetActiveDatabase(install);
    if (database == 0) {
        throw CallFailed{L"MsiGetActiveDatabase", ERROR_INVALID_HANDLE};
    }
    PMSIHANDLE view;
    Check(L"MsiDatabaseOpenViewW", MsiDatabaseOpenViewW(database, query, &view));
    Check(L"MsiViewExecute", MsiViewExecute(view, 0));
    PMSIHANDLE names;
    Check(L"MsiViewGetColumnInfo", MsiViewGetColumnInfo(view, MSICOLINFO_NAMES, &names));
    std::vector<std::wstring> columns;
    for (UINT field = 1; field <= MsiRecordGetFieldCount(names); ++field) {
        columns.push_back(RecordText(names, field));
    }
    std::vector<Row> rows;
    PMSIHANDLE record;
    UINT result = ERROR_SUCCESS;
    while ((result = MsiViewFetch(view, &record)) == ERROR_SUCCESS) {
        Row row;
        for (UINT field = 1; field <= columns.size(); ++field) {
            row[columns[field - 1]] = RecordText(record, field);
        }
        rows.push_back(row);
    }
    if (result != ERROR_NO_MORE_ITEMS) {
        throw CallFailed{L"MsiViewFetch", result};
    }
    return rows;
}

// Text that formatting gives back as it is. A field's value is formatted
// again once put in place (a folder named [ProductName] would be logged as
// the product's name), so the text is the template itself, with each
// character that formatting reads written as its documented escape [\c].
std::wstring Literal(const std::wstring& text) {
    std::wstring literal;
    for (const wchar_t c : text) {
        if (c == L'[' || c == L']' || c == L'{' || c == L'}') {
            literal += {L'[', L'\\', c, L']'};
        } else {
            literal += c;
        }
    }
    return literal;
}

// What the installer answered: IDCANCEL where the user pressed Cancel.
int Message(MSIHANDLE install, INSTALLMESSAGE kind, const std::wstring& text) {
    PMSIHANDLE record = MsiCreateRecord(0);
    if (record == 0 || MsiRecordSetStringW(record, 0, Literal(text).c_str()) != ERROR_SUCCESS) {
        return -1;
    }
    return MsiProcessMessage(install, kind, record);
}

// A per-machine product's install location; empty where it has none, or
// is no per-machine product.
std::wstring MachineProductLocation(const wchar_t* product) {
    try {
        return InstallerText(L"MsiGetProductInfoExW", [product](wchar_t* buffer, DWORD* length) {
            return MsiGetProductInfoExW(product, nullptr, MSIINSTALLCONTEXT_MACHINE,
                                        INSTALLPROPERTY_INSTALLLOCATION, buffer, length);
        });
    } catch (const CallFailed& error) {
        if (error.Code != ERROR_UNKNOWN_PRODUCT && error.Code != ERROR_UNKNOWN_PROPERTY) {
            throw;
        }
        return {};
    }
}

} // namespace

std::wstring Property(MSIHANDLE install, const wchar_t* name) {
    return InstallerText(L"MsiGetPropertyW", [install, name](wchar_t* buffer, DWORD* length) {
        return MsiGetPropertyW(install, name, buffer, length);
    });
}

void Log(MSIHANDLE install, const std::wstring& text, bool honourCancel) {
    if (Message(install, INSTALLMESSAGE_INFO, WithCodePointsOutsideTheCodePage(text)) == IDCANCEL &&
        honourCancel) {
        throw InstallCancelled{};
    }
}

std::wstring CurrentFailure() {
    try {
        throw;
    } catch (const CallFailed& failed) {
        return std::wstring(failed.Call) + L" failed, error " + std::to_wstring(failed.Code);
    } catch (const std::exception& failed) {
        const std::string what = failed.what();
        return std::wstring(what.begin(), what.end());
    } catch (...) {
        return L"an unknown failure";
    }
}

void ShowError(MSIHANDLE install, const std::wstring& text) {
    Message(install, static_cast<INSTALLMESSAGE>(INSTALLMESSAGE_ERROR | MB_OK | MB_ICONERROR),
            text);
}

std::wstring ProductLocation(MSIHANDLE install) {
    return MachineProductLocation(Property(install, L"ProductCode").c_str());
}

std::vector<std::wstring> InstalledLocations(MSIHANDLE install) {
    const std::wstring upgradeCode = Property(install, L"UpgradeCode");
    std::vector<std::wstring> locations;
    wchar_t product[39] = {};
    UINT result = ERROR_SUCCESS;
    for (DWORD i = 0;
         (result = MsiEnumRelatedProductsW(upgradeCode.c_str(), 0, i, product)) == ERROR_SUCCESS;
         ++i) {
        // The machine's products only: a per-user product of this upgrade
        // code is any user's to install, and vouches for no folder.
        if (const std::wstring location = MachineProductLocation(product); !location.empty()) {
            locations.push_back(location);
        }
    }
    if (result != ERROR_NO_MORE_ITEMS) {
        throw CallFailed{L"MsiEnumRelatedProductsW", result};
    }
    return locations;
}

std::wstring FolderLock(MSIHANDLE install) {
    const auto rows = Rows(install, L"SELECT `SDDLText` FROM `MsiLockPermissionsEx` WHERE "
                                    L"`LockObject` = 'INSTALLDIR' AND `Table` = 'CreateFolder'");
    if (rows.size() != 1 || rows[0].at(L"SDDLText").empty()) {
        throw CallFailed{L"the lock's MsiLockPermissionsEx row", ERROR_INVALID_DATA};
    }
    return rows[0].at(L"SDDLText");
}

PackageLayout ReadPackageLayout(MSIHANDLE install) {
    const std::vector<std::wstring> reach = Split(Property(install, L"PackageReach"), L' ');
    const auto number = [](const std::wstring& text, std::size_t& value) {
        wchar_t* end = nullptr;
        value = std::wcstoul(text.c_str(), &end, 10);
        return !text.empty() && *end == L'\0';
    };
    PackageLayout layout;
    if (reach.size() != 2 || !number(reach[0], layout.Reach.LongestFile) ||
        !number(reach[1], layout.Reach.DeepestFolder) || layout.Reach.LongestFile == 0) {
        throw CallFailed{L"the package's PackageReach", ERROR_INVALID_DATA};
    }
    if (const std::wstring folders = Property(install, L"PackageFolders"); !folders.empty()) {
        layout.Folders = Split(folders, L'|');
    }
    return layout;
}
