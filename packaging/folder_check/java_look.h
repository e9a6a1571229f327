#pragma once

#include <string>

// What a package without a private runtime finds, at install, where the
// launcher looks for the installed Java 1.8 (registry/installed_runtime.h),
// read as the installing account: every user's launcher reads the same.
struct JavaLook {
    bool Usable = false;
    std::wstring Line; // what was looked for and what was found, for the log
};
JavaLook LookForInstalledJava();
