#include "text/conversion.h"

#include <windows.h>

#include <cwchar>

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

UnicodeString WithCodePointsOutsideTheCodePage(std::wstring_view text) {
    UnicodeString written;
    for (std::size_t i = 0; i < text.size();) {
        const bool pair =
            IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1]);
        const std::wstring_view character = text.substr(i, pair ? 2 : 1);
        if (ToNarrowExact(character)) {
            written += character;
        } else {
            const unsigned long point =
                pair ? 0x10000UL + ((static_cast<unsigned long>(text[i]) - 0xD800UL) << 10) +
                           (static_cast<unsigned long>(text[i + 1]) - 0xDC00UL)
                     : static_cast<unsigned long>(text[i]);
            wchar_t code[16] = {};
            swprintf(code, 16, L"<U+%04lX>", point);
            written += code;
        }
        i += character.size();
    }
    return written;
}
