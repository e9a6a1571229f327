#pragma once

#include <windows.h>

#include <string>

// A key under HKEY_LOCAL_MACHINE in one registry view, created for a test
// and deleted with all its values and subkeys afterwards (and beforehand, so
// that a crashed run leaves nothing behind).
class ScratchKey {
public:
    ScratchKey(REGSAM view, std::wstring path);
    ~ScratchKey();
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    void SetRaw(const std::wstring& name, DWORD type, const void* data, DWORD bytes) const;
    // Text with its terminating NUL, as applications store it.
    void SetText(const std::wstring& name, const std::wstring& text, DWORD type = REG_SZ) const;

    // Denies these rights to everyone on the key itself; false when this
    // system does not enforce registry key security.
    bool Deny(REGSAM rights) const;

private:
    REGSAM view_;
    std::wstring path_;
    HKEY key_ = nullptr;
};

// Deletes a key of HKEY_LOCAL_MACHINE in one view, if it exists.
void DeleteMachineKey(REGSAM view, const std::wstring& path);
