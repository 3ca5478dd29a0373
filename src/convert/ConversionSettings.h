#pragma once

#include <cstdint>
#include <string>

namespace kelvarin {

// The settings of one conversion, read from the window at every run.
struct ConversionSettings {
    std::string OutputPath;
    double ScaleX = 1;  // drawing units per dot
    double ScaleY = 1;
    std::string LayerName = "0";
    std::int32_t Thinning = 1;  // only every Thinning-th row or column is scanned
    double OffsetX = 0;         // drawing units
    double OffsetY = 0;
    bool MakeHorizontal = true;
    bool MakeVertical = false;
    bool LineColorWhite = false;  // white pixels (bit value 1) are the line pixels
};

}  // namespace kelvarin
