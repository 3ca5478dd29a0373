// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "app/FieldBehaviour.h"
#include "app/FileSelection.h"
#include "fileutil/Path.h"
#include "support/FormFixture.h"

namespace kelvarin {
namespace {

using Strings = std::vector<std::string>;
using field_behaviour = test::FormFixture;
using file_selection = test::FormFixture;

TEST_F(field_behaviour, size_fields_keep_the_proportions) {
    setBitmapSize(640, 480);
    const auto type = [&](int index, const char* text) {
        view.setText(textSize(index), text);
        textSize_KeyUp(form, index);
        return view.text(textSize(1 - index));
    };
    EXPECT_EQ(type(1, " 48 "), "64");
    EXPECT_EQ(view.text(textSize(1)), " 48 ");  // the field typed in is never rewritten

    setBitmapSize(300, 100);
    EXPECT_EQ(type(0, "1"), "0.333333333333333");

    // Half-typed or foreign text and unusable sizes leave the other field alone.
    for (const char* text : {"1,5", "abc", "-", "1e999"}) {
        EXPECT_EQ(type(0, text), "0.333333333333333") << text;
    }
    EXPECT_EQ(type(0, "1e-20"), "3.33333333333333E-21");
    setBitmapSize(0, 100);
    EXPECT_EQ(type(0, "5"), "3.33333333333333E-21");
    setBitmapSize(300, -1);
    EXPECT_EQ(type(1, "7"), "5");
}

TEST_F(field_behaviour, focus_selects_the_whole_text) {
    view.setText(textLayer, "0");
    textLayer_GotFocus(form);
    EXPECT_EQ(view.selectionField, textLayer);
    EXPECT_EQ(view.selectionStart, 0);
    EXPECT_EQ(view.selectionLength, 1);
    view.setText(textFile(1), "/図面/出力.dxf");
    textFile_GotFocus(form, 1);
    EXPECT_EQ(view.selectionLength, 10);
    view.setText(textSize(0), "");
    textSize_GotFocus(form, 0);
    EXPECT_EQ(view.selectionLength, 0);
    textOffset_GotFocus(form, 1);
    EXPECT_EQ(view.selectionField, textOffset(1));
}

TEST_F(field_behaviour, help_and_end_go_to_the_window) {
    cmdHelp_Click(form, 1);
    EXPECT_EQ(view.helpContents, Strings{state.HelpFilePath});
    cmdHelp_Click(form, 0);
    EXPECT_EQ(view.contextHelp, Strings{state.HelpFilePath});
    cmdEnd_Click(form);
    EXPECT_TRUE(view.closed);
    EXPECT_TRUE(view.messages().empty());
}

TEST_F(file_selection, auto_names_the_output_after_the_picture) {
    view.setText(textFile(0), "  /a/photo.Bmp  ");
    view.setText(textFile(1), "/old/name.dxf");
    cmdRefer_Click(form, 2);
    EXPECT_EQ(view.text(textFile(1)), "/a/photo.dxf");
    EXPECT_EQ(view.toolTip(textFile(1)), "変換先DXF：[/a/photo.dxf]");
    EXPECT_EQ(view.text(textFile(0)), "  /a/photo.Bmp  ");
    for (const char* scan : {"/a/scan.PDF", "/a/scan.ppm", "/a/scan.pam"}) {
        view.setText(textFile(0), scan);
        cmdRefer_Click(form, 2);
        EXPECT_EQ(view.text(textFile(1)), "/a/scan.dxf") << scan;
    }
    view.setText(textFile(0), ".bmp");
    cmdRefer_Click(form, 2);
    EXPECT_EQ(view.text(textFile(1)), ".dxf");
    EXPECT_TRUE(view.messages().empty());

    for (const char* source : {"", "   ", "/a/photo.jpeg", "bmp"}) {
        view.clearLog();
        view.setText(textFile(0), source);
        cmdRefer_Click(form, 2);
        EXPECT_EQ(view.messages(), Strings{"BMPファイルが指定されていません"}) << source;
        EXPECT_EQ(view.text(textFile(1)), ".dxf");
    }
}

TEST_F(file_selection, browse_buttons_use_the_dialog) {
    const std::string existing = work.file("map.bmp");
    test::writeBytes(existing, "x");
    view.dialogAnswers = {existing, std::nullopt, work.file("missing.bmp"), work.file("new.dxf")};

    cmdRefer_Click(form, 0);
    ASSERT_EQ(view.dialogRequests.size(), 1u);
    EXPECT_EQ(view.dialogRequests[0].title, "入力画像ファイル名");
    EXPECT_EQ(view.dialogRequests[0].filter, "*.bmp *.tif *.tiff *.png *.pbm *.pgm *.pnm *.ppm *.pam *.pdf");
    EXPECT_EQ(GetDirectoryPart(view.dialogRequests[0].initialFile), program.path());
    EXPECT_EQ(view.text(textFile(0)), existing);
    EXPECT_EQ(view.toolTip(textFile(0)), "変換元BMP：[" + existing + "]");

    cmdRefer_Click(form, 0);  // cancelled; the dialog started where the picture was chosen
    EXPECT_EQ(GetDirectoryPart(view.dialogRequests[1].initialFile), work.path());
    EXPECT_EQ(view.text(textFile(0)), existing);
    EXPECT_TRUE(view.messages().empty());

    cmdRefer_Click(form, 0);  // a picture that does not exist
    EXPECT_EQ(view.messages(), Strings{"ファイルがありません in ReferFile"});
    EXPECT_EQ(view.text(textFile(0)), existing);

    view.setText(textFile(0), "/elsewhere/plan.png");
    cmdRefer_Click(form, 1);  // the output need not exist; it is saved, looked for beside the picture
    EXPECT_TRUE(view.dialogRequests.back().save);
    EXPECT_EQ(GetDirectoryPart(view.dialogRequests.back().initialFile), "/elsewhere");
    EXPECT_EQ(view.dialogRequests.back().title, "出力ファイル名");
    EXPECT_EQ(view.dialogRequests.back().filter, "*.dxf");
    EXPECT_EQ(view.text(textFile(1)), work.file("new.dxf"));
    EXPECT_EQ(view.toolTip(textFile(1)), "変換先DXF：[" + work.file("new.dxf") + "]");
}

}  // namespace
}  // namespace kelvarin
