#include "packaging/folder_check/folder_rules.h"

#include <windows.h>

#include <algorithm>
#include <string_view>

#include "packaging/folder_check/local_text.h"

namespace {

// What others may not hold on a folder on the way: delete or rename it,
// change its permissions or owner, or delete and rename what is in it.
constexpr ACCESS_MASK Dangerous = DELETE | WRITE_DAC | WRITE_OWNER | FILE_DELETE_CHILD;
constexpr ACCESS_MASK DangerousOnARoot = WRITE_DAC | WRITE_OWNER | FILE_DELETE_CHILD;
// On a link, also what changes where it leads.
constexpr ACCESS_MASK ChangesALink = Dangerous | FILE_WRITE_DATA | FILE_WRITE_ATTRIBUTES;

// The allowing entries of a descriptor given as text.
std::optional<DescriptorReading> Read(const std::optional<std::wstring>& sddl) {
    const LocalPointer<void> descriptor = sddl ? DescriptorFromText(*sddl) : nullptr;
    return descriptor ? ReadDescriptor(descriptor.get()) : std::nullopt;
}

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

} // namespace

bool Trusted(const std::wstring& sid, const std::vector<std::wstring>& trusted) {
    return std::find(trusted.begin(), trusted.end(), sid) != trusted.end();
}

namespace {

// A device Windows finds in every folder, whatever the extension.
bool IsDeviceName(const std::wstring& name) {
    std::wstring base = name.substr(0, name.find(L'.'));
    while (!base.empty() && base.back() == L' ') {
        base.pop_back();
    }
    for (wchar_t& c : base) {
        c = static_cast<wchar_t>(towupper(c));
    }
    if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL") {
        return true;
    }
    const bool port =
        base.size() == 4 && (base.rfind(L"COM", 0) == 0 || base.rfind(L"LPT", 0) == 0);
    const wchar_t digit = port ? base[3] : L'\0';
    return (digit >= L'0' && digit <= L'9') || digit == L'\u00b9' || digit == L'\u00b2' ||
           digit == L'\u00b3';
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

} // namespace

Refusal FormRefusal(const std::wstring& text) {
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

Refusal NetworkRefusal(const std::wstring& server, const std::wstring& share,
                       const std::vector<std::wstring>& ownNames) {
    // An address, IPv6 ones too, is judged once resolved; these are names.
    const bool loopback =
        SameName(server, L"localhost") || server.rfind(L"127.", 0) == 0 ||
        std::any_of(ownNames.begin(), ownNames.end(), [&server](const std::wstring& own) {
            return !own.empty() && SameName(server, own);
        });
    if (loopback || IsAdministrativeShare(share)) {
        return Refusal::Loopback;
    }
    return Refusal::None;
}

Refusal VolumeRefusal(unsigned driveType, unsigned long volumeFlags) {
    if (driveType == DRIVE_REMOTE || driveType == DRIVE_NO_ROOT_DIR || driveType == DRIVE_UNKNOWN) {
        return Refusal::Mapped;
    }
    return (volumeFlags & FILE_PERSISTENT_ACLS) == 0 ? Refusal::NoPermissions : Refusal::None;
}

Verdict ProtectedRefusal(const FolderPath& path, const std::vector<ProtectedFolder>& folders) {
    for (const ProtectedFolder& folder : folders) {
        if (folder.Required != nullptr && folder.Path.Empty()) {
            return {Refusal::Unverifiable, folder.Required, {}};
        }
        if (folder.AndBelow ? path.IsAtOrBelow(folder.Path) : path == folder.Path) {
            return {folder.Reason, folder.Path.Text(), {}};
        }
    }
    return {};
}

namespace {

// What an untrusted trustee may not do to path: own it (its owner may
// always rewrite its permissions), hold any of Here on it, or pass any of
// PassedDown to the folders made below it.
struct Forbidden {
    unsigned long Here;
    unsigned long PassedDown = 0;
    Refusal Owned = Refusal::Owner;
    Refusal Granted = Refusal::Writable;
};

Verdict Untrusted(const std::wstring& path, const std::optional<std::wstring>& sddl,
                  const std::vector<std::wstring>& trusted, const Forbidden& forbidden) {
    const auto read = Read(sddl);
    if (!read) {
        return {Refusal::Unverifiable, path, {}};
    }
    if (!Trusted(read->Owner, trusted)) {
        return {forbidden.Owned, path, read->Owner};
    }
    for (const Grant& grant : read->Grants) {
        if (Trusted(grant.Trustee, trusted)) {
            continue;
        }
        if (grant.AppliesHere && (grant.Rights & forbidden.Here) != 0) {
            return {forbidden.Granted, path, grant.Trustee};
        }
        if (grant.ToNewSubfolders && (grant.Rights & forbidden.PassedDown) != 0) {
            return {Refusal::Inherits, path, grant.Trustee};
        }
    }
    return {};
}

} // namespace

Verdict DescriptorRefusal(const std::wstring& path, const std::optional<std::wstring>& sddl,
                          const std::vector<std::wstring>& trusted, unsigned long rights) {
    return Untrusted(path, sddl, trusted, {rights});
}

Verdict WayRefusal(const std::vector<FolderOnTheWay>& way, const std::vector<std::wstring>& trusted,
                   bool createsFolders) {
    for (size_t i = 0; i < way.size(); ++i) {
        const FolderOnTheWay& folder = way[i];
        const std::wstring& path = folder.Path.Text();
        // Who may change where a link leads: its owner, and what it grants.
        const Forbidden link = {ChangesALink, 0, Refusal::Reparse, Refusal::Reparse};
        if (Verdict verdict =
                folder.ReparsePoint ? Untrusted(path, folder.LinkSddl, trusted, link) : Verdict{};
            verdict.Reason != Refusal::None) {
            return verdict;
        }
        const bool root = folder.VolumeRoot || folder.Path.IsRoot();
        const bool last = i + 1 == way.size();
        if (Verdict verdict = Untrusted(
                path, folder.Sddl, trusted,
                {root ? DangerousOnARoot : Dangerous, last && createsFolders ? Dangerous : 0});
            verdict.Reason != Refusal::None) {
            return verdict;
        }
    }
    return {};
}

std::optional<DescriptorReading> ReadDescriptor(void* descriptor) {
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
        reading.Grants.push_back({L"S-1-1-0", FILE_ALL_ACCESS, true, true});
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
                                  (header->AceFlags & CONTAINER_INHERIT_ACE) != 0});
    }
    return reading;
}
