// SPDX-License-Identifier: GPL-3.0-or-later
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>

#include "common/Error.h"
#include "common/PassState.h"
#include "convert/LineSegmentList.h"
#include "dxf/DxfDocument.h"
#include "dxf/TemplateFile.h"
#include "dxf/WriteFile.h"
#include "fileutil/Cp932Codec.h"
#include "support/FakeView.h"
#include "support/TestSupport.h"

namespace kelvarin {
namespace {

using test::FakeView;
using test::ProgramDir;
using test::TempDir;
using Lines = std::vector<std::string>;

TEST(template_lines, split_at_cr_and_crlf_only) {
    EXPECT_EQ(splitTemplateLines(""), Lines{});
    EXPECT_EQ(splitTemplateLines("a\r\nb\r\n"), (Lines{"a", "b"}));
    EXPECT_EQ(splitTemplateLines("a\r\nb"), (Lines{"a", "b"}));
    EXPECT_EQ(splitTemplateLines("a\rb\r"), (Lines{"a", "b"}));
    EXPECT_EQ(splitTemplateLines("a\nb\n"), (Lines{"a\nb\n"}));
    EXPECT_EQ(splitTemplateLines("\r\n\r\nx\r\n\r\n"), (Lines{"", "", "x", ""}));
    EXPECT_EQ(splitTemplateLines("a\r\r\nb"), (Lines{"a", "", "b"}));
}

TEST(template_lines, read_in_code_page_932) {
    TempDir dir;
    // 図面, and an NEC-selected IBM extension character that a code page round trip would rewrite.
    test::writeBytes(dir.file("t.txt"), "999\r\n\x90\x7D\x96\xCA\r\n\xED\x40\r\n");
    Cp932Codec codec;
    EXPECT_EQ(readTemplateLines(dir.file("t.txt"), codec), (Lines{"999", "\x90\x7D\x96\xCA", "\xED\x40"}));
    test::writeBytes(dir.file("bad.txt"), "ok\r\n\x82\r\n");
    try {
        readTemplateLines(dir.file("bad.txt"), codec);
        ADD_FAILURE() << "an invalid byte was read";
    } catch (const KelvarinError& error) {
        EXPECT_NE(error.description().find("bad.txt の 2 行目"), std::string::npos) << error.description();
    }
    EXPECT_THROW(readTemplateLines(dir.file("missing.txt"), codec), KelvarinError);
}

// A conversion's DXF stage on given segments, as the conversion command runs it.
struct DxfRun {
    ConversionSettings settings;
    LineSegmentList segments;
    std::int32_t width = 100;
    std::int32_t height = 50;
    PassState pass{"", 5};
    FakeView view;

    bool build(const std::string& programDirectory) {
        return BuildDxfDocument({settings, segments, width, height, programDirectory}, pass, view);
    }
};

TEST(dxf_document, example_bitmap_gives_the_expected_file) {
    ProgramDir program;
    DxfRun run;
    run.settings.OutputPath = program.file("out.dxf");
    run.settings.OffsetX = 10;
    run.segments = {{10, 5, 20, 1}};
    ASSERT_TRUE(run.build(program.path()));
    EXPECT_EQ(test::readBytes(program.file("out.dxf")), test::readBytes(test::dataPath("cases/example-100x50.dxf")));
    EXPECT_EQ(run.view.messages(), Lines{"変換終了して、ファイルに書き出しました"});
    EXPECT_EQ(run.pass.PassNumber, 8);
    EXPECT_EQ(run.pass.CurrentStep, "作成データの書き込み");
    test::keepForReaderCheck(program.file("out.dxf"), "dxf_document-example");
}

TEST(dxf_document, fractional_scales_use_fifteen_digits) {
    ProgramDir program;
    DxfRun run;
    run.width = 300;
    run.height = 3;
    run.settings.OutputPath = program.file("out.dxf");
    run.settings.ScaleX = 100.0 / 300;
    run.settings.ScaleY = 1.0 / 3;
    run.segments = {{0, 0, 1, 1}, {2, 0, 2, 1}, {299, 2, 1, 1}};
    ASSERT_TRUE(run.build(program.path()));
    EXPECT_EQ(test::readBytes(program.file("out.dxf")), test::readBytes(test::dataPath("cases/scale-100-300.dxf")));
    test::keepForReaderCheck(program.file("out.dxf"), "dxf_document-thirds");
}

TEST(dxf_document, pass_captions_follow_the_stages) {
    ProgramDir program;
    DxfRun run;
    run.settings.OutputPath = program.file("out.dxf");
    run.segments = {{0, 0, 5, 1}, {0, 1, 5, 1}, {0, 2, 5, 1}, {0, 3, 5, 1}};
    ASSERT_TRUE(run.build(program.path()));
    const Lines captions = run.view.captions();
    // Header copy (pass 5, its last line shows less than 100%), entities (4 segments, pass 6), footer
    // (2 lines, pass 7, the last line shows 100%), then the writing.
    const std::string header = test::readBytes(test::resourcePath("header.txt"));
    const auto headerLines = static_cast<int>(std::count(header.begin(), header.end(), '\n'));
    const auto lastHeaderPercent = std::lround(100.0 * (headerLines - 1) / headerLines);
    ASSERT_LT(lastHeaderPercent, 100);
    EXPECT_EQ(captions.front(), "Pass5 : %");
    EXPECT_NE(std::find(captions.begin(), captions.end(), "Pass5 : " + std::to_string(lastHeaderPercent) + "%"),
              captions.end());
    EXPECT_EQ(std::find(captions.begin(), captions.end(), "Pass5 : 100%"), captions.end());
    EXPECT_NE(std::find(captions.begin(), captions.end(), "Pass6 : 75%"), captions.end());
    EXPECT_EQ(std::find(captions.begin(), captions.end(), "Pass6 : 100%"), captions.end());
    EXPECT_NE(std::find(captions.begin(), captions.end(), "Pass7 : 50%"), captions.end());
    EXPECT_NE(std::find(captions.begin(), captions.end(), "Pass7 : 100%"), captions.end());
    EXPECT_NE(std::find(captions.begin(), captions.end(), "書出: %"), captions.end());
    const std::string file = test::readBytes(program.file("out.dxf"));
    const auto lines = static_cast<int>(std::count(file.begin(), file.end(), '\n'));
    EXPECT_EQ(lines, headerLines + 18 + 16 * 4 + 2 + 2);
    EXPECT_EQ(captions.back(),
              "書出: " + std::to_string(static_cast<int>(std::lround(100.0 * (lines - 1) / lines))) + "%");
}

TEST(dxf_document, templates_are_copied_verbatim) {
    ProgramDir program;
    test::writeBytes(program.file("header.txt"), "H1\r\rH3\nstill H3\r\n\x90\x7D\r\n");
    test::writeBytes(program.file("footer.txt"), "");
    DxfRun run;
    run.settings.OutputPath = program.file("out.dxf");
    run.settings.LayerName = "図面";
    run.segments = {{5, 7, 1, 1}};
    ASSERT_TRUE(run.build(program.path()));
    const std::string file = test::readBytes(program.file("out.dxf"));
    EXPECT_EQ(file.substr(0, 28), "H1\r\n\r\nH3\nstill H3\r\n\x90\x7D\r\n  9\r\n");
    EXPECT_NE(file.find("  8\r\n\x90\x7D\x96\xCA\r\n"), std::string::npos);
    EXPECT_EQ(file.substr(file.size() - 13), "  0\r\nENDSEC\r\n");  // the empty footer adds nothing
    EXPECT_NE(file.find(" 10\r\n5\r\n 20\r\n7\r\n 11\r\n5\r\n 21\r\n7\r\n"), std::string::npos);
    // An empty footer shows its pass as complete.
    EXPECT_NE(std::find(run.view.captions().begin(), run.view.captions().end(), "Pass7 : 100%"),
              run.view.captions().end());
}

TEST(dxf_document, a_missing_template_stops_before_the_file_is_touched) {
    ProgramDir program;
    test::writeBytes(program.file("out.dxf"), "old");
    DxfRun run;
    run.settings.OutputPath = program.file("out.dxf");
    run.segments = {{0, 0, 1, 1}};
    std::remove(program.file("footer.txt").c_str());
    EXPECT_THROW(run.build(program.path()), KelvarinError);
    EXPECT_EQ(run.pass.CurrentStep, "footer.txtの読み込み");
    EXPECT_EQ(run.pass.PassNumber, 7);
    std::remove(program.file("header.txt").c_str());
    EXPECT_THROW(run.build(program.path()), KelvarinError);
    EXPECT_EQ(run.pass.CurrentStep, "header.txt読み込み開始");
    EXPECT_EQ(test::readBytes(program.file("out.dxf")), "old");
    EXPECT_TRUE(run.view.messages().empty());
}

// Writing failures show both messages and leave the old file and no temporary file behind.
// The seed's two messages, the path and the system's reason for the failure as details.
void expectWriteFailure(const std::string& outputPath, const std::string& oldContents, int reason) {
    ProgramDir program;
    DxfRun run;
    run.settings.OutputPath = outputPath;
    run.settings.ReplaceExisting = true;
    for (int i = 0; i < 20000; ++i) {
        run.segments.push_back({0, 0, 99, 1});
    }
    EXPECT_FALSE(run.build(program.path()));
    EXPECT_EQ(run.view.messages(), (Lines{"ファイル書き込みエラー in WriteFile", "ファイル書き込みエラー"}));
    EXPECT_EQ(run.view.of(FakeView::Kind::Details), Lines{outputPath + ": " + systemReason(reason)});
    if (!oldContents.empty()) {
        EXPECT_EQ(test::readBytes(outputPath), oldContents);
    }
}

TEST(write_file, failures_keep_the_old_file) {
    TempDir dir;
    expectWriteFailure(dir.file("missing/out.dxf"), "", ENOENT);
    EXPECT_FALSE(test::fileExists(dir.file("missing")));

    test::writeBytes(dir.file("readonly.dxf"), "old drawing");
    chmod(dir.file("readonly.dxf").c_str(), 0444);
    expectWriteFailure(dir.file("readonly.dxf"), "old drawing", EACCES);
    EXPECT_EQ(test::filesIn(dir.path()).size(), 1u);
    expectWriteFailure("/dev/full", "", ENOSPC);  // a device is written in place, and it is full
}

TEST(write_file, a_full_disk_keeps_the_old_file) {
    test::SmallDisk disk(64);
    if (!disk.available()) {
        GTEST_SKIP() << "mounting a tmpfs is not allowed here";
    }
    test::writeBytes(disk.file("out.dxf"), "old drawing");
    expectWriteFailure(disk.file("out.dxf"), "old drawing", ENOSPC);
    EXPECT_EQ(test::filesIn(disk.file("")).size(), 1u);  // no temporary file left
}

TEST(write_file, a_read_only_disk_keeps_the_old_file) {
    test::SmallDisk disk(64);
    if (!disk.available()) {
        GTEST_SKIP() << "mounting a tmpfs is not allowed here";
    }
    test::writeBytes(disk.file("out.dxf"), "old drawing");
    ASSERT_TRUE(disk.makeReadOnly());
    expectWriteFailure(disk.file("out.dxf"), "old drawing", EROFS);
    expectWriteFailure(disk.file("new.dxf"), "", EROFS);
}

}  // namespace
}  // namespace kelvarin
