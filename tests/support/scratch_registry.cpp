#include "tests/support/scratch_registry.h"

#include <stdexcept>

void DeleteMachineKey(REGSAM view, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS | view, &key) ==
        ERROR_SUCCESS) {
        RegDeleteTreeW(key, nullptr);
        RegCloseKey(key);
    }
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), view, 0);
}

ScratchKey::ScratchKey(REGSAM view, std::wstring path) : view_(view), path_(std::move(path)) {
    DeleteMachineKey(view_, path_);
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view_,
                        nullptr, &key_, nullptr) != ERROR_SUCCESS) {
        throw std::runtime_error("cannot create a scratch registry key");
    }
}

ScratchKey::~ScratchKey() {
    RegCloseKey(key_);
    DeleteMachineKey(view_, path_);
}

void ScratchKey::SetRaw(const std::wstring& name, DWORD type, const void* data, DWORD bytes) const {
    if (RegSetValueExW(key_, name.c_str(), 0, type, static_cast<const BYTE*>(data), bytes) !=
        ERROR_SUCCESS) {
        throw std::runtime_error("cannot write a scratch registry value");
    }
}

void ScratchKey::SetText(const std::wstring& name, const std::wstring& text, DWORD type) const {
    SetRaw(name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}
