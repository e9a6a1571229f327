// The least launcher: starts the command line it was given (everything after
// its own name) and waits for its end. The benchmark's floor; it imports
// KERNEL32 and msvcrt only.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    wchar_t* child = GetCommandLineW();
    // Past the program name, quoted or not, and the blanks after it.
    const wchar_t end = *child == L'"' ? L'"' : L' ';
    child += *child == L'"' ? 1 : 0;
    while (*child != L'\0' && *child != end) {
        ++child;
    }
    child += *child == L'"' ? 1 : 0;
    while (*child == L' ' || *child == L'\t') {
        ++child;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, child, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return 1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return 0;
}
