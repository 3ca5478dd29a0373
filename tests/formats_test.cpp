// SPDX-License-Identifier: GPL-3.0-or-later
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>
#include <tuple>

#include "app/AppState.h"
#include "app/Form.h"
#include "app/ReadCommand.h"
#include "bitmap/GreyThreshold.h"
#include "bitmap/PackedRows.h"
#include "bitmap/PdfReader.h"
#include "cli/CliRun.h"
#include "common/Error.h"
#include "common/WorkReport.h"
#include "fileutil/Path.h"
#include "support/FakeView.h"
#include "support/TestSupport.h"

namespace kelvarin {
namespace {

using test::ProgramDir;
using test::TempDir;

// The sample pictures, written once by Pillow and ImageMagick.
class picture_formats : public testing::Test {
protected:
    static void SetUpTestSuite() {
        samples = new TempDir;
        ASSERT_TRUE(test::makeTestData("make-format-samples.py", samples->path()));
    }
    static void TearDownTestSuite() {
        delete samples;
        samples = nullptr;
    }
    static std::string sample(const std::string& name) { return samples->file(name); }

    // Runs kelvarin-cli in-process and gives the DXF it wrote ("" when it wrote none).
    std::string convert(const std::string& input, std::vector<std::string> options) {
        const std::string output = work.file("out.dxf");
        std::remove(output.c_str());
        options.insert(options.end(), {"--yes", "--quiet", "-o", output, input});
        std::istringstream in;
        std::ostringstream out;
        err.str("");
        status = runCli(options, {program.file("kelvarin-cli"), in, out, err});
        return test::fileExists(output) ? test::readBytes(output) : "";
    }

    // The text after the group code in the file's first entity or header variable of that code.
    static std::string valueAfter(const std::string& dxf, const std::string& marker) {
        const std::size_t at = dxf.find(marker);
        if (at == std::string::npos) {
            return "";
        }
        const std::size_t start = at + marker.size();
        return dxf.substr(start, dxf.find('\r', start) - start);
    }

    static TempDir* samples;
    ProgramDir program;
    TempDir work;
    std::ostringstream err;
    int status = -1;
};

TempDir* picture_formats::samples = nullptr;

TEST_F(picture_formats, every_encoding_gives_the_bitmaps_drawing) {
    // clang-format off
    const char* encodings[] = {
        "pillow-g4.tif", "magick-g4-minwhite.tif", "magick-g4-minblack.tif", "pillow-lzw.tif",
        "pillow-packbits.tif", "pillow-raw.tif", "pillow-deflate-rgb.tif", "pillow-grey-lzw.tif",
        "pillow-palette.tif", "magick-tiled.tif", "pillow-1bit.png", "pillow-grey.png", "pillow-rgb.png",
        "pillow-palette.png", "pillow-rgba.png", "magick-interlaced.png", "magick-p1.pbm", "pillow-p4.pbm",
        "magick-p2.pgm", "pillow-p5.pgm", "magick-p5-16bit.pgm", "white-first.bmp", "tiled-17x5.tif",
        "rgb16-key.png", "comment-after-header.pbm", "tiff2pdf-g4.pdf", "img2pdf-g4.pdf", "img2pdf-grey.pdf",
        "img2pdf-jpeg.pdf", "magick-bigtiff-ii.tif", "magick-bigtiff-mm.tif", "magick-float16.tif",
        "magick-float32.tif", "magick-associated-alpha.tif", "half-transparent.png", "magick-orientation-2.tif",
        "magick-orientation-3.tif", "magick-orientation-4.tif", "magick-orientation-5.tif",
        "magick-orientation-6.tif", "magick-orientation-7.tif", "magick-orientation-8.tif", "pillow-p6.ppm",
        "magick-p3.ppm", "magick-rgb.pam", "magick-rgb-alpha.pam", "level-32800.pgm", "level-32800.png",
        "level-32800.tif", "palette16.tif", "old-style-lzw.tif",
    };
    // clang-format on
    for (const auto& options :
         {std::vector<std::string>{"--lines", "both"},
          // Half transparent white is lighter than 200 only when laid over white rightly.
          std::vector<std::string>{"--lines", "both", "--color", "white", "--thinning", "3", "--threshold", "200"}}) {
        const std::string expected = convert(sample("picture.bmp"), options);
        ASSERT_EQ(status, kExitConverted) << err.str();
        for (const char* name : encodings) {
            EXPECT_EQ(convert(sample(name), options), expected) << name << " " << options.back() << "\n" << err.str();
            EXPECT_EQ(status, kExitConverted) << name;
        }
    }
    EXPECT_EQ(convert(sample("tiled-1x1.tif"), {"--lines", "both"}),
              convert(sample("picture-40x20.bmp"), {"--lines", "both"}));
    convert(sample("magick-g4-minwhite.tif"), {"--lines", "both"});
    test::keepForReaderCheck(work.file("out.dxf"), "formats-g4");
}

TEST_F(picture_formats, threshold_separates_grey_levels) {
    // threshold.pgm holds grey levels 0 to 255 from left to right: the darker ones form one run.
    struct Case {
        const char* threshold;
        const char* lastBlack;
    };
    for (const Case& c :
         {Case{"128", "127"}, Case{"1", "0"}, Case{"255", "254"}, Case{"50%", "127"}, Case{"100%", "254"}}) {
        const std::string dxf = convert(sample("threshold.pgm"), {"--threshold", c.threshold});
        EXPECT_EQ(valueAfter(dxf, " 11\r\n"), c.lastBlack) << c.threshold;
    }
    EXPECT_EQ(convert(sample("threshold.pgm"), {"--threshold", "0"}), "");
    EXPECT_EQ(err.str(), sample("threshold.pgm") + ": このデータにはラインがありませんでした\n");
    for (const char* wrong : {"256", "-1", "101%", "half"}) {
        convert(sample("threshold.pgm"), {"--threshold", wrong});
        EXPECT_EQ(status, kExitUsage) << wrong;
    }
}

TEST_F(picture_formats, uneven_lighting_needs_the_adaptive_threshold) {
    // Paper from 255 down to 70 with ink at a quarter of it: no one threshold separates them.
    const std::string even = convert(sample("picture.bmp"), {});
    EXPECT_NE(convert(sample("side-lit.png"), {}), even);
    EXPECT_NE(convert(sample("side-lit.png"), {"--threshold", "auto"}), even);
    EXPECT_EQ(convert(sample("side-lit.png"), {"--adaptive"}), even);
    // The histogram's threshold falls between the two levels of an evenly lit picture; bits stay bits.
    for (const char* name : {"pillow-grey.png", "magick-p5-16bit.pgm", "picture.bmp", "pillow-g4.tif"}) {
        EXPECT_EQ(convert(sample(name), {"--threshold", "auto"}), even) << name;
        EXPECT_EQ(convert(sample(name), {"--adaptive"}), even) << name;
    }
}

TEST_F(picture_formats, pdf_pages_not_one_image_are_drawn_at_the_resolution) {
    // A 1 x 0.5 inch page with one stroke.
    for (const auto& [dpi, width, height] : {std::tuple{"100", "100", "50"}, std::tuple{"", "300", "150"}}) {
        std::vector<std::string> options{"--lines", "both"};
        if (*dpi != '\0') {
            options.insert(options.end(), {"--dpi", dpi});
        }
        const std::string dxf = convert(sample("vector.pdf"), options);
        EXPECT_EQ(status, kExitConverted) << err.str();
        EXPECT_EQ(valueAfter(dxf, "$EXTMAX\r\n 10\r\n"), width);
        EXPECT_EQ(valueAfter(dxf, "$EXTMAX\r\n 10\r\n" + std::string(width) + "\r\n 20\r\n"), height);
        EXPECT_NE(dxf.find("LINE"), std::string::npos);
    }
    // A page painting more than its image is drawn too: at 300 dpi, the image's own size.
    const std::string drawn = convert(sample("drawn.pdf"), {"--units", "inch", "--dpi", "300"});
    EXPECT_EQ(valueAfter(drawn, "$EXTMAX\r\n 10\r\n"), "0.676666666666667");
}

TEST_F(picture_formats, pages_of_a_tiff_or_pdf) {
    EXPECT_EQ(convert(sample("two-pages.tif"), {}), convert(sample("picture.bmp"), {}));
    EXPECT_EQ(convert(sample("two-pages.tif"), {"--page", "2"}), convert(sample("flopped.bmp"), {}));
    EXPECT_EQ(convert(sample("two-pages.pdf"), {"--page", "2"}), convert(sample("flopped.bmp"), {}));
    EXPECT_EQ(convert(sample("two-pages.tif"), {"--page", "3"}), "");
    EXPECT_EQ(status, kExitFailed);
    EXPECT_EQ(err.str(), sample("two-pages.tif") + ": ページ 3 はありません（このファイルは 2 ページです）\n");
    EXPECT_EQ(convert(sample("two-pages.pdf"), {"--page", "3"}), "");
    EXPECT_EQ(err.str(), sample("two-pages.pdf") + ": ページ 3 はありません（このファイルは 2 ページです）\n");
    EXPECT_EQ(convert(sample("pillow-1bit.png"), {"--page", "2"}), "");
    EXPECT_EQ(err.str(), sample("pillow-1bit.png") + ": ページ 2 はありません（このファイルは 1 ページです）\n");
}

TEST_F(picture_formats, real_size_from_each_kind_of_stored_resolution) {
    struct Case {
        const char* file;
        std::vector<std::string> options;
        const char* width;
        const char* height;
    };
    // 203 x 77 dots.
    for (const Case& c : {
             Case{"pillow-g4.tif", {"--units", "mm"}, "17.1873333333333", "6.51933333333333"},  // 300 dpi
             Case{"density-cm.tif", {"--units", "cm"}, "2.03", "1.54"},                         // 100 x 50 per cm
             // 600 and 200 dpi stored as whole dots per metre: 23622 and 7874.
             Case{"pillow-1bit.png", {"--units", "inch"}, "0.338334010001353", "0.128333590000513"},
             Case{"picture-200dpi.bmp", {"--units", "inch"}, "1.01500203000406", "0.38500077000154"},
             Case{"no-resolution.png", {"--units", "inch", "--dpi", "100"}, "2.03", "0.77"},
             Case{"pillow-g4.tif", {"--units", "inch", "--dpi", "100"}, "2.03", "0.77"},
             // A size given keeps the proportions, as when typed in the window.
             Case{"pillow-g4.tif", {"--units", "mm", "--size-x", "50"}, "50", "18.9655172413793"},
         }) {
        const std::string dxf = convert(sample(c.file), c.options);
        EXPECT_EQ(valueAfter(dxf, "$EXTMAX\r\n 10\r\n"), c.width) << c.file << " " << c.options[1];
        EXPECT_EQ(valueAfter(dxf, "$EXTMAX\r\n 10\r\n" + std::string(c.width) + "\r\n 20\r\n"), c.height) << c.file;
    }
    EXPECT_EQ(convert(sample("no-resolution.png"), {"--units", "mm"}), "");
    EXPECT_EQ(status, kExitFailed);
    EXPECT_EQ(err.str(), sample("no-resolution.png") + ": この画像には解像度が記録されていません\n");
}

TEST_F(picture_formats, read_through_oddities_are_noted) {
    convert(sample("white-first.bmp"), {});
    EXPECT_NE(err.str().find("white-first.bmp: この BMP は色テーブルの 0 番が白です"), std::string::npos) << err.str();
    convert(sample("old-style-lzw.tif"), {});
    EXPECT_EQ(err.str(), sample("old-style-lzw.tif") +
                             ": TIFF の画素データに不備がありましたが、読み込みました（Old-style LZW codes, convert "
                             "file）\n");
    convert(sample("picture.bmp"), {});
    EXPECT_EQ(err.str(), "");
}

// Runs the real kelvarin-cli in a child process: its exit status, error output and peak memory.
struct ChildRun {
    int status = -1;
    std::string errors;
    long peakKib = 0;
};

// addressSpace, when given, bounds the child's memory as `ulimit -v` does.
ChildRun runChild(const std::vector<std::string>& arguments, const std::string& errorFile, rlim_t addressSpace = 0) {
    const pid_t child = fork();
    if (child == 0) {
        const rlimit limit{addressSpace, addressSpace};
        if (addressSpace > 0) {
            setrlimit(RLIMIT_AS, &limit);
        }
        std::vector<char*> argv{const_cast<char*>(KELVARIN_CLI_PATH)};
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        freopen(errorFile.c_str(), "w", stderr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    ChildRun run;
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.errors = test::readBytes(errorFile);
    run.peakKib = usage.ru_maxrss;
    return run;
}

TEST_F(picture_formats, hostile_files_are_refused_in_little_memory) {
    // clang-format off
    const std::pair<const char*, const char*> hostile[] = {
        {"bomb.png",           "画像が大きすぎて扱えません（1000000 × 1000000 ドット）"},
        {"bomb.tif",           "画像が大きすぎて扱えません（1000000 × 1000000 ドット）"},
        {"absurd.pbm",         "画像が大きすぎて扱えません（1000000000 × 1000000000 ドット）"},
        {"huge-page.pdf",      "画像が大きすぎて扱えません（4166667 × 4166667 ドット）"},
        {"huge-image.pdf",     "画像が大きすぎて扱えません（1000000 × 1000000 ドット）"},
        {"encrypted.pdf",      "暗号化された PDF は読めません"},
        {"truncated.pdf",      "PDF ファイルが壊れていて読めません"},
        {"os2.bmp",            "OS/2 形式の BMP は扱えません"},
        {"signed.tif",         "符号付き整数の画素値の TIFF は扱えません"},
        {"wide-2pow31.png",    "画像が大きすぎて扱えません（2147483647 × 1 ドット）"},
        {"wide-2pow29.tif",    "TIFF ファイルを読めません: "},
        {"truncated.png",      "PNG ファイルを読めません: ファイルが途中で終わっています（"},
        {"corrupt.png",        "PNG ファイルを読めません: 内容が正しくありません（"},
        {"picture.jpg",        "この画像は JPEG 形式です。"},
        {"picture.gif",        "この画像は GIF 形式です。"},
        {"truncated-g4.tif",   "TIFF ファイルを読めません: "},
        {"corrupt-g4.tif",     "TIFF ファイルを読めません: "},
        {"strip-past-end.tif", "TIFF ファイルを読めません: "},
        {"short-strip.tif",    "TIFF ファイルを読めません: "},
        {"short.pgm",          "PNM ファイルを読めません: 画素データが足りません"},
        {"above-maximum.pgm",  "PNM ファイルを読めません: 値が最大値を超えています"},
        {"wide-rgba16.tif",    "TIFF ファイルを読めません: 1 行が大きすぎます（17179869176 バイト）"},
    };
    // clang-format on
    // Memory is counted above what the program takes for a small picture (a sanitizer's shadow included).
    const long baselineKib =
        runChild({"--yes", "-o", work.file("small.dxf"), sample("picture.bmp")}, work.file("errors.txt")).peakKib;
    for (const auto& [name, message] : hostile) {
        const std::string output = work.file("hostile.dxf");
        const ChildRun run = runChild({"--yes", "-o", output, sample(name)}, work.file("errors.txt"));
        EXPECT_EQ(run.status, kExitFailed) << name;
        EXPECT_EQ(run.errors.find(sample(name) + ": " + message), 0u) << name << ": " << run.errors;
        EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << name << ": " << run.errors;
        EXPECT_FALSE(test::fileExists(output)) << name;
        EXPECT_LT(run.peakKib, baselineKib + 32 * 1024) << name;
    }
}

// A file the user may not read: the seed's texts, each followed by the path and the system's reason.
TEST_F(picture_formats, an_unreadable_input_names_the_reason) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to run as another user";
    }
    const std::string input = work.file("secret.bmp");
    test::writeBytes(input, test::readBytes(sample("picture.bmp")));
    chmod(input.c_str(), 0600);
    chmod(work.path().c_str(), 0777);
    const pid_t child = fork();
    if (child == 0) {
        freopen(work.file("errors.txt").c_str(), "w", stderr);
        if (setgid(65534) == 0 && setuid(65534) == 0) {
            execl(KELVARIN_CLI_PATH, KELVARIN_CLI_PATH, "-o", work.file("out.dxf").c_str(), input.c_str(), nullptr);
        }
        _exit(127);
    }
    int childStatus = 0;
    waitpid(child, &childStatus, 0);
    EXPECT_TRUE(WIFEXITED(childStatus) && WEXITSTATUS(childStatus) == kExitFailed);
    const std::string reason = "（" + input + ": " + systemReason(EACCES) + "）";
    EXPECT_EQ(test::readBytes(work.file("errors.txt")),
              input + ": 70:書き込みできません。 in GetFileInfo[Start CreateFile]" + reason + "\n" + input +
                  ": ファイル読み込みエラー in ReadFile" + reason + "\n" + input + ": ファイル読み込みエラー\n");
}

// Whether the process has a handler of its own for the signal: the bit of its SigCgt mask in /proc.
bool catchesSignal(pid_t process, int signal) {
    std::ifstream status("/proc/" + std::to_string(process) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("SigCgt:", 0) == 0) {
            return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1) & 1) != 0;
        }
    }
    return false;
}

// Ctrl-C or SIGTERM ends a run that waits to open a pipe nobody reads, as a stop.
TEST_F(picture_formats, a_stop_ends_a_wait_for_a_reader) {
    const std::string pipe = work.file("pipe.dxf");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (const int signal : {SIGINT, SIGTERM}) {
        const pid_t child = fork();
        if (child == 0) {
            freopen(work.file("errors.txt").c_str(), "w", stderr);
            execl(KELVARIN_CLI_PATH, KELVARIN_CLI_PATH, "-o", pipe.c_str(), sample("picture.bmp").c_str(), nullptr);
            _exit(127);
        }
        // The signal is sent once the program catches it (its handler installed, as /proc tells), however
        // slowly a loaded machine starts it.
        for (int waited = 0; waited < 400 && !catchesSignal(child, signal); ++waited) {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        kill(child, signal);
        int childStatus = 0;
        for (int waited = 0; waited < 100 && waitpid(child, &childStatus, WNOHANG) == 0; ++waited) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (kill(child, 0) == 0) {
            kill(child, SIGKILL);
            waitpid(child, &childStatus, 0);
            ADD_FAILURE() << "still waiting after signal " << signal;
            continue;
        }
        EXPECT_TRUE(WIFEXITED(childStatus) && WEXITSTATUS(childStatus) == kExitIncomplete) << signal;
        EXPECT_EQ(test::readBytes(work.file("errors.txt")), sample("picture.bmp") + ": 処理が中断されました。\n");
    }
}

// PDF files written by hand: hostile ones, and pages whose one image something hides, each with the
// picture pdftoppm draws of it.
class pdf_cases : public picture_formats {
protected:
    static void SetUpTestSuite() {
        cases = new TempDir;
        ASSERT_TRUE(test::makeTestData("make-pdf-cases.py", cases->path()));
    }
    static void TearDownTestSuite() {
        delete cases;
        cases = nullptr;
    }
    static std::string pdfCase(const std::string& name) { return cases->file(name); }

    static TempDir* cases;
};

TempDir* pdf_cases::cases = nullptr;

TEST_F(pdf_cases, hostile_files_end_refused_or_converted_in_bounded_memory) {
    struct Case {
        const char* file;
        std::vector<std::string> options;
        const char* message;  // the start of the one line written; empty for a conversion
    };
    const std::string tooLong = "PDF のページを描けません（描くのにかかる時間が限度を超えます）";
    const std::string undrawable = "PDF のページを描けません（";
    const std::string expanding = "PDF の画像データが圧縮の限度を超えているため扱えません（";
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer's own memory counts against the drawing's limit: the page is refused at 1200 dpi too.
    const std::string clipped = undrawable;
#else
    const std::string clipped = "このデータにはラインがありませんでした";
#endif
    // clang-format off
    const Case hostile[] = {
        {"forms.pdf",           {},             tooLong.c_str()},     // 2^40 rectangles
        {"rectangles.pdf",      {},             tooLong.c_str()},     // 200 MB of them
        {"content.pdf",         {},             tooLong.c_str()},     // 4 GB of content
        {"double-flate.pdf",    {},             expanding.c_str()},   // 1-bit 100000 x 100000 through Flate twice
        {"grey-30000.pdf",      {"--adaptive"}, expanding.c_str()},
        {"indexed-table.pdf",   {},             ""},                  // a colour table of 3 GB
        {"image-then-more.pdf", {},             ""},                  // 64 bytes of image, 4 GB after them
        {"jbig2-page.pdf",      {},             undrawable.c_str()},  // 60000 x 60000 dots of JBIG2
        {"jbig2-globals.pdf",   {},             undrawable.c_str()},
        {"jbig2-clipped.pdf",   {},             clipped.c_str()},     // drawn at 1200 dpi, not 16000
        {"page-1e20.pdf",       {},             "画像が大きすぎて扱えません（4.16666666666667E+20 × 4.16666666666667E+20 ドット）"},
        {"columns-1e9.pdf",     {},             "このデータにはラインがありませんでした"},
    };
    // clang-format on
    // The sanitizer reserves terabytes of address space, and keeps freed memory in quarantine.
#if defined(__SANITIZE_ADDRESS__)
    const rlim_t addressSpace = 0;
    const long peakLimitKib = LONG_MAX;
#else
    const rlim_t addressSpace = rlim_t{1} << 30;
    const long peakLimitKib = 300 * 1024;
#endif
    for (const Case& c : hostile) {
        const std::string output = work.file("hostile.dxf");
        std::remove(output.c_str());
        std::vector<std::string> arguments{"--yes", "-q", "-o", output, pdfCase(c.file)};
        arguments.insert(arguments.begin(), c.options.begin(), c.options.end());
        const ChildRun run = runChild(arguments, work.file("errors.txt"), addressSpace);
        if (*c.message == '\0') {
            EXPECT_EQ(run.status, kExitConverted) << c.file << ": " << run.errors;
            EXPECT_EQ(run.errors, "") << c.file;
        } else {
            EXPECT_EQ(run.status, kExitFailed) << c.file;
            EXPECT_EQ(run.errors.find(pdfCase(c.file) + ": " + c.message), 0u) << c.file << ": " << run.errors;
            EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << c.file << ": " << run.errors;
        }
        EXPECT_LT(run.peakKib, peakLimitKib) << c.file;
    }
}

TEST_F(pdf_cases, pages_convert_to_what_a_viewer_shows) {
    // Pages that show part of their picture or none are drawn at its own 144 dpi. (The drawing of a page
    // shown whole shifts some dots, as a viewer scales an image even to its own size; it is read directly.)
    for (const char* name : {"mask-white", "mask-yellow", "clipped", "faded", "hidden-layer", "cropped", "rotated"}) {
        const std::vector<std::string> options{"--lines", "both", "--units", "inch"};
        const std::string shown = convert(pdfCase(name + std::string(".pdf")), options);
        const std::string viewed =
            convert(pdfCase(name + std::string(".pgm")), {"--lines", "both", "--units", "inch", "--dpi", "144"});
        EXPECT_TRUE(shown == viewed) << name;  // DXF files too long for a readable difference
    }
    EXPECT_TRUE(convert(pdfCase("clipped.pdf"), {}) != convert(pdfCase("picture.pdf"), {}));
    EXPECT_EQ(convert(pdfCase("faded.pdf"), {}), "");
    EXPECT_EQ(err.str(), pdfCase("faded.pdf") + ": このデータにはラインがありませんでした\n");
}

TEST_F(pdf_cases, fax_data_are_read_bit_for_bit_and_damage_is_refused) {
    EXPECT_TRUE(convert(pdfCase("group4.pdf"), {}) == convert(pdfCase("picture.pdf"), {}));
    EXPECT_EQ(status, kExitConverted);
    // Damage the drawing decodes through without a word is refused as well.
    for (const char* name : {"damaged-group4.pdf", "damaged-group4-drawn.pdf", "damaged-group4-quiet.pdf"}) {
        EXPECT_EQ(convert(pdfCase(name), {}), "") << name;
        EXPECT_EQ(status, kExitFailed) << name;
        EXPECT_EQ(err.str().find(pdfCase(name) + ": PDF の画像データが壊れています（"), 0u) << err.str();
    }
}

// Ctrl-C or SIGTERM ends the drawing of a page that would take seconds, as a stop.
TEST_F(pdf_cases, a_stop_ends_the_drawing_of_a_page) {
    const pid_t child = fork();
    if (child == 0) {
        freopen(work.file("errors.txt").c_str(), "w", stderr);
        execl(KELVARIN_CLI_PATH, KELVARIN_CLI_PATH, "--yes", "-o", work.file("out.dxf").c_str(),
              pdfCase("forms.pdf").c_str(), nullptr);
        _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(child, SIGTERM);
    int childStatus = 0;
    waitpid(child, &childStatus, 0);
    EXPECT_TRUE(WIFEXITED(childStatus) && WEXITSTATUS(childStatus) == kExitIncomplete);
    EXPECT_EQ(test::readBytes(work.file("errors.txt")), pdfCase("forms.pdf") + ": 処理が中断されました。\n");
}

// The percentage a progress caption shows; -1 for an empty one.
int shownPercent(const std::string& caption) {
    return caption.empty() || caption[0] < '0' || caption[0] > '9' ? -1 : std::stoi(caption);
}

// Reading a drawn page shows how far the drawing and its rows have come, after the file's bytes; a stop
// (which the window's stop check throws as events run) ends a long drawing at once, with the stop's message.
TEST_F(pdf_cases, a_drawn_page_read_shows_progress_and_a_stop_ends_it_at_once) {
    AppState state;
    test::FakeView view;
    Form form{state, view};
    view.setText(textFile(0), pdfCase("clipped.pdf"));
    ASSERT_TRUE(cmdReadFile_Click(form));
    // The file's bytes in one block, then the drawing and its rows, then the transfer into the grid.
    std::vector<std::string> captions = view.captions();
    ASSERT_FALSE(captions.empty());
    EXPECT_EQ(captions.front(), "100%");
    const auto transfer = std::find(captions.begin(), captions.end(), "Pass0 : %");
    ASSERT_NE(transfer, captions.end());
    const std::vector<std::string> decoding(captions.begin() + 1, transfer);
    EXPECT_GE(std::set<std::string>(decoding.begin(), decoding.end()).size(), 3u) << decoding.size();
    EXPECT_EQ(decoding.back(), "100%");

    view.clearLog();
    view.setText(textFile(0), pdfCase("forms.pdf"));
    std::chrono::steady_clock::time_point stopped;
    view.onEvents = [&] {
        // The file's few kilobytes are read in one block, at once 100%; then the drawing moves on.
        const std::vector<std::string> shown = view.captions();
        const int percent = shown.empty() ? -1 : shownPercent(shown.back());
        if (percent >= 5 && percent < 100) {
            stopped = std::chrono::steady_clock::now();
            throw KelvarinError(ErrorCode::Interrupted);
        }
    };
    EXPECT_FALSE(cmdReadFile_Click(form));
    const auto took = std::chrono::steady_clock::now() - stopped;
    view.onEvents = nullptr;
    EXPECT_LT(took, std::chrono::milliseconds(1500));  // the drawing alone would take 3 s of processor time
    EXPECT_EQ(view.messages(), std::vector<std::string>{"処理が中断されました。"});
    EXPECT_FALSE(state.FileLoaded);
}

// A report that stops the work (as a stop request does) once it has heard of more than a number of rows.
class StoppingReport : public WorkReport {
public:
    explicit StoppingReport(int rows) : m_rowsLeft(rows) {}
    void advance(std::int64_t, double) override {
        if (--m_rowsLeft < 0) {
            throw KelvarinError(ErrorCode::Interrupted);
        }
    }

private:
    int m_rowsLeft;
};

TEST_F(pdf_cases, every_threshold_and_read_answers_a_stop) {
    // Once the rows are written, histogram and adaptive thresholds go through them again.
    for (const ThresholdMethod method :
         {ThresholdMethod::Fixed, ThresholdMethod::Histogram, ThresholdMethod::Adaptive}) {
        PackedRows rows(64, 40);
        StoppingReport report(method == ThresholdMethod::Fixed ? 20 : 50);
        ReadOptions options;
        options.method = method;
        options.report = &report;
        GreyRows grey(rows, options);
        const auto writeAll = [&] {
            for (std::int32_t y = 0; y < rows.height(); ++y) {
                std::fill_n(grey.row(y), rows.width(), static_cast<std::uint8_t>(y * 6));
                grey.rowDone(y);
            }
            grey.finish();
        };
        EXPECT_THROW(writeAll(), KelvarinError) << static_cast<int>(method);
    }
    // Rows decoded through qpdf, and a page drawn in a child process.
    for (const char* name : {"picture.pdf", "forms.pdf"}) {
        const std::string bytes = test::readBytes(pdfCase(name));
        StoppingReport report(5);
        ReadOptions options;
        options.report = &report;
        BitmapData data;
        try {
            decodePdf({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, options, data);
            ADD_FAILURE() << name << " was read";
        } catch (const KelvarinError& error) {
            EXPECT_EQ(error.code(), ErrorCode::Interrupted) << name;
        }
    }
}

TEST_F(picture_formats, void_samples_and_fax_rows_without_end_of_line_codes_are_read) {
    const std::string expected = convert(sample("picture.bmp"), {});
    for (const char* name : {"void-8bit.tif", "void-16bit.tif", "magick-g3.tif"}) {
        EXPECT_TRUE(convert(sample(name), {}) == expected) << name;
        EXPECT_EQ(err.str(), "") << name;
    }
    // A real fax page (a letterhead and ten lines of text, seen once): one slipped code would change every
    // row below it, and the count of black runs with it.
    const std::string fax = test::dataPath("libtiff/testfax3_bug54_1dnoEOL.tif");
    const std::string dxf = convert(fax, {"--units", "inch", "--lines", "horizontal"});
    EXPECT_EQ(status, kExitConverted);
    EXPECT_EQ(err.str(), fax +
                             ": TIFF の画素データに不備がありましたが、読み込みました（Premature EOL at line 0 of "
                             "strip 0 (got 0, expected 1728)）\n");
    EXPECT_EQ(valueAfter(dxf, "$EXTMAX\r\n 10\r\n"), "5.76");
    std::size_t runs = 0;
    for (std::size_t at = dxf.find("\r\nLINE\r\n"); at != std::string::npos; at = dxf.find("\r\nLINE\r\n", at + 1)) {
        ++runs;
    }
    EXPECT_EQ(runs, 25719u);
}

// A failed write is one line naming where it failed: the output, or the temporary folder an output in a
// closed folder is written in first.
TEST_F(picture_formats, a_failed_write_is_one_line_naming_the_place) {
    test::SmallDisk disk(64);
    if (!disk.available() || geteuid() != 0) {
        GTEST_SKIP() << "needs a tmpfs mount and root";
    }
    test::writeBytes(disk.file("filler"), std::string(60 * 1024, 'x'));
    const std::string input = work.file("picture.bmp");
    test::writeBytes(input, test::readBytes(sample("picture.bmp")));
    chmod(input.c_str(), 0644);
    const std::string full = disk.file("out.dxf");
    ChildRun run = runChild({"--yes", "-o", full, input}, work.file("errors.txt"));
    EXPECT_EQ(run.errors, input + ": ファイル書き込みエラー（" + full + ": " + systemReason(ENOSPC) + "）\n");
    // As another user, in a folder that user may not create files in.
    const std::string closed = work.file("closed");
    mkdir(closed.c_str(), 0755);
    const std::string output = closed + "/out.dxf";
    test::writeBytes(output, "old");
    chmod(output.c_str(), 0666);
    chmod(work.path().c_str(), 0777);
    const std::string folder = GetDirectoryPart(full);
    chmod(folder.c_str(), 01777);
    const pid_t child = fork();
    if (child == 0) {
        freopen(work.file("errors.txt").c_str(), "w", stderr);
        setenv("TMPDIR", folder.c_str(), 1);
        if (setgid(65534) == 0 && setuid(65534) == 0) {
            execl(KELVARIN_CLI_PATH, KELVARIN_CLI_PATH, "--yes", "-o", output.c_str(), input.c_str(), nullptr);
        }
        _exit(127);
    }
    int childStatus = 0;
    waitpid(child, &childStatus, 0);
    EXPECT_EQ(test::readBytes(work.file("errors.txt")),
              input + ": ファイル書き込みエラー（" + folder + ": " + systemReason(ENOSPC) + "）\n");
    EXPECT_EQ(test::readBytes(output), "old");
}

}  // namespace
}  // namespace kelvarin
