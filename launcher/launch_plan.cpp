#include "launcher/launch_plan.h"

#include "launcher/launch_constants.h"
#include "registry/installed_runtime.h"
#include "text/conversion.h"
#include "text/file_system.h"
#include "text/format.h"

namespace {

// A text the code page cannot hold exactly would name another file, which
// may be anyone's, and so would a current directory that cannot be read:
// nothing is started, and the box says why.
LaunchPlan RefusedPlan(DWORD code = ERROR_NO_UNICODE_TRANSLATION) {
    return {{}, {}, code};
}

// The runtime part completed with the archive from the current directory,
// which is also the child's working directory.
LaunchPlan PlanInCurrentDirectory(const AnsiString& runtimePart, DirectoryCall read) {
    const std::optional<UnicodeString> directory = CurrentDirectory(read);
    if (!directory) {
        return RefusedPlan(GetLastError());
    }
    // A root keeps its backslash as the working directory, but not inside the
    // quotes: "C:\" would read as an escaped quote to the child's splitter.
    const std::optional<AnsiString> archiveFolder =
        ToNarrowExact(WithoutTrailingBackslash(*directory));
    const std::optional<AnsiString> workingDirectory = ToNarrowExact(*directory);
    if (!archiveFolder || !workingDirectory) {
        return RefusedPlan();
    }
    return {FormatNarrow(ArchiveCommandFormat, runtimePart.c_str(), archiveFolder->c_str()),
            *workingDirectory};
}

void ReleaseReaders(RegistryReaders& readers) {
    readers.View64->CloseKey();
    readers.ViewDefault->CloseKey();
    readers.View64.reset();
    readers.ViewDefault.reset();
}

} // namespace

RegistryReaders CreateRegistryReaders() {
    RegistryReaders readers;
    readers.View64.emplace(MachineReader(RegistryView::View64));
    readers.ViewDefault.emplace(MachineReader(RegistryView::ViewDefault));
    return readers;
}

RuntimePlan BuildRuntimePlan(RegistryReaders& readers, DirectoryCall read) {
    const std::optional<UnicodeString> directory = CurrentDirectory(read);
    if (!directory) {
        const DWORD error = GetLastError();
        ReleaseReaders(readers);
        return {LaunchRoute::InstalledRuntime, RefusedPlan(error)};
    }
    const std::optional<AnsiString> narrowDirectory = ToNarrowExact(*directory);
    if (!narrowDirectory) {
        // The route as the folder really is; the plan refuses either way.
        if (FolderExists(*directory + ToWide(RuntimeFolderSuffix))) {
            return {LaunchRoute::PrivateRuntime, RefusedPlan()};
        }
        ReleaseReaders(readers);
        return {LaunchRoute::InstalledRuntime, RefusedPlan()};
    }
    AnsiString runtimeFolder = *narrowDirectory;
    AppendFormatNarrow(runtimeFolder, RuntimeFolderSuffix);
    if (FolderExists(ToWide(runtimeFolder))) {
        return {
            LaunchRoute::PrivateRuntime,
            PlanInCurrentDirectory(
                FormatNarrow(RuntimeCommandFormat, runtimeFolder.c_str(), RuntimeProgram), read)};
    }

    const std::optional<AnsiString> javaHome = FindJavaHome(readers);
    RuntimePlan result{LaunchRoute::InstalledRuntime, RefusedPlan()};
    if (javaHome && javaHome->empty()) {
        // Without a home the runtime would be "\bin\Javaw.exe" at the root
        // of the drive, where anyone may plant a program: start nothing.
        result.Plan = {{}, *narrowDirectory};
    } else if (javaHome) {
        result.Plan = PlanInCurrentDirectory(
            FormatNarrow(RuntimeCommandFormat, javaHome->c_str(), RuntimeProgram), read);
    }
    ReleaseReaders(readers);
    return result;
}

std::optional<AnsiString> FindJavaHome(RegistryReaders& readers) {
    const TRegistry* reader = InstalledRuntimeReader(*readers.View64, *readers.ViewDefault);
    return reader ? ToNarrowExact(reader->ReadString(InstalledRuntimeValueName)) : AnsiString();
}

std::optional<AnsiString> ReadInstalledExecutable() {
    TRegistry reader = MachineReader(RegistryView::View64);
    if (!reader.OpenKey(InstalledSystemKey)) {
        return AnsiString();
    }
    return ToNarrowExact(reader.ReadString(InstalledSystemValueName));
}

LaunchPlan BuildSisPlan() {
    const std::optional<AnsiString> executable = ReadInstalledExecutable();
    if (!executable) {
        return RefusedPlan();
    }
    const AnsiString quoted = FormatNarrow(ExecutableQuotingFormat, executable->c_str());
    return {FormatNarrow(FixedCommandFormat, quoted.c_str()), FixedWorkingDirectory};
}
