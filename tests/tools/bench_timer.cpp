// Times launches from inside Wine, so that Wine's own start-up is not
// counted: bench_timer RUNS CASES_FILE. Each line of the UTF-8 cases file is
// "name<TAB>working directory<TAB>command line"; the cases are run
// interleaved, RUNS rounds, each launch timed from CreateProcess to the end
// of the process. Prints one line a case: name, median, minimum, maximum,
// in milliseconds.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Case {
    std::string Name;
    std::wstring Directory;
    std::wstring CommandLine;
    std::vector<double> Milliseconds;
};

std::wstring Wide(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, text.data(),
                                                        static_cast<int>(text.size()), wide.data(),
                                                        static_cast<int>(wide.size()))));
    return wide;
}

std::vector<Case> ReadCases(const wchar_t* file) {
    std::vector<Case> cases;
    std::ifstream stream(file);
    for (std::string line; std::getline(stream, line);) {
        const size_t first = line.find('\t');
        const size_t second = line.find('\t', first + 1);
        if (first == std::string::npos || second == std::string::npos) {
            continue;
        }
        cases.push_back({line.substr(0, first),
                         Wide(line.substr(first + 1, second - first - 1)),
                         Wide(line.substr(second + 1)),
                         {}});
    }
    return cases;
}

// One launch, or a negative time when it could not be started.
double TimeLaunch(const Case& c) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring commandLine = c.CommandLine;
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        c.Directory.c_str(), &startup, &process)) {
        return -1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    QueryPerformanceCounter(&end);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_timer RUNS CASES_FILE\n");
        return 2;
    }
    const long runs = std::wcstol(argv[1], nullptr, 10);
    std::vector<Case> cases = ReadCases(argv[2]);
    for (Case& c : cases) { // one unmeasured start each, to warm the caches
        if (TimeLaunch(c) < 0) {
            std::fprintf(stderr, "bench_timer: cannot start case %s\n", c.Name.c_str());
            return 1;
        }
    }
    for (long run = 0; run < runs; ++run) {
        for (Case& c : cases) {
            c.Milliseconds.push_back(TimeLaunch(c));
        }
    }
    for (Case& c : cases) {
        std::vector<double>& t = c.Milliseconds;
        std::sort(t.begin(), t.end());
        const size_t n = t.size();
        const double median = n % 2 != 0 ? t[n / 2] : (t[n / 2 - 1] + t[n / 2]) / 2;
        std::printf("%s %.2f %.2f %.2f\n", c.Name.c_str(), median, t.front(), t.back());
    }
    return 0;
}
