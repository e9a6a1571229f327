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
    MadeFolder made = {ReadObject(folder)};
    if (!made.Itself.Opened || made.Itself.Link) {
        return made; // refused as it is, never listed where it leads
    }
    Walk(folder, [&made](const std::wstring& path, const std::wstring&, DWORD) {
        made.Contents.push_back(ReadObject(path));
    });
    return made;
}

// One line a field, the accounts on one; the allowed paths last, a line each.
std::wstring PlanData(const FolderPlan& plan) {
    std::wstring trusted;
    for (const std::wstring& account : plan.Trusted) {
        trusted += (trusted.empty() ? L"" : L" ") + account;
    }
    std::wstring data = plan.Folder.WithBackslash() + (plan.Network ? L"\nnetwork" : L"\nlocal") +
                        L"\n" + plan.Resolved.WithBackslash() + L"\n" + plan.Nearest.Text() +
                        L"\n" + plan.Descriptor + L"\n" + trusted;
    for (const std::wstring& allowed : plan.Allowed) {
        data += L"\n" + allowed;
    }
    return data;
}

std::optional<FolderPlan> ParsePlanData(const std::wstring& data) {
    const std::vector<std::wstring> lines = Split(data, L'\n');
    if (lines.size() < 6 || lines[0].empty()) {
        return std::nullopt;
    }
    if (lines[1] == L"network") {
        return FolderPlan{lines[0], true};
    }
    if (lines[1] != L"local" || lines[2].empty() || lines[3].empty() || lines[4].empty() ||
        lines[5].empty()) {
        return std::nullopt;
    }
    return FolderPlan{lines[0],
                      false,
                      lines[2],
                      lines[3],
                      lines[4],
                      Split(lines[5], L' '),
                      {lines.begin() + 6, lines.end()}};
}

std::vector<FolderPath> FoldersToMake(const FolderPlan& plan) {
    std::vector<FolderPath> made;
    for (FolderPath step = plan.Folder; step != plan.Nearest && step.IsAtOrBelow(plan.Nearest);
         step = step.Parent()) {
        made.insert(made.begin(), step);
    }
    return made;
}

FolderPath ResolvedStep(const FolderPlan& plan, const FolderPath& step) {
    FolderPath resolved = plan.Resolved;
    for (FolderPath below = plan.Folder; below != step && !below.Empty(); below = below.Parent()) {
        resolved = resolved.Parent();
    }
    return resolved;
}

Verdict MadeFolderRefusal(const MadeFolder& made, const FolderPlan& plan) {
    const std::vector<std::wstring>& trusted = plan.Trusted;
    const std::wstring& folder = plan.Folder.Text();
    const FileObject& itself = made.Itself;
    if (!itself.Opened || itself.Where.Empty()) {
        return {Refusal::Unverifiable, folder};
    }
    if (itself.Link) {
        return {Refusal::Reparse, folder};
    }
    if (itself.Where != plan.Resolved) {
        return {Refusal::Moved, itself.Where.Text()};
    }
    // Whoever made it owns it, and an owner may always re-permit it.
    if (Verdict own = DescriptorRefusal(folder, itself.Descriptor, trusted, AddsOrWrites)) {
        return own;
    }
    for (const FileObject& entry : made.Contents) {
        const std::wstring& path = entry.Path.Text();
        if (entry.Link) {
            return {Refusal::Reparse, path};
        }
        if (!Listed(plan.Allowed, entry.Path.Below(plan.Folder))) {
            return {Refusal::Planted, path, entry.Descriptor ? entry.Descriptor->Owner : L""};
        }
        // A second name carries its file's owner and descriptor: that file
        // may be anyone's, anywhere on the volume.
        if (entry.Names != 1) {
            return {entry.Names == 0 ? Refusal::Unverifiable : Refusal::HardLink, path};
        }
        if (Verdict own = DescriptorRefusal(path, entry.Descriptor, trusted, MoreThanReadAndRun)) {
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
