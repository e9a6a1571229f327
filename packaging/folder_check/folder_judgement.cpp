#include "packaging/folder_check/folder_judgement.h"

#include <windows.h>

#include <algorithm>
#include <iterator>

#include "packaging/folder_check/server_addresses.h"

namespace {

// The longest path a Win32 call takes, NUL included.
constexpr std::size_t LongestWin32Path = 32767;

struct Context {
    const FolderFacts& Facts;
    const Machine& Machine;
    const PackageReach& Reach;
};
using Rule = Verdict (*)(const Context&);

// No Win32 call is given a path longer than any Windows takes.
Verdict TextLength(const Context& c) {
    const std::wstring& text = c.Facts.Text;
    return text.size() < LongestWin32Path
               ? Verdict{}
               : Verdict{Refusal::TooLong, text.substr(0, MAX_PATH) + L"...", {}};
}

Verdict Form(const Context& c) {
    return {FormRefusal(c.Facts.Text), c.Facts.Text, {}};
}

// Windows Installer writes files of 259 characters at most, CreateDirectory
// makes folders of 248.
Verdict FolderLength(const Context& c) {
    const std::wstring& folder = c.Facts.Folder.Text();
    const std::size_t deepest =
        folder.size() + (c.Reach.DeepestFolder == 0 ? 0 : 1 + c.Reach.DeepestFolder);
    const bool tooLong = folder.empty() ||
                         folder.size() + 1 + c.Reach.LongestFile > LongestInstallerPath ||
                         deepest > LongestCreatedFolder;
    return tooLong ? Verdict{Refusal::TooLong, folder.empty() ? c.Facts.Text : folder, {}}
                   : Verdict{};
}

// The launcher narrows its current directory by its own exact rule and
// refuses to start from a folder whose name it would change.
Verdict CodePage(const Context& c) {
    return c.Facts.HoldsInCodePage ? Verdict{}
                                   : Verdict{Refusal::CodePage, c.Facts.Folder.Text(), {}};
}

Verdict DriveRoot(const Context& c) {
    const FolderPath& folder = c.Facts.Folder;
    return folder.IsRoot() ? Verdict{Refusal::Root, folder.Text(), {}} : Verdict{};
}

// This computer by a name, or an administrative share.
Verdict Share(const Context& c) {
    const FolderPath& folder = c.Facts.Folder;
    return {NetworkRefusal(folder.Server(), folder.Share(), c.Machine.OwnNames),
            folder.Root().Text(),
            {}};
}

// This computer by any address: loopback, or one of its adapters'. A name
// that does not resolve is left to Windows.
Verdict ThisMachine(const Context& c) {
    const bool mine = std::any_of(
        c.Facts.ServerAddresses.begin(), c.Facts.ServerAddresses.end(),
        [&c](const std::wstring& address) { return IsThisMachine(address, c.Facts.OwnAddresses); });
    return mine ? Verdict{Refusal::Loopback, c.Facts.Folder.Root().Text(), {}} : Verdict{};
}

bool InstalledThere(const FolderFacts& facts, const FolderPath& resolved) {
    return std::any_of(
        facts.InstalledAt.begin(), facts.InstalledAt.end(), [&](const FolderPath& location) {
            return !location.Empty() && (facts.Folder == location || resolved == location);
        });
}

Verdict NetworkExisting(const Context& c) {
    return !c.Facts.Exists || InstalledThere(c.Facts, c.Facts.Folder)
               ? Verdict{}
               : Verdict{Refusal::Existing, c.Facts.Folder.Text(), {}};
}

Verdict VolumeOf(const VolumeFacts& volume) {
    return {VolumeRefusal(volume.DriveType, volume.Flags), volume.Path.Text(), {}};
}

Verdict GivenVolume(const Context& c) {
    return VolumeOf(c.Facts.Volume);
}

// A failure that is not absence is never taken for a folder still to be made.
Verdict Unreadable(const Context& c) {
    return c.Facts.Unreadable.Empty()
               ? Verdict{}
               : Verdict{Refusal::Unverifiable, c.Facts.Unreadable.Text(), {}};
}

Verdict FileOnTheWay(const Context& c) {
    return c.Facts.Nearest.Empty() || c.Facts.NearestIsFolder
               ? Verdict{}
               : Verdict{Refusal::NotAFolder, c.Facts.Nearest.Text(), {}};
}

Verdict Unfollowed(const Context& c) {
    const FolderPath& nearest = c.Facts.Nearest;
    return c.Facts.FinalNearest
               ? Verdict{}
               : Verdict{Refusal::Unverifiable,
                         (nearest.Empty() ? c.Facts.Folder.Root() : nearest).Text(),
                         {}};
}

// Where the links lead: no root, a volume mounted in a folder included.
Verdict ResolvedRoot(const Context& c) {
    const FolderPath resolved = ResolvedFolder(c.Facts);
    return resolved.IsRoot() || resolved == c.Facts.ResolvedVolume.Path
               ? Verdict{Refusal::Root, resolved.Text(), {}}
               : Verdict{};
}

Verdict ResolvedVolume(const Context& c) {
    return VolumeOf(c.Facts.ResolvedVolume);
}

Verdict ProtectedFolders(const Context& c) {
    for (const FolderPath& path : {c.Facts.Folder, ResolvedFolder(c.Facts)}) {
        if (Verdict verdict = ProtectedRefusal(path, c.Machine.Protected);
            verdict.Reason != Refusal::None) {
            return verdict;
        }
    }
    return {};
}

// A first install makes its folder; an upgrade may stay in the one Windows
// Installer has its product installed in; an empty folder an administrator
// made and secured beforehand (as icacls pre-stages one) is taken too.
Verdict Existing(const Context& c) {
    const FolderFacts& facts = c.Facts;
    const bool secured = facts.Empty && DescriptorRefusal(facts.Folder.Text(), facts.Sddl,
                                                          c.Machine.Trusted, MoreThanReadAndRun)
                                                .Reason == Refusal::None;
    return !facts.Exists || InstalledThere(facts, ResolvedFolder(facts)) || secured
               ? Verdict{}
               : Verdict{Refusal::Existing, facts.Folder.Text(), {}};
}

// Every folder on the way as given, links judged by their own descriptors
// too; then, where links lead elsewhere, every folder on the way there.
Verdict Way(const Context& c) {
    const FolderFacts& facts = c.Facts;
    const bool createsFolders =
        facts.Nearest != facts.Folder && facts.Nearest != facts.Folder.Parent();
    for (const auto* way : {&facts.Way, &facts.WayToWhereItLeads}) {
        if (Verdict verdict = WayRefusal(*way, c.Machine.Trusted, createsFolders);
            verdict.Reason != Refusal::None) {
            return verdict;
        }
    }
    return {};
}

constexpr Rule Common[] = {TextLength, Form, FolderLength, CodePage, DriveRoot};
// The share's own permissions govern a network folder.
constexpr Rule Network[] = {Share, ThisMachine, NetworkExisting};
constexpr Rule Local[] = {GivenVolume,    Unreadable,       FileOnTheWay, Unfollowed, ResolvedRoot,
                          ResolvedVolume, ProtectedFolders, Existing,     Way};

template <std::size_t N> Verdict FirstRefusal(const Rule (&rules)[N], const Context& c) {
    for (const Rule rule : rules) {
        if (Verdict verdict = rule(c); verdict.Reason != Refusal::None) {
            return verdict;
        }
    }
    return {};
}

} // namespace

FolderPath ResolvedFolder(const FolderFacts& facts) {
    // Where the nearest leads, and what is still to be made below it.
    return facts.FinalNearest ? *facts.FinalNearest / facts.Folder.Below(facts.Nearest)
                              : facts.Folder;
}

std::vector<std::wstring> FactLines(const FolderFacts& facts) {
    const std::wstring& folder = facts.Folder.Text();
    std::vector<std::wstring> lines = {L"INSTALLDIR " + facts.Text + L" is " + folder};
    for (const std::wstring& address : facts.ServerAddresses) {
        lines.push_back(L"the server of " + facts.Folder.Root().Text() + L" is " + address);
    }
    if (const FolderPath resolved = ResolvedFolder(facts); resolved.Text() != folder) {
        lines.push_back(L"through its links, " + folder + L" is " + resolved.Text());
    }
    for (const auto* way : {&facts.Way, &facts.WayToWhereItLeads}) {
        for (const FolderOnTheWay& step : *way) {
            lines.push_back(
                L"on the way: " + step.Path.Text() + L" " + step.Sddl.value_or(L"(unreadable)") +
                (step.ReparsePoint ? L", a link: " + step.LinkSddl.value_or(L"(unreadable)")
                                   : L""));
        }
    }
    return lines;
}

Judgement JudgeFolder(const FolderFacts& facts, const Machine& machine, const PackageReach& reach) {
    const Context c{facts, machine, reach};
    Judgement judgement;
    judgement.Result = FirstRefusal(Common, c);
    if (judgement.Result.Reason != Refusal::None) {
        return judgement;
    }
    judgement.Folder = judgement.Resolved = facts.Folder;
    const bool network = facts.Folder.IsNetwork();
    judgement.Result = network ? FirstRefusal(Network, c) : FirstRefusal(Local, c);
    if (judgement.Result.Reason == Refusal::None && !network) {
        judgement.Resolved = ResolvedFolder(facts);
        judgement.Existed = facts.Nearest == facts.Folder;
        judgement.Nearest = facts.Nearest;
    }
    return judgement;
}
