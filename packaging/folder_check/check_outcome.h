#pragma once

#include <functional>
#include <string>
#include <vector>

#include "packaging/folder_check/folder_judgement.h"

// What the check leaves for the launch conditions and the actions after it.
struct PropertyValue {
    const wchar_t* Name;
    std::wstring Value;
};

// The properties a judgement sets, the second look's data among them;
// InstallDirRefusalArgument is the folder at fault as a command's argument;
// InstallDirAccepted is 1 only where the folder was accepted, and
// InstallDirRefusalShown only where a launch condition of its own shows the
// refusal.
// InstallDirMovedFrom is where the older version is, and InstallDirMoved 1,
// on an upgrade that moves the application.
std::vector<PropertyValue> CheckProperties(const Judgement& judgement, const std::wstring& plan,
                                           const std::wstring& movedFrom = {});

// A path as one argument of a typed command line: quoted, and a backslash
// before the closing quote doubled, so that D:\ stays D:\ and not D:".
std::wstring QuotedArgument(const std::wstring& path);

// Sets every property, in order; false as soon as one cannot be set, and
// then the install must stop.
bool SetProperties(const std::vector<PropertyValue>& properties,
                   const std::function<bool(const wchar_t*, const std::wstring&)>& set);

// A maintenance run's folder: the product's location ("" when Windows
// Installer cannot say); a run that would go elsewhere is refused, a removal never.
struct MaintenanceFolder {
    std::wstring Folder;
    bool Refused = false;
};
MaintenanceFolder MaintenanceDecision(const std::wstring& given, bool remembered,
                                      const std::wstring& location, bool removal);
