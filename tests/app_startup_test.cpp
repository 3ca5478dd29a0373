#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "app/Form.h"
#include "app/Startup.h"
#include "support/FakeView.h"
#include "support/TestSupport.h"

namespace kelvarin {
namespace {

using Strings = std::vector<std::string>;

std::string missingMessage(const std::string& name) {
    return "「" + name +
           "」がありません。これは必要なファイルです。\r\nセットアップし直すか、配布ファイルから抽出してくだ"
           "さい。";
}

struct Start {
    test::ProgramDir program;
    AppState state;
    test::FakeView view;

    bool run() { return Main(state, view, program.file("kelvarin")); }
};

TEST(startup, needs_both_templates_and_names_the_first_missing) {
    {
        Start start;
        std::remove(start.program.file("header.txt").c_str());
        std::remove(start.program.file("footer.txt").c_str());
        EXPECT_FALSE(start.run());
        EXPECT_EQ(start.view.messages(), Strings{missingMessage("header.txt")});
    }
    {
        Start start;
        std::remove(start.program.file("footer.txt").c_str());
        EXPECT_FALSE(start.run());
        EXPECT_EQ(start.view.messages(), Strings{missingMessage("footer.txt")});
    }
    {
        Start start;
        std::remove(start.program.file("header.txt").c_str());
        mkdir(start.program.file("header.txt").c_str(), 0755);
        EXPECT_FALSE(start.run());
        EXPECT_EQ(start.view.messages(), Strings{missingMessage("header.txt")});
    }
}

TEST(startup, empty_templates_and_no_help_file_are_enough) {
    Start start;
    test::writeBytes(start.program.file("header.txt"), "");
    chmod(start.program.file("footer.txt").c_str(), 0444);
    EXPECT_TRUE(start.run());
    EXPECT_TRUE(start.view.messages().empty());
    EXPECT_EQ(start.state.ProgramDirectory, start.program.path());
    EXPECT_EQ(start.state.HelpFilePath, start.program.file("KELVARIN.hlp"));
    EXPECT_EQ(start.state.FileLength, 0);
    EXPECT_FALSE(start.state.FileLoaded);
}

TEST(startup, title_names_program_version_and_notice) {
    Start start;
    ASSERT_TRUE(start.run());
    Form form{start.state, start.view};
    start.state.PassNumber = 3;
    Form_Load(form, "/opt/kelvarin/bin/kelvarin");
    EXPECT_EQ(start.view.title, "kelvarin Version " + start.state.VersionText + " " + start.state.LegalNoticeText);
    EXPECT_EQ(start.state.VersionText, "1.0.0");
    EXPECT_FALSE(start.state.LegalNoticeText.empty());
    EXPECT_EQ(start.state.PassNumber, 0);
}

}  // namespace
}  // namespace kelvarin
