#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "packaging/folder_check/folder_judgement.h"
#include "packaging/folder_check/folder_path.h"
#include "packaging/folder_check/folder_rules.h"

// The trustees that may own and change the folders on the way: SYSTEM,
// Administrators, TrustedInstaller, CREATOR OWNER (whoever creates: the
// installing account), OWNER RIGHTS, the direct members of the local
// Administrators group (Domain Admins among them, on a domain), and the
// installing account itself only when it is an administrator (an elevated
// install for a standard user must not trust a folder that user may later
// rename and replace).
std::vector<std::wstring> TrustedTrustees(const std::wstring& account, bool administrator,
                                          const std::vector<std::wstring>& administrators);

// The direct members of the local Administrators group, as SIDs; thrown
// when they cannot be read.
std::vector<std::wstring> LocalAdministrators();

// What the installing account's token says of it. An administrator whom
// UAC gave a limited token holds Administrators only in its linked one.
struct AccountToken {
    bool System = false;
    bool Member = false;       // Administrators, in the token itself
    bool Limited = false;      // the limited token of a split pair
    bool LinkedMember = false; // Administrators, in its linked (elevated) token
};
bool CountsAsAdministrator(const AccountToken& token);

// The installer's own folder properties (empty where Windows sets none),
// completed from the machine's profile list, its names and the installing
// account.
struct InstallerFolders {
    std::wstring Windows, ProgramFiles, ProgramFiles64, CommonAppData, Temp;
};
Machine ReadMachine(const InstallerFolders& folders);

// The folder as Windows will create it: full, ".." resolved, the part that
// exists in its long names; no trailing backslash but at a root.
std::wstring FolderAsCreated(const std::wstring& text);

// What the machine says of the folder given as text, read once: as far as
// the text allows, and down to where the reading had to stop.
// installedLocations: where Windows Installer has a product of this
// upgrade code installed, the only folders an upgrade may reuse.
FolderFacts ReadFolderFacts(const std::wstring& text,
                            const std::vector<std::wstring>& installedLocations);

// The facts read, logged a line each, then judged (JudgeFolder).
Judgement JudgeInstallFolder(const std::wstring& text, const Machine& machine,
                             const PackageReach& reach,
                             const std::vector<std::wstring>& installedLocations,
                             const std::function<void(const std::wstring&)>& log);

// Where a path leads, in the ordinary C:\ or \\server\share form; every
// link followed, or, with its last link kept, every link above it. Nothing
// when it cannot be opened.
std::optional<std::wstring> FinalPath(const std::wstring& path, bool keepLastLink = false);

// The folders from the volume's root down to this existing one, each with
// its descriptor, and a link's own too.
std::vector<FolderOnTheWay> WayDownTo(const std::wstring& last);

// Opens (path, access, flags) as CreateFileW does, sharing everything, for
// an existing thing: the seam through which a test sees how a thing is
// opened (Wine gives a link its target's descriptor, so no link on its
// disk shows which one was read).
using ItselfOpener = std::function<HANDLE(const std::wstring&, DWORD, DWORD)>;
HANDLE OpenWithCreateFile(const std::wstring& path, DWORD access, DWORD flags);

// What a thing is itself, a link never followed: its names (0: unreadable),
// its owner, and its own owner and access list (nothing: unreadable).
struct OwnFacts {
    unsigned long Links = 0;
    std::wstring Owner; // a SID as text; empty: unreadable
    std::optional<std::wstring> Sddl = std::nullopt;
};
OwnFacts ReadOwnFacts(const std::wstring& path, const ItselfOpener& open = OpenWithCreateFile);

// Thrown where the user pressed Cancel: the action ends as the user asked,
// never refused nor failed for it.
struct InstallCancelled {};

// A judgement, or, when taking it failed unexpectedly, a refusal as
// unverifiable of the text: never a bare failure of the install.
Judgement JudgedOrUnverifiable(const std::wstring& text, const std::function<Judgement()>& judge);
