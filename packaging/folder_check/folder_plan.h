#pragma once

#include <optional>
#include <string>
#include <vector>

#include "packaging/folder_check/folder_path.h"

// What the check judged, handed to the making and the second look as their
// CustomActionData: the folder; whether it is a network folder, whose
// share's own permissions govern it (then nothing else); where it led, the
// nearest folder that existed, the descriptor it is made with, the
// accounts the check trusted, what may stand in it, and the package's
// folders below it still to be made (parents first).
struct FolderPlan {
    FolderPath Folder;
    bool Network = false;
    FolderPath Resolved = {};
    FolderPath Nearest = {};
    std::wstring Descriptor = {};
    std::vector<std::wstring> Trusted = {};
    std::vector<std::wstring> Allowed = {};
    std::vector<std::wstring> Layout = {};
};
std::wstring PlanData(const FolderPlan& plan);
std::optional<FolderPlan> ParsePlanData(const std::wstring& data);
