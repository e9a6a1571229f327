#pragma once

#include <optional>
#include <string>
#include <vector>

// An allowing entry of a descriptor, its generic rights mapped.
struct Grant {
    std::wstring Trustee; // a SID as text
    unsigned long Rights;
    bool AppliesHere;     // not inherit-only
    bool ToNewSubfolders; // container-inherit
};

struct DescriptorReading {
    std::wstring Owner;
    std::vector<Grant> Grants;
};

// A security descriptor's owner and what it allows; nothing when it cannot
// be read.
std::optional<DescriptorReading> ReadDescriptor(void* descriptor);
// The same of a descriptor given as text (owner and access list).
std::optional<DescriptorReading> ReadDescriptor(const std::optional<std::wstring>& sddl);
