#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "packaging/folder_check/folder_judgement.h"

// What the machine says of a folder, read once and judged elsewhere.

// The folder as Windows will create it: full, ".." resolved, the part that
// exists in its long names.
FolderPath FolderAsCreated(const std::wstring& text);

// What the machine says of the folder given as text, read once, down to
// where the reading had to stop; installedLocations: where the product is.
FolderFacts ReadFolderFacts(const std::wstring& text,
                            const std::vector<std::wstring>& installedLocations);

// The facts read, logged, then judged; an unexpected failure is refused
// as unverifiable, never a bare failure of the install.
Judgement JudgeInstallFolder(const std::wstring& text, const Machine& machine,
                             const PackageReach& reach,
                             const std::vector<std::wstring>& installedLocations,
                             const std::function<void(const std::wstring&)>& log);

// Where a path leads, every link followed, or, with its last link kept,
// every link above it. Nothing when it cannot be opened.
std::optional<FolderPath> FinalPath(const FolderPath& path, bool keepLastLink = false);
// Where an opened thing is.
std::optional<FolderPath> FinalPathOf(HANDLE opened);

// Opens an existing thing as CreateFileW does; an opener is the seam through
// which a test sees how (Wine gives a link its target's descriptor).
using ItselfOpener = std::function<HANDLE(const std::wstring&, DWORD, DWORD)>;
HANDLE OpenWithCreateFile(const std::wstring& path, DWORD access, DWORD flags);

// The folders from the volume's root down to this existing one, each with
// its descriptor, and a link's own too, read through open.
std::vector<FolderOnTheWay> WayDownTo(const FolderPath& last,
                                      const ItselfOpener& open = OpenWithCreateFile);

// The volume a path lies on: a volume mounted in a folder is that folder.
// Thrown where it cannot be read, never guessed to be the drive's; the call
// is the seam through which a test makes it fail.
using VolumePathCall = BOOL(WINAPI*)(LPCWSTR, LPWSTR, DWORD);
FolderPath VolumePath(const FolderPath& path, VolumePathCall call = GetVolumePathNameW);

// Everything below a folder, never into a link (full path, relative path,
// attributes); thrown where a folder cannot be listed to its end.
using Visit = std::function<void(const std::wstring&, const std::wstring&, DWORD)>;
void Walk(const FolderPath& folder, const Visit& visit, const std::wstring& relative = {});

// What a thing is itself, a link never followed: its names (0: unreadable)
// and its own descriptor.
struct OwnFacts {
    unsigned long Links = 0;
    Security Descriptor = std::nullopt;
};
OwnFacts ReadOwnFacts(const std::wstring& path, const ItselfOpener& open = OpenWithCreateFile);

// A security descriptor's owner and what it allows, generic rights mapped;
// nothing when it cannot be read.
Security ReadDescriptor(PSECURITY_DESCRIPTOR descriptor);

// Thrown where the user pressed Cancel: the action ends as the user asked,
// never refused nor failed for it.
struct InstallCancelled {};
