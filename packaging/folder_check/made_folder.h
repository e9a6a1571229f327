#pragma once

#include <optional>
#include <string>
#include <vector>

#include "packaging/folder_check/folder_judgement.h"

// The second look at the installation folder, as SYSTEM, as it is made and
// before the first file: since the check, another account may have made
// the folder, something in it, or a link in its place.

// The folder as it now is, and, unless it is a link, all it holds, each
// read as itself.
struct MadeFolder {
    FileObject Itself;
    std::vector<FileObject> Contents = {};
};
MadeFolder ReadMadeFolder(const FolderPath& folder);

// What the check judged, handed to the making and the second look as their
// CustomActionData: the folder; whether it is a network folder, whose
// share's own permissions govern it (then nothing else); where it led, the
// nearest folder that existed, the descriptor it is made with, the
// accounts the check trusted, and what may stand in it.
struct FolderPlan {
    FolderPath Folder;
    bool Network = false;
    FolderPath Resolved = {};
    FolderPath Nearest = {};
    std::wstring Descriptor = {};
    std::vector<std::wstring> Trusted = {};
    std::vector<std::wstring> Allowed = {};
};
std::wstring PlanData(const FolderPlan& plan);
std::optional<FolderPlan> ParsePlanData(const std::wstring& data);

// Whether the folder made is the folder judged: no link, leading where it
// led, trusted and closed to others' writing, holding only what is allowed,
// each thing no link, of one name, trusted, and others' only to read and
// run; judged for the accounts the check trusted.
Verdict MadeFolderRefusal(const MadeFolder& made, const FolderPlan& plan);

// The folders to make, from the first below the nearest existing one down
// to the folder itself; none on an upgrade in place.
std::vector<FolderPath> FoldersToMake(const FolderPlan& plan);
// Where a folder to make really is: the same step of where the check said
// the folder leads, below any link it accepted.
FolderPath ResolvedStep(const FolderPlan& plan, const FolderPath& step);

// The package's files and folders, relative to the installation folder,
// and how far below it they reach.
struct PackageLayout {
    std::vector<std::wstring> Files;
    std::vector<std::wstring> Folders;
    PackageReach Reach = {};
};

// What may stand in the folder on an upgrade in place, each judged as a
// file: the package's folders, and all the folder holds now: the older
// version's files (which one in use keeps there) and what an administrator
// added.
std::vector<std::wstring> AllowedContents(const FolderPath& folder, const PackageLayout& layout);

// What the second look found, in the administrators' language.
std::wstring Finding(const Verdict& verdict);
