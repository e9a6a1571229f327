#include "launcher/abnormal_termination.h"

#include "launcher/user32.h"

#include <string>
#include <string_view>

namespace {

constexpr UINT AbnormalTerminationExitStatus = 3;

// The longest path the system gives a module, NUL included.
constexpr DWORD LongestPathUnits = 32768;

} // namespace

std::wstring ProgramPath(ModuleNameCall read) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = read(nullptr, path.data(), static_cast<DWORD>(path.size()));
        // A path that fills the buffer may have been cut: read again, larger.
        if (length < path.size() || path.size() >= LongestPathUnits) {
            path.resize(length < path.size() ? length : 0);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

namespace {

// The file-name part of a path: after the last backslash, else after the
// last colon, else the whole path. Searched in UTF-16 units, where a
// backslash is never the second byte of another character.
std::wstring_view FileNamePart(std::wstring_view path) {
    std::size_t cut = path.rfind(L'\\');
    if (cut == std::wstring_view::npos) {
        cut = path.rfind(L':');
    }
    return cut == std::wstring_view::npos ? path : path.substr(cut + 1);
}

} // namespace

void ShowAbnormalTerminationBox() {
    const std::wstring path = ProgramPath();
    const std::wstring caption(FileNamePart(path));
    CallMessageBoxW(nullptr, L"Abnormal program termination", caption.c_str(),
                    MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
}

void EndAbnormally() {
    ShowAbnormalTerminationBox();
    ExitProcess(AbnormalTerminationExitStatus);
}
