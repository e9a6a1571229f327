#include "packaging/folder_check/folder_path.h"

#include <windows.h>

bool SameName(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (size_t end; (end = text.find(separator, start)) != std::wstring::npos; start = end + 1) {
        parts.push_back(text.substr(start, end - start));
    }
    parts.push_back(text.substr(start));
    return parts;
}

std::wstring Joined(const std::vector<std::wstring>& parts, const std::wstring& separator) {
    std::wstring joined;
    for (const std::wstring& part : parts) {
        joined += (joined.empty() ? L"" : separator) + part;
    }
    return joined;
}

FolderPath::FolderPath(std::wstring text) : text_(std::move(text)) {
    if (text_.rfind(L"\\\\", 0) != 0) {
        root_ = std::min<std::size_t>(text_.size(), 3);
    } else {
        const size_t server = text_.find(L'\\', 2);
        const size_t share = server == std::wstring::npos ? server : text_.find(L'\\', server + 1);
        if (share == std::wstring::npos) {
            text_ += L'\\';
        }
        root_ = share == std::wstring::npos ? text_.size() : share + 1;
    }
    while (text_.size() > root_ && text_.back() == L'\\') {
        text_.pop_back();
    }
}

std::wstring FolderPath::WithBackslash() const {
    return Empty() || IsRoot() ? text_ : text_ + L"\\";
}

bool FolderPath::IsNetwork() const {
    return text_.rfind(L"\\\\", 0) == 0;
}

FolderPath FolderPath::Root() const {
    return text_.substr(0, root_);
}

std::wstring FolderPath::Server() const {
    return text_.substr(2, text_.find(L'\\', 2) - 2);
}

std::wstring FolderPath::Share() const {
    const size_t server = text_.find(L'\\', 2);
    return text_.substr(server + 1, root_ - server - 2);
}

FolderPath FolderPath::Parent() const {
    if (Empty() || IsRoot()) {
        return {};
    }
    const size_t cut = text_.rfind(L'\\');
    return text_.substr(0, cut < root_ ? root_ : cut);
}

FolderPath FolderPath::operator/(const std::wstring& relative) const {
    return relative.empty() ? *this : FolderPath(WithBackslash() + relative);
}

bool FolderPath::IsAtOrBelow(const FolderPath& folder) const {
    // An unset folder (System64Folder on 32-bit Windows) holds nothing.
    const std::wstring& base = folder.text_;
    if (base.empty() || text_.size() < base.size() ||
        !SameName(text_.substr(0, base.size()), base)) {
        return false;
    }
    return text_.size() == base.size() || base.back() == L'\\' || text_[base.size()] == L'\\';
}

std::wstring FolderPath::Below(const FolderPath& folder) const {
    return IsAtOrBelow(folder) && *this != folder ? text_.substr(folder.WithBackslash().size())
                                                  : std::wstring();
}

bool FolderPath::operator==(const FolderPath& other) const {
    return SameName(text_, other.text_);
}
