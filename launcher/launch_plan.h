#pragma once

#include <optional>

#include "registry/registry.h"
#include "text/file_system.h"
#include "text/text_types.h"

// What the child is: its whole command line and its working directory; or,
// when a text that names it does not fit the ANSI code page exactly, the
// system error code shown instead of any start.
struct LaunchPlan {
    AnsiString CommandLine;
    AnsiString WorkingDirectory;
    DWORD RefusalCode = 0;
};

enum class LaunchRoute {
    PrivateRuntime,
    InstalledRuntime,
    SisMode,
    UnknownArgument,
};

// The two readers of HKEY_LOCAL_MACHINE, the 64-bit view first. The installed
// route releases them (empties the optionals) before the child is started.
struct RegistryReaders {
    std::optional<TRegistry> View64;
    std::optional<TRegistry> ViewDefault;
};

RegistryReaders CreateRegistryReaders();

struct RuntimePlan {
    LaunchRoute Route;
    LaunchPlan Plan;
};

// The plan for a start without argument: the private runtime below the
// current directory when its folder exists, else the installed one; a
// current directory that cannot be read (read) starts nothing.
RuntimePlan BuildRuntimePlan(RegistryReaders& readers, DirectoryCall read = GetCurrentDirectoryW);

// The plan for the installed system's own runtime and archive.
LaunchPlan BuildSisPlan();

// The installed runtime's home from the first view that has its key, or
// empty; nothing when the home does not fit the ANSI code page exactly.
std::optional<AnsiString> FindJavaHome(RegistryReaders& readers);

// The installed system's runtime executable, or empty; nothing when it does
// not fit the ANSI code page exactly.
std::optional<AnsiString> ReadInstalledExecutable();
