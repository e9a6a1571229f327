#include "tests/support/message_box.h"

namespace {

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring ClassName(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

BOOL CALLBACK ReadChild(HWND child, LPARAM context) {
    auto& content = *reinterpret_cast<MessageBoxContent*>(context);
    if (!IsWindowVisible(child)) {
        return TRUE;
    }
    const std::wstring className = ClassName(child);
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    if (className == L"Button") {
        content.Buttons += (content.Buttons.empty() ? L"" : L"|") + WindowText(child);
    } else if (className == L"Static" && (style & SS_TYPEMASK) == SS_ICON) {
        content.Icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
    } else if (className == L"Static" && !WindowText(child).empty()) {
        content.Text = WindowText(child);
    }
    return TRUE;
}

BOOL CALLBACK KeepIfShownMessageBox(HWND window, LPARAM found) {
    if (ClassName(window) == L"#32770" && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

struct ProcessBoxSearch {
    DWORD ProcessId;
    HWND Found;
};

BOOL CALLBACK KeepIfShownMessageBoxOfProcess(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<ProcessBoxSearch*>(context);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != search.ProcessId) {
        return TRUE;
    }
    return KeepIfShownMessageBox(window, reinterpret_cast<LPARAM>(&search.Found));
}

} // namespace

HWND WaitForMessageBox(const std::wstring& caption, DWORD timeoutMilliseconds) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMilliseconds;
    do {
        // Shown only once its controls are laid out and the unused ones hidden.
        HWND box = FindWindowW(L"#32770", caption.c_str());
        if (box != nullptr && IsWindowVisible(box)) {
            return box;
        }
        Sleep(50);
    } while (GetTickCount64() < deadline);
    return nullptr;
}

MessageBoxContent ReadMessageBox(HWND box) {
    MessageBoxContent content;
    content.Caption = WindowText(box);
    EnumChildWindows(box, ReadChild, reinterpret_cast<LPARAM>(&content));
    return content;
}

void DismissMessageBox(HWND box) {
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

HWND FindMessageBoxOf(DWORD threadId) {
    HWND found = nullptr;
    EnumThreadWindows(threadId, KeepIfShownMessageBox, reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND FindMessageBoxOfProcess(DWORD processId) {
    ProcessBoxSearch search{processId, nullptr};
    EnumWindows(KeepIfShownMessageBoxOfProcess, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}
