#include "packaging/folder_check/check_outcome.h"

std::vector<PropertyValue> CheckProperties(const Judgement& judgement,
                                           const std::wstring& verification) {
    const Verdict& verdict = judgement.Result;
    const bool accepted = verdict.Reason == Refusal::None;
    std::vector<PropertyValue> properties = {
        // The folder whose parent the inherits box says to secure first.
        {L"InstallDirParent", FolderAbove(judgement.Folder)},
        {L"InstallDirRefusal", RefusalName(verdict.Reason)},
        {L"InstallDirRefusalFolder", verdict.Folder},
        {L"InstallDirRefusalTrustee", verdict.Trustee},
    };
    if (accepted) {
        properties.push_back({L"VerifyInstallFolder", verification});
        properties.push_back({L"INSTALLDIR", judgement.Folder});
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
