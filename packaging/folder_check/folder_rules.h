#pragma once

#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "packaging/folder_check/folder_path.h"

// Why a folder may not receive the application.
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
    Maintenance,   // a repair or reinstall that would put the product elsewhere
    // Found as the folder is made, after it was judged:
    Moved,    // it leads elsewhere than the folder judged
    Planted,  // it holds what the installer did not make
    HardLink, // it holds a second name of a file that may lie elsewhere
    Appeared, // something stands where the installer was to make a folder
};

// Where a refusal is said: by a launch condition of its own, whose message
// says what to do (a maintenance run's passes on a first install, the
// others on a maintenance run), or, found as the folder is made, in the
// error that stops the install.
enum class Said { Nowhere, LaunchCondition, MaintenanceCondition, Error };

// Every reason, in the enumeration's order: its keyword (the launch
// conditions' and the log's word), where it is said, and what was found,
// in the administrators' language ([F] the folder, [T] the trustee at
// fault), for the error of the folder's making and second look. The
// package's tables and page are checked against this one list.
struct RefusalText {
    Refusal Reason;
    const wchar_t* Keyword;
    Said Where;
    const wchar_t* Finding;
};
constexpr const wchar_t* Unverified = L"[F] não pôde ser verificada";
constexpr const wchar_t* Repermits =
    L"a conta [T] pode alterar, apagar, renomear ou mudar as permissões de [F]";
constexpr RefusalText RefusalTexts[] = {
    {Refusal::None, L"", Said::Nowhere, Unverified},
    {Refusal::Relative, L"relative", Said::LaunchCondition, Unverified},
    {Refusal::Slash, L"slash", Said::LaunchCondition, Unverified},
    {Refusal::Dot, L"dot", Said::LaunchCondition, Unverified},
    {Refusal::Percent, L"percent", Said::LaunchCondition, Unverified},
    {Refusal::Device, L"device", Said::LaunchCondition, Unverified},
    {Refusal::Loopback, L"loopback", Said::LaunchCondition, Unverified},
    {Refusal::Mapped, L"mapped", Said::LaunchCondition, Unverified},
    {Refusal::NoPermissions, L"noacls", Said::LaunchCondition, Unverified},
    {Refusal::Root, L"root", Said::LaunchCondition, Unverified},
    {Refusal::System, L"system", Said::LaunchCondition, Unverified},
    {Refusal::Shared, L"shared", Said::LaunchCondition, Unverified},
    {Refusal::Profile, L"profile", Said::LaunchCondition, Unverified},
    {Refusal::Existing, L"existing", Said::LaunchCondition, Unverified},
    {Refusal::Owner, L"owner", Said::LaunchCondition, L"[F] pertence à conta [T]"},
    {Refusal::Writable, L"writable", Said::LaunchCondition, Repermits},
    {Refusal::Inherits, L"inherits", Said::LaunchCondition, Repermits},
    {Refusal::Reparse, L"reparse", Said::LaunchCondition,
     L"[F] é um link (junção, link simbólico ou ponto de montagem)"},
    {Refusal::Unverifiable, L"unverifiable", Said::LaunchCondition, Unverified},
    {Refusal::CodePage, L"codepage", Said::LaunchCondition, Unverified},
    {Refusal::Reserved, L"reserved", Said::LaunchCondition, Unverified},
    {Refusal::DeviceName, L"devicename", Said::LaunchCondition, Unverified},
    {Refusal::Server, L"server", Said::LaunchCondition, Unverified},
    {Refusal::NotAFolder, L"notafolder", Said::LaunchCondition, Unverified},
    {Refusal::TooLong, L"toolong", Said::LaunchCondition, Unverified},
    {Refusal::Maintenance, L"maintenance", Said::MaintenanceCondition, Unverified},
    {Refusal::Moved, L"moved", Said::Error, L"ela agora leva a [F], não à pasta verificada"},
    {Refusal::Planted, L"planted", Said::Error, L"ela contém [F], que o instalador não criou"},
    {Refusal::HardLink, L"hardlink", Said::Error,
     L"[F] é um segundo nome (link físico) de um arquivo que pode estar em outra pasta"},
    {Refusal::Appeared, L"appeared", Said::Error,
     L"[F] apareceu depois da verificação (uma pasta, um arquivo ou um link que o instalador "
     L"não criou)"},
};

constexpr bool InEnumerationOrder() {
    for (std::size_t i = 0; i < std::size(RefusalTexts); ++i) {
        if (RefusalTexts[i].Reason != static_cast<Refusal>(i)) {
            return false;
        }
    }
    return std::size(RefusalTexts) == static_cast<std::size_t>(Refusal::Appeared) + 1;
}
static_assert(InEnumerationOrder(), "one row a reason, in the enumeration's order");

// The word the launch conditions compare with.
inline const wchar_t* RefusalName(Refusal reason) {
    return RefusalTexts[static_cast<std::size_t>(reason)].Keyword;
}

struct Verdict {
    Refusal Reason = Refusal::None;
    std::wstring Folder;  // the folder at fault
    std::wstring Trustee; // the owner or grantee at fault (a SID as text), where one is
};

// A folder that no installation may use: itself, or everything below it too.
// One the machine must name (its profiles folder, say) is Required: left
// unnamed, nothing could be judged against it.
struct ProtectedFolder {
    FolderPath Path;
    Refusal Reason;
    bool AndBelow;
    const wchar_t* Required = nullptr; // where the machine names it, when it must
};

// An existing folder on the way from the volume's root down to the folder.
// A link (junction, symbolic link, mount point) carries two descriptors:
// the folder it leads to, and its own, which says who may change where it
// leads.
struct FolderOnTheWay {
    FolderPath Path;
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

Verdict ProtectedRefusal(const FolderPath& path, const std::vector<ProtectedFolder>& folders);

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
