// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace kelvarin {

// The optional treatments of a conversion, off unless asked for.
struct ConversionOptions {
    // Rows of equal runs stack into rectangles, each drawn as one LINE along its longer side.
    bool Strokes = false;
    // 8-connected groups of at most this many line pixels are dropped first; 0 keeps everything.
    std::int64_t DespeckleSize = 0;
    // The page's skew is found from its long lines and the picture turned back before anything else.
    bool Deskew = false;
    // The centre lines of the strokes as LINEs at any angle, CIRCLEs and ARCs instead of the runs.
    bool Vectorize = false;
    // The greatest distance in dots between a written entity and the centre line it stands for.
    double Tolerance = kDefaultTolerance;
    // Threads one conversion may use; 0 takes every core.
    std::int32_t Threads = 0;
    // The vector mode writes the text it reads from the scan as TEXT entities, in these languages (the
    // names of Tesseract's language data joined by +), and takes its ink out of the geometry.
    bool Text = true;
    std::string OcrLanguage = "jpn+eng";

    static constexpr double kDefaultTolerance = 2;
};

// The settings of one conversion, read from the window at every run.
struct ConversionSettings {
    std::string OutputPath;
    // The user agreed to replace the file at OutputPath; otherwise one that appears meanwhile is kept.
    bool ReplaceExisting = false;
    double ScaleX = 1;  // drawing units per dot
    double ScaleY = 1;
    std::string LayerName = "0";
    std::int32_t Thinning = 1;  // only every Thinning-th row or column is scanned
    double OffsetX = 0;         // drawing units
    double OffsetY = 0;
    bool MakeHorizontal = true;
    bool MakeVertical = false;
    bool LineColorWhite = false;  // white pixels (bit value 1) are the line pixels
    ConversionOptions Options;
};

}  // namespace kelvarin
