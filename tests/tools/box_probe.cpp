// Waits for the message box with the given caption, of any program, prints
// its text as UTF-8 and presses OK: how a script reads what a box said.
//   box_probe.exe CAPTION
#include <windows.h>

#include <cstdio>
#include <string>

#include "tests/support/message_box.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: box_probe.exe CAPTION\n", stderr);
        return 2;
    }
    HWND box = WaitForMessageBox(argv[1]);
    if (box == nullptr) {
        std::fputs("box_probe: no such box appeared\n", stderr);
        return 1;
    }
    const std::wstring text = ReadMessageBox(box).Text;
    DismissMessageBox(box);
    std::string utf8(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.c_str(),
                                                             static_cast<int>(text.size()), nullptr,
                                                             0, nullptr, nullptr)),
                     '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(),
                        static_cast<int>(utf8.size()), nullptr, nullptr);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fputc('\n', stdout);
    return 0;
}
