#pragma once

#include <optional>

#include "registry/registry.h"
#include "text/text_types.h"

// What the child is: its whole command line and its working directory.
struct LaunchPlan {
    AnsiString CommandLine;
    AnsiString WorkingDirectory;
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
// current directory when its folder exists, else the installed one.
RuntimePlan BuildRuntimePlan(RegistryReaders& readers);

// The plan for the installed system's own runtime and archive.
LaunchPlan BuildSisPlan();

// The installed runtime's home from the first view that has its key, or empty.
AnsiString FindJavaHome(RegistryReaders& readers);

// The installed system's runtime executable, or empty.
AnsiString ReadInstalledExecutable();
