#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "packaging/folder_check/folder_judgement.h"

// What the make action made, kept as SYSTEM in the package's key of the
// machine's registry, which only administrators and SYSTEM may change: how
// a rollback or a removal tells a folder the package made from whatever
// stands at its path since (a link, or a folder of another's).

// Every folder made, deepest first, and the names of the values that cannot
// be read (another version's format), which are kept and stop nothing else;
// thrown where the record itself cannot be read.
struct MadeRecords {
    std::vector<MadeRecord> Records;
    std::vector<std::wstring> Unreadable;
};
MadeRecords ReadMadeRecords();
// The folder just made at path, opened as itself, recorded at where it
// really is for the product; where it cannot be, the folder is taken away
// through that handle and the failure thrown: a folder made and not
// recorded would stay.
void KeepMadeRecord(const FolderPath& path, const FolderPath& where, const std::wstring& product);
// The folder's record gone, and the keys above it with the last one.
void ForgetMadeRecord(const FolderPath& path);

// Removes the folder recorded where it is still the one made and empty,
// through the handle it was judged by; judged() runs between the two (a
// test's seam).
Removal RemoveMadeFolder(
    const MadeRecord& record, const std::function<void()>& judged = [] {});
