// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/View.h"

namespace kelvarin {

struct Form;

// The picture files the open dialog lists: every format the read command takes.
inline constexpr const char* kPictureFilePatterns = "*.bmp *.tif *.tiff *.png *.pbm *.pgm *.pnm *.ppm *.pam *.pdf";

// The output name "自動" gives a picture: its extension (".bmp", ".tif", ".tiff", ".png", ".pbm", ".pgm",
// ".pnm", in any case) replaced with ".dxf"; empty for a name without one of them.
std::string automaticOutputName(const std::string& picturePath);

// Shows the open-file dialog, starting in the dialog directory, and returns the chosen path; empty text
// when the user cancelled, or when mustExist is set and the file does not exist (which is shown).
std::string ReferFile(Form& form, const std::string& title, const std::string& pattern, bool mustExist);
// The same with the dialog set up by the caller.
std::string ReferFile(Form& form, const FileDialogRequest& request, bool mustExist);

// "参照..." for the picture (0) or the output (1), and "自動" (2), which derives the output name from the
// picture name by replacing its extension (".bmp", ".tif", ".tiff", ".png", ".pbm", ".pgm", ".pnm", ".ppm",
// ".pam", ".pdf") with ".dxf". The picture's dialog starts in the folder a picture was last chosen in; the
// output's is a save dialog starting in the picture's folder (or where an output was last chosen).
void cmdRefer_Click(Form& form, int index);

// A drop onto textFile(index): the first path of a dropped file list names the file; a drop that carries
// no file list (files is empty) is ignored.
void textFile_OLEDragDrop(Form& form, int index, const std::vector<std::string>& files);

// Sets the tooltip of textFile(index) to the path it names.
void UpdateFileTip(Form& form, int index);

}  // namespace kelvarin
