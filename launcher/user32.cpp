#include "launcher/user32.h"

namespace {

// The module stays loaded to the end of the process, as an import would.
template <typename Function> Function* User32Function(const char* name) {
    const HMODULE user32 = LoadLibraryExW(L"user32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (user32 == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

} // namespace

DWORD CallCharUpperBuffW(LPWSTR text, DWORD length) {
    auto* charUpperBuff = User32Function<decltype(CharUpperBuffW)>("CharUpperBuffW");
    return charUpperBuff != nullptr ? charUpperBuff(text, length) : 0;
}

int CallMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    auto* messageBox = User32Function<decltype(MessageBoxA)>("MessageBoxA");
    return messageBox != nullptr ? messageBox(owner, text, caption, style) : 0;
}
