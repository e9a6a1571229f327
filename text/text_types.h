#pragma once

#include <string>

// Narrow text in the process's ANSI code page. c_str() never yields a null
// pointer, so an empty text reaches the narrow Windows calls as "".
using AnsiString = std::string;

// Wide text in UTF-16, as the command line, the current directory and the
// registry values are obtained.
using UnicodeString = std::wstring;
