#include "launcher/arguments.h"

#include "launcher/user32.h"

namespace {

constexpr wchar_t Quote = L'"';

// The character at a position; the end of the text reads as NUL.
wchar_t At(std::wstring_view text, std::size_t position) {
    return position < text.size() ? text[position] : L'\0';
}

bool IsSeparator(wchar_t c) {
    return c >= 1 && c <= 32;
}

} // namespace

ScannedArgument ScanArgument(std::wstring_view commandLine, std::size_t position) {
    // Blanks, control characters and empty quote pairs come before an argument.
    for (;;) {
        if (IsSeparator(At(commandLine, position))) {
            ++position;
        } else if (At(commandLine, position) == Quote && At(commandLine, position + 1) == Quote) {
            position += 2;
        } else {
            break;
        }
    }

    UnicodeString argument;
    for (wchar_t c = At(commandLine, position); c > 32; c = At(commandLine, position)) {
        ++position;
        if (c != Quote) {
            argument += c;
            continue;
        }
        // A quoted section runs to the next quote or the end of the text.
        for (c = At(commandLine, position); c != L'\0' && c != Quote;
             c = At(commandLine, position)) {
            argument += c;
            ++position;
        }
        if (c == Quote) {
            ++position;
        }
    }
    return {std::move(argument), position};
}

int ArgumentCount(std::wstring_view commandLine) {
    std::size_t position = ScanArgument(commandLine, 0).NextPosition;
    int count = 0;
    for (;;) {
        ScannedArgument scanned = ScanArgument(commandLine, position);
        if (scanned.Argument.empty()) {
            return count;
        }
        ++count;
        position = scanned.NextPosition;
    }
}

UnicodeString ArgumentAt(std::wstring_view commandLine, int n) {
    ScannedArgument scanned = ScanArgument(commandLine, 0);
    for (int i = 0; i < n; ++i) {
        scanned = ScanArgument(commandLine, scanned.NextPosition);
        if (scanned.Argument.empty()) {
            break;
        }
    }
    return std::move(scanned.Argument);
}

UnicodeString UpperText(UnicodeString text) {
    if (!text.empty()) {
        CallCharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    }
    return text;
}

std::optional<LaunchRoute> RouteFromArguments(std::wstring_view commandLine) {
    if (ArgumentCount(commandLine) == 0) {
        return std::nullopt;
    }
    return UpperText(ArgumentAt(commandLine, 1)) == L"SIS" ? LaunchRoute::SisMode
                                                           : LaunchRoute::UnknownArgument;
}
