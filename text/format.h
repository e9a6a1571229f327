#pragma once

#include "text/text_types.h"

// printf-style formatting into narrow text of any length: "%s" takes a
// narrow character pointer, "%d" a signed 32-bit integer.
AnsiString FormatNarrow(const char* format, ...) __attribute__((format(printf, 1, 2)));
void AppendFormatNarrow(AnsiString& text, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
