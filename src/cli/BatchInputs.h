// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kelvarin {

// One input of a batch: a picture to convert, or a file the walk found that is no picture.
struct BatchInput {
    std::string input;
    std::string output;   // the drawing's path; empty for the name "自動" gives beside the picture
    bool picture = true;  // false: a file found in a folder whose first bytes are no picture's
    std::string error;    // why the input cannot be had (a folder that cannot be read), or empty
};

// The inputs as given, each folder replaced with the files below it in name order when walk is set.
// With outputFolder the drawings go to a mirror of the input tree there: a file found below a folder
// keeps its path relative to that folder, a file given by name goes straight into outputFolder. The
// output folder itself is not walked.
std::vector<BatchInput> expandInputs(const std::vector<std::string>& inputs, bool walk,
                                     const std::optional<std::string>& outputFolder);

// The file starts as a picture the read command takes: a BMP, PNG, TIFF, PNM or PDF.
bool looksLikePicture(const std::string& path);

}  // namespace kelvarin
