// Splits the command line a UTF-16 file holds as a program typed there would
// receive it (CommandLineToArgvW), and writes each argument on a line of its
// own, in UTF-16: how a script checks that a printed command works as typed.
//   argv_probe.exe FILE
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "text/unique_handle.h"

int wmain(int argc, wchar_t** argv) {
    std::ifstream file(argc == 2 ? argv[1] : L"", std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    const std::wstring line(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    int count = 0;
    const Owned<LPWSTR, LocalFree> arguments(CommandLineToArgvW(line.c_str(), &count));
    if (!file || !arguments) {
        return 1;
    }
    _setmode(_fileno(stdout), _O_BINARY);
    for (int i = 0; i < count; ++i) {
        const std::wstring argument = arguments.get()[i] + std::wstring(L"\n");
        std::fwrite(argument.data(), sizeof(wchar_t), argument.size(), stdout);
    }
    return 0;
}
