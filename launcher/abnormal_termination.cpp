#include "launcher/abnormal_termination.h"

#include "launcher/user32.h"

#include <cstring>

namespace {

constexpr DWORD ModulePathBytes = 128;
constexpr UINT AbnormalTerminationExitStatus = 3;

// The file-name part of a path: after the last backslash, else after the
// last colon, else the whole path.
const char* FileNamePart(const char* path) {
    if (const char* backslash = std::strrchr(path, '\\')) {
        return backslash + 1;
    }
    if (const char* colon = std::strrchr(path, ':')) {
        return colon + 1;
    }
    return path;
}

} // namespace

void ShowAbnormalTerminationBox() {
    char path[ModulePathBytes] = {};
    // A longer path arrives cut, and not every system ends a cut one in NUL.
    const DWORD length = GetModuleFileNameA(nullptr, path, ModulePathBytes);
    path[length < ModulePathBytes ? length : ModulePathBytes - 1] = '\0';
    CallMessageBoxA(nullptr, "Abnormal program termination", FileNamePart(path),
                    MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
}

void EndAbnormally() {
    ShowAbnormalTerminationBox();
    ExitProcess(AbnormalTerminationExitStatus);
}
