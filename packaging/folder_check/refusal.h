#pragma once

#include <iterator>
#include <string>

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
    Inherited,     // the same, by a right inherited from above, which only protecting it removes
    Reparse,       // a link on the way that others may change
    Unverifiable,  // a security descriptor that cannot be read
    CodePage,      // a name the ANSI code page cannot hold, whence the launcher cannot start
    Reserved,      // an empty name, or one holding <>:"|?* or a control character
    DeviceName,    // CON, NUL, COM1, LPT1.txt...: a device, in any folder
    Server,        // a server or share name that no host or share has
    NotAFolder,    // a file where a folder of the way should be
    TooLong,       // a path, with the longest file the package installs, past MAX_PATH
    Maintenance,   // a repair or reinstall that would put the product elsewhere
    Related,       // the product installed in two folders, of which an upgrade replaces one
    // Found as the folder is made, after it was judged:
    Moved,    // it leads elsewhere than the folder judged
    Planted,  // it holds what the installer did not make
    HardLink, // it holds a second name of a file that may lie elsewhere (also at the check)
    Appeared, // something stands where the installer was to make a folder
};

// Where a refusal is said: by a launch condition of its own (one that only
// a maintenance run reaches, or one a first install does), or in the error
// that stops the install as the folder is made.
enum class Said { Nowhere, LaunchCondition, MaintenanceCondition, Error };

// Every reason in the enumeration's order: its keyword, where it is said,
// and what was found ([F] the folder, [T] the trustee), for the making's
// error. The package's tables and page are checked against this one list.
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
    {Refusal::Inherited, L"inherited", Said::LaunchCondition, Repermits},
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
    {Refusal::Related, L"related", Said::LaunchCondition, Unverified},
    {Refusal::Moved, L"moved", Said::Error, L"ela agora leva a [F], não à pasta verificada"},
    {Refusal::Planted, L"planted", Said::Error, L"ela contém [F], que o instalador não criou"},
    {Refusal::HardLink, L"hardlink", Said::LaunchCondition,
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

// A reason's row of the table.
inline const RefusalText& TextOf(Refusal reason) {
    return RefusalTexts[static_cast<std::size_t>(reason)];
}

// The word the launch conditions compare with.
inline const wchar_t* RefusalName(Refusal reason) {
    return TextOf(reason).Keyword;
}

struct Verdict {
    Refusal Reason = Refusal::None;
    std::wstring Folder;       // the folder at fault
    std::wstring Trustee = {}; // the owner or grantee at fault (a SID as text), where one is

    explicit operator bool() const { return Reason != Refusal::None; } // refused
};
