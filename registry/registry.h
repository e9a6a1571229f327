#pragma once

#include <windows.h>

#include <memory>
#include <string_view>
#include <type_traits>

#include "registry/registry_api.h"
#include "text/text_types.h"
#include "text/unique_handle.h"

// The access mask a reader is created with; it fixes the registry view.
enum class RegistryView : REGSAM {
    View64 = KEY_READ | KEY_WOW64_64KEY,
    ViewDefault = KEY_READ,
};

// A read-only registry reader over one view, with at most one key open.
class TRegistry {
public:
    explicit TRegistry(RegistryView view);

    HKEY RootKey() const { return rootKey_; }
    // Changing the root closes the open key; setting the same root keeps it.
    void SetRootKey(HKEY root);

    REGSAM Access() const { return access_; }
    HKEY CurrentKey() const { return currentKey_.get(); }

    // Opens an existing key (never creates one) and makes it current. On
    // failure the current key stays as it was.
    bool OpenKey(std::wstring_view key);

    // Whether the key can be opened for querying; the current key is kept.
    bool KeyExists(std::wstring_view key) const;

    // The text of a value of the current key. Missing, zero-sized, or no key
    // open: empty text. Throws ERegistryException when the value exists but
    // cannot be read, or is not REG_SZ / REG_EXPAND_SZ.
    UnicodeString ReadString(std::wstring_view name) const;

    void CloseKey();

private:
    using KeyHandle = Owned<std::remove_pointer_t<HKEY>, CallRegCloseKey>;

    // Opens the key below the root (absolute path) or the current key.
    KeyHandle Open(std::wstring_view key, REGSAM access) const;

    HKEY rootKey_ = HKEY_CURRENT_USER;
    REGSAM access_;
    KeyHandle currentKey_;
};

// A reader of HKEY_LOCAL_MACHINE in one view.
TRegistry MachineReader(RegistryView view);
