// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include <cstdio>

#include "app/ConvertCommand.h"
#include "app/FileSelection.h"
#include "app/ReadCommand.h"
#include "app/ResultContent.h"
#include "support/FormFixture.h"

namespace kelvarin {
namespace {

using Strings = std::vector<std::string>;

class convert_command : public test::FormFixture {
protected:
    // Reads the 100 x 50 example, names an output file and puts the other settings back to their
    // initial values: every setting is then valid.
    void readExample() {
        readAccepted("cases/example-100x50.bmp");
        output = work.file("out.dxf");
        view.setText(textFile(1), output);
        view.setText(textLayer, "0");
        view.setText(textPartial, "1");
        view.setText(textOffset(0), "0");
        view.setText(textOffset(1), "0");
        view.setText(textSize(0), "100");  // a second read of the example keeps sizes typed before
        view.setText(textSize(1), "50");
    }

    // The pass numbers of the captions, each once, in order.
    Strings passNumbers() const {
        Strings passes;
        for (const std::string& caption : view.captions()) {
            if (caption.rfind("Pass", 0) == 0) {
                const std::string number = caption.substr(4, caption.find(' ') - 4);
                if (passes.empty() || passes.back() != number) {
                    passes.push_back(number);
                }
            }
        }
        return passes;
    }

    void expectAllEnabled() const {
        for (const ControlDesign& design : controlDesigns()) {
            EXPECT_TRUE(view.isEnabled(design.control)) << design.objectName;
        }
        EXPECT_EQ(state.PassNumber, 0);
    }

    std::string output;
};

TEST_F(convert_command, example_with_default_settings_writes_the_expected_file) {
    readExample();
    view.setText(textOffset(0), "10");
    EXPECT_TRUE(cmdConvert_Click(form));
    EXPECT_EQ(view.messages(), Strings{"変換終了して、ファイルに書き出しました"});
    EXPECT_EQ(test::readBytes(output), test::readBytes(test::dataPath("cases/example-100x50.dxf")));
    // Transfer, inversion, horizontal, inversion back, then header, entities and footer.
    EXPECT_EQ(passNumbers(), (Strings{"1", "2", "3", "4", "5", "6", "7"}));
    EXPECT_EQ(view.captions().front(), "Pass1 : %");
    expectAllEnabled();
    test::keepForReaderCheck(output, "convert_command-example");
}

TEST_F(convert_command, passes_for_each_colour_and_direction) {
    struct Case {
        int color;
        int lines;
        Strings passes;
    };
    for (const Case& c :
         {Case{0, 2, {"1", "2", "3", "4", "5", "6", "7", "8"}}, Case{0, 1, {"1", "2", "3", "4", "5", "6", "7"}},
          Case{1, 2, {"1", "2", "3", "4", "5", "6"}}, Case{1, 0, {"1", "2", "3", "4", "5"}}}) {
        readExample();
        view.select(optionColor(c.color));
        view.select(optionMakeLine(c.lines));
        ASSERT_TRUE(cmdConvert_Click(form)) << view.messages().front();
        EXPECT_EQ(passNumbers(), c.passes) << "colour " << c.color << " lines " << c.lines;
        EXPECT_EQ(state.LineColorWhite, c.color == 1);
        test::keepForReaderCheck(output, "convert_command-pass-" + std::to_string(c.color) + std::to_string(c.lines));
        std::remove(output.c_str());
    }
}

TEST_F(convert_command, the_first_failing_check_is_shown) {
    struct Case {
        Control field;
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {textFile(1), "   ", "出力ファイルが指定されていません"},
        {textSize(0), "0", "倍率がほぼ０では出来ません"},
        {textSize(0), "-100", "倍率がほぼ０では出来ません"},
        {textSize(1), "0.004", "倍率がほぼ０では出来ません"},
        {textLayer, "  ", "レイヤー名が入力されていません"},
        {textPartial, "0.5", "間引き数は１以上の正の整数です（但し、１は間引きません）"},
        {textPartial, "-3", "間引き数は１以上の正の整数です（但し、１は間引きません）"},
        {textOffset(0), "-1", "オフセットはマイナス値を指定できません"},
        {textOffset(1), "-0.001", "オフセットはマイナス値を指定できません"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        readExample();
        view.setText(cases[i].field, cases[i].text);
        // Every later check would fail as well: only the first failure may show.
        for (std::size_t j = i + 1; j < std::size(cases); ++j) {
            if (!(cases[j].field == cases[i].field)) {
                view.setText(cases[j].field, cases[j].text);
            }
        }
        EXPECT_FALSE(cmdConvert_Click(form));
        EXPECT_EQ(view.messages(), Strings{cases[i].message}) << cases[i].text;
        EXPECT_FALSE(test::fileExists(output));
        expectAllEnabled();
    }
}

TEST_F(convert_command, a_number_field_without_a_number_is_named_in_the_details) {
    struct Case {
        Control field;
        const char* text;
        const char* details;
    };
    const Case cases[] = {
        {textSize(0), "2x", "変換後横サイズ: 「2x」は数値として読めません"},
        {textSize(1), "5mm", "変換後縦サイズ: 「5mm」は数値として読めません"},
        {textPartial, "１０", "間引き数: 「１０」は数値として読めません"},
        {textOffset(0), "/home/a/scan.bmp", "変換後オフセットX: 「/home/a/scan.bmp」は数値として読めません"},
        {textOffset(1), "1e999", "変換後オフセットY: 「1e999」は数値として読めません"},
    };
    for (const Case& c : cases) {
        readExample();
        view.clearLog();
        view.setText(c.field, c.text);
        EXPECT_FALSE(cmdConvert_Click(form)) << c.text;
        ASSERT_EQ(view.messages().size(), 1U) << c.text;
        // The message stays as it was; the details name the field.
        EXPECT_EQ(view.messages().front().find("] in cmdConvert_Click [Pass:1][条件取得]"),
                  view.messages().front().find(']'))
            << c.text;
        EXPECT_EQ(view.of(test::FakeView::Kind::Details), Strings{c.details});
        EXPECT_FALSE(test::fileExists(output));
    }
}

TEST_F(convert_command, refuses_without_a_bitmap) {
    EXPECT_FALSE(cmdConvert_Click(form));
    EXPECT_EQ(view.messages(), Strings{"ファイルは読み込まれていません"});
    expectAllEnabled();

    // After a refused read the grid still holds the earlier picture but the header is the new file's:
    // converting that mixture would write a wrong drawing.
    readExample();
    read(copyOfData("cases/README.md"));
    view.clearLog();
    EXPECT_FALSE(cmdConvert_Click(form));
    EXPECT_EQ(view.messages(), Strings{"ファイルは読み込まれていません"});
}

// A path typed (or dropped) after the read names a picture that was not read: its name must not get the
// drawing of the picture that was. The preview of the result refuses alike.
TEST_F(convert_command, converts_only_the_picture_the_field_names) {
    readExample();
    const std::string other = copyOfData("bitmaps/w100.bmp");
    for (const std::string& named : {other, std::string(), work.file("missing.bmp")}) {
        view.setText(textFile(0), named);
        view.clearLog();
        EXPECT_FALSE(cmdConvert_Click(form)) << named;
        EXPECT_EQ(view.messages(), Strings{kPictureNotReadRefusal}) << named;
        EXPECT_FALSE(test::fileExists(output));
        EXPECT_EQ(std::get<std::string>(previewResult(form)), kPictureNotReadRefusal);
        expectAllEnabled();
    }
    // Blanks around the name are no other picture; once read, the named picture converts.
    view.setText(textFile(0), "  " + work.file("example-100x50.bmp") + " ");
    view.clearLog();
    EXPECT_TRUE(cmdConvert_Click(form));
    view.answers = {true};
    read(other);
    view.setText(textFile(1), output);
    EXPECT_TRUE(cmdConvert_Click(form));
    EXPECT_EQ(view.messages().back(), "変換終了して、ファイルに書き出しました");
}

TEST_F(convert_command, no_line_pixels_in_the_scanned_rows) {
    readExample();
    view.setText(textPartial, "7");  // rows 0, 7, 14, ... miss row 5, the only black one
    EXPECT_FALSE(cmdConvert_Click(form));
    EXPECT_EQ(view.messages(), Strings{"このデータにはラインがありませんでした"});
    EXPECT_EQ(passNumbers(), (Strings{"1", "2", "3", "4"}));
    EXPECT_FALSE(test::fileExists(output));
    expectAllEnabled();
}

TEST_F(convert_command, thinning_rounds_halves_to_even) {
    // The example's only black row is row 5: it is scanned exactly when the thinning divides 5.
    struct Case {
        const char* thinning;
        bool linesFound;
    };
    for (const Case& c : {Case{"5", true}, Case{"4.5", false}, Case{"1.5", false}, Case{"5.4", true}}) {
        readExample();
        view.setText(textPartial, c.thinning);
        EXPECT_EQ(cmdConvert_Click(form), c.linesFound) << c.thinning;
        EXPECT_EQ(view.messages().back(),
                  c.linesFound ? "変換終了して、ファイルに書き出しました" : "このデータにはラインがありませんでした")
            << c.thinning;
        std::remove(output.c_str());
    }
    // With white lines every row has runs: 2.5 scans the even rows only, as 2 does, and 3 differs.
    std::string files[3];
    for (int i = 0; i < 3; ++i) {
        readExample();
        view.select(optionColor(1));
        view.setText(textPartial, std::array{"2.5", "2", "3"}[static_cast<std::size_t>(i)]);
        ASSERT_TRUE(cmdConvert_Click(form));
        files[i] = test::readBytes(output);
        std::remove(output.c_str());
    }
    EXPECT_EQ(files[0], files[1]);
    EXPECT_NE(files[1], files[2]);

    readExample();
    view.select(optionColor(0));
    view.setText(textPartial, " 0.5 ");
    EXPECT_FALSE(cmdConvert_Click(form));
    EXPECT_EQ(view.messages(), Strings{"間引き数は１以上の正の整数です（但し、１は間引きません）"});
}

TEST_F(convert_command, smallest_scale_is_compared_after_dividing) {
    readAccepted("cases/wide-10000.bmp");
    view.setText(textFile(1), work.file("wide.dxf"));
    view.setText(textSize(0), "0.5");  // 0.00005 per dot
    EXPECT_FALSE(cmdConvert_Click(form));
    EXPECT_EQ(view.messages(), Strings{"倍率がほぼ０では出来ません"});
    view.clearLog();
    view.setText(textSize(0), "1");  // exactly 0.0001 per dot passes
    view.setText(textSize(1), "2");
    EXPECT_TRUE(cmdConvert_Click(form));
    EXPECT_NE(test::readBytes(work.file("wide.dxf")).find(" 11\r\n0.9999\r\n 21\r\n1\r\n"), std::string::npos);
    test::keepForReaderCheck(work.file("wide.dxf"), "convert_command-smallest-scale");
}

TEST_F(convert_command, failures_are_reported_with_pass_and_step) {
    readExample();
    view.setText(textSize(0), "12abc");
    EXPECT_FALSE(cmdConvert_Click(form));
    EXPECT_EQ(view.messages(), Strings{"No.13[型が一致しません。] in cmdConvert_Click [Pass:1][条件取得]"});
    expectAllEnabled();

    view.clearLog();
    view.setText(textSize(0), "100");
    view.setText(textOffset(1), "");
    EXPECT_FALSE(cmdConvert_Click(form));
    EXPECT_EQ(view.messages(), Strings{"No.13[型が一致しません。] in cmdConvert_Click [Pass:1][条件取得]"});

    view.clearLog();
    view.setText(textOffset(1), "0");
    view.setText(textLayer, "層😀");
    EXPECT_FALSE(cmdConvert_Click(form));
    EXPECT_EQ(view.messages(), Strings{"No.5[「層😀」にはコードページ932で表せない文字があります。] in "
                                       "cmdConvert_Click [Pass:1][条件取得]"});

    view.clearLog();
    view.setText(textLayer, "A\nB");
    EXPECT_FALSE(cmdConvert_Click(form));
    EXPECT_EQ(view.messages(), Strings{"No.5[レイヤー名に改行は使えません。] in cmdConvert_Click [Pass:1][条件取得]"});

    view.clearLog();
    view.setText(textLayer, "0");
    std::remove(program.file("header.txt").c_str());
    EXPECT_FALSE(cmdConvert_Click(form));
    EXPECT_EQ(view.messages(),
              Strings{"No.53[ファイルが見つかりません。] in cmdConvert_Click [Pass:5][header.txt読み込み開始]"});
    EXPECT_FALSE(test::fileExists(output));
    expectAllEnabled();
}

TEST_F(convert_command, asks_before_replacing_a_file) {
    readExample();
    test::writeBytes(output, "old drawing");
    view.answers = {false};
    EXPECT_FALSE(cmdConvert_Click(form));
    EXPECT_EQ(view.messages(), Strings{"既にファイルがありますが、上書きしてもよろしいですか？"});
    EXPECT_EQ(test::readBytes(output), "old drawing");
    EXPECT_TRUE(view.captions().empty());
    expectAllEnabled();

    view.clearLog();
    view.answers = {true};
    EXPECT_TRUE(cmdConvert_Click(form));
    EXPECT_EQ(view.messages(), (Strings{"既にファイルがありますが、上書きしてもよろしいですか？",
                                        "変換終了して、ファイルに書き出しました"}));
    EXPECT_NE(test::readBytes(output), "old drawing");

    // Hidden files are asked about too; folders are not, and fail to be written.
    view.clearLog();
    view.setText(textFile(1), work.file(".hidden.dxf"));
    test::writeBytes(work.file(".hidden.dxf"), "old");
    view.answers = {false};
    EXPECT_FALSE(cmdConvert_Click(form));
    EXPECT_EQ(test::readBytes(work.file(".hidden.dxf")), "old");
}

TEST_F(convert_command, never_writes_over_the_picture) {
    const std::string input = copyOfData("cases/example-100x50.bmp");
    const std::string scan = test::readBytes(input);
    std::filesystem::create_symlink(input, work.file("link.dxf"));
    read(input);
    for (const std::string& same : {input, work.file("link.dxf"), work.file("./") + "example-100x50.bmp"}) {
        view.clearLog();
        view.setText(textFile(1), same);
        view.answers = {true};
        EXPECT_FALSE(cmdConvert_Click(form)) << same;
        EXPECT_EQ(view.messages(), Strings{"出力ファイルが入力ファイルと同じです。変換しません"});
        EXPECT_EQ(test::readBytes(input), scan);
        expectAllEnabled();
    }
}

TEST_F(convert_command, never_replaces_a_picture_or_pdf) {
    const test::TempDir targets;
    ASSERT_TRUE(test::makeTestData("make-picture-targets.py", targets.path()));
    const std::pair<const char*, const char*> kept[] = {
        {"scan.bmp", "BMP"}, {"scan.png", "PNG"},  {"scan.tif", "TIFF"}, {"scan.pbm", "PNM"},
        {"scan.pdf", "PDF"}, {"scan.jpg", "JPEG"}, {"scan.gif", "GIF"},  {"scan-named.dxf", "PNG"},
    };
    for (const bool agreedBeforehand : {false, true}) {
        for (const auto& [name, format] : kept) {
            readExample();
            view.clearLog();
            view.replacesAll = agreedBeforehand;
            const std::string target = targets.file(name);
            const std::string before = test::readBytes(target);
            view.setText(textFile(1), target);
            EXPECT_FALSE(cmdConvert_Click(form)) << name;
            // Refused before the question, which would have offered Yes.
            EXPECT_EQ(view.messages(), Strings{pictureOutputRefusal(format)}) << name;
            EXPECT_EQ(test::readBytes(target), before) << name;
            EXPECT_TRUE(view.captions().empty()) << name;
            expectAllEnabled();
        }
    }
    // Chosen in the save dialog, as typed.
    readExample();
    view.clearLog();
    view.replacesAll = false;
    view.dialogAnswers = {targets.file("scan.png")};
    cmdRefer_Click(form, 1);
    EXPECT_FALSE(cmdConvert_Click(form));
    EXPECT_EQ(view.messages(), Strings{pictureOutputRefusal("PNG")});
    // A drawing of the same name is replaced as before.
    readExample();
    view.clearLog();
    test::writeBytes(output, test::readBytes(test::dataPath("cases/example-100x50.dxf")));
    view.answers = {true};
    EXPECT_TRUE(cmdConvert_Click(form));
}

TEST_F(convert_command, a_failed_write_shows_both_messages_only) {
    readExample();
    view.setText(textFile(1), work.file("missing/out.dxf"));
    EXPECT_FALSE(cmdConvert_Click(form));
    EXPECT_EQ(view.messages(), (Strings{"ファイル書き込みエラー in WriteFile", "ファイル書き込みエラー"}));
    expectAllEnabled();
}

TEST_F(convert_command, nothing_else_runs_during_a_conversion) {
    readExample();
    int checks = 0;
    view.onEvents = [&] {
        if (checks++ > 0) {
            return;
        }
        for (const ControlDesign& design : controlDesigns()) {
            const bool mustStayEnabled = design.control == labelBMPSize || design.control == labelPercent ||
                                         design.control == pbarCount || design.control == imageOrig;
            EXPECT_EQ(view.isEnabled(design.control), mustStayEnabled) << design.objectName;
        }
        view.setText(textFile(0), copyOfData("cases/thirds-300x3.bmp"));
        cmdReadFile_Click(form);
        EXPECT_FALSE(cmdConvert_Click(form));
    };
    EXPECT_TRUE(cmdConvert_Click(form));
    EXPECT_GT(checks, 0);
    EXPECT_EQ(view.messages(), Strings{"変換終了して、ファイルに書き出しました"});
    EXPECT_EQ(state.FileLength, 862);  // the example, not the bitmap the second read named
}

TEST_F(convert_command, layer_names_are_written_in_code_page_932) {
    readExample();
    view.setText(textLayer, "  図面 A  ");
    EXPECT_TRUE(cmdConvert_Click(form));
    EXPECT_NE(test::readBytes(output).find("  8\r\n\x90\x7D\x96\xCA A\r\n"), std::string::npos);
    test::keepForReaderCheck(output, "convert_command-japanese-layer");
}

}  // namespace
}  // namespace kelvarin
