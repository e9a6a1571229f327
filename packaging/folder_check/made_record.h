#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "packaging/folder_check/folder_path.h"

// What the make action made, kept as SYSTEM in the package's key of the
// machine's registry, which only administrators and SYSTEM may change: how
// a rollback or a removal tells a folder the package made from whatever
// stands at its path since (a link, or a folder of another's).

// A folder as made: where, what it is (its volume and file index), and the
// product whose install made it.
struct MadeRecord {
    FolderPath Path;
    std::wstring Identity;
    std::wstring Product;
};

// Every folder made, deepest first; thrown where the record cannot be read.
std::vector<MadeRecord> ReadMadeRecords();
// The folder just made recorded as what it is, for the product; thrown
// where it cannot be: a folder made and not recorded would stay.
void KeepMadeRecord(const FolderPath& path, const std::wstring& product);
// The folder's record gone, and the record's key with the last one.
void ForgetMadeRecord(const FolderPath& path);

// What a folder opened to be removed says of itself, a link never followed.
struct FoundFolder {
    bool ReparsePoint = false;
    FolderPath FinalPath; // empty: it cannot be told
    std::wstring Identity;
};

// Whether what was found is the folder made: no link, at its own path (no
// link above it either), and the very folder, not one made there since.
bool IsTheMadeFolder(const FoundFolder& found, const MadeRecord& record);

// Removes the folder recorded where it is still the one made and empty,
// through the handle it was judged by; true where it was removed.
bool RemoveMadeFolder(const MadeRecord& record);
