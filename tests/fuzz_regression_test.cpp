// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cctype>

#include "CliRuns.h"
#include "cli/CliRun.h"
#include "support/TestSupport.h"

namespace kelvarin::test {
namespace {

// Every input a fuzz target once failed on, converted on the command line with each option set of the
// command-line fuzz target: each run ends converted or refused, without a sanitizer report.
class FuzzRegression : public ::testing::TestWithParam<std::string> {};

TEST_P(FuzzRegression, EndsConvertedOrRefused) {
    const ProgramDir program;
    const std::string input = dataPath("fuzz/" + GetParam());
    for (const std::vector<std::string>& options : fuzz::kCliOptionSets) {
        const int status =
            fuzz::convertOnCommandLine(program.file("kelvarin-cli"), options, input, program.file("out.dxf"));
        EXPECT_TRUE(status == kExitConverted || status == kExitFailed) << options[0] << " gave " << status;
    }
}

std::string testName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            c = '_';
        }
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Findings, FuzzRegression, ::testing::ValuesIn(filesIn(dataPath("fuzz"))), testName);

}  // namespace
}  // namespace kelvarin::test
