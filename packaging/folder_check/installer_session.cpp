#include "packaging/folder_check/installer_session.h"

#include <msiquery.h>

#include <map>
#include <optional>

#include "text/conversion.h"

namespace {

// Text an installer call writes into a buffer whose size it reports first,
// in characters without the NUL. A failure is thrown, never empty text;
// the call's error code comes with it, for a caller that expects some.
struct InstallerError {
    UINT Code;
};

template <typename Call> std::wstring InstallerText(Call call) {
    DWORD length = 0;
    wchar_t empty[1] = L"";
    UINT result = call(empty, &length);
    if (result == ERROR_SUCCESS) {
        return {};
    }
    if (result != ERROR_MORE_DATA) {
        throw InstallerError{result};
    }
    std::wstring text(++length, L'\0');
    if ((result = call(text.data(), &length)) != ERROR_SUCCESS) {
        throw InstallerError{result};
    }
    text.resize(length);
    return text;
}

std::wstring RecordText(MSIHANDLE record, UINT field) {
    return InstallerText([record, field](wchar_t* buffer, DWORD* length) {
        return MsiRecordGetStringW(record, field, buffer, length);
    });
}

// Each row of a query on the package's own database, its fields as text.
std::vector<std::vector<std::wstring>> Rows(MSIHANDLE install, const wchar_t* query, UINT fields) {
    std::vector<std::vector<std::wstring>> rows;
    PMSIHANDLE database = MsiGetActiveDatabase(install);
    PMSIHANDLE view;
    UINT result = ERROR_SUCCESS;
    if ((result = MsiDatabaseOpenViewW(database, query, &view)) != ERROR_SUCCESS ||
        (result = MsiViewExecute(view, 0)) != ERROR_SUCCESS) {
        throw InstallerError{result};
    }
    PMSIHANDLE record;
    while ((result = MsiViewFetch(view, &record)) == ERROR_SUCCESS) {
        std::vector<std::wstring> row;
        for (UINT field = 1; field <= fields; ++field) {
            row.push_back(RecordText(record, field));
        }
        rows.push_back(row);
    }
    if (result != ERROR_NO_MORE_ITEMS) {
        throw InstallerError{result};
    }
    return rows;
}

// The long name of a Directory or File name column (short|long, and a
// directory's target:source).
std::wstring LongName(std::wstring name) {
    name = name.substr(0, name.find(L':'));
    const size_t bar = name.find(L'|');
    return bar == std::wstring::npos ? name : name.substr(bar + 1);
}

} // namespace

std::wstring Property(MSIHANDLE install, const wchar_t* name) {
    return InstallerText([install, name](wchar_t* buffer, DWORD* length) {
        return MsiGetPropertyW(install, name, buffer, length);
    });
}

namespace {

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

void Message(MSIHANDLE install, INSTALLMESSAGE kind, const std::wstring& text) {
    PMSIHANDLE record = MsiCreateRecord(0);
    MsiRecordSetStringW(record, 0, Literal(text).c_str());
    MsiProcessMessage(install, kind, record);
}

} // namespace

void Log(MSIHANDLE install, const std::wstring& text) {
    Message(install, INSTALLMESSAGE_INFO, WithCodePointsOutsideTheCodePage(text));
}

void ShowError(MSIHANDLE install, const std::wstring& text) {
    Message(install, static_cast<INSTALLMESSAGE>(INSTALLMESSAGE_ERROR | MB_OK | MB_ICONERROR),
            text);
}

namespace {

// A per-machine product's install location; empty where it has none, or
// is no per-machine product.
std::wstring MachineProductLocation(const wchar_t* product) {
    try {
        return InstallerText([product](wchar_t* buffer, DWORD* length) {
            return MsiGetProductInfoExW(product, nullptr, MSIINSTALLCONTEXT_MACHINE,
                                        INSTALLPROPERTY_INSTALLLOCATION, buffer, length);
        });
    } catch (const InstallerError& error) {
        if (error.Code != ERROR_UNKNOWN_PRODUCT && error.Code != ERROR_UNKNOWN_PROPERTY) {
            throw;
        }
        return {};
    }
}

} // namespace

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
        throw InstallerError{result};
    }
    return locations;
}

std::wstring FolderLock(MSIHANDLE install) {
    const auto rows = Rows(install,
                           L"SELECT `SDDLText` FROM `MsiLockPermissionsEx` WHERE "
                           L"`LockObject` = 'INSTALLDIR' AND `Table` = 'CreateFolder'",
                           1);
    if (rows.size() != 1 || rows[0][0].empty()) {
        throw InstallerError{ERROR_INVALID_DATA};
    }
    return rows[0][0];
}

PackageLayout ReadPackageLayout(MSIHANDLE install) {
    // Each folder's parent and name; its path below INSTALLDIR, if it lies there.
    std::map<std::wstring, std::pair<std::wstring, std::wstring>> folders;
    for (const auto& row :
         Rows(install, L"SELECT `Directory`, `Directory_Parent`, `DefaultDir` FROM `Directory`",
              3)) {
        folders[row[0]] = {row[1], LongName(row[2])};
    }
    const auto below = [&folders](std::wstring folder) -> std::optional<std::wstring> {
        std::wstring path;
        for (size_t depth = 0; depth <= folders.size(); ++depth) {
            if (folder == L"INSTALLDIR") {
                return path;
            }
            const auto found = folders.find(folder);
            if (found == folders.end()) {
                return std::nullopt;
            }
            const std::wstring& name = found->second.second;
            if (name != L".") {
                path = path.empty() ? name : name + L"\\" + path;
            }
            folder = found->second.first;
        }
        return std::nullopt;
    };
    PackageLayout layout;
    for (const auto& [folder, entry] : folders) {
        if (const std::optional<std::wstring> path = below(folder); path && !path->empty()) {
            layout.Folders.push_back(*path);
        }
    }
    for (const auto& row : Rows(install,
                                L"SELECT `File`.`FileName`, `Component`.`Directory_` FROM "
                                L"`File`, `Component` WHERE `File`.`Component_` = "
                                L"`Component`.`Component`",
                                2)) {
        if (const std::optional<std::wstring> path = below(row[1])) {
            layout.Files.push_back(path->empty() ? LongName(row[0])
                                                 : *path + L"\\" + LongName(row[0]));
        }
    }
    return layout;
}
