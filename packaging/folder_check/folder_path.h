#pragma once

#include <string>
#include <vector>

// Whether two names are one, without letter case.
bool SameName(const std::wstring& a, const std::wstring& b);

// The parts of a text between separators, empty ones kept; and back.
std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator);
std::wstring Joined(const std::vector<std::wstring>& parts, const std::wstring& separator);

// A full folder path, C:\... or \\server\share\..., that knows its root:
// without a final backslash but at the root, compared without letter case.
class FolderPath {
public:
    FolderPath() = default;
    FolderPath(std::wstring text);
    FolderPath(const wchar_t* text) : FolderPath(std::wstring(text)) {}

    const std::wstring& Text() const { return text_; }
    // As Windows Installer writes folders.
    std::wstring WithBackslash() const;
    bool Empty() const { return text_.empty(); }
    bool IsNetwork() const;
    FolderPath Root() const;
    bool IsRoot() const { return !Empty() && text_.size() <= root_; }
    // A network path's server and share.
    std::wstring Server() const;
    std::wstring Share() const;
    // The folder that holds this one; empty at a root.
    FolderPath Parent() const;
    FolderPath operator/(const std::wstring& relative) const;
    bool IsAtOrBelow(const FolderPath& folder) const;
    // What lies below folder on the way to this path, as a relative path.
    std::wstring Below(const FolderPath& folder) const;
    bool operator==(const FolderPath& other) const;
    bool operator!=(const FolderPath& other) const { return !(*this == other); }

private:
    std::wstring text_;
    std::size_t root_ = 0;
};
