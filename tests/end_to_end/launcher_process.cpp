#include "tests/end_to_end/launcher_process.h"

#include <psapi.h>
#include <shellapi.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "tests/support/message_box.h"

LauncherProcess::LauncherProcess(const std::wstring& commandLine, const std::wstring& directory) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring writable = commandLine;
    if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        directory.c_str(), &startup, &process)) {
        throw std::runtime_error("cannot start the launcher");
    }
    CloseHandle(process.hThread);
    process_.reset(process.hProcess);
}

LauncherProcess::~LauncherProcess() {
    if (WaitForExit(0) == STILL_ACTIVE) {
        TerminateProcess(process_.get(), 1);
    }
}

DWORD LauncherProcess::WaitForExit(DWORD milliseconds) const {
    WaitForSingleObject(process_.get(), milliseconds);
    DWORD status = STILL_ACTIVE;
    GetExitCodeProcess(process_.get(), &status);
    return status;
}

HWND LauncherProcess::WaitForBox(DWORD milliseconds) const {
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    const DWORD processId = GetProcessId(process_.get());
    do {
        if (HWND box = FindMessageBoxOfProcess(processId)) {
            return box;
        }
    } while (WaitForSingleObject(process_.get(), 50) == WAIT_TIMEOUT &&
             GetTickCount64() < deadline);
    return FindMessageBoxOfProcess(processId);
}

std::vector<std::wstring> LauncherProcess::LoadedModules() const {
    HMODULE modules[256] = {};
    DWORD bytes = 0;
    EnumProcessModules(process_.get(), modules, sizeof modules, &bytes);
    std::vector<std::wstring> names;
    for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < 256; ++i) {
        wchar_t name[MAX_PATH] = {};
        GetModuleFileNameExW(process_.get(), modules[i], name, MAX_PATH);
        CharLowerW(name);
        names.emplace_back(name);
    }
    return names;
}

StandInRecord ReadStandInRecord(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(stream)),
                            std::istreambuf_iterator<char>());
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    bytes.copy(reinterpret_cast<char*>(text.data()), text.size() * sizeof(wchar_t));

    StandInRecord record;
    size_t start = 0;
    for (size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
        const std::wstring line = text.substr(start, end - start);
        const size_t equals = line.find(L'=');
        record[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return record;
}

std::wstring SplitArgument(const std::wstring& commandLine, int index) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(commandLine.c_str(), &count);
    std::wstring argument = index < count ? arguments[index] : L"";
    LocalFree(arguments);
    return argument;
}
