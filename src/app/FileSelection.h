// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/View.h"

namespace kelvarin {

struct Form;

// The picture files the open dialog lists: every format the read command takes.
inline constexpr const char* kPictureFilePatterns = "*.bmp *.tif *.tiff *.png *.pbm *.pgm *.pnm *.ppm *.pam *.pdf";

// The output name "自動" gives a picture: its extension (one of kPictureFilePatterns, in any case) replaced
// with ".dxf", and "-p<page>" before it for a page after the first; empty for a name without one of them.
std::string automaticOutputName(const std::string& picturePath, std::int32_t page = 1);

// Names the output after the picture the field names, with the page shown when byPage is set and the
// picture read has several; when it cannot, says why and gives false.
bool nameOutputAutomatically(Form& form, bool byPage);

// Shows the open-file dialog, starting in the dialog directory, and returns the chosen path; empty text
// when the user cancelled, or when mustExist is set and the file does not exist (which is shown).
std::string ReferFile(Form& form, const std::string& title, const std::string& pattern, bool mustExist);
// The same with the dialog set up by the caller.
std::string ReferFile(Form& form, const FileDialogRequest& request, bool mustExist);

// "参照..." for the picture (0) or the output (1), and "自動" (2), which names the output by
// automaticOutputName, each page of a multi-page picture apart. The picture's dialog starts in the folder a picture was
// last chosen in; the output's is a save dialog starting in the picture's folder (or where an output was last chosen).
void cmdRefer_Click(Form& form, int index);

// A drop onto textFile(index): the first path of a dropped file list names the file; a file that holds a
// picture or PDF goes to the picture field wherever it was dropped. Gives the index of the field that took
// the path; a drop that carries no file list (files is empty) is ignored and gives -1.
int textFile_OLEDragDrop(Form& form, int index, const std::vector<std::string>& files);

// Sets the tooltip of textFile(index) to the path it names.
void UpdateFileTip(Form& form, int index);

}  // namespace kelvarin
