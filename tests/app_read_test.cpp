// SPDX-License-Identifier: GPL-3.0-or-later
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "app/BitmapSizeDisplay.h"
#include "app/ConvertCommand.h"
#include "app/ReadCommand.h"
#include "bitmap/PreviewPicture.h"
#include "support/FormFixture.h"

namespace kelvarin {
namespace {

using Strings = std::vector<std::string>;
using read_command = test::FormFixture;
using bitmap_size_display = test::FormFixture;

const std::string kReadError = "ファイル読み込みエラー in cmdReadFile_Click\r\n";

TEST_F(read_command, accepts_a_bitmap_and_opens_the_settings) {
    view.setText(textFile(0), copyOfData("bitmaps/w100.bmp"));
    EXPECT_TRUE(cmdReadFile_Click(form));
    EXPECT_TRUE(view.messages().empty());
    EXPECT_TRUE(state.FileLoaded);
    EXPECT_EQ(view.text(textSize(0)), "100");
    EXPECT_EQ(view.text(textSize(1)), "5");
    for (const ControlDesign& design : controlDesigns()) {
        EXPECT_TRUE(view.isEnabled(design.control)) << design.objectName;
    }
    // 9195 x 4455 twips free; a 20:1 bitmap fills the width: 9195 x 460 (459.75 rounded).
    EXPECT_EQ(view.imageWidth, 9195);
    EXPECT_EQ(view.imageHeight, 460);
    EXPECT_TRUE(view.stretch);
    EXPECT_EQ(view.text(labelBMPSize), "100dots × 5dots : 表示 613%");
    ASSERT_NE(view.picture, nullptr);
    EXPECT_EQ(view.picture->width, 100);
    EXPECT_EQ(state.Vram.width(), 100);
    EXPECT_EQ(state.PassNumber, 0);
    const Strings captions = view.captions();
    EXPECT_EQ(captions.front(), "100%");  // reading, one block
    EXPECT_EQ(captions[1], "Pass0 : %");  // the transfer, as pass 0
    EXPECT_EQ(captions.back(), "Pass0 : 100%");
}

TEST_F(read_command, refusals_show_one_message_each) {
    struct Case {
        std::string path;
        Strings messages;
    };
    mkdir(work.file("folder.bmp").c_str(), 0755);
    const Case cases[] = {
        {"   ", {"ファイル名が指定されていません"}},
        {work.file("missing.bmp"), {"ファイルが見つかりません"}},
        {work.file("folder.bmp"), {"ファイル読み込みエラー in ReadFile", "ファイル読み込みエラー"}},
        {copyOfData("bitmaps/rle1.bmp"), {"圧縮ファイルは扱えません"}},
        {copyOfData("bitmaps/tiny13.bmp"), {kReadError + "9:ファイルが短すぎて情報ヘッダがありません。"}},
        {copyOfData("bitmaps/empty.bmp"), {kReadError + "9:ファイルが短すぎて情報ヘッダがありません。"}},
        {copyOfData("bitmaps/offset-past-end.bmp"), {kReadError + "9:データオフセットがファイルの外を指しています。"}},
    };
    for (const Case& c : cases) {
        view.clearLog();
        view.setText(textFile(0), c.path);
        EXPECT_FALSE(cmdReadFile_Click(form)) << c.path;
        EXPECT_EQ(view.messages(), c.messages) << c.path;
        EXPECT_FALSE(state.FileLoaded);
        EXPECT_FALSE(view.isEnabled(cmdConvert));
        EXPECT_EQ(view.text(labelBMPSize), "サイズ");
        EXPECT_EQ(state.PassNumber, 0);
    }
}

TEST_F(read_command, a_refused_file_leaves_the_earlier_settings_but_no_picture) {
    for (const char* refused : {"bitmaps/24bit.bmp", "bitmaps/truncated-rows.bmp"}) {
        view.clearLog();
        readAccepted("bitmaps/w100.bmp");
        ASSERT_NE(view.picture, nullptr);
        read(copyOfData(refused));
        EXPECT_FALSE(view.messages().empty()) << refused;
        EXPECT_FALSE(state.FileLoaded) << refused;
        EXPECT_EQ(view.text(textSize(0)), "100");
        EXPECT_EQ(view.text(textSize(1)), "5");
        // Neither the size nor the preview of the earlier picture, nor of the broken one; nothing to convert.
        EXPECT_EQ(view.text(labelBMPSize), designOf(labelBMPSize).caption) << refused;
        EXPECT_EQ(view.picture, nullptr);
        EXPECT_FALSE(view.isEnabled(cmdConvert)) << refused;
        EXPECT_EQ(state.PicturePath, "");
    }
    EXPECT_EQ(state.FileLength, 287);
}

// Reading the same file again (for a new threshold or page) keeps typed sizes while its dots stay; another
// file, or other dots, start from the dots, and another file drops the previous one's output name and skew.
TEST_F(read_command, a_re_read_keeps_typed_sizes_and_a_new_file_starts_afresh) {
    const std::string w100 = copyOfData("bitmaps/w100.bmp");
    read(w100);
    view.setText(textSize(0), "250");
    view.setText(textSize(1), "12.5");
    view.setText(textFile(1), work.file("w100.dxf"));
    state.SkewDegrees = 1.5;
    read(" " + w100);
    EXPECT_TRUE(state.SizesKept);
    EXPECT_EQ(view.text(textSize(0)), "250");
    EXPECT_EQ(view.text(textSize(1)), "12.5");
    EXPECT_EQ(view.text(textFile(1)), work.file("w100.dxf"));
    EXPECT_EQ(state.SkewDegrees, 1.5);

    // The same name, now another picture of other dots.
    std::filesystem::copy_file(test::dataPath("bitmaps/w33.bmp"), w100,
                               std::filesystem::copy_options::overwrite_existing);
    read(w100);
    EXPECT_FALSE(state.SizesKept);
    EXPECT_EQ(view.text(textSize(0)), "33");

    view.setText(textSize(0), "250");
    read(copyOfData("bitmaps/w32.bmp"));
    EXPECT_TRUE(state.FileLoaded);
    EXPECT_FALSE(state.SizesKept);
    EXPECT_EQ(view.text(textSize(0)), "32");
    EXPECT_EQ(view.text(textFile(1)), "");
    EXPECT_EQ(view.toolTip(textFile(1)), designOf(textFile(1)).toolTip);
    EXPECT_EQ(state.SkewDegrees, 0);
    EXPECT_EQ(state.PicturePath, work.file("w32.bmp"));
}

TEST_F(read_command, sizes_the_program_cannot_use_are_reported) {
    struct Case {
        const char* file;
        std::string message;
    };
    const Case cases[] = {
        {"bitmaps/width0.bmp", kReadError + "11:幅または高さが 0 のビットマップは扱えません。"},
        {"bitmaps/height0.bmp", kReadError + "11:幅または高さが 0 のビットマップは扱えません。"},
        {"bitmaps/topdown.bmp", kReadError + "321:上から下へ行を格納したビットマップ（高さが負）は扱えません。"},
    };
    for (const Case& c : cases) {
        view.clearLog();
        view.setText(textFile(0), copyOfData(c.file));
        EXPECT_FALSE(cmdReadFile_Click(form)) << c.file;
        // The header passed its checks: the failure comes when the preview is fitted, before the size
        // fields, the settings and the grid are touched.
        EXPECT_EQ(view.messages().back(), c.message) << c.file;
        EXPECT_FALSE(state.FileLoaded);
        EXPECT_FALSE(view.isEnabled(cmdConvert));
        EXPECT_EQ(view.text(textSize(0)), "");
        EXPECT_EQ(state.Vram.width(), 0);
        EXPECT_EQ(state.PassNumber, 0);
    }
}

TEST_F(read_command, missing_pixel_rows_fail_without_huge_allocations) {
    read(copyOfData("bitmaps/huge-dimensions.bmp"));  // 100000 x 100000 dots in 200 bytes
    ASSERT_EQ(view.messages().size(), 2u);
    EXPECT_EQ(view.messages()[0],
              "イメージコントロールに読み込めないビットマップファイルです\r\n画像の表示はできません");
    EXPECT_EQ(view.messages()[1],
              kReadError + "9:画素データが足りません（必要 1250000000 バイト、ファイル内 138 バイト）。");
    // Nothing of the broken picture stays: not its size, nor a conversion to start.
    EXPECT_EQ(view.text(textSize(0)), "");
    EXPECT_EQ(view.text(labelBMPSize), designOf(labelBMPSize).caption);
    EXPECT_FALSE(view.isEnabled(cmdConvert));
    EXPECT_EQ(state.Vram.width(), 0);
    view.clearLog();
    view.setText(textFile(1), work.file("out.dxf"));
    EXPECT_FALSE(cmdConvert_Click(form));
    EXPECT_EQ(view.messages(), Strings{"ファイルは読み込まれていません"});
}

TEST_F(read_command, an_unshowable_picture_is_only_a_warning) {
    // The picture field changes while the file is read: the preview loads what the field names then.
    const std::string input = copyOfData("bitmaps/w100.bmp");
    const std::string other = copyOfData("bitmaps/24bit.bmp");
    view.onEvents = [&] { view.setText(textFile(0), other); };
    read(input);
    view.onEvents = nullptr;
    EXPECT_EQ(view.messages(),
              Strings{"イメージコントロールに読み込めないビットマップファイルです\r\n画像の表示はできません"});
    EXPECT_TRUE(state.FileLoaded);
    EXPECT_EQ(view.text(textSize(0)), "100");
    EXPECT_EQ(state.Vram.width(), 100);
    EXPECT_TRUE(view.isEnabled(cmdConvert));
}

TEST_F(read_command, cannot_start_twice) {
    const std::string first = copyOfData("bitmaps/w100.bmp");
    const std::string second = copyOfData("bitmaps/w33.bmp");
    int nested = 0;
    view.onEvents = [&] {
        if (nested++ == 0) {
            view.setText(textFile(0), second);
            cmdReadFile_Click(form);  // ignored: the first read is still running
        }
    };
    view.setText(textFile(0), first);
    cmdReadFile_Click(form);
    view.onEvents = nullptr;
    EXPECT_EQ(state.FileLength, 142);  // the first file's, not the second's
    EXPECT_EQ(view.text(textSize(0)), "100");
}

TEST_F(bitmap_size_display, fits_the_area_and_writes_the_zoom) {
    // 640 x 480 dots; the free area is 4800 twips high and wide enough, so the preview is 6400 x 4800
    // twips; at 15 twips per pixel that is 426.67 pixels for 640 dots.
    setBitmapSize(640, 480);
    view.clientWidth = 20000;
    view.clientHeight = 3600 + 4800 + 240;
    ShowBitmapSize(form);
    EXPECT_EQ(view.imageWidth, 6400);
    EXPECT_EQ(view.imageHeight, 4800);
    EXPECT_EQ(view.text(labelBMPSize), "640dots × 480dots : 表示 66.7%");

    view.clientHeight = 3600 + 3600 + 240;  // 4800 x 3600 twips: 320 pixels
    ShowBitmapSize(form);
    EXPECT_EQ(view.text(labelBMPSize), "640dots × 480dots : 表示 50%");
    view.clientHeight = 3600 + 7200 + 240;  // 9600 twips wide: 640 pixels
    ShowBitmapSize(form);
    EXPECT_EQ(view.text(labelBMPSize), "640dots × 480dots : 表示 100%");
    // Small zooms keep the digit before the point; whole percents show no point.
    const std::pair<std::int32_t, const char*> zooms[] = {
        {61300, "61300dots × 480dots : 表示 1%"},
        {58000, "58000dots × 480dots : 表示 1.1%"},
        {122600, "122600dots × 480dots : 表示 0.5%"},
    };
    view.clientWidth = 9195 + 480;  // 613 pixels
    for (const auto& [width, caption] : zooms) {
        setBitmapSize(width, 480);
        ShowBitmapSize(form);
        EXPECT_EQ(view.text(labelBMPSize), caption);
    }

    // A tall area: the width limits. Halves round to even: 9195 / 2 = 4597.5 gives 4598.
    setBitmapSize(2, 1);
    view.clientWidth = 9675;
    view.clientHeight = 30000;
    ShowBitmapSize(form);
    EXPECT_EQ(view.imageWidth, 9195);
    EXPECT_EQ(view.imageHeight, 4598);
    view.clientWidth = 9675 - 2;  // 9193 / 2 = 4596.5 gives 4596
    ShowBitmapSize(form);
    EXPECT_EQ(view.imageHeight, 4596);

    // Square bitmap, equal ratios: the whole area.
    setBitmapSize(10, 10);
    view.clientWidth = 240 * 2 + 5000;
    view.clientHeight = 3600 + 240 + 5000;
    ShowBitmapSize(form);
    EXPECT_EQ(view.imageWidth, 5000);
    EXPECT_EQ(view.imageHeight, 5000);
}

TEST_F(bitmap_size_display, resizing_refits_only_a_loaded_bitmap) {
    setBitmapSize(640, 480);
    Form_Resize(form);  // nothing loaded: nothing changes
    EXPECT_EQ(view.text(labelBMPSize), "サイズ");
    EXPECT_EQ(view.imageWidth, 9255);

    readAccepted("bitmaps/w100.bmp");
    view.clientWidth = 5000;
    view.minimized = true;
    Form_Resize(form);
    EXPECT_EQ(view.imageWidth, 9195);
    view.minimized = false;
    Form_Resize(form);
    EXPECT_EQ(view.imageWidth, 4520);
    EXPECT_EQ(view.text(labelBMPSize), "100dots × 5dots : 表示 301.3%");

    view.clientWidth = 400;  // no room left: the preview keeps its last fit, and no message
    Form_Resize(form);
    EXPECT_EQ(view.imageWidth, 4520);
    setBitmapSize(0, 5);
    view.clientWidth = 9675;
    Form_Resize(form);
    EXPECT_EQ(view.imageWidth, 4520);
    EXPECT_TRUE(view.messages().empty());
}

}  // namespace
}  // namespace kelvarin
