#include "launcher/user32.h"

#include "text/system_library.h"

DWORD CallCharUpperBuffW(LPWSTR text, DWORD length) {
    auto* charUpperBuff = SYSTEM_FUNCTION(L"user32.dll", CharUpperBuffW);
    return charUpperBuff != nullptr ? charUpperBuff(text, length) : 0;
}

int CallMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    auto* messageBox = SYSTEM_FUNCTION(L"user32.dll", MessageBoxA);
    return messageBox != nullptr ? messageBox(owner, text, caption, style) : 0;
}

int CallMessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style) {
    auto* messageBox = SYSTEM_FUNCTION(L"user32.dll", MessageBoxW);
    return messageBox != nullptr ? messageBox(owner, text, caption, style) : 0;
}
