// Private directories and whole files, for tests with or without the filter inside.
#pragma once

#include <string>

// A directory of its own, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string File(const std::string& name) const { return path + "/" + name; }
    // Names of the entries, sorted; for checks that nothing was left behind.
    std::string Listing() const;

    std::string path;
};

// Descriptors this process holds open, for checks that nothing leaks.
int OpenDescriptors();

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);
