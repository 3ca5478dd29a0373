// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/RealSize.h"
#include "bitmap/BitmapData.h"

namespace kelvarin {

// What the command line asks for. Numbers stay text: they go into the window's fields and are checked
// there, exactly as typed ones.
struct CliOptions {
    std::vector<std::string> inputs;
    std::optional<std::string> output;
    std::optional<std::string> sizeX;
    std::optional<std::string> sizeY;
    std::optional<std::string> offsetX;
    std::optional<std::string> offsetY;
    std::optional<std::string> layer;
    std::optional<std::string> thinning;
    int threshold = 128;  // grey and colour pixels darker than this are black
    ThresholdMethod thresholdMethod = ThresholdMethod::Fixed;
    std::int32_t page = 1;
    std::optional<SizeUnit> units;  // sizes from the picture's resolution
    double dotsPerInch = 0;         // replaces the stored resolution when above 0
    int color = 0;                  // index of the colour option: 0 black, 1 white
    int lines = 0;                  // index of the line option: 0 horizontal, 1 vertical, 2 both
    bool linesGiven = false;        // --lines was on the command line
    bool strokes = false;
    bool vectorize = false;
    std::optional<double> tolerance;  // dots; the conversion's default when not given
    bool text = true;                 // the vector mode reads the text as TEXT entities
    bool textGiven = false;           // --text or --no-text was on the command line
    std::string ocrLanguage = "jpn+eng";
    std::int64_t despeckle = 0;  // largest group of dots removed; 0 removes none
    bool deskew = false;
    bool recursive = false;                // folders given as inputs are walked for pictures
    std::optional<std::string> outputDir;  // the drawings go to a mirror of the input tree there
    bool update = false;                   // only pictures whose drawing is missing or older
    std::optional<std::int32_t> jobs;      // conversions at once; the number of cores when not given
    std::optional<std::int32_t> threads;   // threads of one conversion; shared out by jobs when not given
    std::optional<std::string> report;     // JSON Lines file, one object per input
    std::int32_t shardIndex = 1;           // this run takes part shardIndex of shardCount (1-based)
    std::int32_t shardCount = 1;
    bool assumeYes = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
};

// Parses the arguments after the program name; the error text describes a usage error.
struct CliParse {
    CliOptions options;
    std::string error;  // empty when the arguments are usable
};
CliParse parseCliArguments(const std::vector<std::string>& arguments);

// The text of --help.
std::string cliUsage();

}  // namespace kelvarin
