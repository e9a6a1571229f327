#include "packaging/folder_check/folder_plan.h"

// One line a field, the accounts on one; the allowed paths last, a line each.
std::wstring PlanData(const FolderPlan& plan) {
    std::wstring trusted;
    for (const std::wstring& account : plan.Trusted) {
        trusted += (trusted.empty() ? L"" : L" ") + account;
    }
    std::wstring data = plan.Folder.WithBackslash() + (plan.Network ? L"\nnetwork" : L"\nlocal") +
                        L"\n" + plan.Resolved.WithBackslash() + L"\n" + plan.Nearest.Text() +
                        L"\n" + plan.Descriptor + L"\n" + trusted;
    for (const std::wstring& allowed : plan.Allowed) {
        data += L"\n" + allowed;
    }
    return data;
}

std::optional<FolderPlan> ParsePlanData(const std::wstring& data) {
    const std::vector<std::wstring> lines = Split(data, L'\n');
    if (lines.size() < 6 || lines[0].empty()) {
        return std::nullopt;
    }
    if (lines[1] == L"network") {
        return FolderPlan{lines[0], true};
    }
    if (lines[1] != L"local" || lines[2].empty() || lines[3].empty() || lines[4].empty() ||
        lines[5].empty()) {
        return std::nullopt;
    }
    return FolderPlan{lines[0],
                      false,
                      lines[2],
                      lines[3],
                      lines[4],
                      Split(lines[5], L' '),
                      {lines.begin() + 6, lines.end()}};
}
