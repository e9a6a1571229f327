#include <gtest/gtest.h>

#include <thread>

#include "launcher/launch.h"
#include "tests/support/case_name.h"
#include "tests/support/message_box.h"

namespace {

struct ReportCase {
    const char* Name;
    DWORD Code;
    const wchar_t* Text;
};
TABLE_CASE_PRINTER(ReportCase)

const ReportCase ReportCases[] = {
    {"FileNotFound", 2, L"Erro 2 ao executar o aplicativo."},
    {"DirectoryInvalid", 267, L"Erro 267 ao executar o aplicativo."},
    {"TopBitSetIsNegative", 0x80070002, L"Erro -2147024894 ao executar o aplicativo."},
};

class ReportLaunchErrorTest : public testing::TestWithParam<ReportCase> {};

TEST_P(ReportLaunchErrorTest, ShowsTheCodeInAnErrorBoxWithOneOkButton) {
    std::thread report([] { ReportLaunchError(GetParam().Code); });
    HWND box = WaitForMessageBox(L"Erro");
    MessageBoxContent content;
    if (box != nullptr) {
        content = ReadMessageBox(box);
        DismissMessageBox(box);
    }
    report.join();
    ASSERT_NE(box, nullptr) << "no error box appeared";
    EXPECT_EQ(content.Text, GetParam().Text);
    EXPECT_EQ(content.Buttons, L"OK");
    EXPECT_TRUE(content.HasIcon);
}

INSTANTIATE_TEST_SUITE_P(Table, ReportLaunchErrorTest, testing::ValuesIn(ReportCases), CaseName());

} // namespace
