#include "packaging/folder_check/check_outcome.h"

#include "packaging/folder_check/folder_judgement.h"

std::vector<PropertyValue> CheckProperties(const Judgement& judgement, const std::wstring& plan,
                                           const std::wstring& movedFrom) {
    const Verdict& verdict = judgement.Result;
    const bool accepted = !verdict;
    // Only a refusal with a launch condition of its own may stand in for
    // acceptance: any other stops the install at the closing condition.
    const bool shown = TextOf(verdict.Reason).Where == Said::LaunchCondition;
    std::vector<PropertyValue> properties = {
        {L"InstallDirRefusal", RefusalName(verdict.Reason)},
        {L"InstallDirRefusalShown", shown ? L"1" : L""},
        {L"InstallDirRefusalFolder", verdict.Folder},
        {L"InstallDirRefusalArgument",
         verdict.Folder.empty() ? L"" : QuotedArgument(verdict.Folder)},
        {L"InstallDirRefusalTrustee", verdict.Trustee},
    };
    if (accepted) {
        // The data of the deferred actions that make the folder and look at
        // it again.
        for (const wchar_t* action : {L"MakeInstallFolder", L"VerifyInstallFolder"}) {
            properties.push_back({action, plan});
        }
        properties.push_back({L"INSTALLDIR", judgement.Folder.WithBackslash()});
        // The folder's copy in the Directory table takes the first (costing
        // fills it in when empty); the moved files' component is chosen by
        // the second, which nothing but the check sets.
        properties.push_back({L"InstallDirMovedFrom", movedFrom});
        properties.push_back({L"InstallDirMoved", movedFrom.empty() ? L"" : L"1"});
    }
    // Last, once everything it vouches for is in place.
    properties.push_back({L"InstallDirAccepted", accepted ? L"1" : L""});
    return properties;
}

std::wstring QuotedArgument(const std::wstring& path) {
    const std::size_t kept = path.find_last_not_of(L'\\') + 1;
    return L"\"" + path + path.substr(kept) + L"\"";
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
