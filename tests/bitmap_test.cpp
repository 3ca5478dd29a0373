// SPDX-License-Identifier: GPL-3.0-or-later
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "bitmap/BmpHeader.h"
#include "bitmap/PreviewPicture.h"
#include "bitmap/ReadFile.h"
#include "common/Error.h"
#include "support/FakeView.h"
#include "support/TestSupport.h"

namespace kelvarin {
namespace {

using test::FakeView;
using Strings = std::vector<std::string>;

// The pattern of the committed valid bitmaps, in picture coordinates (t counts rows from the top).
bool patternBlack(int x, int t, int width) { return (7 * x + 3 * t) % 5 == 0 || x == width - 1; }

BitmapData readData(const std::string& name, FakeView& view) {
    BitmapData data;
    EXPECT_TRUE(ReadFile(test::dataPath(name), data, view)) << name;
    return data;
}

TEST(bytes_to_long, little_endian_with_overflow_as_minus_one) {
    const std::uint8_t largest[] = {0xFF, 0xFF, 0xFF, 0x7F};
    const std::uint8_t tooLarge[] = {0x00, 0x00, 0x00, 0x80};
    const std::uint8_t mixed[] = {0x34, 0x12, 0x00, 0x00, 0x01};
    EXPECT_EQ(BytesToLong(largest, 4), 2147483647);
    EXPECT_EQ(BytesToLong(tooLarge, 4), -1);
    EXPECT_EQ(BytesToLong(mixed, 2), 0x1234);
    EXPECT_EQ(BytesToLong(mixed, 0), 0);
    EXPECT_EQ(BytesToLong(mixed, 5), -1);
    EXPECT_EQ(rowStride(1), 4);
    EXPECT_EQ(rowStride(32), 4);
    EXPECT_EQ(rowStride(33), 8);
    EXPECT_EQ(rowStride(100), 16);
}

TEST(bitmap_checks, refuse_in_their_fixed_order) {
    struct Case {
        const char* file;
        const char* message;
    };
    // clang-format off
    const Case cases[] = {
        {"bitmaps/bad-signature.bmp",       "これは BMPファイルではありません"},
        {"bitmaps/bad-signature-24bit.bmp", "これは BMPファイルではありません"},
        {"cases/README.md",                 "これは BMPファイルではありません"},
        {"bitmaps/4bit.bmp",                "白黒２値ファイルしか扱えません"},
        {"bitmaps/24bit.bmp",               "白黒２値ファイルしか扱えません"},
        {"bitmaps/rle8.bmp",                "白黒２値ファイルしか扱えません"},
        {"bitmaps/bitcount-0x0101.bmp",     "白黒２値ファイルしか扱えません"},
        {"bitmaps/rle1.bmp",                "圧縮ファイルは扱えません"},
        {"bitmaps/compression-0x0100.bmp",  "圧縮ファイルは扱えません"},
        {"bitmaps/filesize-2pow31.bmp",     "サイズが大きすぎて扱えません"},
        {"bitmaps/offset-2pow31.bmp",       "データオフセットが異常で扱えません"},
    };
    // clang-format on
    for (const Case& c : cases) {
        FakeView view;
        BitmapData data = readData(c.file, view);
        view.clearLog();
        EXPECT_FALSE(DecodeBitmap(data, view)) << c.file;
        EXPECT_EQ(view.messages(), Strings{c.message}) << c.file;
        EXPECT_FALSE(data.FileLoaded);
        EXPECT_EQ(data.BmpHeader[0], data.FileBytes[0]);
    }
}

TEST(bitmap_checks, accept_one_bit_uncompressed_files_of_any_header_version) {
    for (const char* name : {"bitmaps/w1.bmp", "bitmaps/w100.bmp", "bitmaps/v4-header.bmp", "bitmaps/v5-header.bmp",
                             "bitmaps/filesize-2pow31-1.bmp", "bitmaps/width0.bmp", "bitmaps/topdown.bmp"}) {
        FakeView view;
        BitmapData data = readData(name, view);
        view.clearLog();
        EXPECT_TRUE(DecodeBitmap(data, view)) << name;
        EXPECT_TRUE(data.FileLoaded);
        EXPECT_TRUE(view.messages().empty()) << name;
        const std::size_t offset = BytesToLong(&data.BmpHeader[bmp::DataOffsetOffset], 4);
        ASSERT_EQ(data.PixelBytes.size(), data.FileBytes.size() - offset) << name;
        EXPECT_TRUE(std::equal(data.PixelBytes.begin(), data.PixelBytes.end(), data.FileBytes.begin() + offset));
    }
    FakeView view;
    BitmapData topdown = readData("bitmaps/topdown.bmp", view);
    ASSERT_TRUE(DecodeBitmap(topdown, view));
    EXPECT_EQ(bitmapHeight(topdown.BmpHeader), -1);
    EXPECT_EQ(bitmapWidth(topdown.BmpHeader), 8);
}

TEST(bitmap_checks, never_allocate_more_than_the_file_holds) {
    FakeView view;
    BitmapData huge = readData("bitmaps/huge-filesize.bmp", view);  // the header claims 2 GiB
    ASSERT_TRUE(DecodeBitmap(huge, view));
    EXPECT_EQ(huge.PixelBytes.size(), 574u - 62u);
    BitmapData none = readData("bitmaps/filesize0.bmp", view);  // the header claims nothing
    ASSERT_TRUE(DecodeBitmap(none, view));
    EXPECT_TRUE(none.PixelBytes.empty());
}

TEST(bitmap_checks, files_without_a_header_fail_as_errors) {
    for (const char* name :
         {"bitmaps/empty.bmp", "bitmaps/tiny13.bmp", "bitmaps/truncated-header.bmp", "bitmaps/offset-past-end.bmp"}) {
        FakeView view;
        BitmapData data = readData(name, view);
        try {
            DecodeBitmap(data, view);
            ADD_FAILURE() << name << " was decoded";
        } catch (const KelvarinError& error) {
            EXPECT_EQ(error.code(), ErrorCode::SubscriptOutOfRange) << name;
        }
        EXPECT_FALSE(data.FileLoaded);
    }
}

TEST(read_file, reads_every_byte_with_progress) {
    test::TempDir dir;
    std::string bytes(16384, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 7);
    }
    test::writeBytes(dir.file("two.bin"), bytes);
    FakeView view;
    BitmapData data;
    ASSERT_TRUE(ReadFile(dir.file("two.bin"), data, view));
    EXPECT_EQ(data.FileLength, 16384);
    EXPECT_EQ(std::string(data.FileBytes.begin(), data.FileBytes.end()), bytes);
    EXPECT_EQ(view.captions().back(), "100%");

    test::writeBytes(dir.file("empty.bin"), "");
    view.clearLog();
    ASSERT_TRUE(ReadFile(dir.file("empty.bin"), data, view));
    EXPECT_EQ(data.FileLength, 0);
    EXPECT_EQ(view.captions(), Strings{"100%"});

    // Below half a percent the percentage is empty.
    test::writeBytes(dir.file("large.bin"), std::string(201 * 8192, 'x'));
    view.clearLog();
    ASSERT_TRUE(ReadFile(dir.file("large.bin"), data, view));
    EXPECT_EQ(view.captions().front(), "%");
    EXPECT_EQ(view.captions().back(), "100%");
}

TEST(read_file, reports_what_it_cannot_read) {
    test::TempDir dir;
    FakeView view;
    BitmapData data;
    data.FileLength = 77;
    EXPECT_FALSE(ReadFile(dir.file("missing.bmp"), data, view));
    EXPECT_EQ(view.messages(), Strings{"ファイルが見つかりません"});
    EXPECT_EQ(data.FileLength, 77);

    view.clearLog();
    mkdir(dir.file("folder.bmp").c_str(), 0755);
    EXPECT_FALSE(ReadFile(dir.file("folder.bmp"), data, view));
    EXPECT_EQ(view.messages(), Strings{"ファイル読み込みエラー in ReadFile"});
    EXPECT_NE(data.FileLength, 77);  // set as soon as the image was allocated
}

TEST(read_file, relative_paths_are_found_from_the_current_directory) {
    test::TempDir dir;
    test::writeBytes(dir.file("here.bmp"), "BM");
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    FakeView view;
    BitmapData data;
    const bool read = ReadFile("here.bmp", data, view);
    ASSERT_EQ(chdir(previous), 0);
    EXPECT_TRUE(read);
    EXPECT_EQ(data.FileLength, 2);
    EXPECT_TRUE(view.messages().empty());
}

TEST(preview_picture, decodes_rows_top_down_with_bit_one_white) {
    for (const char* name : {"bitmaps/w33.bmp", "bitmaps/w8.bmp", "bitmaps/v5-header.bmp"}) {
        const PreviewPicture picture = loadPreviewPicture(test::dataPath(name), {});
        for (int t = 0; t < picture.height; ++t) {
            for (int x = 0; x < picture.width; ++x) {
                ASSERT_EQ(picture.isWhite(x, t), !patternBlack(x, t, picture.width)) << name << " " << x << "," << t;
            }
        }
    }
    const PreviewPicture topdown = loadPreviewPicture(test::dataPath("bitmaps/topdown.bmp"), {});
    EXPECT_EQ(topdown.rows, loadPreviewPicture(test::dataPath("bitmaps/w8.bmp"), {}).rows);
}

TEST(preview_picture, refuses_what_it_cannot_show) {
    for (const char* name : {"bitmaps/truncated-rows.bmp", "bitmaps/width0.bmp", "bitmaps/height0.bmp",
                             "bitmaps/4bit.bmp", "bitmaps/huge-dimensions.bmp", "bitmaps/empty.bmp", "missing.bmp"}) {
        try {
            loadPreviewPicture(test::dataPath(name), {});
            ADD_FAILURE() << name << " was shown";
        } catch (const KelvarinError& error) {
            EXPECT_EQ(error.code(), ErrorCode::InvalidPicture) << name;
        }
    }
}

}  // namespace
}  // namespace kelvarin
