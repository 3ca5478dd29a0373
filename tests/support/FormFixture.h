// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "app/Form.h"
#include "support/FakeView.h"
#include "support/TestSupport.h"

namespace kelvarin::test {

// A started program on the fake view: templates in a program directory of its own, and a work folder
// with copies of the test data.
class FormFixture : public ::testing::Test {
protected:
    FormFixture();

    // A copy of tests/data/<name> in the work folder.
    std::string copyOfData(const std::string& name);
    // Types the path into the picture field and presses "読み込み".
    void read(const std::string& path);
    // Reads tests/data/<name> and expects it to be accepted without a message.
    void readAccepted(const std::string& name);
    // Sets the header's width and height, as a read of such a bitmap would.
    void setBitmapSize(std::int32_t width, std::int32_t height);

    ProgramDir program;
    TempDir work;
    AppState state;
    FakeView view;
    Form form{state, view};
};

}  // namespace kelvarin::test
