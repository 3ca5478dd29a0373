// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ReadCommand.h"

#include <memory>

#include "app/BitmapSizeDisplay.h"
#include "app/ControlGroups.h"
#include "app/Form.h"
#include "bitmap/BmpHeader.h"
#include "bitmap/PictureDecoding.h"
#include "bitmap/PreviewPicture.h"
#include "bitmap/ReadFile.h"
#include "common/Error.h"
#include "common/NumberParse.h"
#include "common/TextFormat.h"
#include "convert/VirtualVram.h"
#include "fileutil/DirectorySearch.h"
#include "fileutil/FileInfo.h"

namespace kelvarin {

namespace {

// The preview shows the file the field names now, which the user may have changed during the read. A
// view that shows no pictures (the command line) is spared the copy.
void loadPreview(Form& form, const std::string& readPath) {
    const std::string path = trimBlanks(form.view.text(textFile(0)));
    if (path.empty() || !form.view.showsPictures()) {
        return;
    }
    const AppState& state = form.state;
    try {
        auto picture =
            std::make_shared<const PreviewPicture>(path == readPath ? previewOf(state.BmpHeader, state.PixelBytes)
                                                                    : loadPreviewPicture(path, state.readOptions));
        form.view.setPicture(std::move(picture));
    } catch (const KelvarinError& error) {
        if (error.code() != ErrorCode::InvalidPicture) {
            throw;
        }
        form.view.showMessage("イメージコントロールに読み込めないビットマップファイルです\r\n画像の表示はできません");
    }
}

// What was loaded before a read, which decides what of the previous picture's settings stays.
struct Previous {
    std::string path;  // empty when nothing was loaded
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// Sizes typed for a picture stay when it is read again (a new threshold or page) at the same size; a
// picture of another file starts afresh, without the previous file's output name and skew.
void fillSizes(Form& form, const Previous& previous, const std::string& path) {
    AppState& state = form.state;
    View& view = form.view;
    const std::int32_t width = bitmapWidth(state.BmpHeader);
    const std::int32_t height = bitmapHeight(state.BmpHeader);
    state.SizesKept = previous.path == path && previous.width == width && previous.height == height &&
                      !trimBlanks(view.text(textSize(0))).empty() && !trimBlanks(view.text(textSize(1))).empty();
    if (!previous.path.empty() && previous.path != path) {
        view.setText(textFile(1), "");
        view.setToolTip(textFile(1), designOf(textFile(1)).toolTip);
        state.SkewDegrees = 0;
    }
    if (!state.SizesKept) {
        view.setText(textSize(0), formatInteger(width));
        view.setText(textSize(1), formatInteger(height));
    }
}

// True when every step completed.
bool readBitmap(Form& form, const Previous& previous) {
    AppState& state = form.state;
    View& view = form.view;
    state.FileLoaded = false;
    state.SizesKept = false;
    const std::string path = trimBlanks(view.text(textFile(0)));
    if (path.empty()) {
        view.showMessage("ファイル名が指定されていません");
        return false;
    }
    DirectorySearch search;
    if (search.first(path, ExistenceMask).empty()) {
        view.showDetailedMessage("ファイルが見つかりません", whyMissing(path));
        return false;
    }
    if (!ReadFile(path, state, view)) {
        view.showMessage("ファイル読み込みエラー");
        return false;
    }
    if (!DecodePicture(state, state.readOptions, view)) {
        return false;
    }
    loadPreview(form, path);
    view.setImageStretch(false);
    ShowBitmapSize(form);
    // The sizes checked, the dots go to the grid before any setting follows the picture: a picture whose
    // pixel data cannot be had leaves the settings as they were.
    TransferToVram(state, state.Vram, state, view);
    view.setEnabled(cmdConvert, true);
    SetColorChoiceEnabled(view, true);
    SetSizeOffsetEnabled(view, true);
    fillSizes(form, previous, path);
    return true;
}

}  // namespace

bool cmdReadFile_Click(Form& form) {
    const CommandGuard guard(form);
    if (!guard.running()) {
        return false;
    }
    AppState& state = form.state;
    const std::string path = trimBlanks(form.view.text(textFile(0)));
    Previous previous;
    if (state.FileLoaded) {
        previous = {state.PicturePath, bitmapWidth(state.BmpHeader), bitmapHeight(state.BmpHeader)};
    }
    bool completed = false;
    try {
        completed = readBitmap(form, previous);
    } catch (...) {
        const KelvarinError error = asKelvarinError(std::current_exception());
        if (error.code() == ErrorCode::Interrupted) {
            form.view.showMessage(describe(ErrorCode::Interrupted));
        } else {
            form.view.showDetailedMessage(
                "ファイル読み込みエラー in cmdReadFile_Click\r\n" + formatInteger(error.number()) + ":" +
                    error.description(),
                error.systemErrorNumber() != 0
                    ? trimBlanks(form.view.text(textFile(0))) + ": " + systemReason(error.systemErrorNumber())
                    : "");
        }
    }
    // The preview never shows a picture other than the one read, and nothing half read is converted: its
    // size goes with it.
    if (!completed) {
        state.FileLoaded = false;
        form.view.setPicture(nullptr);
        form.view.setText(labelBMPSize, designOf(labelBMPSize).caption);
        form.view.setEnabled(cmdConvert, false);
    }
    state.PicturePath = state.FileLoaded ? path : std::string();
    state.PassNumber = 0;
    return completed;
}

}  // namespace kelvarin
