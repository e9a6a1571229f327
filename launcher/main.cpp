#include <windows.h>

#include "launcher/abnormal_termination.h"
#include "launcher/arguments.h"
#include "launcher/launch.h"
#include "launcher/launch_plan.h"
#include "text/system_library.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before anything loads a DLL: never from the program's own folder.
    RestrictDllSearchToSystemFolder();
    try {
        RegistryReaders readers = CreateRegistryReaders();
        LaunchPlan plan;
        const std::optional<LaunchRoute> route = RouteFromArguments(GetCommandLineW());
        if (!route) {
            plan = BuildRuntimePlan(readers).Plan;
        } else if (*route == LaunchRoute::SisMode) {
            plan = BuildSisPlan();
        }
        LaunchAndWait(plan);
    } catch (...) {
        // In practice a registry value that cannot be read as text.
        EndAbnormally();
    }
    return 0;
}
