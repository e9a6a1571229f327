#pragma once

#include <optional>
#include <string>
#include <vector>

#include "packaging/folder_check/folder_judgement.h"

// The second look at the installation folder, as SYSTEM, as it is made and
// before the first file: since the check, another account may have made
// the folder, something in it, or a link in its place.

// One thing in the folder, by its path relative to the folder; read
// without following a link.
struct FolderEntry {
    std::wstring Path;
    bool ReparsePoint = false;
    std::wstring Owner;                              // a SID as text; empty: unreadable
    unsigned long Links = 1;                         // the names the file has; 0: unreadable
    std::optional<std::wstring> Sddl = std::nullopt; // its own; nothing: unreadable
};

// The folder as it now is, read without following a link.
struct MadeFolder {
    bool Opened = false;
    bool ReparsePoint = false;
    FolderPath FinalPath;
    std::wstring Owner;
    std::vector<FolderEntry> Contents;
    std::optional<std::wstring> Sddl = std::nullopt;
};
MadeFolder ReadMadeFolder(const FolderPath& folder);

// What the check passes to the making and the second look: where the folder
// led, the administrator installing (else empty), the nearest folder that
// existed, the descriptor it is made with, and what may stand in it.
struct Verification {
    FolderPath Folder;
    FolderPath Resolved;
    std::wstring Account;
    FolderPath Nearest;
    std::wstring Descriptor;
    std::vector<std::wstring> Allowed;
};
std::wstring VerificationData(const Verification& verification);
std::optional<Verification> ParseVerificationData(const std::wstring& data);

// Whether the folder made is the folder judged: no link, leading where it
// led, trusted and closed to others' writing, holding only what is allowed,
// each thing no link, of one name, trusted, and others' only to read and run.
Verdict MadeFolderRefusal(const MadeFolder& made, const Verification& verification,
                          const std::vector<std::wstring>& trusted);

// The folders to make, from the first below the nearest existing one down
// to the folder itself; none on an upgrade in place.
std::vector<FolderPath> FoldersToMake(const Verification& verification);
// Where a folder to make really is: the same step of where the check said
// the folder leads, below any link it accepted.
FolderPath ResolvedStep(const Verification& verification, const FolderPath& step);

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
