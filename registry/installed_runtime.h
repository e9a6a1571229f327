#pragma once

#include "registry/registry.h"

// Where the launcher looks for the installed Java 1.8, and what it starts
// there: one place, which the package's look at install time reads too.

constexpr wchar_t InstalledRuntimeKey[] = L"Software\\JavaSoft\\Java Runtime Environment\\1.8";
constexpr wchar_t InstalledRuntimeValueName[] = L"JavaHome";
// The program below a runtime's folder (an installed home or the private Java).
constexpr char RuntimeProgram[] = "\\bin\\Javaw.exe";

// The reader whose view the launcher takes the installed runtime from: the
// 64-bit view where it has the key, else the default view where it has it;
// null where neither has. The chosen reader has the key open.
TRegistry* InstalledRuntimeReader(TRegistry& view64, TRegistry& viewDefault);
