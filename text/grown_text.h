#pragma once

#include <windows.h>

#include <optional>
#include <string>

// Text a call writes into a buffer of the size it is given (in
// characters, the NUL included), grown while the call asks for more. The
// call returns the characters written without the NUL, or the size it
// needs, or 0 with GetLastError set where it failed: then nothing, so that
// a failure is never taken for empty text.
template <typename Call> std::optional<std::wstring> GrownText(Call call) {
    std::wstring text(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 8; ++attempt) {
        SetLastError(ERROR_SUCCESS);
        const DWORD length = call(text.data(), static_cast<DWORD>(text.size()));
        if (length == 0 && GetLastError() != ERROR_SUCCESS) {
            return std::nullopt;
        }
        if (length < text.size()) {
            text.resize(length);
            return text;
        }
        text.resize(length);
    }
    return std::nullopt;
}
