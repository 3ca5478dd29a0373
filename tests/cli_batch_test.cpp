// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <numeric>
#include <set>
#include <sstream>

#include "cli/BatchInputs.h"
#include "cli/BatchProgress.h"
#include "cli/BatchReport.h"
#include "cli/BatchRun.h"
#include "cli/CliOptions.h"
#include "cli/CliRun.h"
#include "cli/JobPool.h"
#include "cli/ShardSelection.h"
#include "cli/UpdateCheck.h"
#include "support/FormFixture.h"
#include "support/TestSupport.h"

namespace kelvarin {
namespace {

TEST(batch_options, values_are_checked_and_stored) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"--jobs", "0", "a.png"}, "--jobs の値が正しくありません: 0"},
        {{"-j", "two", "a.png"}, "-j の値が正しくありません: two"},
        {{"-j0", "a.png"}, "-j の値が正しくありません: 0"},
        {{"-yq", "a.png"}, "不明なオプションです: -yq"},
        {{"--jobs=1025", "a.png"}, "--jobs の値が正しくありません: 1025"},
        {{"--threads", "-1", "a.png"}, "--threads の値が正しくありません: -1"},
        {{"--shard", "3/2", "a.png"}, "--shard の値が正しくありません: 3/2"},
        {{"--shard", "0/2", "a.png"}, "--shard の値が正しくありません: 0/2"},
        {{"--shard", "1", "a.png"}, "--shard の値が正しくありません: 1"},
        {{"--shard", "1/2/3", "a.png"}, "--shard の値が正しくありません: 1/2/3"},
        {{"a.png", "--report"}, "--report には値が必要です"},
        {{"-o", "x.dxf", "--recursive", "scans"}, "-o は --recursive、--output-dir と一緒に使えません"},
        {{"-o", "x.dxf", "--output-dir", "out", "a.png"}, "-o は --recursive、--output-dir と一緒に使えません"},
    };
    for (const auto& [arguments, error] : refused) {
        EXPECT_EQ(parseCliArguments(arguments).error, error) << arguments[0];
    }
    EXPECT_EQ(parseCliArguments({"-j4", "-oa.dxf", "a.png"}).options.jobs, 4);
    EXPECT_EQ(parseCliArguments({"-j4", "-oa.dxf", "a.png"}).options.output, "a.dxf");
    const CliParse parse = parseCliArguments({"--recursive", "--output-dir", "out", "--update", "-j", "3",
                                              "--threads=0", "--report", "r.jsonl", "--shard", "2/5", "scans"});
    ASSERT_EQ(parse.error, "");
    const CliOptions& options = parse.options;
    EXPECT_TRUE(options.recursive && options.update);
    EXPECT_EQ(options.outputDir, "out");
    EXPECT_EQ(options.jobs, 3);
    EXPECT_EQ(options.threads, 0);
    EXPECT_EQ(options.report, "r.jsonl");
    EXPECT_EQ(std::make_pair(options.shardIndex, options.shardCount), std::make_pair(2, 5));
    EXPECT_EQ(options.inputs, std::vector<std::string>{"scans"});
}

// Conversions at once and threads of each, from the options, the cores, whether a person is asked at a
// terminal, and the inputs: the cores are shared out among the conversions that can run, and a single
// sheet gets them all.
TEST(batch_shape, shares_the_cores_among_the_conversions_that_run) {
    struct Case {
        std::vector<std::string> arguments;
        bool terminal;
        std::int32_t cores;
        std::size_t inputs;
        std::int32_t jobs, threads;
    };
    const std::vector<Case> cases = {
        {{"--yes"}, false, 2, 1, 2, 2},           // one sheet: every core in the one conversion
        {{"--yes"}, false, 2, 3, 2, 1},           // more sheets than cores: a core each
        {{"--yes"}, false, 8, 3, 8, 2},           // three sheets on eight cores
        {{}, true, 4, 5, 1, 4},                   // asked about each file: one at a time, every core
        {{"--update"}, true, 4, 5, 4, 1},         // nothing asked: as many as the cores
        {{"-j", "4"}, false, 2, 1, 4, 2},         // four asked for, one sheet
        {{"-j", "2"}, false, 8, 9, 2, 4},         // two at a time on eight cores
        {{"--threads", "3"}, false, 2, 1, 2, 3},  // threads as given
        {{"--threads", "0"}, false, 2, 4, 2, 0},  // 0: all cores, left to the conversion
        {{"--yes"}, false, 2, 0, 2, 2},           // no input: nothing runs
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = c.arguments;
        arguments.push_back("a.png");
        const CliParse parse = parseCliArguments(arguments);
        ASSERT_EQ(parse.error, "");
        std::istringstream in;
        std::ostringstream out;
        const CliEnvironment environment{"", in, out, out, c.terminal, c.terminal, nullptr, {}, c.cores};
        const BatchShape shape = batchShape(parse.options, environment, c.inputs);
        EXPECT_EQ(std::make_pair(shape.jobs, shape.threads), std::make_pair(c.jobs, c.threads))
            << testing::PrintToString(c.arguments) << " cores " << c.cores << " inputs " << c.inputs;
    }
}

TEST(batch_shards, are_disjoint_cover_everything_and_are_even) {
    for (int size = 0; size <= 23; ++size) {
        std::vector<BatchInput> inputs;
        for (int i = size; i-- > 0;) {  // given in reverse: the parts follow the sorted order
            inputs.push_back({"scan" + std::to_string(100 + i), {}, true, {}});
        }
        for (std::int32_t count = 1; count <= 7; ++count) {
            std::multiset<std::string> seen;
            std::vector<std::size_t> sizes;
            for (std::int32_t index = 1; index <= count; ++index) {
                const std::vector<BatchInput> part = shardOf(inputs, index, count);
                for (const BatchInput& input : part) {
                    seen.insert(input.input);
                }
                sizes.push_back(part.size());
                EXPECT_TRUE(count == 1 || std::is_sorted(part.begin(), part.end(), [](const auto& a, const auto& b) {
                                return a.input < b.input;
                            }));
            }
            std::multiset<std::string> all;
            for (const BatchInput& input : inputs) {
                all.insert(input.input);
            }
            EXPECT_EQ(seen, all) << size << " in " << count;
            EXPECT_LE(*std::max_element(sizes.begin(), sizes.end()) - *std::min_element(sizes.begin(), sizes.end()),
                      1U);
        }
    }
}

TEST(batch_report, lines_are_json_with_every_field) {
    EXPECT_EQ(jsonString("a\"b\\c\nd\te\x01 図面"), "\"a\\\"b\\\\c\\nd\\u0009e\\u0001 図面\"");
    InputOutcome outcome;
    outcome.status = InputStatus::Converted;
    outcome.message = "変換終了して、ファイルに書き出しました";
    outcome.entities = 42;
    outcome.seconds = 1.23456;
    EXPECT_EQ(reportLine({"in/a.png", "out/a.dxf", true, {}}, "out/a.dxf", outcome),
              "{\"input\":\"in/a.png\",\"output\":\"out/a.dxf\",\"status\":\"converted\",\"message\":"
              "\"変換終了して、ファイルに書き出しました\",\"entities\":42,\"seconds\":1.235}");
    outcome.status = InputStatus::Failed;
    outcome.skew = -0.25;
    EXPECT_NE(reportLine({"a.png", {}, true, {}}, "", outcome).find("\"status\":\"failed\""), std::string::npos);
    EXPECT_NE(reportLine({"a.png", {}, true, {}}, "", outcome).find(",\"skew\":-0.2500}"), std::string::npos);
}

// A resumed batch appends to the report of the run before; a line a killed run left unfinished is cut
// off, so that every line stays whole JSON.
TEST(batch_report, is_appended_to_and_stays_whole_lines) {
    test::TempDir work;
    const std::string path = work.file("report.jsonl");
    const InputOutcome converted{InputStatus::Converted, "done", 3, std::nullopt, 0.5, false};
    const BatchInput input{"a.png", "a.dxf", true, {}};
    const std::string line = reportLine(input, "a.dxf", converted) + "\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", line},                                          // a new report
        {line, line + line},                                 // a report of a run before
        {line + "{\"input\":\"b.png\",\"out", line + line},  // killed while writing a line
        {"{\"inp", line},                                    // killed while writing the first
    };
    for (const auto& [before, after] : cases) {
        if (!before.empty()) {
            test::writeBytes(path, before);
        }
        {
            BatchReport report(path);
            report.add(input, "a.dxf", converted);
            EXPECT_FALSE(report.failed());
        }
        EXPECT_EQ(test::readBytes(path), after) << before;
        std::filesystem::remove(path);
    }
}

TEST(batch_jobs, results_cross_the_pipe_whole) {
    JobResult result;
    result.outcome = {InputStatus::Skipped, "two\nlines 12 ", 7, 0.125, 3.5, true};
    result.messages = "a.png: two\nlines 12 \n";
    const std::string bytes = encodeJobResult(result);
    const std::optional<JobResult> back = decodeJobResult(bytes);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->outcome.status, InputStatus::Skipped);
    EXPECT_EQ(back->outcome.message, result.outcome.message);
    EXPECT_EQ(back->outcome.entities, 7);
    EXPECT_EQ(back->outcome.skew, 0.125);
    EXPECT_EQ(back->outcome.seconds, 3.5);
    EXPECT_TRUE(back->outcome.stopped);
    EXPECT_EQ(back->messages, result.messages);
    // A child that died while writing gives no result.
    for (std::size_t cut = 0; cut < bytes.size(); cut += 3) {
        EXPECT_FALSE(decodeJobResult(bytes.substr(0, cut)).has_value()) << cut;
    }
}

TEST(batch_progress, estimates_the_time_left_from_the_conversions) {
    const auto start = BatchProgress::Clock::time_point();
    BatchProgress progress(10, 4, start);
    EXPECT_EQ(progress.line(start), "0/10 件  失敗 0  残り --:--");
    for (int skipped = 0; skipped < 6; ++skipped) {
        progress.add(false, false);
    }
    progress.add(true, true);
    progress.add(true, false);
    EXPECT_EQ(progress.line(start + std::chrono::seconds(65)), "8/10 件  失敗 1  残り 約 1:05");
    EXPECT_EQ(summaryLine({5, 4, 3, 2, 1}),
              "合計 15 件: 変換 5 件、最新のため飛ばした 4 件、画像でない 3 件、失敗 2 件、中止で残った 1 件");
}

TEST(batch_inputs, pictures_are_told_by_their_first_bytes) {
    test::TempDir work;
    const std::vector<std::pair<std::string, bool>> starts = {
        {"BM\x36\x00", true},
        {"\x89PNG\r\n\x1a\n", true},
        {std::string("II*\0", 4), true},
        {std::string("MM\0*", 4), true},
        {"P4\n1 1\n", true},
        {"%PDF-1.4", true},
        {"hello", false},
        {"B", false},
        {"", false},
    };
    for (const auto& [bytes, picture] : starts) {
        test::writeBytes(work.file("file"), bytes);
        EXPECT_EQ(looksLikePicture(work.file("file")), picture) << bytes;
    }
    EXPECT_FALSE(looksLikePicture(work.file("missing")));
}

TEST(batch_inputs, trees_are_mirrored_and_drawings_judged_by_time) {
    test::TempDir work;
    namespace fs = std::filesystem;
    fs::create_directories(work.file("scans/a/b"));
    fs::create_directories(work.file("scans/out"));
    test::writeBytes(work.file("scans/a/b/one.png"), "\x89PNG\r\n\x1a\n");
    test::writeBytes(work.file("scans/a/two"), "P4\n1 1\n");
    test::writeBytes(work.file("scans/a/notes.txt"), "notes");
    test::writeBytes(work.file("scans/out/old.png"), "\x89PNG\r\n\x1a\n");  // in the output folder: not walked
    test::writeBytes(work.file("single.bmp"), "BM");
    const std::string out = work.file("scans/out");
    const std::vector<BatchInput> inputs = expandInputs({work.file("scans"), work.file("single.bmp")}, true, out);
    std::vector<std::string> seen;
    for (const BatchInput& input : inputs) {
        seen.push_back(fs::path(input.input).lexically_relative(work.path()).string() + " -> " +
                       (input.picture ? fs::path(input.output).lexically_relative(out).string() : "(none)"));
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"scans/a/b/one.png -> a/b/one.dxf", "scans/a/notes.txt -> (none)",
                                              "scans/a/two -> a/two.dxf", "single.bmp -> single.dxf"}));
    EXPECT_EQ(inputs[0].output, out + "/a/b/one.dxf");

    const std::string picture = work.file("single.bmp");
    const std::string drawing = work.file("single.dxf");
    EXPECT_FALSE(drawingIsCurrent(picture, drawing));
    test::writeBytes(drawing, "drawing");
    const auto now = fs::file_time_type::clock::now();
    fs::last_write_time(picture, now);
    fs::last_write_time(drawing, now - std::chrono::seconds(1));
    EXPECT_FALSE(drawingIsCurrent(picture, drawing));
    fs::last_write_time(drawing, now);
    EXPECT_TRUE(drawingIsCurrent(picture, drawing));

    // With --update only the pictures whose drawing is not current are converted, and they share the cores:
    // of the four inputs one is no picture and one is current, so two conversions get two cores each.
    test::writeBytes(inputs[3].output, "drawing");
    fs::last_write_time(inputs[3].output, now);
    EXPECT_EQ(conversionsToRun(inputs, false), 3U);
    EXPECT_EQ(conversionsToRun(inputs, true), 2U);
    std::istringstream in;
    std::ostringstream text;
    const CliEnvironment environment{"", in, text, text, false, false, nullptr, {}, 4};
    const BatchShape shape =
        batchShape(parseCliArguments({"--update", "scans"}).options, environment, conversionsToRun(inputs, true));
    EXPECT_EQ(std::make_pair(shape.jobs, shape.threads), std::make_pair(4, 2));
}

class batch_run : public test::FormFixture {
protected:
    int run(const std::vector<std::string>& arguments, bool terminal, std::int32_t cores) {
        std::istringstream in;
        std::ostringstream out;
        err.str("");
        return runCli(arguments, {program.file("kelvarin-cli"), in, out, err, false, terminal, nullptr, {}, cores});
    }

    std::ostringstream err;
};

// Several conversions at once in child processes: the messages of a run one after the other, each whole,
// between the updates of the batch's progress line.
TEST_F(batch_run, jobs_print_whole_messages_between_progress_lines) {
    const std::string bad = work.file("notes.png");
    test::writeBytes(bad, "\x89PNG\r\n\x1a\n and then nothing");
    const std::vector<std::string> arguments = {"--yes", copyOfData("cases/example-100x50.bmp"), bad,
                                                copyOfData("cases/thirds-300x3.bmp"), work.file("missing.bmp")};
    EXPECT_EQ(run(arguments, false, 1), kExitFailed);
    const std::string oneByOne = err.str();
    EXPECT_EQ(run(arguments, true, 2), kExitFailed);
    const std::string shown = err.str();
    const std::string redraw = "\r\033[K";
    EXPECT_EQ(shown.rfind(redraw + "0/4 件  失敗 0  残り --:--", 0), 0U) << shown;
    std::string messages;
    std::size_t progressLines = 0;
    for (std::size_t start = 0; start < shown.size();) {
        ASSERT_EQ(shown.compare(start, redraw.size(), redraw), 0) << shown.substr(start);
        start += redraw.size();
        const std::size_t end = std::min(shown.find(redraw, start), shown.size());
        const std::string piece = shown.substr(start, end - start);
        const bool progress = piece.find(" 件  失敗 ") != std::string::npos;
        progressLines += progress ? 1 : 0;
        messages += progress ? "" : piece;
        start = end;
    }
    EXPECT_EQ(messages, oneByOne);
    EXPECT_GE(progressLines, 2U);
    EXPECT_NE(shown.find("4/4 件  失敗 2  残り 約 0:00" + redraw), std::string::npos) << shown;
}

// Two pictures whose drawings would be one file both fail, naming each other; the rest is converted, and
// the batch closes with its counts, on a terminal and off one alike.
TEST_F(batch_run, clashing_outputs_fail_alone_and_the_batch_ends_with_its_counts) {
    const std::string png = work.file("a.png");
    const std::string bmp = copyOfData("cases/example-100x50.bmp");
    const std::string tif = work.file("example-100x50.tif");
    test::writeBytes(png, test::readBytes(bmp));  // a BMP by its content: read all the same
    test::writeBytes(tif, test::readBytes(bmp));
    const std::string other = copyOfData("cases/thirds-300x3.bmp");
    const std::string summary =
        "合計 3 件: 変換 1 件、最新のため飛ばした 0 件、画像でない 0 件、失敗 2 件、中止で残った 0 件\n";
    for (const bool terminal : {false, true}) {
        SCOPED_TRACE(terminal);
        std::filesystem::remove(work.file("thirds-300x3.dxf"));
        EXPECT_EQ(run({"--yes", "-j", "2", bmp, tif, other}, terminal, 2), kExitFailed);
        const std::string shown = err.str();
        EXPECT_NE(shown.find(bmp + ": 出力ファイル " + work.file("example-100x50.dxf") + " は " + tif +
                             " の出力と同じになるため変換しません\n"),
                  std::string::npos)
            << shown;
        EXPECT_NE(shown.find(tif + ": 出力ファイル " + work.file("example-100x50.dxf") + " は " + bmp),
                  std::string::npos)
            << shown;
        EXPECT_NE(shown.find(other + ": 変換終了して、ファイルに書き出しました\n"), std::string::npos) << shown;
        EXPECT_TRUE(shown.ends_with(summary)) << shown;
        EXPECT_FALSE(test::fileExists(work.file("example-100x50.dxf")));
        EXPECT_TRUE(test::fileExists(work.file("thirds-300x3.dxf")));
    }
    EXPECT_EQ(run({"--yes", "-q", png, other}, false, 1), kExitConverted);
    EXPECT_EQ(err.str(), "");  // quiet: no counts either
}

}  // namespace
}  // namespace kelvarin
