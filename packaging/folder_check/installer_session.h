#pragma once

#include <windows.h>

#include <msi.h>

#include <string>
#include <vector>

#include "packaging/folder_check/folder_reading.h"

// What the custom actions ask of, and tell, the running installation.

std::wstring Property(MSIHANDLE install, const wchar_t* name);

// One line in the installer's log, the text taken literally; Cancel thrown
// as InstallCancelled unless told not to (by an action already failing).
void Log(MSIHANDLE install, const std::wstring& text, bool honourCancel = true);

// What the failure being handled was, for the log: a failed call by name
// and code. Called only inside a catch block.
std::wstring CurrentFailure();

// An error the installation stops on: logged, and shown where there is a UI.
void ShowError(MSIHANDLE install, const std::wstring& text);

// Where the machine's products of this upgrade code are installed, asked of
// Windows Installer so that no command line opens an existing folder.
std::vector<std::wstring> InstalledLocations(MSIHANDLE install);

// Where Windows Installer has this product (ProductCode) installed for the
// machine; empty when it cannot say.
std::wstring ProductLocation(MSIHANDLE install);

// The lock's access list for INSTALLDIR, from the package's own
// MsiLockPermissionsEx row: the one place it is written.
std::wstring FolderLock(MSIHANDLE install);

// The package's folders below INSTALLDIR and how far it reaches, as its
// build wrote them (PackageFolders, PackageReach).
PackageLayout ReadPackageLayout(MSIHANDLE install);
