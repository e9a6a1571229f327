#include "packaging/folder_check/made_record.h"

#include <algorithm>
#include <stdexcept>

#include "packaging/folder_check/folder_reading.h"
#include "packaging/folder_check/local_text.h"

namespace {

// Below the package's own key (the 32-bit view, where the package writes it).
constexpr wchar_t RecordKey[] = L"Software\\Velmora\\Tarnix Cadastro 2018\\MadeFolders";
constexpr REGSAM View = KEY_WOW64_32KEY;

void Checked(LSTATUS status, const char* what) {
    if (status != ERROR_SUCCESS) {
        throw std::runtime_error(std::string(what) + " failed, error " + std::to_string(status));
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
    Checked(status, "opening the record of made folders");
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
            "reading the record's key");
    if (keys == 0 && values == 0) {
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), View, 0);
    }
}

// What an opened folder is and where, read in one look; a failure leaves
// it told as a link, nowhere and nothing.
FoundFolder Found(HANDLE opened) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(opened, &information)) {
        return {true, {}, {}};
    }
    wchar_t identity[32] = {};
    swprintf(identity, 32, L"%08lx-%08lx%08lx", information.dwVolumeSerialNumber,
             information.nFileIndexHigh, information.nFileIndexLow);
    return {(information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0,
            FinalPathOf(opened).value_or(FolderPath()), identity};
}

// A folder opened as itself, never where a link leads.
UniqueHandle OpenedItself(const FolderPath& path, DWORD access) {
    return OwnedFile(OpenWithCreateFile(path.Text(), access,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT));
}

} // namespace

std::vector<MadeRecord> ReadMadeRecords() {
    std::vector<MadeRecord> records;
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
        if (status == ERROR_SUCCESS) {
            const std::vector<std::wstring> fields =
                Split(data.substr(0, bytes / sizeof(wchar_t)).c_str(), L' ');
            if (type != REG_SZ || fields.size() != 2) {
                throw std::runtime_error("a record of a made folder cannot be read");
            }
            records.push_back({name.substr(0, nameLength), fields[0], fields[1]});
        }
    }
    if (status != ERROR_SUCCESS && status != ERROR_NO_MORE_ITEMS) {
        Checked(status, "reading the record of made folders");
    }
    // Deepest first: a folder is removed before the one that holds it.
    std::sort(records.begin(), records.end(), [](const MadeRecord& a, const MadeRecord& b) {
        return a.Path.Text().size() > b.Path.Text().size();
    });
    return records;
}

void KeepMadeRecord(const FolderPath& path, const std::wstring& product) {
    const UniqueHandle made = OpenedItself(path, FILE_READ_ATTRIBUTES);
    const std::wstring identity = made ? Found(made.get()).Identity : L"";
    if (identity.empty()) {
        throw std::runtime_error("a made folder cannot be told");
    }
    const std::wstring data = identity + L" " + product;
    Checked(RegSetValueExW(RecordKeyOpened(true).get(), path.Text().c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(data.c_str()),
                           static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))),
            "recording a made folder");
}

void ForgetMadeRecord(const FolderPath& path) {
    if (const UniqueKey key = RecordKeyOpened(false)) {
        const LSTATUS status = RegDeleteValueW(key.get(), path.Text().c_str());
        if (status != ERROR_FILE_NOT_FOUND) {
            Checked(status, "forgetting a made folder");
        }
    }
    // The package's key goes with its last value, as Windows Installer's would.
    const std::wstring key = RecordKey;
    RemoveIfEmpty(key);
    RemoveIfEmpty(key.substr(0, key.rfind(L'\\')));
}

bool IsTheMadeFolder(const FoundFolder& found, const MadeRecord& record) {
    return !found.ReparsePoint && !found.FinalPath.Empty() && found.FinalPath == record.Path &&
           !found.Identity.empty() && found.Identity == record.Identity;
}

bool RemoveMadeFolder(const MadeRecord& record) {
    const UniqueHandle folder = OpenedItself(record.Path, DELETE | FILE_READ_ATTRIBUTES);
    if (!folder || !IsTheMadeFolder(Found(folder.get()), record)) {
        return false;
    }
    // Fails where anything is in it; removed as the handle closes.
    FILE_DISPOSITION_INFO disposition{TRUE};
    return SetFileInformationByHandle(folder.get(), FileDispositionInfo, &disposition,
                                      sizeof disposition) != FALSE;
}
