#include "packaging/folder_check/folder_plan.h"

// One line a field, the accounts on one, the folders to make on one (no
// name holds a |); the allowed paths last, a line each.
std::wstring PlanData(const FolderPlan& plan) {
    std::wstring data = plan.Folder.WithBackslash() + (plan.Network ? L"\nnetwork" : L"\nlocal") +
                        L"\n" + plan.Resolved.WithBackslash() + L"\n" + plan.Nearest.Text() +
                        L"\n" + plan.Descriptor + L"\n" + Joined(plan.Trusted, L" ") + L"\n" +
                        Joined(plan.Layout, L"|");
    for (const std::wstring& allowed : plan.Allowed) {
        data += L"\n" + allowed;
    }
    return data;
}

std::optional<FolderPlan> ParsePlanData(const std::wstring& data) {
    const std::vector<std::wstring> lines = Split(data, L'\n');
    if (lines.size() < 7 || lines[0].empty()) {
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
                      {lines.begin() + 7, lines.end()},
                      lines[6].empty() ? std::vector<std::wstring>{} : Split(lines[6], L'|')};
}
