#include "text/format.h"

#include <cstdarg>
#include <cstdio>

namespace {

void AppendFormatted(AnsiString& text, const char* format, va_list arguments) {
    va_list measuring;
    va_copy(measuring, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    if (length <= 0) {
        return;
    }
    const size_t start = text.size();
    // One more byte for the NUL that vsnprintf always writes; cut off after.
    text.resize(start + static_cast<size_t>(length) + 1);
    std::vsnprintf(text.data() + start, static_cast<size_t>(length) + 1, format, arguments);
    text.resize(start + static_cast<size_t>(length));
}

} // namespace

AnsiString FormatNarrow(const char* format, ...) {
    AnsiString text;
    va_list arguments;
    va_start(arguments, format);
    AppendFormatted(text, format, arguments);
    va_end(arguments);
    return text;
}

void AppendFormatNarrow(AnsiString& text, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    AppendFormatted(text, format, arguments);
    va_end(arguments);
}
