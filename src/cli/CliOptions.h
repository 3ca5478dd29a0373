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
    std::int64_t despeckle = 0;       // largest group of dots removed; 0 removes none
    bool deskew = false;
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
