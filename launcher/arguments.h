#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "launcher/launch_plan.h"
#include "text/text_types.h"

// The launcher's own reading of its command line: blanks and control
// characters separate arguments, double quotes group, backslashes are plain.
// Every reading starts from the whole command line, program name first.

struct ScannedArgument {
    UnicodeString Argument;
    std::size_t NextPosition;
};

// Reads the argument at or after the position; empty when none is left.
ScannedArgument ScanArgument(std::wstring_view commandLine, std::size_t position);

// The number of arguments after the program name, up to the first empty one.
int ArgumentCount(std::wstring_view commandLine);

// The n-th argument after the program name (n >= 1), or empty text.
UnicodeString ArgumentAt(std::wstring_view commandLine, int n);

// The user locale's upper-case form of the text.
UnicodeString UpperText(UnicodeString text);

// The route the arguments ask for; none without argument, when the runtime
// folder decides between the private and the installed runtime.
std::optional<LaunchRoute> RouteFromArguments(std::wstring_view commandLine);
