#pragma once

#include <string>
#include <vector>

#include "packaging/folder_check/refusal.h"

// What a package without a private runtime finds, at install, where the
// launcher looks for the installed Java 1.8 (registry/installed_runtime.h),
// read as the installing account: every user's launcher reads the same;
// and what of it the accounts not trusted may change, which every user's
// start, an administrator's too, would run.
struct JavaLook {
    bool Usable = false;
    std::wstring Line;       // what was looked for and what was found, for the log
    Verdict Changeable = {}; // the first thing others may change, and who
    std::wstring Home = {};
};
JavaLook LookForInstalledJava(const std::vector<std::wstring>& trusted);
