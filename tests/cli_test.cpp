// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "app/ConvertCommand.h"
#include "cli/CliRun.h"
#include "cli/CliView.h"
#include "common/Error.h"
#include "support/FormFixture.h"

namespace kelvarin {
namespace {

// Runs kelvarin-cli in-process, its program directory being a copy of the shipped one.
class command_line : public test::FormFixture {
protected:
    int run(const std::vector<std::string>& arguments, const std::string& typed = "", bool terminal = false) {
        std::istringstream in(typed);
        out.str("");
        err.str("");
        const CliEnvironment environment{program.file("kelvarin-cli"), in, out, err, terminal, false, interrupted};
        return runCli(arguments, environment);
    }

    std::ostringstream out;
    std::ostringstream err;
    const volatile std::sig_atomic_t* interrupted = nullptr;
};

TEST_F(command_line, writes_what_the_window_writes) {
    const std::string input = copyOfData("cases/example-100x50.bmp");
    EXPECT_EQ(run({"--offset-x", "10", input}), kExitConverted) << err.str();
    EXPECT_EQ(err.str(), input + ": 変換終了して、ファイルに書き出しました\n");
    const std::string written = test::readBytes(work.file("example-100x50.dxf"));
    EXPECT_EQ(written, test::readBytes(test::dataPath("cases/example-100x50.dxf")));

    // The same settings typed into the window.
    read(input);
    view.setText(textFile(1), work.file("window.dxf"));
    view.setText(textOffset(0), "10");
    view.select(optionMakeLine(2));
    ASSERT_TRUE(cmdConvert_Click(form));
    EXPECT_EQ(run({"--lines=both", "--offset-x=10", "-y", "-o", work.file("cli.dxf"), input}), kExitConverted);
    EXPECT_EQ(test::readBytes(work.file("cli.dxf")), test::readBytes(work.file("window.dxf")));
    test::keepForReaderCheck(work.file("cli.dxf"), "command_line-both");
}

TEST_F(command_line, one_size_keeps_the_proportions) {
    const std::string input = copyOfData("cases/thirds-300x3.bmp");
    EXPECT_EQ(run({"--size-x", "100", "-o", work.file("a.dxf"), input}), kExitConverted) << err.str();
    EXPECT_EQ(test::readBytes(work.file("a.dxf")), test::readBytes(test::dataPath("cases/scale-100-300.dxf")));
    EXPECT_EQ(run({"--size-y", "1", "-q", "-o", work.file("b.dxf"), input}), kExitConverted) << err.str();
    EXPECT_EQ(test::readBytes(work.file("b.dxf")), test::readBytes(work.file("a.dxf")));
    EXPECT_EQ(err.str(), "");
}

TEST_F(command_line, a_refused_input_does_not_stop_the_batch) {
    const std::string good = copyOfData("cases/thirds-300x3.bmp");
    const std::string bad = work.file("notes.bmp");
    test::writeBytes(bad, "just some text");
    const std::string other = copyOfData("cases/example-100x50.bmp");
    EXPECT_EQ(run({"--color", "white", good, bad, work.file("missing.bmp"), other}), kExitFailed);
    // Each message names its input; the counts close the batch.
    EXPECT_EQ(err.str(),
              good + ": 変換終了して、ファイルに書き出しました\n" + bad + ": これは BMPファイルではありません\n" +
                  work.file("missing.bmp") + ": ファイルが見つかりません\n" + other +
                  ": 変換終了して、ファイルに書き出しました\n" +
                  "合計 4 件: 変換 2 件、最新のため飛ばした 0 件、画像でない 0 件、失敗 2 件、中止で残った 0 件\n");
    EXPECT_TRUE(test::fileExists(work.file("thirds-300x3.dxf")));
    EXPECT_TRUE(test::fileExists(work.file("example-100x50.dxf")));
    EXPECT_FALSE(test::fileExists(work.file("notes.dxf")));
}

TEST_F(command_line, a_failed_read_gets_only_its_own_message) {
    struct Case {
        std::string input;
        std::vector<std::string> messages;
    };
    // The command line draws no preview, so an unshowable picture adds no warning of its own.
    const std::string readError = "ファイル読み込みエラー in cmdReadFile_Click\n";
    const std::string noSize = readError + "11:幅または高さが 0 のビットマップは扱えません。";
    std::filesystem::create_directory(work.file("folder.bmp"));
    const Case cases[] = {
        {copyOfData("bitmaps/width0.bmp"), {noSize}},
        {copyOfData("bitmaps/height0.bmp"), {noSize}},
        {copyOfData("bitmaps/topdown.bmp"),
         {readError + "321:上から下へ行を格納したビットマップ（高さが負）は扱えません。"}},
        {copyOfData("bitmaps/tiny13.bmp"), {readError + "9:ファイルが短すぎて情報ヘッダがありません。"}},
        {copyOfData("bitmaps/truncated-rows.bmp"),
         {readError + "9:画素データが足りません（必要 512 バイト、ファイル内 225 バイト）。"}},
        // The program's own texts, the path and the system's reason after them.
        {work.file("folder.bmp"),
         {"ファイル読み込みエラー in ReadFile（" + work.file("folder.bmp") + ": " + systemReason(EISDIR) + "）",
          "ファイル読み込みエラー"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run({"--yes", c.input}), kExitFailed) << c.input;
        std::string expected;
        for (const std::string& message : c.messages) {
            expected += c.input + ": " + message + "\n";
        }
        EXPECT_EQ(err.str(), expected) << c.input;
    }
    EXPECT_EQ(test::filesIn(work.path()).size(), std::size(cases));  // no DXF file written
}

TEST_F(command_line, asks_before_replacing_only_on_a_terminal) {
    const std::string input = copyOfData("cases/example-100x50.bmp");
    test::writeBytes(work.file("example-100x50.dxf"), "old");
    EXPECT_EQ(run({input}), kExitFailed);
    EXPECT_NE(err.str().find("既にファイルがありますが、上書きしてもよろしいですか？"), std::string::npos);
    EXPECT_EQ(test::readBytes(work.file("example-100x50.dxf")), "old");
    EXPECT_EQ(run({input}, "n\n", true), kExitFailed);
    EXPECT_EQ(test::readBytes(work.file("example-100x50.dxf")), "old");
    EXPECT_EQ(run({input}, "y\n", true), kExitConverted);
    EXPECT_NE(test::readBytes(work.file("example-100x50.dxf")), "old");
}

TEST_F(command_line, never_writes_over_its_input) {
    const std::string input = copyOfData("cases/example-100x50.bmp");
    const std::string scan = test::readBytes(input);
    std::filesystem::create_hard_link(input, work.file("hard.dxf"));
    std::filesystem::create_symlink(input, work.file("soft.dxf"));
    for (const std::string& output : {input, work.file("hard.dxf"), work.file("soft.dxf"), " " + input + " "}) {
        EXPECT_EQ(run({"--yes", "-o", output, input}), kExitFailed) << output;
        EXPECT_EQ(err.str(), input + ": 出力ファイルが入力ファイルと同じです。変換しません\n");
        EXPECT_EQ(test::readBytes(input), scan);
    }
    const std::string named = work.file("scan.dxf");  // the automatic name is the input's own
    std::filesystem::rename(input, named);
    EXPECT_EQ(run({"--yes", named}), kExitFailed);
    EXPECT_EQ(test::readBytes(named), scan);
}

TEST_F(command_line, settings_are_checked_as_in_the_window) {
    const std::string input = copyOfData("cases/example-100x50.bmp");
    EXPECT_EQ(run({"--thinning", "0", input}), kExitFailed);
    EXPECT_EQ(err.str(), input + ": 間引き数は１以上の正の整数です（但し、１は間引きません）\n");
    EXPECT_EQ(run({"--size-x", "wide", input}), kExitFailed);
    EXPECT_EQ(err.str(), input +
                             ": No.13[型が一致しません。] in cmdConvert_Click [Pass:1][条件取得]"
                             "（変換後横サイズ: 「wide」は数値として読めません）\n");
    const std::string renamed = work.file("drawing.gif");
    std::rename(input.c_str(), renamed.c_str());
    EXPECT_EQ(run({renamed}), kExitFailed);
    // Why no name can be made, once; not that no output was given.
    EXPECT_EQ(err.str(),
              renamed +
                  ": BMPファイルが指定されていません（拡張子が .bmp .tif .tiff .png .pbm .pgm .pnm .ppm .pam .pdf "
                  "のどれでもないため、出力ファイル名を決められません）\n");
}

TEST_F(command_line, inputs_with_one_output_fail_and_the_others_are_converted) {
    const std::string bmp = copyOfData("cases/example-100x50.bmp");
    const std::string png = work.file("example-100x50.png");
    test::writeBytes(png, test::readBytes(bmp));
    const std::string other = copyOfData("cases/thirds-300x3.bmp");
    const std::string spelled = work.path() + "/./example-100x50.png";  // the same output, however spelled
    EXPECT_EQ(run({"--yes", "-q", other, bmp, spelled}), kExitFailed);
    EXPECT_EQ(err.str(), bmp + ": 出力ファイル " + work.file("example-100x50.dxf") + " は " + spelled +
                             " の出力と同じになるため変換しません\n" + spelled + ": 出力ファイル " + work.path() +
                             "/./example-100x50.dxf は " + bmp + " の出力と同じになるため変換しません\n");
    EXPECT_FALSE(test::fileExists(work.file("example-100x50.dxf")));
    EXPECT_TRUE(test::fileExists(work.file("thirds-300x3.dxf")));
}

TEST_F(command_line, a_picture_is_never_replaced_by_a_drawing) {
    const std::string input = copyOfData("cases/example-100x50.bmp");
    ASSERT_TRUE(test::makeTestData("make-picture-targets.py", work.path()));
    // Named by -o, agreed beforehand or not, and named automatically beside the picture it comes from.
    const std::string beside = work.file("scan-named.bmp");
    std::filesystem::copy_file(input, beside);
    const std::vector<std::pair<std::vector<std::string>, std::string>> runs = {
        {{"--yes", "-o", work.file("scan.png"), input}, work.file("scan.png")},
        {{"-o", work.file("scan.png"), input}, work.file("scan.png")},
        {{"-y", "-o", work.file("scan.pdf"), input}, work.file("scan.pdf")},
        {{"--yes", "--vectorize", "-o", work.file("scan.tif"), input}, work.file("scan.tif")},
        {{"--yes", beside}, work.file("scan-named.dxf")},
    };
    for (const auto& [arguments, target] : runs) {
        const std::string before = test::readBytes(target);
        EXPECT_EQ(run(arguments, "y\n", true), kExitFailed) << target;
        EXPECT_EQ(test::readBytes(target), before) << target;
        EXPECT_NE(err.str().find("形式の画像です。画像を図面で置き換えないため、変換しません"), std::string::npos)
            << err.str();
        EXPECT_EQ(err.str().find("上書き"), std::string::npos) << err.str();  // never asked
    }
}

TEST_F(command_line, outputs_that_are_no_files) {
    const std::string input = copyOfData("cases/example-100x50.bmp");
    // The standard output, here a file the test puts in its place.
    const int savedOutput = dup(STDOUT_FILENO);
    const int captured = open(work.file("stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(captured, STDOUT_FILENO);
    close(captured);
    const int status = run({"--quiet", "-o", "-", input});
    dup2(savedOutput, STDOUT_FILENO);
    close(savedOutput);
    EXPECT_EQ(status, kExitConverted) << err.str();
    EXPECT_EQ(run({"--quiet", "-o", work.file("file.dxf"), input}), kExitConverted);
    EXPECT_EQ(test::readBytes(work.file("stdout")), test::readBytes(work.file("file.dxf")));
    EXPECT_FALSE(test::fileExists(work.file("-")));

    std::filesystem::create_directory(work.file("folder.dxf"));
    EXPECT_EQ(run({"--yes", "-o", work.file("folder.dxf"), input}), kExitFailed);
    EXPECT_NE(err.str().find(work.file("folder.dxf") + ": " + systemReason(EISDIR)), std::string::npos) << err.str();
    struct stat loop {};
    if (stat("/dev/loop0", &loop) == 0 && S_ISBLK(loop.st_mode)) {
        EXPECT_EQ(run({"--yes", "-o", "/dev/loop0", input}), kExitFailed);
        EXPECT_NE(err.str().find("/dev/loop0: ブロックデバイスには書き出しません"), std::string::npos) << err.str();
    }
}

TEST_F(command_line, usage_errors_and_help) {
    EXPECT_EQ(run({}), kExitUsage);
    EXPECT_EQ(run({"-o", "x.dxf", "a.bmp", "b.bmp"}), kExitUsage);
    EXPECT_EQ(run({"--color", "red", "a.bmp"}), kExitUsage);
    EXPECT_NE(err.str().find("--color"), std::string::npos);
    EXPECT_EQ(run({"--fast", "a.bmp"}), kExitUsage);
    EXPECT_EQ(run({"a.bmp", "--layer"}), kExitUsage);
    // The error and where the help is, not the help itself, which would scroll the error away.
    EXPECT_EQ(err.str(), "kelvarin-cli: --layer には値が必要です\n使い方は kelvarin-cli --help で表示します\n");
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(run({"--help"}), kExitConverted);
    for (const char* option : {"-o", "--size-x", "--size-y", "--offset-x", "--offset-y", "--layer", "--thinning",
                               "--color", "--lines", "--yes", "--quiet", "--strokes", "--despeckle", "--deskew"}) {
        EXPECT_NE(out.str().find(option), std::string::npos) << option;
    }
}

TEST_F(command_line, needs_the_templates) {
    std::remove(program.file("footer.txt").c_str());
    EXPECT_EQ(run({copyOfData("cases/example-100x50.bmp")}), kExitIncomplete);
    EXPECT_NE(err.str().find("「footer.txt」がありません。"), std::string::npos);
    EXPECT_FALSE(test::fileExists(work.file("example-100x50.dxf")));
}

TEST_F(command_line, a_stop_request_ends_the_batch) {
    const volatile std::sig_atomic_t stop = 1;
    interrupted = &stop;
    EXPECT_EQ(run({copyOfData("cases/example-100x50.bmp")}), kExitIncomplete);
    EXPECT_EQ(err.str(), "処理が中断されました。\n");
    EXPECT_EQ(test::filesIn(work.path()).size(), 1u);

    // Inside a command the stop arrives where the command lets events run, as a failure it reports.
    std::istringstream in;
    CliView cliView(in, err, {false, false, false, false, &stop});
    cliView.setPacing({1, std::chrono::nanoseconds(0)});
    EXPECT_THROW(cliView.doEvents(), KelvarinError);
}

// An error stream that requests a stop once it has shown a progress caption holding trigger, as Ctrl-C
// pressed at that moment would.
class StopOnCaption : public std::stringbuf {
public:
    StopOnCaption(std::string trigger, volatile std::sig_atomic_t& stop)
        : m_trigger(std::move(trigger)), m_stop(stop) {}

protected:
    std::streamsize xsputn(const char* text, std::streamsize size) override {
        const std::streamsize written = std::stringbuf::xsputn(text, size);
        if (str().find(m_trigger) != std::string::npos) {
            m_stop = 1;
        }
        return written;
    }

private:
    std::string m_trigger;
    volatile std::sig_atomic_t& m_stop;
};

TEST_F(command_line, a_stop_is_reported_as_such_in_every_step) {
    const std::string checker = copyOfData("bitmaps/checker-1000x600.bmp");
    const std::string drawing = work.file("drawing.bmp");
    test::writeBytes(drawing, test::readBytes(std::string(KELVARIN_TEST_DATA_DIR) + "/../../examples/drawing.bmp"));
    const std::string second = work.file("second.bmp");  // never reached
    test::writeBytes(second, test::readBytes(checker));
    // The runs' passes, and the vector mode's centre lines from rows, its assembly, and its writing.
    const std::vector<std::tuple<std::string, std::string, std::string>> stops = {
        {"--lines=both", "Pass3 : ", checker},      {"--lines=both", "Pass7 : ", checker},
        {"--lines=both", "書出: ", checker},        {"--vectorize", "中心線（横）: ", drawing},
        {"--vectorize", "線分をつなぐ: ", drawing}, {"--vectorize", "書出: ", drawing}};
    for (const auto& [mode, caption, input] : stops) {
        SCOPED_TRACE(mode + " " + caption);
        volatile std::sig_atomic_t stop = 0;
        StopOnCaption buffer(caption, stop);
        std::ostream stopErr(&buffer);
        std::istringstream in;
        // Events run at every chance, so that every step shows its caption however fast it is.
        const CliEnvironment environment{program.file("kelvarin-cli"),    in, out, stopErr, false, true, &stop,
                                         {1, std::chrono::nanoseconds(0)}};
        EXPECT_EQ(runCli({"--yes", mode, input, second}, environment), kExitIncomplete);
        ASSERT_EQ(stop, 1);
        const std::string shown = buffer.str();
        EXPECT_NE(shown.find(input + ": 処理が中断されました。\n"), std::string::npos) << shown;
        EXPECT_EQ(shown.find("エラー"), std::string::npos) << shown;
        EXPECT_EQ(shown.find("変換終了"), std::string::npos) << shown;  // stopped in the first input
        std::vector<std::string> files = test::filesIn(work.path());
        std::sort(files.begin(), files.end());
        EXPECT_EQ(files, (std::vector<std::string>{"checker-1000x600.bmp", "drawing.bmp", "second.bmp"}));
    }
}

}  // namespace
}  // namespace kelvarin
