#include "packaging/folder_check/check_outcome.h"

#include "packaging/folder_check/folder_judgement.h"

std::vector<PropertyValue> CheckProperties(const Judgement& judgement,
                                           const std::wstring& verification) {
    const Verdict& verdict = judgement.Result;
    const bool accepted = !verdict;
    std::vector<PropertyValue> properties = {
        // The folder whose parent the inherits box says to secure first.
        {L"InstallDirParent", judgement.Folder.Parent().Text()},
        {L"InstallDirRefusal", RefusalName(verdict.Reason)},
        {L"InstallDirRefusalFolder", verdict.Folder},
        {L"InstallDirRefusalTrustee", verdict.Trustee},
    };
    if (accepted) {
        // The data of the deferred actions that make the folder, undo that,
        // and look at it again.
        for (const wchar_t* action :
             {L"MakeInstallFolder", L"MakeInstallFolderRollback", L"VerifyInstallFolder"}) {
            properties.push_back({action, verification});
        }
        properties.push_back({L"INSTALLDIR", judgement.Folder.WithBackslash()});
    }
    // Last, once everything it vouches for is in place.
    properties.push_back({L"InstallDirAccepted", accepted ? L"1" : L""});
    return properties;
}

bool SetProperties(const std::vector<PropertyValue>& properties,
                   const std::function<bool(const wchar_t*, const std::wstring&)>& set) {
    for (const PropertyValue& property : properties) {
        if (!set(property.Name, property.Value)) {
            return false;
        }
    }
    return true;
}

MaintenanceFolder MaintenanceDecision(const std::wstring& given, bool remembered,
                                      const std::wstring& location, bool removal) {
    if (location.empty()) {
        return {given, !removal};
    }
    // Without the remembered folder, INSTALLDIR is whatever the command
    // line said: the product's own location stands instead.
    if (!remembered || removal || FolderPath(given) == FolderPath(location)) {
        return {location, false};
    }
    return {given, true};
}
