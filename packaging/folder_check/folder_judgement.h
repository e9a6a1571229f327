#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "packaging/folder_check/folder_path.h"
#include "packaging/folder_check/folder_plan.h"
#include "packaging/folder_check/java_look.h"
#include "packaging/folder_check/refusal.h"

// What the machine says of a folder, and its judgement, which touches no
// machine, so that every rule can be shown on facts written out.

// A folder that no installation may use: itself, or everything below it
// too. One the machine must name (Required) refuses everything when unnamed.
struct ProtectedFolder {
    FolderPath Path;
    Refusal Reason;
    bool AndBelow;
    const wchar_t* Required = nullptr; // where the machine names it, when it must
};

// An allowing entry of a descriptor, its generic rights mapped.
struct Grant {
    std::wstring Trustee; // a SID as text
    unsigned long Rights;
    bool AppliesHere; // not inherit-only
    bool Inherited;   // from the folder above: only protecting this one removes it
};

// A security descriptor as read: its owner and what it allows, parsed once
// by the reader; nothing where it could not be read.
struct DescriptorReading {
    std::wstring Owner;
    std::vector<Grant> Grants;
};
using Security = std::optional<DescriptorReading>;

// What one file-system object says of itself, read through one handle
// opened as itself (a link never followed, unless asked). What could not be
// read is marked so: not opened (and why), no place, no descriptor, no
// names, no identity; a kind that cannot be told is taken for a link.
struct FileObject {
    FolderPath Path; // as named
    bool Opened = false;
    unsigned long Error = 0; // why it could not be opened
    bool Folder = false;
    bool Link = false;     // a reparse point: a junction, symbolic link or mount point
    FolderPath Where = {}; // where it is, the links above it followed
    Security Descriptor = std::nullopt;
    unsigned long Names = 0;         // its hard links
    std::wstring Identity = {};      // its volume and 128-bit file id
    std::wstring IndexIdentity = {}; // its volume and 64-bit file index, as older records hold
};

// An existing folder on the way down from the volume's root. A link carries
// two descriptors: its target's, and its own, which says who may change it.
struct FolderOnTheWay {
    FolderPath Path;
    Security Descriptor; // where it leads, for a link
    bool ReparsePoint = false;
    Security LinkDescriptor = std::nullopt; // a link's own
    bool VolumeRoot = false; // a volume mounted in this folder: a root, as a drive's is
};

// Refusals read from the text as given, before Windows reshapes it, so
// that no call is given a text Windows would reshape or not take.
Refusal FormRefusal(const std::wstring& text);

Verdict ProtectedRefusal(const FolderPath& path, const std::vector<ProtectedFolder>& folders);

// The folders on the way, judged for the trusted (SIDs as text). A root (a
// drive's, or a mounted volume's) cannot be deleted or renamed. What they
// pass down is moot: every folder the package makes is made protected.
Verdict WayRefusal(const std::vector<FolderOnTheWay>& way,
                   const std::vector<std::wstring>& trusted);

// Refused when path's descriptor has an untrusted owner or lets an
// untrusted trustee hold any of rights on it; unverifiable when unreadable.
Verdict DescriptorRefusal(const std::wstring& path, const Security& descriptor,
                          const std::vector<std::wstring>& trusted, unsigned long rights);

// A descriptor as a log line words it.
std::wstring DescriptorLine(const Security& descriptor);

// Whether an address (as the reader writes it: one text an address) is
// this machine: loopback (127.0.0.0/8, ::1) or one of its own.
bool IsThisMachine(const std::wstring& address, const std::vector<std::wstring>& own);

// All but reading and running: what no untrusted account may hold on a
// file or folder of an upgraded installation.
constexpr unsigned long MoreThanReadAndRun = ~0x1200a9UL;
// Adding files or folders, or writing data: what no untrusted account may
// hold on the installation folder itself.
constexpr unsigned long AddsOrWrites = 0x2 | 0x4;

struct VolumeFacts {
    FolderPath Path;         // its root: C:\, or the folder it is mounted in
    unsigned DriveType = 0;  // GetDriveType's answer
    unsigned long Flags = 0; // GetVolumeInformation's file-system flags; 0: unreadable
};

// The folder as it now is, and, unless it is a link, all it holds, each
// read as itself.
struct MadeFolder {
    FileObject Itself;
    std::vector<FileObject> Contents = {};
};

struct FolderFacts {
    std::wstring Text;            // as given
    FolderPath Folder;            // as Windows will create it; empty: it cannot be told
    bool HoldsInCodePage = false; // the launcher could start from it, narrowed exactly
    // A network folder: its server's addresses and this machine's own.
    std::vector<std::wstring> ServerAddresses, OwnAddresses;
    // A local one, read down to where the reading had to stop:
    VolumeFacts Volume;          // the drive it is given on
    FolderPath Unreadable;       // a folder of the way that failed to open for other than absence
    FolderPath Nearest;          // the nearest that exists, the folder itself included
    bool NearestIsFolder = true; // false: a file stands there
    std::optional<FolderPath> FinalNearest; // where Nearest leads; nothing: it cannot be opened
    VolumeFacts ResolvedVolume;             // the volume where the folder's links lead
    // Both: the folder itself, where it exists, and what it holds, each
    // thing read once (a link is never listed).
    bool Exists = false;
    bool Empty = false;
    Security Descriptor;
    MadeFolder Found = {};
    std::vector<FolderPath>
        InstalledAt; // where the product is installed, as Windows will create it
    // The way from the volume's root down to Nearest, and to where it leads.
    std::vector<FolderOnTheWay> Way, WayToWhereItLeads;
};

// Where the folder is, its links followed: FinalNearest and what is still
// to be made below it. Empty where it cannot be told.
FolderPath ResolvedFolder(const FolderFacts& facts);

// What a machine's facts are worth logging, one line each.
std::vector<std::wstring> FactLines(const FolderFacts& facts);

struct Judgement {
    Verdict Result;
    FolderPath Folder;         // as Windows will create it
    FolderPath Resolved;       // where that is, every link followed
    bool Existed = false;      // the folder existed as it was judged: an upgrade in place
    FolderPath Nearest;        // the nearest folder that existed, the folder itself included
    MadeFolder Found = {};     // on an upgrade in place, the folder and all it held when judged
    FolderPath MovedFrom = {}; // where Windows Installer has the older version, on a move
};

// How far below the installation folder the package reaches: its longest
// file and its deepest folder, as paths relative to it.
struct PackageReach {
    std::size_t LongestFile = 0;
    std::size_t DeepestFolder = 0;
};

// What the machine says, whoever installs.
struct Machine {
    std::vector<ProtectedFolder> Protected;
    std::vector<std::wstring> OwnNames;
    std::vector<std::wstring> Trusted; // ReadTrustedAccounts
};

// Whether the folder may receive the application: an ordered list of rules,
// the first refusal wins.
Judgement JudgeFolder(const FolderFacts& facts, const Machine& machine, const PackageReach& reach);

// Who may own and change the folders on the way: SYSTEM, Administrators
// and their direct members, TrustedInstaller, CREATOR OWNER, OWNER RIGHTS,
// and the installing account only when it is an administrator (a standard
// user could later rename and replace what it owns).
std::vector<std::wstring> TrustedTrustees(const std::wstring& administrator,
                                          const std::vector<std::wstring>& administrators);

// What the installing account's token says of it. An administrator whom
// UAC gave a limited token holds Administrators only in its linked one.
struct AccountToken {
    bool System = false;
    bool Member = false;       // Administrators, in the token itself
    bool Limited = false;      // the limited token of a split pair
    bool LinkedMember = false; // Administrators, in its linked (elevated) token
};
bool CountsAsAdministrator(const AccountToken& token);

// Whether the folder made is the folder judged: no link, leading where it
// led, trusted and closed to others' writing, holding only what is allowed,
// each thing no link, of one name, trusted, and others' only to read and
// run; judged for the accounts the check trusted.
Verdict MadeFolderRefusal(const MadeFolder& made, const FolderPlan& plan);

// What the check finds in folders it did not make, before anything is made
// or removed: an upgrade's own folder (all it may keep), and, on a move,
// the older version's folder (older), judged as a Java home is: SYSTEM
// deletes there by path, through any link in it. An older folder that is
// gone holds nothing to delete.
Verdict FoundFolderRefusal(const Judgement& judgement, const FolderPlan& plan,
                           const MadeFolder& older);

// Whether others may change the Java the launcher will start for every
// user: the way down to its home (links by their own descriptors), the
// home, and all it holds, each by the rules an upgraded installation
// folder and what it holds are judged by.
Verdict JavaRefusal(const std::vector<FolderOnTheWay>& way, const MadeFolder& home,
                    const std::vector<std::wstring>& trusted);

// The folders to make, from the first below the nearest existing one down
// to the folder itself (none on an upgrade in place), then the package's
// folders below it that were not there.
std::vector<FolderPath> FoldersToMake(const FolderPlan& plan);
// Where a folder to make really is: the same step of where the check said
// the folder leads, below any link it accepted.
FolderPath ResolvedStep(const FolderPlan& plan, const FolderPath& step);

// The package's folders, relative to the installation folder, and how far
// below it it reaches.
struct PackageLayout {
    std::vector<std::wstring> Folders;
    PackageReach Reach = {};
};

// What may stand in the folder when made: the package's folders, and on an
// upgrade in place all it held when judged (the older version's files,
// which one in use keeps there, and what an administrator added), each
// judged as a file.
std::vector<std::wstring> AllowedContents(const Judgement& judgement, const PackageLayout& layout);

// What the deferred actions are handed for an accepted folder: a network
// folder alone, its share's own permissions governing it; else where it
// leads, the nearest folder that existed, the lock, the accounts the check
// trusted, and what may stand in it.
FolderPlan PlanFor(const Judgement& judgement, const Machine& machine, const std::wstring& lock,
                   const PackageLayout& layout);

// What the second look found, in the administrators' language.
std::wstring Finding(const Verdict& verdict);

// A folder as made: where it really is (below any link the check accepted),
// what it is (its volume and file id), and the product whose install made it.
struct MadeRecord {
    FolderPath Path;
    std::wstring Identity;
    std::wstring Product;
};

// What became of a recorded folder; its record is forgotten only where the
// folder is removed, gone, or no longer the folder made.
enum class Removal { Removed, Gone, NotTheFolderMade, NotEmpty, CouldNotOpen };
// What a recorded folder's reading says before its removal: gone only where
// nothing is there; not to be opened, or where or what it is not to be
// told, kept for a later look; not the folder made; else Removed: the
// folder made, to be taken away through that handle once empty.
Removal RemovalBefore(const FileObject& found, const MadeRecord& record);
bool Forgets(Removal removal);
const wchar_t* RemovalName(Removal removal);

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
std::vector<PropertyValue> CheckProperties(const Judgement& judgement, const std::wstring& plan);

// What the Java look leaves for its launch conditions: JavaRuntimeUsable 1
// only where the launcher will start a runtime, and, where others may
// change it, JavaRuntimeChangeable (the reason's keyword), its folder,
// trustee, and the folder a command makes the administrators' alone, as a
// command's argument (the home, or the folder above it at fault).
std::vector<PropertyValue> JavaProperties(const JavaLook& look);

// A path as one argument of a typed command line: quoted, and a backslash
// before the closing quote doubled, so that D:\ stays D:\ and not D:".
std::wstring QuotedArgument(const std::wstring& path);

// Sets every property, in order; false as soon as one cannot be set, and
// then the install must stop.
bool SetProperties(const std::vector<PropertyValue>& properties,
                   const std::function<bool(const wchar_t*, const std::wstring&)>& set);

// A maintenance run's folder: the product's location, whatever INSTALLDIR
// says; where Windows Installer cannot say ("") it is refused, a removal never.
struct MaintenanceFolder {
    std::wstring Folder;
    bool Refused = false;
};
MaintenanceFolder MaintenanceDecision(const std::wstring& given, const std::wstring& location,
                                      bool removal);

// The folder an install judges: the one INSTALLDIR names (named: given on
// the command line or by the UI), or, for an upgrade that names none, the
// one Windows Installer has the older version in, its one record of where
// the product is.
std::wstring FolderToJudge(const std::wstring& given, bool named,
                           const std::vector<std::wstring>& installed);
