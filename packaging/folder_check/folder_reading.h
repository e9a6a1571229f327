#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "packaging/folder_check/folder_judgement.h"
#include "text/grown_text.h"
#include "text/unique_handle.h"

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

// The one way anything is opened: as itself, a link never followed, or,
// where asked, where it leads; access adds to what reading needs (DELETE
// for a removal through the handle that was read). Opened, it is read with
// its identity too; read alone, without (left empty).
enum class Follow { No, Yes };
struct OpenedObject {
    UniqueFile Handle; // invalid where it could not be opened
    FileObject Read;
};
OpenedObject OpenObject(const FolderPath& path, unsigned long access = 0,
                        Follow follow = Follow::No);
FileObject ReadObject(const FolderPath& path, Follow follow = Follow::No);

// The folder as it now is (itself, where already read), and, unless it is
// a link, all it holds.
MadeFolder ReadMadeFolder(const FolderPath& folder,
                          std::optional<FileObject> itself = std::nullopt);

// The folders from the volume's root down to this existing one, each with
// its descriptor, and a link's own too.
std::vector<FolderOnTheWay> WayDownTo(const FolderPath& last);

// The volume a path lies on: a volume mounted in a folder is that folder.
// Thrown where it cannot be read, never guessed to be the drive's; the call
// is the seam through which a test makes it fail.
using VolumePathCall = BOOL(WINAPI*)(LPCWSTR, LPWSTR, DWORD);
FolderPath VolumePath(const FolderPath& path, VolumePathCall call = GetVolumePathNameW);

// Everything below a folder, never into a link (full path, relative path,
// attributes); thrown where a folder cannot be listed to its end.
using Visit = std::function<void(const std::wstring&, const std::wstring&, DWORD)>;
void Walk(const FolderPath& folder, const Visit& visit, const std::wstring& relative = {});

// A SID as text (S-1-5-18), or empty when it cannot be written.
std::wstring SidText(PSID sid);

// A descriptor from its text (the lock's, at the make); null when it cannot
// be read.
LocalPointer<void> DescriptorFromText(const std::wstring& sddl);

// A Windows or installer call that failed, by name and error code: the one
// failure the actions throw, never taken for an empty answer, and logged
// with its code.
struct CallFailed {
    const wchar_t* Call;
    unsigned long Code;
};
// The calling thread's last error, thrown as the call's failure.
[[noreturn]] void ThrowLastError(const wchar_t* call);

// Text a call writes (GrownText) where it must be had: a failure is thrown.
template <typename Call> std::wstring RequiredText(const wchar_t* what, Call call) {
    std::optional<std::wstring> text = GrownText(call);
    if (!text) {
        ThrowLastError(what);
    }
    return *text;
}

// A security descriptor's owner and what it allows, generic rights mapped;
// nothing when it cannot be read.
Security ReadDescriptor(PSECURITY_DESCRIPTOR descriptor);

// Thrown where the user pressed Cancel: the action ends as the user asked,
// never refused nor failed for it.
struct InstallCancelled {};
