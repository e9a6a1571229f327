// Reads a shortcut as the shell does and prints its target, arguments and
// working directory, one "key=value" line each; with --open, then starts it
// through the shell, as a double click does.
//   shortcut_probe LINK [--open]
#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc < 2 || FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return 2;
    }
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))) ||
        FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) ||
        FAILED(file->Load(argv[1], STGM_READ))) {
        return 1;
    }
    wchar_t target[MAX_PATH] = {}, arguments[1024] = {}, directory[MAX_PATH] = {};
    link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
    link->GetArguments(arguments, 1024);
    link->GetWorkingDirectory(directory, MAX_PATH);
    // In UTF-8, whatever the console's code page.
    const std::wstring lines = std::wstring(L"target=") + target + L"\narguments=" + arguments +
                               L"\ndirectory=" + directory + L"\n";
    std::string text(lines.size() * 3, '\0');
    text.resize(static_cast<size_t>(
        WideCharToMultiByte(CP_UTF8, 0, lines.data(), static_cast<int>(lines.size()), text.data(),
                            static_cast<int>(text.size()), nullptr, nullptr)));
    std::fwrite(text.data(), 1, text.size(), stdout);
    file->Release();
    link->Release();

    if (argc > 2 && std::wcscmp(argv[2], L"--open") == 0) {
        SHELLEXECUTEINFOW open{};
        open.cbSize = sizeof open;
        open.fMask = SEE_MASK_NOCLOSEPROCESS;
        open.lpFile = argv[1];
        open.nShow = SW_SHOWNORMAL;
        if (!ShellExecuteExW(&open)) {
            return 1;
        }
        // Wine's shell gives no process for a shortcut: the caller waits
        // for what the started program leaves behind.
        if (open.hProcess != nullptr) {
            WaitForSingleObject(open.hProcess, 60000);
            CloseHandle(open.hProcess);
        }
    }
    CoUninitialize();
    return 0;
}
