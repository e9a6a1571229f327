// Splits the command line a UTF-8 file holds as a program typed there would
// receive it (CommandLineToArgvW), and prints each argument on a line of its
// own as UTF-8: how a script checks that a printed command works as typed.
//   argv_probe.exe FILE
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "text/unique_handle.h"

std::wstring Wide(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, text.data(),
                                                        static_cast<int>(text.size()), wide.data(),
                                                        static_cast<int>(wide.size()))));
    return wide;
}

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: argv_probe.exe FILE\n", stderr);
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    const std::wstring line = Wide({std::istreambuf_iterator<char>(file), {}});
    int count = 0;
    const Owned<LPWSTR, LocalFree> arguments(CommandLineToArgvW(line.c_str(), &count));
    if (!arguments) {
        return 1;
    }
    for (int i = 0; i < count; ++i) {
        const std::wstring argument = arguments.get()[i];
        std::string utf8(argument.size() * 4, '\0');
        utf8.resize(static_cast<size_t>(
            WideCharToMultiByte(CP_UTF8, 0, argument.c_str(), static_cast<int>(argument.size()),
                                utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr)));
        std::printf("%s\n", utf8.c_str());
    }
    return 0;
}
