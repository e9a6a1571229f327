#include "packaging/folder_check/made_record.h"

#include <algorithm>

#include "packaging/folder_check/folder_reading.h"

namespace {

// Below the package's own key (the 32-bit view, where the package writes it).
constexpr wchar_t RecordKey[] = L"Software\\Velmora\\Tarnix Cadastro 2018\\MadeFolders";
constexpr REGSAM View = KEY_WOW64_32KEY;

void Checked(LSTATUS status, const wchar_t* call) {
    if (status != ERROR_SUCCESS) {
        throw CallFailed{call, static_cast<unsigned long>(status)};
    }
}

// The key, made where asked; null where it is absent and not to be made.
UniqueKey RecordKeyOpened(bool make) {
    HKEY key = nullptr;
    const LSTATUS status =
        make ? RegCreateKeyExW(HKEY_LOCAL_MACHINE, RecordKey, 0, nullptr, 0,
                               KEY_READ | KEY_SET_VALUE | View, nullptr, &key, nullptr)
             : RegOpenKeyExW(HKEY_LOCAL_MACHINE, RecordKey, 0, KEY_READ | KEY_SET_VALUE | View,
                             &key);
    if (!make && status == ERROR_FILE_NOT_FOUND) {
        return nullptr;
    }
    Checked(status, make ? L"RegCreateKeyExW" : L"RegOpenKeyExW");
    return UniqueKey(key);
}

// A key of the record's way removed where it holds nothing at all.
void RemoveIfEmpty(const std::wstring& path) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | View, &opened) !=
        ERROR_SUCCESS) {
        return;
    }
    const UniqueKey key(opened);
    DWORD keys = 0;
    DWORD values = 0;
    Checked(RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &keys, nullptr, nullptr, &values,
                             nullptr, nullptr, nullptr, nullptr),
            L"RegQueryInfoKeyW");
    if (keys == 0 && values == 0) {
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), View, 0);
    }
}

// Removed as the handle closes; fails where anything is in it.
bool Disposed(HANDLE folder) {
    FILE_DISPOSITION_INFO disposition{TRUE};
    return SetFileInformationByHandle(folder, FileDispositionInfo, &disposition,
                                      sizeof disposition) != FALSE;
}

} // namespace

MadeRecords ReadMadeRecords() {
    MadeRecords read;
    const UniqueKey key = RecordKeyOpened(false);
    LSTATUS status = ERROR_SUCCESS;
    for (DWORD i = 0; key && status == ERROR_SUCCESS; ++i) {
        std::wstring name(32767, L'\0');
        std::wstring data(512, L'\0');
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        DWORD type = 0;
        status = RegEnumValueW(key.get(), i, name.data(), &nameLength, nullptr, &type,
                               reinterpret_cast<BYTE*>(data.data()), &bytes);
        if (status == ERROR_MORE_DATA) {
            // A value too long for any record's: unreadable, and the listing goes on.
            read.Unreadable.push_back(name.substr(0, nameLength));
            status = ERROR_SUCCESS;
            continue;
        }
        if (status == ERROR_SUCCESS) {
            const std::vector<std::wstring> fields =
                Split(data.substr(0, bytes / sizeof(wchar_t)).c_str(), L' ');
            if (type == REG_SZ && fields.size() == 2 && !fields[0].empty()) {
                read.Records.push_back({name.substr(0, nameLength), fields[0], fields[1]});
            } else {
                read.Unreadable.push_back(name.substr(0, nameLength));
            }
        }
    }
    if (status != ERROR_SUCCESS && status != ERROR_NO_MORE_ITEMS) {
        Checked(status, L"RegEnumValueW");
    }
    // Deepest first: a folder is removed before the one that holds it.
    std::sort(read.Records.begin(), read.Records.end(),
              [](const MadeRecord& a, const MadeRecord& b) {
                  return a.Path.Text().size() > b.Path.Text().size();
              });
    return read;
}

void KeepMadeRecord(const FolderPath& path, const FolderPath& where, const std::wstring& product) {
    const OpenedObject made = OpenObject(path, DELETE);
    if (!made.Handle) {
        throw CallFailed{L"CreateFileW", made.Read.Error};
    }
    try {
        const std::wstring& identity = made.Read.Identity;
        if (identity.empty()) {
            throw CallFailed{L"GetFileInformationByHandle", ERROR_INVALID_DATA};
        }
        const std::wstring data = identity + L" " + product;
        Checked(RegSetValueExW(RecordKeyOpened(true).get(), where.Text().c_str(), 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(data.c_str()),
                               static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))),
                L"RegSetValueExW");
    } catch (...) {
        Disposed(made.Handle.get());
        throw;
    }
}

void ForgetMadeRecord(const FolderPath& path) {
    if (const UniqueKey key = RecordKeyOpened(false)) {
        const LSTATUS status = RegDeleteValueW(key.get(), path.Text().c_str());
        if (status != ERROR_FILE_NOT_FOUND) {
            Checked(status, L"RegDeleteValueW");
        }
    }
    // The record's key, the package's and the vendor's go with their last
    // value, as Windows Installer's would.
    for (std::wstring key = RecordKey; key.find(L'\\') != std::wstring::npos;
         key.resize(key.rfind(L'\\'))) {
        RemoveIfEmpty(key);
    }
}

Removal RemoveMadeFolder(const MadeRecord& record, const std::function<void()>& judged) {
    const OpenedObject folder = OpenObject(record.Path, DELETE);
    if (const Removal before = RemovalBefore(folder.Read, record); before != Removal::Removed) {
        return before;
    }
    judged();
    if (Disposed(folder.Handle.get())) {
        return Removal::Removed;
    }
    return GetLastError() == ERROR_DIR_NOT_EMPTY ? Removal::NotEmpty : Removal::CouldNotOpen;
}
