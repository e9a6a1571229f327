#include "registry/registry.h"

#include "registry/registry_exception.h"
#include "text/conversion.h"
#include "text/format.h"

#include <algorithm>

namespace {

constexpr REGSAM ViewBits = KEY_WOW64_64KEY | KEY_WOW64_32KEY;
// STANDARD_RIGHTS_READ, KEY_QUERY_VALUE and KEY_ENUMERATE_SUB_KEYS: less than
// KEY_READ, so a key whose security refuses notifications still counts.
constexpr REGSAM ExistenceAccess = STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;

} // namespace

TRegistry::TRegistry(RegistryView view) : access_(static_cast<REGSAM>(view)) {}

void TRegistry::SetRootKey(HKEY root) {
    if (root != rootKey_) {
        rootKey_ = root;
        CloseKey();
    }
}

TRegistry::KeyHandle TRegistry::Open(std::wstring_view key, REGSAM access) const {
    HKEY base = currentKey_ ? currentKey_.get() : rootKey_;
    if (!key.empty() && key.front() == L'\\') {
        key.remove_prefix(1);
        base = rootKey_;
    }
    const UnicodeString path(key);
    HKEY opened = nullptr;
    if (CallRegOpenKeyExW(base, path.c_str(), 0, access, &opened) != ERROR_SUCCESS) {
        return nullptr;
    }
    return KeyHandle(opened);
}

bool TRegistry::OpenKey(std::wstring_view key) {
    KeyHandle opened = Open(key, access_);
    if (!opened) {
        return false;
    }
    currentKey_ = std::move(opened);
    return true;
}

bool TRegistry::KeyExists(std::wstring_view key) const {
    // The reduced mask lives only for this call; Access itself never changes,
    // so a following OpenKey asks for the full mask again.
    return Open(key, (access_ & ViewBits) | ExistenceAccess) != nullptr;
}

UnicodeString TRegistry::ReadString(std::wstring_view name) const {
    const UnicodeString valueName(name);
    DWORD size = 0;
    if (!currentKey_ ||
        CallRegQueryValueExW(currentKey_.get(), valueName.c_str(), nullptr, nullptr, nullptr,
                             &size) != ERROR_SUCCESS ||
        size == 0) {
        return {};
    }
    // One unit more than the data, so that the odd byte of an odd byte count
    // has room; it belongs to no whole unit and is dropped below.
    UnicodeString text(size / sizeof(wchar_t) + 1, L'\0');
    DWORD type = REG_NONE;
    if (CallRegQueryValueExW(currentKey_.get(), valueName.c_str(), nullptr, &type,
                             reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS) {
        throw ERegistryException(
            FormatNarrow("Failed to get data for '%s'", ToNarrow(name).c_str()));
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        throw ERegistryException(
            FormatNarrow("Invalid data type for '%s'", ToNarrow(name).c_str()));
    }
    // The whole units read (the second read reports at most the bytes the
    // first did), up to the first NUL; text stored without one is whole.
    text.resize(size / sizeof(wchar_t));
    text.resize(std::min(text.size(), text.find(L'\0')));
    return text;
}

void TRegistry::CloseKey() {
    currentKey_.reset();
}

TRegistry MachineReader(RegistryView view) {
    TRegistry reader(view);
    reader.SetRootKey(HKEY_LOCAL_MACHINE);
    return reader;
}
