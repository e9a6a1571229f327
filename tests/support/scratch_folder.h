#pragma once

#include <filesystem>
#include <string>

// A fresh folder under the Windows temp folder, removed with all it holds.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::wstring& leaf = L"scratch");
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::wstring Text() const { return path_.wstring(); }

private:
    std::filesystem::path path_;
};

// Makes a folder the current directory for a scope.
class CurrentDirectoryScope {
public:
    explicit CurrentDirectoryScope(const std::wstring& directory);
    ~CurrentDirectoryScope();
    CurrentDirectoryScope(const CurrentDirectoryScope&) = delete;
    CurrentDirectoryScope& operator=(const CurrentDirectoryScope&) = delete;

private:
    std::wstring previous_;
};

// Creates the file's folders and copies the file there.
void PlaceFile(const std::filesystem::path& source, const std::filesystem::path& target);

// The folder that holds this test program.
std::filesystem::path ProgramFolder();
