#include "packaging/folder_check/made_folder.h"

#include <windows.h>

#include <algorithm>
#include <functional>

#include "packaging/folder_check/folder_reading.h"
#include "packaging/folder_check/local_text.h"
#include "text/unique_handle.h"

namespace {

bool Listed(const std::vector<std::wstring>& list, const std::wstring& path) {
    return std::any_of(list.begin(), list.end(),
                       [&path](const std::wstring& item) { return SameName(item, path); });
}

} // namespace

MadeFolder ReadMadeFolder(const FolderPath& folder) {
    MadeFolder made;
    const DWORD attributes = GetFileAttributesW(folder.Text().c_str());
    const std::optional<FolderPath> final = FinalPath(folder, true);
    if (attributes == INVALID_FILE_ATTRIBUTES || !final) {
        return made;
    }
    made.Opened = true;
    made.ReparsePoint = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    made.FinalPath = *final;
    if (made.ReparsePoint) {
        return made; // refused as it is, never listed where it leads
    }
    const OwnFacts itself = ReadOwnFacts(folder.Text());
    made.Owner = itself.Owner;
    made.Sddl = itself.Sddl;
    Walk(folder, [&made](const std::wstring& path, const std::wstring& relative,
                         DWORD entryAttributes) {
        const OwnFacts own = ReadOwnFacts(path);
        made.Contents.push_back({relative, (entryAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0,
                                 own.Owner, own.Links, own.Sddl});
    });
    return made;
}

std::wstring VerificationData(const Verification& verification) {
    std::wstring data = verification.Folder.WithBackslash() + L"\n" +
                        verification.Resolved.WithBackslash() + L"\n" + verification.Account +
                        L"\n" + verification.Nearest.Text() + L"\n" + verification.Descriptor;
    for (const std::wstring& allowed : verification.Allowed) {
        data += L"\n" + allowed;
    }
    return data;
}

std::optional<Verification> ParseVerificationData(const std::wstring& data) {
    const std::vector<std::wstring> lines = Split(data, L'\n');
    if (lines.size() < 5 || lines[0].empty() || lines[1].empty() || lines[3].empty() ||
        lines[4].empty()) {
        return std::nullopt;
    }
    return Verification{lines[0], lines[1], lines[2],
                        lines[3], lines[4], {lines.begin() + 5, lines.end()}};
}

std::vector<FolderPath> FoldersToMake(const Verification& verification) {
    std::vector<FolderPath> made;
    for (FolderPath step = verification.Folder;
         step != verification.Nearest && step.IsAtOrBelow(verification.Nearest);
         step = step.Parent()) {
        made.insert(made.begin(), step);
    }
    return made;
}

FolderPath ResolvedStep(const Verification& verification, const FolderPath& step) {
    FolderPath resolved = verification.Resolved;
    for (FolderPath below = verification.Folder; below != step && !below.Empty();
         below = below.Parent()) {
        resolved = resolved.Parent();
    }
    return resolved;
}

Verdict MadeFolderRefusal(const MadeFolder& made, const Verification& verification,
                          const std::vector<std::wstring>& trusted) {
    const std::wstring& folder = verification.Folder.Text();
    if (!made.Opened) {
        return {Refusal::Unverifiable, folder};
    }
    if (made.ReparsePoint) {
        return {Refusal::Reparse, folder};
    }
    if (made.FinalPath != verification.Resolved) {
        return {Refusal::Moved, made.FinalPath.Text()};
    }
    // Whoever made it owns it, and an owner may always re-permit it.
    if (Verdict own = DescriptorRefusal(folder, made.Sddl, trusted, AddsOrWrites)) {
        return own;
    }
    for (const FolderEntry& entry : made.Contents) {
        const std::wstring path = (verification.Folder / entry.Path).Text();
        if (entry.ReparsePoint) {
            return {Refusal::Reparse, path};
        }
        if (!Listed(verification.Allowed, entry.Path)) {
            return {Refusal::Planted, path, entry.Owner};
        }
        // A second name carries its file's owner and descriptor: that file
        // may be anyone's, anywhere on the volume.
        if (entry.Links != 1) {
            return {entry.Links == 0 ? Refusal::Unverifiable : Refusal::HardLink, path};
        }
        if (Verdict own = DescriptorRefusal(path, entry.Sddl, trusted, MoreThanReadAndRun)) {
            return own;
        }
    }
    return {};
}

std::vector<std::wstring> AllowedContents(const FolderPath& folder, const PackageLayout& layout) {
    std::vector<std::wstring> allowed = layout.Folders;
    Walk(folder, [&](const std::wstring&, const std::wstring& relative, DWORD) {
        if (!Listed(allowed, relative)) {
            allowed.push_back(relative);
        }
    });
    return allowed;
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
