// Stands where Javaw.exe is expected: records how it was started, then
// optionally waits for the test's signal and exits with a chosen status.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "tests/support/stand_in_record.h"
#include "text/unique_handle.h"

namespace {

std::wstring Variable(const wchar_t* name) {
    std::wstring value(32767, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, value.data(), 32767);
    value.resize(length < value.size() ? length : 0);
    return value;
}

void AddLine(std::wstring& record, const wchar_t* key, const std::wstring& value) {
    record += key;
    record += L'=';
    record += value;
    record += L'\n';
}

std::wstring InheritedHandleState() {
    const std::wstring value = Variable(InheritedHandleVariable);
    if (value.empty()) {
        return L"unchecked";
    }
    auto* handle = reinterpret_cast<HANDLE>(std::wcstoul(value.c_str(), nullptr, 10));
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) ? L"yes" : L"no";
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    std::wstring directory(32767, L'\0');
    directory.resize(GetCurrentDirectoryW(32767, directory.data()));

    const std::wstring heldPath = Variable(HeldFileVariable);
    const UniqueFile held(heldPath.empty()
                              ? INVALID_HANDLE_VALUE
                              : CreateFileW(heldPath.c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));

    std::wstring record;
    AddLine(record, CommandLineKey, GetCommandLineW());
    AddLine(record, DirectoryKey, directory);
    AddLine(record, StartupFlagsKey, std::to_wstring(startup.dwFlags));
    AddLine(record, ShowWindowKey, std::to_wstring(startup.wShowWindow));
    AddLine(record, HandleInheritedKey, InheritedHandleState());

    const std::wstring recordPath = Variable(RecordVariable);
    if (!recordPath.empty()) {
        const HANDLE file = CreateFileW(recordPath.c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(file, record.data(), static_cast<DWORD>(record.size() * sizeof(wchar_t)),
                      &written, nullptr);
            CloseHandle(file);
        }
    }

    if (held) {
        Sleep(120000); // ended by the test long before
    }
    const std::wstring holdEvent = Variable(HoldEventVariable);
    if (!holdEvent.empty()) {
        if (const HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, holdEvent.c_str())) {
            WaitForSingleObject(event, 60000);
            CloseHandle(event);
        }
    }
    return std::wcstol(Variable(ExitCodeVariable).c_str(), nullptr, 10);
}
