#include "launcher/launch.h"

#include "text/unique_handle.h"
#include "launcher/user32.h"
#include "text/format.h"

void LaunchAndWait(const LaunchPlan& plan) {
    if (plan.RefusalCode != 0) {
        ReportLaunchError(plan.RefusalCode);
        return;
    }
    // Not checked: CreateProcessA gets the same directory and reports it.
    SetCurrentDirectoryA(plan.WorkingDirectory.c_str());

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process{};

    // CreateProcessA may write into the command line, so it gets a copy.
    AnsiString commandLine = plan.CommandLine;
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        plan.WorkingDirectory.c_str(), &startup, &process)) {
        ReportLaunchError(GetLastError());
        return;
    }
    UniqueHandle child(process.hProcess);
    UniqueHandle thread(process.hThread);
    WaitForSingleObject(child.get(), INFINITE);
    child.reset();
    thread.reset();
}

void ReportLaunchError(DWORD code) {
    const AnsiString text =
        FormatNarrow("Erro %d ao executar o aplicativo.", static_cast<int>(code));
    CallMessageBoxA(nullptr, text.c_str(), "Erro", MB_ICONERROR);
}
