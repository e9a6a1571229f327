#include "packaging/folder_check/folder_judgement.h"

// Windows headers for their constants alone: the judge calls no Windows
// function, and the reader gives it all it reads.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <string_view>

namespace {

// What others may not hold on a folder on the way: delete or rename it,
// change its permissions or owner, or delete and rename what is in it.
constexpr ACCESS_MASK Dangerous = DELETE | WRITE_DAC | WRITE_OWNER | FILE_DELETE_CHILD;
constexpr ACCESS_MASK DangerousOnARoot = WRITE_DAC | WRITE_OWNER | FILE_DELETE_CHILD;
// On a link, also what changes where it leads.
constexpr ACCESS_MASK ChangesALink = Dangerous | FILE_WRITE_DATA | FILE_WRITE_ATTRIBUTES;

// A device Windows finds in every folder, whatever the extension.
bool IsDeviceName(const std::wstring& name) {
    std::wstring base = name.substr(0, name.find(L'.'));
    base.erase(base.find_last_not_of(L' ') + 1); // spaces before the extension
    for (wchar_t& c : base) {
        c = static_cast<wchar_t>(towupper(c));
    }
    // A port's number is a digit, or a superscript one, two or three.
    const bool port =
        base.size() == 4 && (base.rfind(L"COM", 0) == 0 || base.rfind(L"LPT", 0) == 0) &&
        std::wstring_view(L"0123456789\u00b9\u00b2\u00b3").find(base[3]) != std::wstring_view::npos;
    return port || base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL";
}

bool HasReservedCharacter(const std::wstring& name) {
    return std::any_of(name.begin(), name.end(), [](wchar_t c) {
        return c < 32 || std::wstring_view(L"<>:\"|?*").find(c) != std::wstring_view::npos;
    });
}

// A DNS name, an address, or a NetBIOS name in the character set
// SetComputerName documents: letters, digits and ! @ # $ % ^ & ' ) ( . - _ { } ~.
bool IsServerName(const std::wstring& server) {
    return !server.empty() && std::all_of(server.begin(), server.end(), [](wchar_t c) {
        return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
               std::wstring_view(L"!@#$%^&')(.-_{}~").find(c) != std::wstring_view::npos;
    });
}

// The shares Windows makes for administration: one a drive letter
// (C$), ADMIN$ and IPC$. Other names ending in $ are merely hidden.
bool IsAdministrativeShare(const std::wstring& share) {
    const bool drive =
        share.size() == 2 && share[1] == L'$' &&
        ((share[0] >= L'a' && share[0] <= L'z') || (share[0] >= L'A' && share[0] <= L'Z'));
    return drive || SameName(share, L"ADMIN$") || SameName(share, L"IPC$");
}

bool Trusted(const std::wstring& sid, const std::vector<std::wstring>& trusted) {
    return std::find(trusted.begin(), trusted.end(), sid) != trusted.end();
}

// The longest path a Win32 call takes, NUL included.
constexpr std::size_t LongestWin32Path = 32767;
// The longest path Windows Installer handles (it is not long-path aware),
// without the final NUL.
constexpr std::size_t LongestInstallerPath = 259;
// The longest folder CreateDirectory makes: room is left for an 8.3 name.
constexpr std::size_t LongestCreatedFolder = 248;

// What an untrusted trustee may not do to path: own it (its owner may
// always rewrite its permissions), or hold any of Here on it.
struct Forbidden {
    unsigned long Here;
    Refusal Owned = Refusal::Owner;
    Refusal Granted = Refusal::Writable;
};

Verdict Untrusted(const std::wstring& path, const Security& read,
                  const std::vector<std::wstring>& trusted, const Forbidden& forbidden) {
    if (!read) {
        return {Refusal::Unverifiable, path};
    }
    if (!Trusted(read->Owner, trusted)) {
        return {forbidden.Owned, path, read->Owner};
    }
    for (const Grant& grant : read->Grants) {
        if (Trusted(grant.Trustee, trusted)) {
            continue;
        }
        if (grant.AppliesHere && (grant.Rights & forbidden.Here) != 0) {
            // Said apart: no command that removes a grant removes an inherited one.
            const bool inherited = grant.Inherited && forbidden.Granted == Refusal::Writable;
            return {inherited ? Refusal::Inherited : forbidden.Granted, path, grant.Trustee};
        }
    }
    return {};
}

struct Context {
    const FolderFacts& Facts;
    const Machine& Machine;
    const PackageReach& Reach;
};
using Rule = Verdict (*)(const Context&);

Verdict When(bool refused, Refusal reason, const FolderPath& at) {
    return refused ? Verdict{reason, at.Text()} : Verdict{};
}

Verdict Form(const Context& c) {
    const std::wstring& text = c.Facts.Text;
    return {FormRefusal(text),
            text.size() < LongestWin32Path ? text : text.substr(0, MAX_PATH) + L"..."};
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
    return tooLong ? Verdict{Refusal::TooLong, folder.empty() ? c.Facts.Text : folder} : Verdict{};
}

// The launcher narrows its current directory by its own exact rule and
// refuses to start from a folder whose name it would change.
Verdict CodePage(const Context& c) {
    return When(!c.Facts.HoldsInCodePage, Refusal::CodePage, c.Facts.Folder);
}

Verdict DriveRoot(const Context& c) {
    return When(c.Facts.Folder.IsRoot(), Refusal::Root, c.Facts.Folder);
}

// This computer by a name, or an administrative share. An address, IPv6
// ones too, is judged once resolved.
Verdict Share(const Context& c) {
    const FolderPath& folder = c.Facts.Folder;
    const std::wstring server = folder.Server();
    const std::vector<std::wstring>& own = c.Machine.OwnNames;
    const bool mine = SameName(server, L"localhost") || server.rfind(L"127.", 0) == 0 ||
                      std::any_of(own.begin(), own.end(), [&server](const std::wstring& name) {
                          return !name.empty() && SameName(server, name);
                      });
    return When(mine || IsAdministrativeShare(folder.Share()), Refusal::Loopback, folder.Root());
}

// This computer by any address: loopback, or one of its adapters'. A name
// that does not resolve is left to Windows.
Verdict ThisMachine(const Context& c) {
    const bool mine = std::any_of(
        c.Facts.ServerAddresses.begin(), c.Facts.ServerAddresses.end(),
        [&c](const std::wstring& address) { return IsThisMachine(address, c.Facts.OwnAddresses); });
    return When(mine, Refusal::Loopback, c.Facts.Folder.Root());
}

bool InstalledThere(const FolderFacts& facts, const FolderPath& resolved) {
    return std::any_of(
        facts.InstalledAt.begin(), facts.InstalledAt.end(), [&](const FolderPath& location) {
            return !location.Empty() && (facts.Folder == location || resolved == location);
        });
}

Verdict NetworkExisting(const Context& c) {
    return When(c.Facts.Exists && !InstalledThere(c.Facts, c.Facts.Folder), Refusal::Existing,
                c.Facts.Folder);
}

// A network drive, a letter that does not exist, or a volume that keeps
// no permissions (FAT, exFAT).
Verdict VolumeOf(const VolumeFacts& volume) {
    const unsigned type = volume.DriveType;
    const Refusal refusal =
        type == DRIVE_REMOTE || type == DRIVE_NO_ROOT_DIR || type == DRIVE_UNKNOWN ? Refusal::Mapped
        : (volume.Flags & FILE_PERSISTENT_ACLS) == 0 ? Refusal::NoPermissions
                                                     : Refusal::None;
    return {refusal, volume.Path.Text()};
}

Verdict GivenVolume(const Context& c) {
    return VolumeOf(c.Facts.Volume);
}

// A failure that is not absence is never taken for a folder still to be made.
Verdict Unreadable(const Context& c) {
    return When(!c.Facts.Unreadable.Empty(), Refusal::Unverifiable, c.Facts.Unreadable);
}

Verdict FileOnTheWay(const Context& c) {
    return When(!c.Facts.NearestIsFolder, Refusal::NotAFolder, c.Facts.Nearest);
}

Verdict Unfollowed(const Context& c) {
    const FolderPath& nearest = c.Facts.Nearest;
    return When(!c.Facts.FinalNearest, Refusal::Unverifiable,
                nearest.Empty() ? c.Facts.Folder.Root() : nearest);
}

// Where the links lead: no root, a volume mounted in a folder included.
Verdict ResolvedRoot(const Context& c) {
    const FolderPath resolved = ResolvedFolder(c.Facts);
    return When(resolved.IsRoot() || resolved == c.Facts.ResolvedVolume.Path, Refusal::Root,
                resolved);
}

Verdict ResolvedVolume(const Context& c) {
    return VolumeOf(c.Facts.ResolvedVolume);
}

Verdict ProtectedFolders(const Context& c) {
    for (const FolderPath& path : {c.Facts.Folder, ResolvedFolder(c.Facts)}) {
        if (Verdict verdict = ProtectedRefusal(path, c.Machine.Protected)) {
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
    const bool secured = facts.Empty && !DescriptorRefusal(facts.Folder.Text(), facts.Descriptor,
                                                           c.Machine.Trusted, MoreThanReadAndRun);
    return !facts.Exists || InstalledThere(facts, ResolvedFolder(facts)) || secured
               ? Verdict{}
               : Verdict{Refusal::Existing, facts.Folder.Text()};
}

// Every folder on the way as given, links judged by their own descriptors
// too; then, where links lead elsewhere, every folder on the way there.
Verdict Way(const Context& c) {
    for (const auto* way : {&c.Facts.Way, &c.Facts.WayToWhereItLeads}) {
        if (Verdict verdict = WayRefusal(*way, c.Machine.Trusted)) {
            return verdict;
        }
    }
    return {};
}

// An upgrade replaces one older version: two in two folders would leave
// one registered in a folder emptied, or one never taken away.
Verdict OneInstallation(const Context& c) {
    std::vector<FolderPath> folders;
    std::vector<std::wstring> named;
    for (const FolderPath& location : c.Facts.InstalledAt) {
        if (!location.Empty() &&
            std::find(folders.begin(), folders.end(), location) == folders.end()) {
            folders.push_back(location);
            named.push_back(location.WithBackslash());
        }
    }
    return folders.size() > 1 ? Verdict{Refusal::Related, Joined(named, L" e ")} : Verdict{};
}

constexpr Rule Common[] = {OneInstallation, Form, FolderLength, CodePage, DriveRoot};
// The share's own permissions govern a network folder.
constexpr Rule Network[] = {Share, ThisMachine, NetworkExisting};
constexpr Rule Local[] = {GivenVolume,    Unreadable,       FileOnTheWay, Unfollowed, ResolvedRoot,
                          ResolvedVolume, ProtectedFolders, Existing,     Way};

template <std::size_t N> Verdict FirstRefusal(const Rule (&rules)[N], const Context& c) {
    for (const Rule rule : rules) {
        if (Verdict verdict = rule(c)) {
            return verdict;
        }
    }
    return {};
}

bool Listed(const std::vector<std::wstring>& list, const std::wstring& path) {
    return std::any_of(list.begin(), list.end(),
                       [&path](const std::wstring& item) { return SameName(item, path); });
}

} // namespace

Refusal FormRefusal(const std::wstring& text) {
    // No Win32 call is given a path longer than any Windows takes.
    if (text.size() >= LongestWin32Path) {
        return Refusal::TooLong;
    }
    if (text.rfind(L"\\\\?\\", 0) == 0 || text.rfind(L"\\\\.\\", 0) == 0 ||
        text.rfind(L"\\??\\", 0) == 0 || text.rfind(L"\\\\??\\", 0) == 0) {
        return Refusal::Device;
    }
    if (text.find(L'/') != std::wstring::npos) {
        return Refusal::Slash;
    }
    const bool drive = text.size() >= 3 && iswalpha(text[0]) && text[1] == L':' && text[2] == L'\\';
    const bool network = text.rfind(L"\\\\", 0) == 0 && text.size() > 2;
    if (!drive && !network) {
        return Refusal::Relative;
    }
    // A pair anywhere, across names too: the shortcut's target expands it.
    const size_t open = text.find(L'%');
    if (open != std::wstring::npos && text.find(L'%', open + 2) != std::wstring::npos) {
        return Refusal::Percent;
    }
    std::vector<std::wstring> names = Split(text.substr(network ? 2 : 3), L'\\');
    while (!names.empty() && names.back().empty()) {
        names.pop_back(); // the final backslash of a folder, given once more or not
    }
    if (network) {
        if (names.size() < 2 || !IsServerName(names[0]) || names[1].empty() || names[1] == L"." ||
            names[1] == L".." || HasReservedCharacter(names[1])) {
            return Refusal::Server;
        }
        names.erase(names.begin(), names.begin() + 2);
    }
    for (const std::wstring& name : names) {
        if (name.empty() || HasReservedCharacter(name)) {
            return Refusal::Reserved;
        }
        if (name == L"." || name == L"..") {
            continue;
        }
        if (IsDeviceName(name)) {
            return Refusal::DeviceName;
        }
        if (name.back() == L'.' || name.back() == L' ') {
            return Refusal::Dot;
        }
    }
    return Refusal::None;
}

Verdict ProtectedRefusal(const FolderPath& path, const std::vector<ProtectedFolder>& folders) {
    for (const ProtectedFolder& folder : folders) {
        if (folder.Required != nullptr && folder.Path.Empty()) {
            return {Refusal::Unverifiable, folder.Required};
        }
        if (folder.AndBelow ? path.IsAtOrBelow(folder.Path) : path == folder.Path) {
            return {folder.Reason, folder.Path.Text()};
        }
    }
    return {};
}

Verdict DescriptorRefusal(const std::wstring& path, const Security& descriptor,
                          const std::vector<std::wstring>& trusted, unsigned long rights) {
    return Untrusted(path, descriptor, trusted, {rights});
}

std::wstring DescriptorLine(const Security& descriptor) {
    if (!descriptor) {
        return L"(unreadable)";
    }
    std::wstring line = L"owner " + descriptor->Owner;
    for (const Grant& grant : descriptor->Grants) {
        wchar_t rights[16] = {};
        swprintf(rights, 16, L" 0x%lx", grant.Rights);
        line += L", " + grant.Trustee + rights + (grant.Inherited ? L" inherited" : L"") +
                (grant.AppliesHere ? L"" : L" below only");
    }
    return line;
}

bool IsThisMachine(const std::wstring& address, const std::vector<std::wstring>& own) {
    return address.rfind(L"127.", 0) == 0 || address == L"::1" ||
           (!address.empty() && std::find(own.begin(), own.end(), address) != own.end());
}

Verdict WayRefusal(const std::vector<FolderOnTheWay>& way,
                   const std::vector<std::wstring>& trusted) {
    for (const FolderOnTheWay& folder : way) {
        const std::wstring& path = folder.Path.Text();
        // Who may change where a link leads: its owner, and what it grants.
        const Forbidden link = {ChangesALink, Refusal::Reparse, Refusal::Reparse};
        if (Verdict verdict = folder.ReparsePoint
                                  ? Untrusted(path, folder.LinkDescriptor, trusted, link)
                                  : Verdict{}) {
            return verdict;
        }
        const bool root = folder.VolumeRoot || folder.Path.IsRoot();
        if (Verdict verdict = Untrusted(path, folder.Descriptor, trusted,
                                        {root ? DangerousOnARoot : Dangerous})) {
            return verdict;
        }
    }
    return {};
}

FolderPath ResolvedFolder(const FolderFacts& facts) {
    // Where the nearest leads, and what is still to be made below it.
    return facts.FinalNearest ? *facts.FinalNearest / facts.Folder.Below(facts.Nearest)
                              : facts.Folder;
}

std::vector<std::wstring> FactLines(const FolderFacts& facts) {
    if (facts.Folder.Empty()) {
        return {};
    }
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
                L"on the way: " + step.Path.Text() + L" " + DescriptorLine(step.Descriptor) +
                (step.ReparsePoint ? L"; a link: " + DescriptorLine(step.LinkDescriptor) : L""));
        }
    }
    return lines;
}

Judgement JudgeFolder(const FolderFacts& facts, const Machine& machine, const PackageReach& reach) {
    const Context c{facts, machine, reach};
    Judgement judgement;
    judgement.Result = FirstRefusal(Common, c);
    if (judgement.Result) {
        return judgement;
    }
    judgement.Folder = judgement.Resolved = facts.Folder;
    const bool network = facts.Folder.IsNetwork();
    judgement.Result = network ? FirstRefusal(Network, c) : FirstRefusal(Local, c);
    if (!judgement.Result && !network) {
        judgement.Resolved = ResolvedFolder(facts);
        judgement.Existed = facts.Nearest == facts.Folder;
        judgement.Nearest = facts.Nearest;
        judgement.Found = judgement.Existed ? facts.Found : MadeFolder{};
    }
    // A move only where the product is installed elsewhere than the folder,
    // by the check's own test: named another way (a link, an 8.3 name),
    // it is the folder itself.
    if (!judgement.Result && !facts.InstalledAt.empty() &&
        !InstalledThere(facts, judgement.Resolved)) {
        judgement.MovedFrom = facts.InstalledAt.front();
    }
    return judgement;
}

std::vector<std::wstring> TrustedTrustees(const std::wstring& administrator,
                                          const std::vector<std::wstring>& administrators) {
    std::vector<std::wstring> trusted = {
        L"S-1-5-18", L"S-1-5-32-544",
        L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", L"S-1-3-0", L"S-1-3-4"};
    trusted.insert(trusted.end(), administrators.begin(), administrators.end());
    if (!administrator.empty()) {
        trusted.push_back(administrator);
    }
    return trusted;
}

bool CountsAsAdministrator(const AccountToken& token) {
    return token.System || token.Member || (token.Limited && token.LinkedMember);
}

std::vector<FolderPath> FoldersToMake(const FolderPlan& plan) {
    std::vector<FolderPath> made;
    for (FolderPath step = plan.Folder; step != plan.Nearest && step.IsAtOrBelow(plan.Nearest);
         step = step.Parent()) {
        made.insert(made.begin(), step);
    }
    // The package's own folders, made and recorded as the folder is, so that
    // none is left empty once what it held goes (a move, a bare upgrade).
    for (const std::wstring& below : plan.Layout) {
        made.push_back(plan.Folder / below);
    }
    return made;
}

FolderPath ResolvedStep(const FolderPlan& plan, const FolderPath& step) {
    if (step != plan.Folder && step.IsAtOrBelow(plan.Folder)) {
        return plan.Resolved / step.Below(plan.Folder);
    }
    FolderPath resolved = plan.Resolved;
    for (FolderPath below = plan.Folder; below != step && !below.Empty(); below = below.Parent()) {
        resolved = resolved.Parent();
    }
    return resolved;
}

namespace {

// A thing an installation folder holds, judged as a file: of one name (a
// second name carries its file's owner and descriptor: that file may be
// anyone's, anywhere on the volume), and others' only to read and run.
Verdict HeldThingRefusal(const FileObject& entry, const std::vector<std::wstring>& trusted) {
    const std::wstring& path = entry.Path.Text();
    if (entry.Names != 1) {
        return {entry.Names == 0 ? Refusal::Unverifiable : Refusal::HardLink, path};
    }
    return DescriptorRefusal(path, entry.Descriptor, trusted, MoreThanReadAndRun);
}

// A folder and all it holds, only trusted accounts' to change: the folder
// no link, closed to others' writing (whoever made it owns it, and an owner
// may always re-permit it), each thing in it no link and judged as a file;
// where a list is given, each one of what it allows.
Verdict TreeRefusal(const MadeFolder& tree, const std::vector<std::wstring>& trusted,
                    const std::vector<std::wstring>* allowed = nullptr) {
    const FileObject& itself = tree.Itself;
    const std::wstring& folder = itself.Path.Text();
    if (!itself.Opened || itself.Link) {
        return {itself.Opened ? Refusal::Reparse : Refusal::Unverifiable, folder};
    }
    if (Verdict own = DescriptorRefusal(folder, itself.Descriptor, trusted, AddsOrWrites)) {
        return own;
    }
    for (const FileObject& entry : tree.Contents) {
        if (entry.Link) {
            return {Refusal::Reparse, entry.Path.Text()};
        }
        if (allowed != nullptr && !Listed(*allowed, entry.Path.Below(itself.Path))) {
            return {Refusal::Planted, entry.Path.Text(),
                    entry.Descriptor ? entry.Descriptor->Owner : L""};
        }
        if (Verdict own = HeldThingRefusal(entry, trusted)) {
            return own;
        }
    }
    return {};
}

// What an upgrade's folder held when judged, each relative to it.
std::vector<std::wstring> HeldBelow(const Judgement& judgement) {
    std::vector<std::wstring> held;
    for (const FileObject& entry : judgement.Found.Contents) {
        held.push_back(entry.Path.Below(judgement.Folder));
    }
    return held;
}

} // namespace

Verdict MadeFolderRefusal(const MadeFolder& made, const FolderPlan& plan) {
    const FileObject& itself = made.Itself;
    if (!itself.Opened || itself.Where.Empty()) {
        return {Refusal::Unverifiable, plan.Folder.Text()};
    }
    if (!itself.Link && itself.Where != plan.Resolved) {
        return {Refusal::Moved, itself.Where.Text()};
    }
    return TreeRefusal(made, plan.Trusted, &plan.Allowed);
}

Verdict JavaRefusal(const std::vector<FolderOnTheWay>& way, const MadeFolder& home,
                    const std::vector<std::wstring>& trusted) {
    const Verdict verdict = WayRefusal(way, trusted);
    return verdict ? verdict : TreeRefusal(home, trusted);
}

Verdict FoundFolderRefusal(const Judgement& judgement, const FolderPlan& plan,
                           const MadeFolder& older) {
    if (Verdict own = judgement.Existed ? MadeFolderRefusal(judgement.Found, plan) : Verdict{}) {
        return own;
    }
    const unsigned long error = older.Itself.Error;
    const bool gone =
        !older.Itself.Opened && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND);
    return judgement.MovedFrom.Empty() || gone ? Verdict{} : TreeRefusal(older, plan.Trusted);
}

std::vector<std::wstring> AllowedContents(const Judgement& judgement, const PackageLayout& layout) {
    std::vector<std::wstring> allowed = layout.Folders;
    for (const std::wstring& held : HeldBelow(judgement)) {
        if (!Listed(allowed, held)) {
            allowed.push_back(held);
        }
    }
    return allowed;
}

FolderPlan PlanFor(const Judgement& judgement, const Machine& machine, const std::wstring& lock,
                   const PackageLayout& layout) {
    if (judgement.Folder.IsNetwork()) {
        return {judgement.Folder, true};
    }
    const std::vector<std::wstring> held = HeldBelow(judgement);
    std::vector<std::wstring> missing;
    std::copy_if(layout.Folders.begin(), layout.Folders.end(), std::back_inserter(missing),
                 [&held](const std::wstring& folder) { return !Listed(held, folder); });
    return {judgement.Folder,
            false,
            judgement.Resolved,
            judgement.Nearest,
            lock,
            machine.Trusted,
            AllowedContents(judgement, layout),
            missing};
}

std::wstring Finding(const Verdict& verdict) {
    const wchar_t* text = TextOf(verdict.Reason).Finding;
    // One pass over the template: what is filled in is never read again, so
    // a folder named C:\Tarnix[F] or [T] is written as it is.
    std::wstring filled;
    for (const wchar_t* c = text; *c != L'\0'; ++c) {
        if (c[0] == L'[' && (c[1] == L'F' || c[1] == L'T') && c[2] == L']') {
            filled += c[1] == L'F' ? verdict.Folder : verdict.Trustee;
            c += 2;
        } else {
            filled += *c;
        }
    }
    return filled;
}

namespace {

// Whether what was found is the folder made: no link, at its own path (no
// link above it either), and the very folder, not one made there since.
bool IsTheMadeFolder(const FileObject& found, const MadeRecord& record) {
    // A record written before the 128-bit id carries the file index.
    const std::wstring& identity =
        record.Identity.size() == found.IndexIdentity.size() ? found.IndexIdentity : found.Identity;
    return !found.Link && !found.Where.Empty() && found.Where == record.Path && !identity.empty() &&
           identity == record.Identity;
}

} // namespace

Removal RemovalBefore(const FileObject& found, const MadeRecord& record) {
    if (!found.Opened) {
        return found.Error == ERROR_FILE_NOT_FOUND || found.Error == ERROR_PATH_NOT_FOUND
                   ? Removal::Gone
                   : Removal::CouldNotOpen;
    }
    if (found.Where.Empty() || found.Identity.empty()) {
        return Removal::CouldNotOpen;
    }
    return IsTheMadeFolder(found, record) ? Removal::Removed : Removal::NotTheFolderMade;
}

bool Forgets(Removal removal) {
    return removal == Removal::Removed || removal == Removal::Gone ||
           removal == Removal::NotTheFolderMade;
}

const wchar_t* RemovalName(Removal removal) {
    switch (removal) {
    case Removal::Removed:
        return L"removed";
    case Removal::Gone:
        return L"gone";
    case Removal::NotTheFolderMade:
        return L"not the folder made";
    case Removal::NotEmpty:
        return L"not empty";
    case Removal::CouldNotOpen:
        break;
    }
    return L"could not open";
}

std::vector<PropertyValue> CheckProperties(const Judgement& judgement, const std::wstring& plan) {
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
        const FolderPath& moved = judgement.MovedFrom;
        properties.push_back({L"InstallDirMovedFrom", moved.Empty() ? L"" : moved.WithBackslash()});
        properties.push_back({L"InstallDirMoved", moved.Empty() ? L"" : L"1"});
    }
    // Last, once everything it vouches for is in place.
    properties.push_back({L"InstallDirAccepted", accepted ? L"1" : L""});
    return properties;
}

std::vector<PropertyValue> JavaProperties(const JavaLook& look) {
    const Verdict& changeable = look.Changeable;
    const FolderPath at = changeable.Folder;
    const std::wstring fixed = at.IsAtOrBelow(look.Home) ? look.Home : at.Text();
    return {{L"JavaRuntimeUsable", look.Usable ? L"1" : L""},
            {L"JavaRuntimeChangeable", changeable ? RefusalName(changeable.Reason) : L""},
            {L"JavaRuntimeChangeableFolder", changeable.Folder},
            {L"JavaRuntimeChangeableTrustee", changeable.Trustee},
            {L"JavaRuntimeChangeableArgument", changeable ? QuotedArgument(fixed) : L""}};
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

MaintenanceFolder MaintenanceDecision(const std::wstring& given, const std::wstring& location,
                                      bool removal) {
    return location.empty() ? MaintenanceFolder{given, !removal}
                            : MaintenanceFolder{location, false};
}

std::wstring FolderToJudge(const std::wstring& given, bool named,
                           const std::vector<std::wstring>& installed) {
    return named || installed.empty() ? given : installed.front();
}
