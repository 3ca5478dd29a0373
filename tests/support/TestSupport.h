// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvarin::test {

// A file of the committed test data, by its path below tests/data.
std::string dataPath(const std::string& name);
// Runs a test-data maker in tests/data (a Python script drawing files with real tools) into folder; true
// when it succeeded.
bool makeTestData(const std::string& script, const std::string& folder);
// A shipped resource (templates, help file).
std::string resourcePath(const std::string& name);

std::string readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);
std::vector<std::string> filesIn(const std::string& directory);

// A fresh directory, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// A program directory holding copies of the shipped templates.
class ProgramDir : public TempDir {
public:
    ProgramDir();
};

// Keeps a copy of a DXF file the suite wrote, for the check with an independent DXF reader that runs
// after the tests.
void keepForReaderCheck(const std::string& dxfPath, const std::string& name);

// A small tmpfs mounted in a temporary folder, for disk-full and read-only faults; unmounted at the end.
// available() is false where mounting is not allowed.
class SmallDisk {
public:
    explicit SmallDisk(int kibibytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool available() const { return m_mounted; }
    bool makeReadOnly();
    std::string file(const std::string& name) const { return m_folder.file(name); }

private:
    TempDir m_folder;
    bool m_mounted = false;
};

}  // namespace kelvarin::test
