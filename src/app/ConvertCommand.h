// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace kelvarin {

struct Form;
class View;
struct ConversionSettings;

inline constexpr const char* kThinningRefusal = "間引き数は１以上の正の整数です（但し、１は間引きません）";
inline constexpr const char* kStrokesThinningRefusal = "ストローク（--strokes）は間引き数 1 のときだけ使えます";
inline constexpr const char* kPictureNotReadRefusal =
    "画像ファイル名が、読み込んだ画像と違います。「読み込み」を押して読み込んでから変換してください";
inline constexpr const char* kVectorizeThinningRefusal = "ベクトル化（--vectorize）は間引き数 1 のときだけ使えます";

// The line kind and the line colour chosen in the window, as a conversion reads them.
void readLineKind(const View& view, ConversionSettings& settings);
bool lineColorWhite(const View& view);

// The refusal of an output file that holds a picture or PDF of the named format.
std::string pictureOutputRefusal(std::string_view formatName);

// "変換実行": reads and checks the settings (the first failing check is shown and ends the command),
// refuses to replace a picture, asks before replacing any other existing output file, disables the window, runs the
// numbered passes and writes the DXF file. Unexpected failures are reported with the pass and step in progress. Every
// way out sets PassNumber to 0 and enables all controls. True when the DXF file was written.
bool cmdConvert_Click(Form& form);

// The turn a deskewing conversion found and took back, as the user is told it: "傾き補正: -0.6°",
// counter-clockwise positive, to a hundredth of a degree; for exactly 0 (no angle found) it says why the
// page was left as it is.
std::string SkewNote(double degrees);

}  // namespace kelvarin
