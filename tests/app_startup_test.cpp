// SPDX-License-Identifier: GPL-3.0-or-later
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/Form.h"
#include "app/Startup.h"
#include "fileutil/InstallPaths.h"
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

// An installed tree (prefix/bin and the share folder the build names), the user's configuration folder and
// a home folder; each may hold the templates and the help file.
struct Installation {
    enum Place { Beside, Config, Share, Nowhere };

    test::TempDir root;
    std::string bin = root.file("prefix/bin");
    std::string share = (std::filesystem::path(bin) / kInstalledDataFromProgram).lexically_normal().string();
    std::string config = root.file("config");
    std::string home = root.file("home");

    Installation() {
        for (const std::string& folder : {bin, share, config + "/kelvarin", home}) {
            std::filesystem::create_directories(folder);
        }
    }
    std::string folder(Place place) const {
        return place == Beside ? bin : place == Config ? config + "/kelvarin" : share;
    }
    void put(Place place, const std::vector<std::string>& names) const {
        for (const std::string& name : names) {
            std::filesystem::copy_file(test::resourcePath(name), folder(place) + "/" + name);
        }
    }
};

// Sets an environment variable for the life of the object, restoring the old value after.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnvironment() { m_old ? setenv(m_name, m_old->c_str(), 1) : unsetenv(m_name); }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST(startup, templates_and_help_are_looked_for_beside_the_program_then_in_config_then_in_share) {
    using P = Installation::Place;
    const std::string kAll[] = {"header.txt", "footer.txt", "KELVARIN.hlp"};
    struct Case {
        std::vector<P> templates;  // the places holding both templates
        std::vector<P> help;       // the places holding the help file
        std::optional<P> half;     // a place holding header.txt alone, passed over with a notice
        P expectedTemplates;
        P expectedHelp;
    };
    const Case cases[] = {
        {{P::Beside, P::Config, P::Share}, {P::Beside, P::Config, P::Share}, {}, P::Beside, P::Beside},
        {{P::Config, P::Share}, {P::Config, P::Share}, {}, P::Config, P::Config},
        {{P::Share}, {P::Share}, {}, P::Share, P::Share},
        {{P::Config, P::Share}, {P::Share}, {}, P::Config, P::Share},         // user's own templates only
        {{P::Share}, {P::Beside, P::Share}, P::Beside, P::Share, P::Beside},  // a pair belongs together
        {{P::Share}, {P::Share}, P::Config, P::Share, P::Share},              // the user's header alone
        {{P::Beside}, {}, {}, P::Beside, P::Beside},                          // no help file anywhere
    };
    for (const Case& c : cases) {
        Installation installation;
        for (P place : c.templates) {
            installation.put(place, {kAll[0], kAll[1]});
        }
        for (P place : c.help) {
            installation.put(place, {kAll[2]});
        }
        if (c.half) {
            installation.put(*c.half, {kAll[0]});
        }
        const ScopedEnvironment config("XDG_CONFIG_HOME", installation.config.c_str());
        const ScopedEnvironment home("HOME", installation.home.c_str());
        AppState state;
        test::FakeView view;
        const std::string where = "case " + std::to_string(&c - cases);
        ASSERT_TRUE(Main(state, view, installation.bin + "/kelvarin")) << where;
        EXPECT_EQ(state.ProgramDirectory, installation.folder(c.expectedTemplates)) << where;
        EXPECT_EQ(state.HelpFilePath, installation.folder(c.expectedHelp) + "/KELVARIN.hlp") << where;
        Strings notices;
        if (c.half) {
            notices.push_back("「" + installation.folder(*c.half) +
                              "/header.txt」は使いません。同じフォルダに footer.txt がありません（header.txt と "
                              "footer.txt は同じフォルダの組で使います）。");
        }
        EXPECT_EQ(view.messages(), notices) << where;
        // Templates beside the program: a portable copy, whose dialogs start there; otherwise at home.
        EXPECT_EQ(state.DialogDirectory, c.expectedTemplates == P::Beside ? installation.bin : installation.home)
            << where;
    }
}

TEST(startup, config_folder_defaults_to_home_dot_config_and_ignores_a_relative_setting) {
    for (const char* setting : {static_cast<const char*>(nullptr), "", "relative/config"}) {
        Installation installation;
        std::filesystem::create_directories(installation.home + "/.config/kelvarin");
        for (const char* name : {"header.txt", "footer.txt"}) {
            std::filesystem::copy_file(test::resourcePath(name), installation.home + "/.config/kelvarin/" + name);
        }
        installation.put(Installation::Config, {"header.txt", "footer.txt"});  // not looked at
        const ScopedEnvironment config("XDG_CONFIG_HOME", setting);
        const ScopedEnvironment home("HOME", installation.home.c_str());
        AppState state;
        test::FakeView view;
        ASSERT_TRUE(Main(state, view, installation.bin + "/kelvarin"));
        EXPECT_EQ(state.ProgramDirectory, installation.home + "/.config/kelvarin") << (setting ? setting : "unset");
    }
}

TEST(startup, templates_found_nowhere_name_the_first_missing_beside_the_program) {
    Installation installation;
    installation.put(Installation::Config, {"footer.txt"});
    installation.put(Installation::Share, {"footer.txt"});
    const ScopedEnvironment config("XDG_CONFIG_HOME", installation.config.c_str());
    AppState state;
    test::FakeView view;
    EXPECT_FALSE(Main(state, view, installation.bin + "/kelvarin"));
    EXPECT_EQ(view.messages(), Strings{missingMessage("header.txt")});
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
