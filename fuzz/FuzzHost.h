// A host for the fuzzers: a private directory tree, the target's earlier
// contents, and the checks that follow every end of picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class FuzzHost {
public:
    // Creates <base>/tmp (the filter's TMPDIR), <base>/out (the target's
    // directory) and <base>/files (linked files). The working directory stays:
    // libFuzzer writes its corpus and findings relative to it.
    FuzzHost();
    FuzzHost(const FuzzHost&) = delete;
    FuzzHost& operator=(const FuzzHost&) = delete;

    // Puts the target back to a known earlier file before each input.
    void StartInput();
    // After record 17: a success left a sound, complete document whose comment
    // lines hold no control byte; a failure left the earlier file untouched.
    // Either way no temporary file remains.
    void CheckAfterEnd(int result);
    // After the filter object is gone: nothing of it remains on disk.
    void CheckNothingLeft() const;
    // Linked files are opened by the filter: makes the path of a PathBitmap
    // payload name a file in the directory of linked files, where only the
    // fuzzer's own files live. A path without its NUL stays without one.
    void ConfinePath(unsigned char* pathBitmapPayload) const;
    const std::string& FilesDir() const { return filesDir; }
    // Writes a file into the directory of linked files.
    void PutFile(const std::string& name, const std::uint8_t* data, std::size_t size) const;

    std::string target;

private:
    [[noreturn]] void Fail(const std::string& what) const;

    std::string base;
    std::string tmpDir;
    std::string outDir;
    std::string filesDir;
    std::string expected;  // what the target must hold after a failed record 17
    // AIEXPORT_FUZZ_DOCUMENTS: a directory that receives the first successful
    // documents, for a PostScript interpreter to draw after the run.
    std::string documentsDir;
    int documentsKept = 0;
};
