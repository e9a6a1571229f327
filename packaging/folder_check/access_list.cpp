#include "packaging/folder_check/access_list.h"

#include <windows.h>

#include "packaging/folder_check/local_text.h"

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

} // namespace

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

std::optional<DescriptorReading> ReadDescriptor(const std::optional<std::wstring>& sddl) {
    const LocalPointer<void> descriptor = sddl ? DescriptorFromText(*sddl) : nullptr;
    return descriptor ? ReadDescriptor(descriptor.get()) : std::nullopt;
}
