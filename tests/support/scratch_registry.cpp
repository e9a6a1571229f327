#include "tests/support/scratch_registry.h"

#include <aclapi.h>

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

bool ScratchKey::Deny(REGSAM rights) const {
    EXPLICIT_ACCESSW deny{};
    // Added to what the key allows now, so that only these rights go.
    BuildExplicitAccessWithNameW(&deny, const_cast<wchar_t*>(L"EVERYONE"), rights, DENY_ACCESS,
                                 NO_INHERITANCE);
    PACL current = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    GetSecurityInfo(key_, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, &current,
                    nullptr, &descriptor);
    PACL acl = nullptr;
    const DWORD built = SetEntriesInAclW(1, &deny, current, &acl);
    LocalFree(descriptor);
    if (built != ERROR_SUCCESS) {
        throw std::runtime_error("cannot build a denying access list");
    }
    const DWORD applied = SetSecurityInfo(key_, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr,
                                          nullptr, acl, nullptr);
    LocalFree(acl);
    if (applied != ERROR_SUCCESS) {
        throw std::runtime_error("cannot apply a denying access list");
    }
    HKEY probe = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, rights | view_, &probe) !=
        ERROR_SUCCESS) {
        return true;
    }
    RegCloseKey(probe);
    return false;
}
