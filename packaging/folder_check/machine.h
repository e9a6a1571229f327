#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "packaging/folder_check/folder_judgement.h"

// Who may own and change the folders on the way: SYSTEM, Administrators
// and their direct members, TrustedInstaller, CREATOR OWNER, OWNER RIGHTS,
// and the installing account only when it is an administrator (a standard
// user could later rename and replace what it owns).
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
// What a token says of its account (TOKEN_QUERY and TOKEN_DUPLICATE access).
AccountToken ReadAccountToken(HANDLE token);

// The installer's folder properties (empty where unset), completed from
// the machine's own records.
struct InstallerFolders {
    std::wstring Windows, ProgramFiles, ProgramFiles64, CommonAppData, Temp;
};
Machine ReadMachine(const InstallerFolders& folders);
