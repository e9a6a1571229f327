#include "launcher/launch_plan.h"

#include "launcher/launch_constants.h"
#include "text/conversion.h"
#include "text/file_system.h"
#include "text/format.h"

namespace {

TRegistry CreateMachineReader(RegistryView view) {
    TRegistry reader(view);
    reader.SetRootKey(HKEY_LOCAL_MACHINE);
    return reader;
}

AnsiString ReadJavaHome(TRegistry& reader) {
    reader.OpenKey(InstalledRuntimeKey);
    return ToNarrow(reader.ReadString(InstalledRuntimeValueName));
}

// The runtime part completed with the archive from the current directory,
// which is also the child's working directory.
LaunchPlan PlanInCurrentDirectory(const AnsiString& runtimePart) {
    const UnicodeString directory = CurrentDirectory();
    // A root keeps its backslash as the working directory, but not inside the
    // quotes: "C:\" would read as an escaped quote to the child's splitter.
    const AnsiString archiveFolder = ToNarrow(WithoutTrailingBackslash(directory));
    return {FormatNarrow(ArchiveCommandFormat, runtimePart.c_str(), archiveFolder.c_str()),
            ToNarrow(directory)};
}

} // namespace

RegistryReaders CreateRegistryReaders() {
    RegistryReaders readers;
    readers.View64.emplace(CreateMachineReader(RegistryView::View64));
    readers.ViewDefault.emplace(CreateMachineReader(RegistryView::ViewDefault));
    return readers;
}

RuntimePlan BuildRuntimePlan(RegistryReaders& readers) {
    AnsiString runtimeFolder = ToNarrow(CurrentDirectory());
    AppendFormatNarrow(runtimeFolder, RuntimeFolderSuffix);
    if (FolderExists(ToWide(runtimeFolder))) {
        return {LaunchRoute::PrivateRuntime,
                PlanInCurrentDirectory(FormatNarrow(RuntimeCommandFormat, runtimeFolder.c_str()))};
    }

    const AnsiString javaHome = FindJavaHome(readers);
    // Without a home the runtime would be "\bin\Javaw.exe" at the root of the
    // drive, where anyone may plant a program: start nothing instead.
    RuntimePlan result{LaunchRoute::InstalledRuntime,
                       javaHome.empty() ? LaunchPlan{{}, ToNarrow(CurrentDirectory())}
                                        : PlanInCurrentDirectory(FormatNarrow(RuntimeCommandFormat,
                                                                              javaHome.c_str()))};
    readers.View64->CloseKey();
    readers.ViewDefault->CloseKey();
    readers.View64.reset();
    readers.ViewDefault.reset();
    return result;
}

AnsiString FindJavaHome(RegistryReaders& readers) {
    // The default view counts only when the 64-bit view lacks the key.
    if (readers.View64->KeyExists(InstalledRuntimeKey)) {
        return ReadJavaHome(*readers.View64);
    }
    if (readers.ViewDefault->KeyExists(InstalledRuntimeKey)) {
        return ReadJavaHome(*readers.ViewDefault);
    }
    return {};
}

AnsiString ReadInstalledExecutable() {
    TRegistry reader = CreateMachineReader(RegistryView::View64);
    if (!reader.OpenKey(InstalledSystemKey)) {
        return {};
    }
    return ToNarrow(reader.ReadString(InstalledSystemValueName));
}

LaunchPlan BuildSisPlan() {
    const AnsiString executable =
        FormatNarrow(ExecutableQuotingFormat, ReadInstalledExecutable().c_str());
    return {FormatNarrow(FixedCommandFormat, executable.c_str()), FixedWorkingDirectory};
}
