#pragma once

#include <optional>
#include <string_view>

#include "text/text_types.h"

// Conversions between UTF-16 and the ANSI code page that the process read
// once at start. Characters the code page cannot hold are substituted by the
// platform's own rules (a near character, else the code page's default).
AnsiString ToNarrow(std::wstring_view text);
UnicodeString ToWide(std::string_view text);

// The narrow text only when it converts back to exactly the same UTF-16
// units: nothing replaced, no near character. Otherwise nothing, for text
// that must name the very file it was given.
std::optional<AnsiString> ToNarrowExact(std::wstring_view text);

// The same rule in a code page the caller names, so that what each code page
// gives can be stated without running under it.
std::optional<AnsiString> ToNarrowExactIn(unsigned int codePage, std::wstring_view text);

// The text for a record in the ANSI code page (a log): each character the
// code page cannot hold exactly written as its code point, <U+0142>, never
// as a near character that names something else.
UnicodeString WithCodePointsOutsideTheCodePage(std::wstring_view text);
