#pragma once

#include <optional>
#include <string>
#include <vector>

// Why a folder may not receive the application. Each reason has a launch
// condition of its own, whose message says what to do.
enum class Refusal {
    None,
    Relative,      // no drive letter nor \\server\share
    Slash,         // a forward slash
    Dot,           // a name ending in a dot or a space
    Percent,       // a %NAME% pair, which a shortcut would expand
    Device,        // \\?\ or \\.\ forms
    Loopback,      // this computer by a network name, or an administrative share
    Mapped,        // a drive letter that is a network drive, or none at all
    NoPermissions, // a volume that keeps no permissions (FAT, exFAT)
    Root,          // a drive or share root
    System,        // Windows and below, the Program Files folders themselves
    Shared,        // ProgramData, the temporary folders
    Profile,       // a user's profile, the profiles folder
    Existing,      // a folder that exists and is not the installed one
    Owner,         // a folder on the way owned by another trustee
    Writable,      // a folder on the way that others may delete, rename or re-permit
    Inherits,      // would pass such rights to a folder the installer makes
    Reparse,       // a link on the way that others may change
    Unverifiable,  // a security descriptor that cannot be read
    CodePage,      // a name the ANSI code page cannot hold, whence the launcher cannot start
    Reserved,      // an empty name, or one holding <>:"|?* or a control character
    DeviceName,    // CON, NUL, COM1, LPT1.txt...: a device, in any folder
    Server,        // a server or share name that no host or share has
    NotAFolder,    // a file where a folder of the way should be
    TooLong,       // a path, with the longest file the package installs, past MAX_PATH
    // Found as the folder is made, after it was judged:
    Moved,    // it leads elsewhere than the folder judged
    Planted,  // it holds what the installer did not make
    HardLink, // it holds a second name of a file that may lie elsewhere
    Appeared, // something stands where the installer was to make a folder
};

// The word the launch conditions compare with.
const wchar_t* RefusalName(Refusal reason);

struct Verdict {
    Refusal Reason = Refusal::None;
    std::wstring Folder;  // the folder at fault
    std::wstring Trustee; // the owner or grantee at fault (a SID as text), where one is
};

// A folder that no installation may use: itself, or everything below it too.
// One the machine must name (its profiles folder, say) is Required: left
// unnamed, nothing could be judged against it.
struct ProtectedFolder {
    std::wstring Path;
    Refusal Reason;
    bool AndBelow;
    const wchar_t* Required = nullptr; // where the machine names it, when it must
};

// An existing folder on the way from the volume's root down to the folder.
// A link (junction, symbolic link, mount point) carries two descriptors:
// the folder it leads to, and its own, which says who may change where it
// leads.
struct FolderOnTheWay {
    std::wstring Path;
    std::optional<std::wstring> Sddl; // owner and access list; nothing: unreadable
    bool ReparsePoint = false;
    std::optional<std::wstring> LinkSddl = std::nullopt; // a link's own; nothing: unreadable
    bool VolumeRoot = false; // a volume mounted in this folder: a root, as a drive's is
};

// Refusals read from the text as given, before Windows reshapes it.
Refusal FormRefusal(const std::wstring& text);

// The longest path Windows Installer handles (it is not long-path aware),
// without the final NUL.
constexpr std::size_t LongestInstallerPath = 259;
// The longest folder CreateDirectory makes: room is left for an 8.3 name.
constexpr std::size_t LongestCreatedFolder = 248;

// A network folder's server and share: this computer, or an administrative share.
Refusal NetworkRefusal(const std::wstring& server, const std::wstring& share,
                       const std::vector<std::wstring>& ownNames);

// A local drive by its type and its volume's flags: a network drive or a
// letter that does not exist, or a volume that keeps no permissions.
Refusal VolumeRefusal(unsigned driveType, unsigned long volumeFlags);

// Whether a trustee (a SID as text) is one of the trusted.
bool Trusted(const std::wstring& sid, const std::vector<std::wstring>& trusted);

// Whether two names are one, without letter case.
bool SameName(const std::wstring& a, const std::wstring& b);

// Whether path is folder or lies below it, without letter case.
bool IsAtOrBelow(const std::wstring& path, const std::wstring& folder);

// Whether two paths name one folder, without letter case or a final backslash.
bool SameFolder(const std::wstring& a, const std::wstring& b);

Verdict ProtectedRefusal(const std::wstring& path, const std::vector<ProtectedFolder>& folders);

// The folders from the volume's root down to the nearest existing ancestor
// (or the folder itself), judged for the trustees in trusted (SIDs as
// text); createsFolders: the installer makes folders between the last and
// the installation folder. A root (a drive's, or a volume mounted in a
// folder) cannot be deleted or renamed: there only what re-permits it or
// removes what is in it counts.
Verdict WayRefusal(const std::vector<FolderOnTheWay>& way, const std::vector<std::wstring>& trusted,
                   bool createsFolders);

// What a descriptor (as text) lets others do to path: refused when its
// owner is untrusted, or when it lets an untrusted trustee hold any of
// rights on path itself; unverifiable when it cannot be read.
Verdict DescriptorRefusal(const std::wstring& path, const std::optional<std::wstring>& sddl,
                          const std::vector<std::wstring>& trusted, unsigned long rights);

// All but reading and running: what no untrusted account may hold on a
// file or folder of an upgraded installation.
constexpr unsigned long MoreThanReadAndRun = ~0x1200a9UL;
// Adding files or folders, or writing data: what no untrusted account may
// hold on the installation folder itself.
constexpr unsigned long AddsOrWrites = 0x2 | 0x4;

// An allowing entry of a descriptor, its generic rights mapped.
struct Grant {
    std::wstring Trustee; // a SID as text
    unsigned long Rights;
    bool AppliesHere;     // not inherit-only
    bool ToNewSubfolders; // container-inherit
};

struct DescriptorReading {
    std::wstring Owner;
    std::vector<Grant> Grants;
};

// A security descriptor's owner and what it allows; nothing when it cannot
// be read.
std::optional<DescriptorReading> ReadDescriptor(void* descriptor);
