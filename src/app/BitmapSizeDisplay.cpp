// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/BitmapSizeDisplay.h"

#include <cmath>

#include "app/Form.h"
#include "bitmap/BmpHeader.h"
#include "common/Error.h"
#include "common/TextFormat.h"

namespace kelvarin {

namespace {

// Rounds to the nearest integer, halves to the even neighbour.
double roundHalfEven(double value) { return std::nearbyint(value); }

}  // namespace

void ShowBitmapSize(Form& form) {
    View& view = form.view;
    const double left = roundHalfEven(view.imageLeft());
    const double top = roundHalfEven(view.imageTop());
    const double availableWidth = roundHalfEven(view.innerWidth()) - 2 * left;
    const double availableHeight = roundHalfEven(view.innerHeight()) - top - left;

    const std::int32_t width = bitmapWidth(form.state.BmpHeader);
    const std::int32_t height = bitmapHeight(form.state.BmpHeader);
    checkBitmapSize(width, height);
    if (availableWidth <= 0 || availableHeight <= 0) {
        throw KelvarinError(ErrorCode::InvalidPropertyValue, "プレビューを表示する領域がありません。");
    }

    const double areaRatio = availableWidth / availableHeight;
    const double bitmapRatio = static_cast<double>(width) / height;
    double previewWidth = availableWidth;
    double previewHeight = availableHeight;
    if (areaRatio > bitmapRatio) {
        previewWidth = roundHalfEven(availableHeight * bitmapRatio);
    } else if (areaRatio < bitmapRatio) {
        previewHeight = roundHalfEven((1 / bitmapRatio) * availableWidth);
    }
    const double zoom = (previewWidth / view.twipsPerPixelX()) / width;
    const std::string caption = formatInteger(width) + "dots × " + formatInteger(height) + "dots : 表示 " +
                                formatGeneral(std::round(zoom * 1000) / 10) + "%";

    view.setImageSize(static_cast<int>(previewWidth), static_cast<int>(previewHeight));
    view.setImageStretch(true);
    view.setText(labelBMPSize, caption);
}

void Form_Resize(Form& form) {
    if (form.view.isMinimized() || !form.state.FileLoaded) {
        return;
    }
    try {
        ShowBitmapSize(form);
    } catch (...) {
        // The resize event has no report of its own: the preview keeps its last fit.
    }
}

}  // namespace kelvarin
