// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/WindowSettings.h"

#include <QSettings>

#include "gui/QtText.h"

namespace kelvarin {

namespace {

QSettings store() { return QSettings(QStringLiteral("kelvarin"), QStringLiteral("kelvarin")); }

int whole(const QSettings& settings, const char* key, int low, int high, int fallback) {
    bool valid = false;
    const int value = settings.value(QLatin1String(key)).toInt(&valid);
    return valid && value >= low && value <= high ? value : fallback;
}

}  // namespace

WindowSettings loadWindowSettings(const WindowSettings& defaults) {
    const QSettings settings = store();
    WindowSettings loaded = defaults;
    loaded.threshold = whole(settings, "read/threshold", 0, 255, defaults.threshold);
    loaded.thresholdMethod = static_cast<ThresholdMethod>(
        whole(settings, "read/thresholdMethod", 0, 2, static_cast<int>(defaults.thresholdMethod)));
    loaded.unit = whole(settings, "size/unit", 0, 3, defaults.unit);
    loaded.dotsPerInch = whole(settings, "size/dpi", 0, 1000000, defaults.dotsPerInch);
    loaded.keepProportions = settings.value("size/keepProportions", defaults.keepProportions).toBool();
    loaded.color = whole(settings, "convert/color", 0, 1, defaults.color);
    loaded.lines = whole(settings, "convert/lines", 0, 2, defaults.lines);
    loaded.options.Strokes = settings.value("convert/strokes", defaults.options.Strokes).toBool();
    loaded.options.Deskew = settings.value("convert/deskew", defaults.options.Deskew).toBool();
    loaded.options.Vectorize =
        settings.value("convert/vectorize", defaults.options.Vectorize).toBool() && !loaded.options.Strokes;
    bool valid = false;
    const qlonglong despeckle = settings.value("convert/despeckle").toLongLong(&valid);
    loaded.options.DespeckleSize = valid && despeckle >= 0 ? despeckle : defaults.options.DespeckleSize;
    bool tolerable = false;
    const double tolerance = settings.value("convert/tolerance").toDouble(&tolerable);
    loaded.options.Tolerance =
        tolerable && tolerance >= 0.1 && tolerance <= 100 ? tolerance : defaults.options.Tolerance;
    loaded.geometry = settings.value("window/geometry", defaults.geometry).toByteArray();
    loaded.pictureFolder = toStdString(settings.value("folders/picture", toQString(defaults.pictureFolder)).toString());
    loaded.outputFolder = toStdString(settings.value("folders/output", toQString(defaults.outputFolder)).toString());
    return loaded;
}

void saveWindowSettings(const WindowSettings& settings) {
    QSettings store = kelvarin::store();
    store.setValue("read/threshold", settings.threshold);
    store.setValue("read/thresholdMethod", static_cast<int>(settings.thresholdMethod));
    store.setValue("size/unit", settings.unit);
    store.setValue("size/dpi", settings.dotsPerInch);
    store.setValue("size/keepProportions", settings.keepProportions);
    store.setValue("convert/color", settings.color);
    store.setValue("convert/lines", settings.lines);
    store.setValue("convert/strokes", settings.options.Strokes);
    store.setValue("convert/deskew", settings.options.Deskew);
    store.setValue("convert/vectorize", settings.options.Vectorize);
    store.setValue("convert/despeckle", static_cast<qlonglong>(settings.options.DespeckleSize));
    store.setValue("convert/tolerance", settings.options.Tolerance);
    store.setValue("window/geometry", settings.geometry);
    store.setValue("folders/picture", toQString(settings.pictureFolder));
    store.setValue("folders/output", toQString(settings.outputFolder));
}

}  // namespace kelvarin
