#pragma once

#include <windows.h>

#include <string>

// What a test reads off a message box window of any process.
struct MessageBoxContent {
    std::wstring Caption;
    std::wstring Text;
    std::wstring Buttons; // the visible buttons' texts, joined by '|'
    HICON Icon = nullptr; // as the box's process knows it
};

// The message box with this caption, once it appears, or null on time-out.
HWND WaitForMessageBox(const std::wstring& caption, DWORD timeoutMilliseconds = 15000);

MessageBoxContent ReadMessageBox(HWND box);

// Presses OK.
void DismissMessageBox(HWND box);

// The message box that a thread of this process shows now, whatever its
// caption, or null.
HWND FindMessageBoxOf(DWORD threadId);

// The message box that a window of that process shows now, whatever its
// caption, or null.
HWND FindMessageBoxOfProcess(DWORD processId);
