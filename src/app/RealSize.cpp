// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/RealSize.h"

#include "app/Form.h"
#include "bitmap/BmpHeader.h"
#include "common/TextFormat.h"

namespace kelvarin {

namespace {

double unitsPerInch(SizeUnit unit) {
    switch (unit) {
        case SizeUnit::Millimetre: return 25.4;
        case SizeUnit::Centimetre: return 2.54;
        case SizeUnit::Inch: return 1;
    }
    return 1;
}

}  // namespace

std::optional<SizeUnit> sizeUnitNamed(std::string_view name) {
    if (name == "mm") {
        return SizeUnit::Millimetre;
    }
    if (name == "cm") {
        return SizeUnit::Centimetre;
    }
    if (name == "inch") {
        return SizeUnit::Inch;
    }
    return std::nullopt;
}

bool fillSizesFromResolution(Form& form, SizeUnit unit, double dotsPerInch) {
    const Resolution resolution = dotsPerInch > 0 ? Resolution{dotsPerInch, dotsPerInch} : form.state.resolution;
    if (!resolution.known()) {
        form.view.showMessage("この画像には解像度が記録されていません");
        return false;
    }
    const double perInch = unitsPerInch(unit);
    form.view.setText(textSize(0), formatGeneral(bitmapWidth(form.state.BmpHeader) / resolution.x * perInch));
    form.view.setText(textSize(1), formatGeneral(bitmapHeight(form.state.BmpHeader) / resolution.y * perInch));
    return true;
}

}  // namespace kelvarin
