// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/BatchInputs.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include "bitmap/ImageFormat.h"
#include "common/Error.h"

namespace kelvarin {

namespace fs = std::filesystem;

namespace {

std::string drawingName(fs::path path) { return path.replace_extension(".dxf").string(); }

// The same folder, however spelled.
bool sameFolder(const fs::path& a, const fs::path& b) {
    std::error_code error;
    return fs::equivalent(a, b, error);
}

// Adds the files below root in name order; a folder that cannot be read becomes an input that fails.
void addTree(const fs::path& root, const std::optional<std::string>& outputFolder, std::vector<BatchInput>& items) {
    std::vector<fs::path> files;
    std::error_code error;
    fs::recursive_directory_iterator walk(root, fs::directory_options::none, error);
    for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
        std::error_code ignored;  // an entry that vanished meanwhile is no file
        if (outputFolder && walk->is_directory(ignored) && sameFolder(walk->path(), *outputFolder)) {
            walk.disable_recursion_pending();
        } else if (walk->is_regular_file(ignored)) {
            files.push_back(walk->path());
        }
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        const fs::path relative = file.lexically_relative(root);
        const std::string output = outputFolder ? drawingName(fs::path(*outputFolder) / relative) : drawingName(file);
        items.push_back({file.string(), output, looksLikePicture(file.string()), {}});
    }
    if (error) {
        items.push_back({root.string(), {}, true, systemReason(error.value())});
    }
}

}  // namespace

bool looksLikePicture(const std::string& path) {
    std::array<char, 16> start{};
    std::ifstream file(path, std::ios::binary);
    file.read(start.data(), start.size());
    const auto bytes =
        std::span(reinterpret_cast<const std::uint8_t*>(start.data()), static_cast<std::size_t>(file.gcount()));
    if (bytes.size() < 2) {
        return false;
    }
    // Whatever announces no other format is read as a BMP: only the BMP's own signature makes it one.
    return sniffImageFormat(bytes) != ImageFormat::Bmp || (bytes[0] == 'B' && bytes[1] == 'M');
}

std::vector<BatchInput> expandInputs(const std::vector<std::string>& inputs, bool walk,
                                     const std::optional<std::string>& outputFolder) {
    std::vector<BatchInput> items;
    for (const std::string& input : inputs) {
        std::error_code error;
        if (walk && fs::is_directory(input, error)) {
            addTree(input, outputFolder, items);
        } else {
            const std::string output =
                outputFolder ? drawingName(fs::path(*outputFolder) / fs::path(input).filename()) : std::string();
            items.push_back({input, output, true, {}});
        }
    }
    return items;
}

}  // namespace kelvarin
