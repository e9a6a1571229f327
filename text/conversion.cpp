#include "text/conversion.h"

#include <windows.h>

namespace {

// The ANSI code page, read once at start: every conversion in one run must
// agree with the one before it, even if the system setting changes meanwhile.
const UINT AnsiCodePage = GetACP();

AnsiString NarrowIn(UINT codePage, std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int sourceLength = static_cast<int>(text.size());
    const int length =
        WideCharToMultiByte(codePage, 0, text.data(), sourceLength, nullptr, 0, nullptr, nullptr);
    AnsiString result(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), sourceLength, result.data(), length, nullptr,
                        nullptr);
    return result;
}

UnicodeString WideIn(UINT codePage, std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int sourceLength = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, 0, text.data(), sourceLength, nullptr, 0);
    UnicodeString result(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), sourceLength, result.data(), length);
    return result;
}

} // namespace

AnsiString ToNarrow(std::wstring_view text) {
    return NarrowIn(AnsiCodePage, text);
}

UnicodeString ToWide(std::string_view text) {
    return WideIn(AnsiCodePage, text);
}

std::optional<AnsiString> ToNarrowExact(std::wstring_view text) {
    return ToNarrowExactIn(AnsiCodePage, text);
}

std::optional<AnsiString> ToNarrowExactIn(unsigned int codePage, std::wstring_view text) {
    // A round trip rather than WC_NO_BEST_FIT_CHARS and the used-default
    // flag: it means the same on every ANSI code page, including UTF-8,
    // where the system refuses those flags.
    AnsiString narrow = NarrowIn(codePage, text);
    if (WideIn(codePage, narrow) != text) {
        return std::nullopt;
    }
    return narrow;
}
