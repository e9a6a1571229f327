#include "text/conversion.h"

#include <windows.h>

namespace {

// The ANSI code page, read once at start: every conversion in one run must
// agree with the one before it, even if the system setting changes meanwhile.
const UINT AnsiCodePage = GetACP();

} // namespace

AnsiString ToNarrow(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int sourceLength = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(AnsiCodePage, 0, text.data(), sourceLength, nullptr, 0,
                                           nullptr, nullptr);
    AnsiString result(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(AnsiCodePage, 0, text.data(), sourceLength, result.data(), length, nullptr,
                        nullptr);
    return result;
}

UnicodeString ToWide(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int sourceLength = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(AnsiCodePage, 0, text.data(), sourceLength, nullptr, 0);
    UnicodeString result(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(AnsiCodePage, 0, text.data(), sourceLength, result.data(), length);
    return result;
}

std::optional<AnsiString> ToNarrowExact(std::wstring_view text) {
    // A round trip rather than WC_NO_BEST_FIT_CHARS and the used-default
    // flag: it means the same on every ANSI code page, including UTF-8,
    // where the system refuses those flags.
    AnsiString narrow = ToNarrow(text);
    if (ToWide(narrow) != text) {
        return std::nullopt;
    }
    return narrow;
}
