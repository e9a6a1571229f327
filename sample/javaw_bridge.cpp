// Javaw.exe for the sample under Wine (not part of the product). Wine starts
// a Linux program without a process handle to wait on, so a runtime that is
// a script would end at once in the launcher's eyes. This Windows program
// takes its place: it splits its command line by Windows' rules, hands the
// arguments to javaw-bridge.sh beside it (which runs the machine's Java),
// and lives, and exits, with that Java.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

// Quotes an argument so that Windows' argument rules give it back unchanged.
std::wstring Quoted(const std::wstring& argument) {
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

std::wstring FolderOfThisProgram() {
    wchar_t path[MAX_PATH + 1] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
    std::wstring folder = path;
    return folder.substr(0, folder.rfind(L'\\') + 1);
}

// The file the bridge script writes Java's exit status into when Java ends.
std::wstring StatusFilePath() {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    return std::wstring(temp) + L"javaw-bridge-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(GetTickCount64()) + L".status";
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // The command line exactly as the launcher composed it, for the report.
    SetEnvironmentVariableW(L"TARNIX_BRIDGE_COMMAND_LINE", GetCommandLineW());
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    const std::wstring statusFile = StatusFilePath();
    std::wstring commandLine =
        Quoted(FolderOfThisProgram() + L"javaw-bridge.sh") + L" " + Quoted(statusFile);
    for (int i = 1; i < count; ++i) {
        commandLine += L" " + Quoted(arguments[i]);
    }
    LocalFree(arguments);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::fprintf(stderr, "javaw bridge: cannot start javaw-bridge.sh (error %lu)\n",
                     GetLastError());
        return 1;
    }
    if (process.hThread != nullptr) {
        CloseHandle(process.hThread);
    }
    if (process.hProcess != nullptr) {
        CloseHandle(process.hProcess);
    }
    // The script runs outside Windows: its end shows only as the status file.
    while (GetFileAttributesW(statusFile.c_str()) == INVALID_FILE_ATTRIBUTES) {
        Sleep(20);
    }
    int status = 1;
    if (FILE* file = _wfopen(statusFile.c_str(), L"r")) {
        if (std::fscanf(file, "%d", &status) != 1) {
            status = 1;
        }
        std::fclose(file);
    }
    DeleteFileW(statusFile.c_str());
    return status;
}
