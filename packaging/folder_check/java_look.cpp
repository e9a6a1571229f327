#include "packaging/folder_check/java_look.h"

#include "packaging/folder_check/folder_judgement.h"
#include "packaging/folder_check/folder_reading.h"
#include "registry/installed_runtime.h"
#include "registry/registry_exception.h"
#include "text/conversion.h"

namespace {

JavaLook Unusable(const std::wstring& why) {
    return {false, L"no Java the launcher can start: " + why};
}

} // namespace

JavaLook LookForInstalledJava(const std::vector<std::wstring>& trusted) {
    TRegistry view64 = MachineReader(RegistryView::View64);
    TRegistry viewDefault = MachineReader(RegistryView::ViewDefault);
    const std::wstring key = std::wstring(L"HKLM\\") + InstalledRuntimeKey;
    const TRegistry* reader = InstalledRuntimeReader(view64, viewDefault);
    if (reader == nullptr) {
        return Unusable(key + L" is in neither the 64-bit nor the 32-bit view");
    }
    const std::wstring where =
        key + (reader == &view64 ? L" (64-bit view)" : L" (32-bit view)") + L", JavaHome";
    UnicodeString home;
    try {
        home = reader->ReadString(InstalledRuntimeValueName);
    } catch (const ERegistryException&) {
        return Unusable(where + L" is not text");
    }
    if (home.empty()) {
        return Unusable(where + L" is empty");
    }
    if (!ToNarrowExact(home)) {
        return Unusable(where + L" " + home +
                        L" holds characters the code page cannot hold (the launcher shows 1113)");
    }
    // In any letter case, as runtimes ship javaw.exe.
    const std::wstring program = home + ToWide(RuntimeProgram);
    const FileObject found = ReadObject(program);
    if (!found.Opened || found.Folder) {
        return Unusable(where + L" " + home + L" holds no " + program);
    }
    JavaLook look = {true, where + L" " + home + L": the launcher will start " + program};
    look.Home = FolderPath(home).Text();
    look.Changeable = JavaRefusal(WayDownTo(look.Home), ReadMadeFolder(look.Home), trusted);
    if (look.Changeable) {
        look.Line += std::wstring(L"; others may change it: refused (") +
                     RefusalName(look.Changeable.Reason) + L"): " + look.Changeable.Folder +
                     (look.Changeable.Trustee.empty() ? L"" : L" for " + look.Changeable.Trustee);
    }
    return look;
}
