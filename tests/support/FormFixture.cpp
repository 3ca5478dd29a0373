// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/FormFixture.h"

#include <filesystem>

#include "app/ReadCommand.h"
#include "app/Startup.h"

namespace kelvarin::test {

FormFixture::FormFixture() {
    if (!Main(state, view, program.file("kelvarin"))) {
        ADD_FAILURE() << "the program did not start";
    }
}

std::string FormFixture::copyOfData(const std::string& name) {
    const std::string copy = work.file(std::filesystem::path(name).filename().string());
    std::filesystem::copy_file(dataPath(name), copy, std::filesystem::copy_options::overwrite_existing);
    return copy;
}

void FormFixture::read(const std::string& path) {
    view.setText(textFile(0), path);
    cmdReadFile_Click(form);
}

void FormFixture::readAccepted(const std::string& name) {
    view.clearLog();
    read(copyOfData(name));
    ASSERT_TRUE(state.FileLoaded) << name;
    ASSERT_TRUE(view.messages().empty()) << view.messages().front();
    view.clearLog();
}

void FormFixture::setBitmapSize(std::int32_t width, std::int32_t height) {
    for (int i = 0; i < 4; ++i) {
        state.BmpHeader[18 + static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(static_cast<std::uint32_t>(width) >> (8 * i));
        state.BmpHeader[22 + static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(static_cast<std::uint32_t>(height) >> (8 * i));
    }
}

}  // namespace kelvarin::test
