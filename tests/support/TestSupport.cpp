// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TestSupport.h"

#include <sys/mount.h>
#include <unistd.h>
#include <cstdlib>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace kelvarin::test {

namespace fs = std::filesystem;

std::string dataPath(const std::string& name) { return std::string(KELVARIN_TEST_DATA_DIR) + "/" + name; }

bool makeTestData(const std::string& script, const std::string& folder) {
    const std::string command = "/usr/bin/python3 " + dataPath(script) + " " + folder;
    return std::system(command.c_str()) == 0;
}

std::string resourcePath(const std::string& name) { return std::string(KELVARIN_RESOURCE_DIR) + "/" + name; }

std::string readBytes(const std::string& path) {
    std::ifstream stream(path, std::ios::binary);
    if (!stream) {
        throw std::runtime_error("cannot read " + path);
    }
    return std::string((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream stream(path, std::ios::binary | std::ios::trunc);
    stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!stream) {
        throw std::runtime_error("cannot write " + path);
    }
}

bool fileExists(const std::string& path) { return fs::exists(fs::symlink_status(path)); }

std::vector<std::string> filesIn(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "kelvarin-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary directory");
    }
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}

ProgramDir::ProgramDir() {
    for (const char* name : {"header.txt", "footer.txt"}) {
        fs::copy_file(resourcePath(name), file(name));
    }
}

void keepForReaderCheck(const std::string& dxfPath, const std::string& name) {
    fs::create_directories(KELVARIN_DXF_CHECK_DIR);
    fs::copy_file(dxfPath, std::string(KELVARIN_DXF_CHECK_DIR) + "/" + name + ".dxf",
                  fs::copy_options::overwrite_existing);
}

SmallDisk::SmallDisk(int kibibytes) {
    const std::string options = "size=" + std::to_string(kibibytes) + "k";
    m_mounted = mount("tmpfs", m_folder.path().c_str(), "tmpfs", 0, options.c_str()) == 0;
}

SmallDisk::~SmallDisk() {
    if (m_mounted) {
        umount2(m_folder.path().c_str(), MNT_DETACH);
    }
}

bool SmallDisk::makeReadOnly() {
    return mount("tmpfs", m_folder.path().c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

}  // namespace kelvarin::test
