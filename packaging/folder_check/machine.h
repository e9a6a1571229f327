#pragma once

#include <string>
#include <vector>

#include "packaging/folder_check/folder_judgement.h"

// The trustees that may own and change the folders on the way: SYSTEM,
// Administrators, TrustedInstaller, CREATOR OWNER (whoever creates: the
// installing account), OWNER RIGHTS, the direct members of the local
// Administrators group (Domain Admins among them, on a domain), and the
// installing account itself only when it is an administrator (an elevated
// install for a standard user must not trust a folder that user may later
// rename and replace).
std::vector<std::wstring> TrustedTrustees(const std::wstring& administrator,
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
