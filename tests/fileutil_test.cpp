// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "common/Error.h"
#include "fileutil/Cp932Codec.h"
#include "fileutil/DirectorySearch.h"
#include "fileutil/FileInfo.h"
#include "fileutil/Path.h"
#include "fileutil/SafeFileWriter.h"
#include "support/FakeView.h"
#include "support/TestSupport.h"

namespace kelvarin {
namespace {

using test::FakeView;
using test::TempDir;

TEST(path_parts, split_at_the_last_separator) {
    EXPECT_EQ(GetFileNamePart("/a/b.bmp"), "b.bmp");
    EXPECT_EQ(GetDirectoryPart("/a/b.bmp"), "/a");
    EXPECT_EQ(GetFileNamePart("b.bmp"), "");
    EXPECT_EQ(GetDirectoryPart("b.bmp"), "");
    EXPECT_EQ(GetDirectoryPart("/b.bmp"), "/");
    EXPECT_EQ(GetFileNamePart("/a/dir/"), "");
}

TEST(path_parts, join_removes_one_separator_at_each_place) {
    EXPECT_EQ(JoinPath("/data/", "/a.bmp", false), "/data/a.bmp");
    EXPECT_EQ(JoinPath("/data", "", false), "/data");
    EXPECT_EQ(JoinPath("/data", "", true), "/data/");
    EXPECT_EQ(JoinPath("/data//", "a.bmp", false), "/data//a.bmp");
    EXPECT_EQ(JoinPath("/data", "sub/", false), "/data/sub");
    EXPECT_EQ(JoinPath("/", "a.bmp", false), "/a.bmp");
    EXPECT_EQ(baseNameWithoutExtension("/opt/kelvarin/bin/kelvarin"), "kelvarin");
    EXPECT_EQ(baseNameWithoutExtension("/x/tool.exe"), "tool");
}

TEST(path_parts, relative_paths_resolve_against_the_current_directory) {
    TempDir dir;
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    const std::string resolved = absolutePath("a.bmp");
    ASSERT_EQ(chdir(previous), 0);
    EXPECT_EQ(resolved, dir.file("a.bmp"));
    EXPECT_EQ(absolutePath("/x/y"), "/x/y");
}

class directory_search : public ::testing::Test {
protected:
    void SetUp() override {
        test::writeBytes(dir.file("plain.bmp"), "x");
        test::writeBytes(dir.file(".hidden.bmp"), "x");
        test::writeBytes(dir.file("locked.bmp"), "x");
        chmod(dir.file("locked.bmp").c_str(), 0444);
        mkdir(dir.file("folder.bmp").c_str(), 0755);
        mkfifo(dir.file("pipe.bmp").c_str(), 0644);
    }
    TempDir dir;
};

TEST_F(directory_search, existence_mask_finds_every_kind_of_entry) {
    for (const char* name : {"plain.bmp", ".hidden.bmp", "locked.bmp", "folder.bmp", "pipe.bmp"}) {
        EXPECT_EQ(CheckFileExists(dir.file(name)), 0) << name;
    }
    EXPECT_EQ(CheckFileExists(dir.file("missing.bmp")), 3);
    EXPECT_EQ(CheckFileExists(dir.file("missing/deeper.bmp")), 3);
    EXPECT_EQ(CheckFileExists(std::string("bad\0name", 8)), 1);
}

TEST_F(directory_search, mask_zero_finds_only_plain_files) {
    EXPECT_TRUE(entryExists(dir.file("plain.bmp"), 0));
    EXPECT_TRUE(entryExists(dir.file("locked.bmp"), 0));
    EXPECT_FALSE(entryExists(dir.file(".hidden.bmp"), 0));
    EXPECT_FALSE(entryExists(dir.file("folder.bmp"), 0));
    EXPECT_FALSE(entryExists(dir.file("pipe.bmp"), 0));
    EXPECT_TRUE(entryExists(dir.file(".hidden.bmp"), attribute::Hidden));
}

TEST_F(directory_search, wildcards_list_matches_in_name_order) {
    DirectorySearch search;
    EXPECT_EQ(search.first(dir.file("*.bmp"), ExistenceMask), ".hidden.bmp");
    EXPECT_EQ(search.next(), "folder.bmp");
    EXPECT_EQ(search.next(), "locked.bmp");
    EXPECT_EQ(search.next(), "pipe.bmp");
    EXPECT_EQ(search.next(), "plain.bmp");
    EXPECT_EQ(search.next(), "");
    EXPECT_EQ(search.first(dir.file("p*.bmp"), 0), "plain.bmp");
    EXPECT_EQ(search.next(), "");
    EXPECT_EQ(search.first(dir.path() + "/", ExistenceMask), ".");
}

TEST_F(directory_search, file_info_describes_the_entry) {
    FakeView view;
    test::writeBytes(dir.file("sized.bmp"), std::string(1234, 'a'));
    const FileInfo info = GetFileInfo(dir.path() + "/", "sized.bmp", view);
    EXPECT_EQ(info.name, "sized.bmp");
    EXPECT_EQ(info.fullPath, dir.file("sized.bmp"));
    EXPECT_EQ(info.directory, dir.path() + "/");
    EXPECT_EQ(info.length, 1234);
    EXPECT_EQ(info.attributes, attribute::Archive);
    EXPECT_EQ(info.stamp.size(), 14u);
    EXPECT_GE(info.written[0], 2020);
    EXPECT_TRUE(view.messages().empty());

    EXPECT_EQ(GetFileInfo(dir.path(), "locked.bmp", view).attributes, attribute::Archive | attribute::ReadOnly);
    EXPECT_EQ(GetFileInfo(dir.path(), "folder.bmp", view).attributes, attribute::Directory);
    EXPECT_EQ(GetFileInfo("", "plain.bmp", view).name, "");
    EXPECT_EQ(GetFileInfo(dir.path(), "nothing.bmp", view).name, "");
    EXPECT_EQ(GetFileInfo(dir.path(), "", view).name, "");
    EXPECT_TRUE(view.messages().empty());
}

TEST(cp932_codec, round_trips_japanese_text) {
    Cp932Codec codec;
    const std::string layer = "図面レイヤー①";
    const std::string encoded = codec.encode(layer);
    EXPECT_EQ(encoded.substr(0, 2), "\x90\x7D");  // 図
    EXPECT_EQ(codec.decode(encoded), layer);
    EXPECT_EQ(codec.encode("plain ASCII"), "plain ASCII");
    // The yen sign and backslash stay distinct bytes as the code page defines them.
    EXPECT_EQ(codec.decode("\\"), "\\");
    EXPECT_EQ(codec.encode("ｶﾀｶﾅ"), "\xB6\xC0\xB6\xC5");
}

TEST(cp932_codec, refuses_what_it_cannot_represent) {
    Cp932Codec codec;
    try {
        codec.encode("layer😀");
        ADD_FAILURE() << "an emoji was encoded";
    } catch (const KelvarinError& error) {
        EXPECT_NE(error.description().find("layer😀"), std::string::npos);
    }
    EXPECT_THROW(codec.encode("Ωmega\xC3"), KelvarinError);  // cut-off UTF-8
    EXPECT_THROW(codec.decode("\x82"), KelvarinError);       // a lead byte without its trail byte
    EXPECT_THROW(codec.decode("\xA0\xFD"), KelvarinError);
}

void writeAll(const std::string& path, const std::string& text) {
    SafeFileWriter writer(path);
    writer.write(text);
    writer.commit();
}

TEST(safe_file_writer, replaces_the_file_only_when_committed) {
    TempDir dir;
    const std::string path = dir.file("out.dxf");
    test::writeBytes(path, "old contents");
    chmod(path.c_str(), 0640);
    {
        SafeFileWriter writer(path);
        writer.write("half");
        EXPECT_EQ(test::readBytes(path), "old contents");
        EXPECT_EQ(test::filesIn(dir.path()).size(), 1u);  // the temporary file has no name yet
    }
    EXPECT_EQ(test::readBytes(path), "old contents");
    EXPECT_EQ(test::filesIn(dir.path()).size(), 1u);  // no temporary file left

    writeAll(path, std::string(3 << 20, 'z'));
    EXPECT_EQ(test::readBytes(path).size(), 3u << 20);
    struct stat status {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
    EXPECT_EQ(test::filesIn(dir.path()).size(), 1u);
}

TEST(safe_file_writer, writes_through_a_link_and_into_devices) {
    TempDir dir;
    test::writeBytes(dir.file("target.dxf"), "old");
    ASSERT_EQ(symlink(dir.file("target.dxf").c_str(), dir.file("link.dxf").c_str()), 0);
    writeAll(dir.file("link.dxf"), "new");
    EXPECT_EQ(test::readBytes(dir.file("target.dxf")), "new");
    struct stat status {};
    ASSERT_EQ(lstat(dir.file("link.dxf").c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));

    writeAll("/dev/null", "discarded");
    ASSERT_EQ(stat("/dev/null", &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode));
}

TEST(safe_file_writer, names_of_the_full_length_work) {
    TempDir dir;
    std::string kanji = "ab";
    for (int i = 0; i < 83; ++i) {
        kanji += "図";
    }
    for (const std::string& name : {std::string(251, 'a') + ".dxf", kanji + ".dxf"}) {
        ASSERT_EQ(name.size(), 255u);
        const std::string path = dir.file(name);
        writeAll(path, "new");
        EXPECT_EQ(test::readBytes(path), "new");
        writeAll(path, "newer");  // replacing an existing file
        EXPECT_EQ(test::readBytes(path), "newer");
    }
    EXPECT_EQ(test::filesIn(dir.path()).size(), 2u);
}

TEST(safe_file_writer, refuses_what_it_must_not_replace) {
    TempDir dir;
    test::writeBytes(dir.file("readonly.dxf"), "keep");
    chmod(dir.file("readonly.dxf").c_str(), 0444);
    mkdir(dir.file("folder.dxf").c_str(), 0755);
    for (const std::string& path :
         {dir.file("readonly.dxf"), dir.file("folder.dxf"), dir.file("missing/out.dxf"), std::string()}) {
        EXPECT_THROW(writeAll(path, "new"), KelvarinError) << path;
    }
    EXPECT_EQ(test::readBytes(dir.file("readonly.dxf")), "keep");
    EXPECT_EQ(test::filesIn(dir.path()).size(), 2u);
}

}  // namespace
}  // namespace kelvarin
