#pragma once

#include <windows.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "text/unique_handle.h"

// The launcher started as a process of its own, from a given folder with a
// given command line, as Explorer or a shortcut would start it.
class LauncherProcess {
public:
    LauncherProcess(const std::wstring& commandLine, const std::wstring& directory);
    // One that has not ended by now is ended, so no test leaves it behind.
    ~LauncherProcess();
    LauncherProcess(const LauncherProcess&) = delete;
    LauncherProcess& operator=(const LauncherProcess&) = delete;

    // The exit status, or STILL_ACTIVE when it has not ended in time.
    DWORD WaitForExit(DWORD milliseconds = 30000) const;

    // The message box it shows, whatever its caption, once it appears; null
    // as soon as it ends without one, or on time-out.
    HWND WaitForBox(DWORD milliseconds = 15000) const;

    // The full paths of the modules loaded in it now, in lower case.
    std::vector<std::wstring> LoadedModules() const;

private:
    UniqueHandle process_;
};

// What the stand-in runtime recorded of its start, key by key; empty when
// it never ran.
using StandInRecord = std::map<std::wstring, std::wstring>;
StandInRecord ReadStandInRecord(const std::filesystem::path& file);

// The arguments as Microsoft's argument splitter (and Java's) reads them.
std::wstring SplitArgument(const std::wstring& commandLine, int index);
