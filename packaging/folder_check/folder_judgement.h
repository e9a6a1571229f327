#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "packaging/folder_check/folder_rules.h"

// What the machine says of a folder given as INSTALLDIR, read once before
// it is judged (install_folder.cpp reads it); the judgement below makes no
// Windows call, so that every rule can be shown on facts written out.

struct VolumeFacts {
    FolderPath Path;         // its root: C:\, or the folder it is mounted in
    unsigned DriveType = 0;  // GetDriveType's answer
    unsigned long Flags = 0; // GetVolumeInformation's file-system flags; 0: unreadable
};

struct FolderFacts {
    std::wstring Text;            // as given
    FolderPath Folder;            // as Windows will create it; empty: it cannot be told
    bool HoldsInCodePage = false; // the launcher could start from it, narrowed exactly
    // A network folder: its server's addresses and this machine's own.
    std::vector<std::wstring> ServerAddresses, OwnAddresses;
    // A local one, read down to where the reading had to stop:
    VolumeFacts Volume;          // the drive it is given on
    FolderPath Unreadable;       // a folder of the way that failed to open for other than absence
    FolderPath Nearest;          // the nearest that exists, the folder itself included
    bool NearestIsFolder = true; // false: a file stands there
    std::optional<FolderPath> FinalNearest; // where Nearest leads; nothing: it cannot be opened
    VolumeFacts ResolvedVolume;             // the volume where the folder's links lead
    // Both: the folder itself, where it exists.
    bool Exists = false;
    bool Empty = false;
    std::optional<std::wstring> Sddl;
    std::vector<FolderPath>
        InstalledAt; // where the product is installed, as Windows will create it
    // The way from the volume's root down to Nearest, and to where it leads.
    std::vector<FolderOnTheWay> Way, WayToWhereItLeads;
};

// Where the folder is, its links followed: FinalNearest and what is still
// to be made below it. Empty where it cannot be told.
FolderPath ResolvedFolder(const FolderFacts& facts);

// What a machine's facts are worth logging, one line each.
std::vector<std::wstring> FactLines(const FolderFacts& facts);

struct Judgement {
    Verdict Result;
    FolderPath Folder;    // as Windows will create it
    FolderPath Resolved;  // where that is, every link followed
    bool Existed = false; // the folder existed as it was judged: an upgrade in place
    FolderPath Nearest;   // the nearest folder that existed, the folder itself included
};

// How far below the installation folder the package reaches: its longest
// file and its deepest folder, as paths relative to it.
struct PackageReach {
    std::size_t LongestFile = 0;
    std::size_t DeepestFolder = 0;
};

// What the machine says, whoever installs: the folders no installation may
// use, this computer's own names and the trustees that may own and change
// the folders on the way.
struct Machine {
    std::vector<ProtectedFolder> Protected;
    std::vector<std::wstring> OwnNames;
    std::vector<std::wstring> Trusted;
    std::wstring Administrator; // the installing account, when it is an administrator
};

// Whether the folder may receive the application: an ordered list of rules,
// the first refusal wins. A first install makes its folder; an upgrade may
// stay where Windows Installer has a product of this upgrade code installed,
// and an empty folder an administrator made and secured beforehand is taken.
Judgement JudgeFolder(const FolderFacts& facts, const Machine& machine, const PackageReach& reach);
