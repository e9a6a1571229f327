#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "launcher/abnormal_termination.h"
#include "launcher/launch.h"
#include "tests/support/case_name.h"
#include "tests/support/message_box.h"

namespace {

struct BoxCase {
    const char* Name;
    void (*Show)();
    const wchar_t* Caption;
    const wchar_t* Text;
};
TABLE_CASE_PRINTER(BoxCase)

const BoxCase BoxCases[] = {
    {"FileNotFound", [] { ReportLaunchError(2); }, L"Erro", L"Erro 2 ao executar o aplicativo."},
    {"DirectoryInvalid", [] { ReportLaunchError(267); }, L"Erro",
     L"Erro 267 ao executar o aplicativo."},
    {"TopBitSetIsNegative", [] { ReportLaunchError(0x80070002); }, L"Erro",
     L"Erro -2147024894 ao executar o aplicativo."},
    // Named after the program that shows it.
    {"AbnormalTermination", ShowAbnormalTerminationBox, L"unit_tests.exe",
     L"Abnormal program termination"},
};

TABLE_TEST(BoxTest, BoxCase, BoxCases);

// Shown on a thread of this process, so that its icon handle can be compared
// with the system's own error icon, which the process shares.
TEST_P(BoxTest, ShowsTheTextWithTheErrorIconAndOneOkButton) {
    std::atomic<DWORD> showing{0};
    std::atomic<bool> returned{false};
    std::thread show([&showing, &returned] {
        showing = GetCurrentThreadId();
        GetParam().Show();
        returned = true;
    });
    // The thread's box whatever its caption, so that a wrong one, or none,
    // fails at once instead of holding the join.
    HWND box = nullptr;
    for (int i = 0; i < 300 && box == nullptr && !returned; ++i) {
        Sleep(50);
        box = FindMessageBoxOf(showing);
    }
    MessageBoxContent content;
    if (box != nullptr) {
        content = ReadMessageBox(box);
        DismissMessageBox(box);
    }
    show.join();
    ASSERT_NE(box, nullptr) << "no box appeared";
    EXPECT_EQ(content.Caption, GetParam().Caption);
    EXPECT_EQ(content.Text, GetParam().Text);
    EXPECT_EQ(content.Buttons, L"OK");
    EXPECT_EQ(content.Icon, LoadIconW(nullptr, IDI_ERROR));
}

// A module name of exactly MAX_PATH units, given as GetModuleFileNameW gives
// one: cut to the buffer, the buffer's size returned.
const std::wstring FullBufferName = L"C:\\" + std::wstring(251, L'p') + L"\\t.exe";
DWORD WINAPI FullBufferModuleName(HMODULE, LPWSTR buffer, DWORD size) {
    buffer[FullBufferName.copy(buffer, size - 1)] = L'\0';
    return std::min(size, static_cast<DWORD>(FullBufferName.size()));
}

TEST(ProgramPath, IsReadWholeWhenItFillsTheBuffer) {
    // Wine starts no program from past 260 characters.
    EXPECT_EQ(ProgramPath(FullBufferModuleName), FullBufferName);
}

} // namespace
