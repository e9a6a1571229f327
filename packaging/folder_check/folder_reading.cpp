#include "packaging/folder_check/folder_reading.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <stdexcept>

#include "packaging/folder_check/machine.h"
#include "text/conversion.h"
#include "text/unique_handle.h"

namespace {

// The trustee of an allowing entry: an object entry's SID follows the
// object types its flags say it holds.
PSID AllowedTrustee(ACE_HEADER* header) {
    if (header->AceType == ACCESS_ALLOWED_ACE_TYPE ||
        header->AceType == ACCESS_ALLOWED_CALLBACK_ACE_TYPE) {
        return &reinterpret_cast<ACCESS_ALLOWED_ACE*>(header)->SidStart;
    }
    auto* object = reinterpret_cast<ACCESS_ALLOWED_OBJECT_ACE*>(header);
    auto* types = reinterpret_cast<unsigned char*>(&object->ObjectType);
    const size_t skipped =
        ((object->Flags & ACE_OBJECT_TYPE_PRESENT) != 0 ? sizeof(GUID) : 0) +
        ((object->Flags & ACE_INHERITED_OBJECT_TYPE_PRESENT) != 0 ? sizeof(GUID) : 0);
    return types + skipped;
}

DWORD Attributes(const FolderPath& path) {
    return GetFileAttributesW(path.Text().c_str());
}

// FILE_ID_INFO and its class, which the headers give only to programs for
// Windows 8; the package also installs on 7, where the file index stands in.
struct FileIdInformation {
    ULONGLONG VolumeSerialNumber;
    BYTE FileId[16];
};
constexpr auto FileIdInformationClass = static_cast<FILE_INFO_BY_HANDLE_CLASS>(18);

// Where an opened thing is, in the ordinary C:\ or \\server\share form.
FolderPath WhereOpened(HANDLE opened) {
    const std::optional<std::wstring> read = GrownText([opened](wchar_t* buffer, DWORD size) {
        return GetFinalPathNameByHandleW(opened, buffer, size, VOLUME_NAME_DOS);
    });
    if (!read || read->empty()) {
        return {};
    }
    if (read->rfind(L"\\\\?\\UNC\\", 0) == 0) {
        return L"\\" + read->substr(7);
    }
    return read->rfind(L"\\\\?\\", 0) == 0 ? read->substr(4) : *read;
}

// What an opened thing is: its kind and names; a kind that cannot be told
// counts as a link.
void ReadKind(HANDLE opened, Follow follow, FileObject& read) {
    FILE_STANDARD_INFO standard{};
    FILE_BASIC_INFO basic{};
    if (!GetFileInformationByHandleEx(opened, FileStandardInfo, &standard, sizeof standard) ||
        !GetFileInformationByHandleEx(opened, FileBasicInfo, &basic, sizeof basic)) {
        read.Link = true;
        return;
    }
    read.Folder = standard.Directory != FALSE;
    read.Names = standard.NumberOfLinks;
    // Read as itself, asked by the name too, where Wine alone tells a link
    // (its handle is the target's): either saying so, or the name not
    // answering, makes a link.
    const DWORD named = follow == Follow::No ? Attributes(read.Path) : 0;
    read.Link = ((basic.FileAttributes | named) & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Which thing it is: its volume and 128-bit file id where Windows has it
// (the index is not unique on ReFS), and its volume and older file index.
void ReadIdentity(HANDLE opened, FileObject& read) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(opened, &information)) {
        return;
    }
    wchar_t index[32] = {};
    swprintf(index, 32, L"%08lx-%08lx%08lx", information.dwVolumeSerialNumber,
             information.nFileIndexHigh, information.nFileIndexLow);
    read.Identity = read.IndexIdentity = index;
    FileIdInformation id{};
    if (GetFileInformationByHandleEx(opened, FileIdInformationClass, &id, sizeof id)) {
        wchar_t text[64] = {};
        swprintf(text, 64, L"%016llx-", id.VolumeSerialNumber);
        for (int i = 15; i >= 0; --i) {
            swprintf(text + wcslen(text), 3, L"%02x", id.FileId[i]);
        }
        read.Identity = text;
    }
}

// Opened and read as OpenObject says; its identity only where asked (it
// costs a look at the volume each time).
OpenedObject Open(const FolderPath& path, unsigned long access, Follow follow, bool identity) {
    const DWORD flags =
        FILE_FLAG_BACKUP_SEMANTICS | (follow == Follow::No ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    OpenedObject opened{
        UniqueFile(CreateFileW(path.Text().c_str(), access | FILE_READ_ATTRIBUTES | READ_CONTROL,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, flags, nullptr)),
        {path}};
    FileObject& read = opened.Read;
    if (!opened.Handle) {
        read.Error = GetLastError();
        return opened;
    }
    read.Opened = true;
    ReadKind(opened.Handle.get(), follow, read);
    if (identity) {
        ReadIdentity(opened.Handle.get(), read);
    }
    read.Where = WhereOpened(opened.Handle.get());
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(opened.Handle.get(), SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr,
                        nullptr, nullptr, &descriptor) == ERROR_SUCCESS) {
        const LocalPointer<void> owned(descriptor);
        read.Descriptor = ReadDescriptor(descriptor);
    }
    return opened;
}

// A volume's drive type and flags; no flags where they cannot be read.
VolumeFacts ReadVolume(const FolderPath& volume) {
    DWORD flags = 0;
    const UINT type = GetDriveTypeW(volume.WithBackslash().c_str());
    if (!GetVolumeInformationW(volume.WithBackslash().c_str(), nullptr, 0, nullptr, nullptr, &flags,
                               nullptr, 0)) {
        flags = 0;
    }
    return {volume, type, flags};
}

} // namespace

FolderPath FolderAsCreated(const std::wstring& text) {
    const FolderPath full = RequiredText(L"GetFullPathNameW", [&text](wchar_t* buffer, DWORD size) {
        return GetFullPathNameW(text.c_str(), size, buffer, nullptr);
    });
    FolderPath existing = full;
    while (Attributes(existing) == INVALID_FILE_ATTRIBUTES) {
        existing = existing.Parent();
        if (existing.Empty()) {
            return full; // not even its root exists
        }
    }
    const FolderPath longName =
        RequiredText(L"GetLongPathNameW", [&existing](wchar_t* buffer, DWORD size) {
            return GetLongPathNameW(existing.Text().c_str(), buffer, size);
        });
    return longName / full.Below(existing);
}

FolderFacts ReadFolderFacts(const std::wstring& text,
                            const std::vector<std::wstring>& installedLocations) {
    FolderFacts facts;
    facts.Text = text;
    if (FormRefusal(text) != Refusal::None) {
        return facts;
    }
    facts.Folder = FolderAsCreated(text);
    facts.HoldsInCodePage = ToNarrowExact(facts.Folder.Text()).has_value();
    for (const std::wstring& location : installedLocations) {
        facts.InstalledAt.push_back(FolderAsCreated(location));
    }
    const FileObject folder = ReadObject(facts.Folder);
    facts.Exists = folder.Opened;
    if (facts.Folder.IsRoot()) {
        return facts;
    }
    if (facts.Folder.IsNetwork()) {
        facts.ServerAddresses = ServerAddresses(facts.Folder.Server());
        facts.OwnAddresses = OwnAddresses();
        return facts;
    }
    facts.Volume = ReadVolume(facts.Folder.Root());
    FolderPath nearest = facts.Folder;
    FileObject read = folder;
    while (!nearest.Empty() && !read.Opened) {
        // Absent is the only failure that says nothing is there.
        if (read.Error != ERROR_FILE_NOT_FOUND && read.Error != ERROR_PATH_NOT_FOUND) {
            facts.Unreadable = nearest;
            return facts;
        }
        nearest = nearest.Parent();
        read = nearest.Empty() ? FileObject{} : ReadObject(nearest);
    }
    facts.Nearest = nearest;
    facts.NearestIsFolder = nearest.Empty() || read.Folder;
    // A link's own place is where it stands: where it leads is read there.
    const FolderPath leads = read.Link ? ReadObject(nearest, Follow::Yes).Where : read.Where;
    if (nearest.Empty() || !facts.NearestIsFolder || leads.Empty()) {
        return facts;
    }
    facts.FinalNearest = leads;
    facts.ResolvedVolume = ReadVolume(VolumePath(ResolvedFolder(facts)));
    if (facts.Exists) {
        facts.Found = ReadMadeFolder(facts.Folder, folder);
        facts.Empty = facts.Found.Contents.empty();
        if (folder.Link) {
            // Never listed as what it holds; empty or not where it leads.
            Walk(facts.Folder, [&facts](const std::wstring&, const std::wstring&, DWORD) {
                facts.Empty = false;
            });
        }
        facts.Descriptor =
            folder.Link ? ReadObject(facts.Folder, Follow::Yes).Descriptor : folder.Descriptor;
    }
    facts.Way = WayDownTo(nearest);
    if (*facts.FinalNearest != nearest) {
        facts.WayToWhereItLeads = WayDownTo(*facts.FinalNearest);
    }
    return facts;
}

Judgement JudgeInstallFolder(const std::wstring& text, const Machine& machine,
                             const PackageReach& reach,
                             const std::vector<std::wstring>& installedLocations,
                             const std::function<void(const std::wstring&)>& log) {
    try {
        const FolderFacts facts = ReadFolderFacts(text, installedLocations);
        for (const std::wstring& line : FactLines(facts)) {
            log(line);
        }
        return JudgeFolder(facts, machine, reach);
    } catch (const InstallCancelled&) {
        throw;
    } catch (...) {
        Judgement refused;
        refused.Result = {Refusal::Unverifiable, text};
        return refused;
    }
}

std::vector<FolderOnTheWay> WayDownTo(const FolderPath& last) {
    std::vector<FolderOnTheWay> way;
    for (FolderPath step = last; !step.Empty(); step = step.Parent()) {
        // A link says who may change where it leads; what it leads to, the rest.
        FileObject itself = ReadObject(step);
        const bool link = itself.Opened && itself.Link;
        way.insert(way.begin(),
                   {step, link ? ReadObject(step, Follow::Yes).Descriptor : itself.Descriptor, link,
                    link ? std::move(itself.Descriptor) : std::nullopt, VolumePath(step) == step});
    }
    return way;
}

void Walk(const FolderPath& folder, const Visit& visit, const std::wstring& relative) {
    WIN32_FIND_DATAW found{};
    const UniqueSearch search(FindFirstFileExW(((folder / relative).WithBackslash() + L"*").c_str(),
                                               FindExInfoBasic, &found, FindExSearchNameMatch,
                                               nullptr, 0));
    if (!search) {
        ThrowLastError(L"FindFirstFileExW");
    }
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        const std::wstring path = relative.empty() ? name : relative + L"\\" + name;
        const DWORD attributes = found.dwFileAttributes;
        visit((folder / path).Text(), path, attributes);
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
            Walk(folder, visit, path);
        }
    } while (FindNextFileW(search.get(), &found));
    if (GetLastError() != ERROR_NO_MORE_FILES) {
        ThrowLastError(L"FindNextFileW");
    }
}

FolderPath VolumePath(const FolderPath& path, VolumePathCall call) {
    // Room for any path: through a link, the volume may be longer than the path.
    std::wstring volume(32767, L'\0');
    if (!call(path.Text().c_str(), volume.data(), static_cast<DWORD>(volume.size()))) {
        ThrowLastError(L"GetVolumePathNameW");
    }
    return volume.c_str();
}

OpenedObject OpenObject(const FolderPath& path, unsigned long access, Follow follow) {
    return Open(path, access, follow, true);
}

FileObject ReadObject(const FolderPath& path, Follow follow) {
    return Open(path, 0, follow, false).Read;
}

Security ReadDescriptor(PSECURITY_DESCRIPTOR descriptor) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    BOOL present = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) || owner == nullptr ||
        !GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted)) {
        return std::nullopt;
    }
    DescriptorReading reading{SidText(owner), {}};
    // A null access list is everyone with every right.
    if (!present || dacl == nullptr) {
        reading.Grants.push_back({L"S-1-1-0", FILE_ALL_ACCESS, true, false});
        return reading;
    }
    GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                            FILE_ALL_ACCESS};
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(dacl, i, &entry)) {
            return std::nullopt;
        }
        auto* header = static_cast<ACE_HEADER*>(entry);
        // Denials are not counted: a grant they might cancel still refuses.
        // Allow-object entries grant as plain ones do.
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE &&
            header->AceType != ACCESS_ALLOWED_CALLBACK_ACE_TYPE &&
            header->AceType != ACCESS_ALLOWED_OBJECT_ACE_TYPE &&
            header->AceType != ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE) {
            continue;
        }
        // The mask stands right after the header in every allowing entry.
        ACCESS_MASK rights = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header)->Mask;
        MapGenericMask(&rights, &mapping);
        reading.Grants.push_back({SidText(AllowedTrustee(header)), rights,
                                  (header->AceFlags & INHERIT_ONLY_ACE) == 0,
                                  (header->AceFlags & INHERITED_ACE) != 0});
    }
    return reading;
}

MadeFolder ReadMadeFolder(const FolderPath& folder, std::optional<FileObject> itself) {
    MadeFolder made = {itself ? *std::move(itself) : ReadObject(folder)};
    if (!made.Itself.Opened || made.Itself.Link) {
        return made; // refused as it is, never listed where it leads
    }
    Walk(folder, [&made](const std::wstring& path, const std::wstring&, DWORD) {
        made.Contents.push_back(ReadObject(path));
    });
    return made;
}

std::wstring SidText(PSID sid) {
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) {
        return {};
    }
    const LocalPointer<wchar_t> owned(text);
    return text;
}

LocalPointer<void> DescriptorFromText(const std::wstring& sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        return nullptr;
    }
    return LocalPointer<void>(descriptor);
}

void ThrowLastError(const wchar_t* call) {
    throw CallFailed{call, GetLastError()};
}
