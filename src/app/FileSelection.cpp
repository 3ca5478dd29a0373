// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/FileSelection.h"

#include <unistd.h>

#include <cctype>
#include <climits>

#include "app/Form.h"
#include "bitmap/ImageFormat.h"
#include "common/NumberParse.h"
#include "common/TextFormat.h"
#include "fileutil/DirectorySearch.h"
#include "fileutil/Path.h"

namespace kelvarin {

namespace {

std::string currentDirectory() {
    char buffer[PATH_MAX];
    return getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer) : std::string();
}

// The length of the picture extension the name ends with (see kPictureFilePatterns, in any case), or 0.
std::size_t pictureExtensionLength(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) {
        return 0;
    }
    std::string ending(name.substr(dot));
    for (char& c : ending) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    for (const char* known : {".bmp", ".tif", ".tiff", ".png", ".pbm", ".pgm", ".pnm", ".ppm", ".pam", ".pdf"}) {
        if (ending == known) {
            return ending.size();
        }
    }
    return 0;
}

// The page shown of the multi-page picture the field names, or 1.
std::int32_t pageShown(const Form& form) {
    const AppState& state = form.state;
    const bool named = state.FileLoaded && trimBlanks(form.view.text(textFile(0))) == state.PicturePath;
    return named && state.PageCount > 1 ? state.readOptions.page : 1;
}

// The next dialog for the same field starts in the chosen file's folder.
void setChosenPath(Form& form, int index, const std::string& path) {
    if (path.empty()) {
        return;
    }
    form.view.setText(textFile(index), path);
    UpdateFileTip(form, index);
    const std::string folder = GetDirectoryPart(path);
    if (!folder.empty()) {
        (index == 0 ? form.state.DialogDirectory : form.state.OutputDirectory) = folder;
    }
}

// The output is looked for beside the picture, else where it was chosen last.
std::string outputDialogDirectory(const Form& form) {
    const std::string picture = GetDirectoryPart(trimBlanks(form.view.text(textFile(0))));
    if (!picture.empty()) {
        return picture;
    }
    return form.state.OutputDirectory.empty() ? form.state.DialogDirectory : form.state.OutputDirectory;
}

}  // namespace

std::string automaticOutputName(const std::string& picturePath, std::int32_t page) {
    const std::size_t extension = pictureExtensionLength(picturePath);
    if (extension == 0) {
        return {};
    }
    const std::string pageMark = page > 1 ? "-p" + formatInteger(page) : std::string();
    return picturePath.substr(0, picturePath.size() - extension) + pageMark + ".dxf";
}

bool nameOutputAutomatically(Form& form, bool byPage) {
    const std::string output =
        automaticOutputName(trimBlanks(form.view.text(textFile(0))), byPage ? pageShown(form) : 1);
    if (output.empty()) {
        form.view.showDetailedMessage("BMPファイルが指定されていません",
                                      "拡張子が .bmp .tif .tiff .png .pbm .pgm .pnm .ppm .pam .pdf のどれでもないため、"
                                      "出力ファイル名を決められません");
        return false;
    }
    form.view.setText(textFile(1), output);
    UpdateFileTip(form, 1);
    return true;
}

std::string ReferFile(Form& form, const std::string& title, const std::string& pattern, bool mustExist) {
    return ReferFile(form, {title, pattern, JoinPath(form.state.DialogDirectory, pattern, false)}, mustExist);
}

std::string ReferFile(Form& form, const FileDialogRequest& request, bool mustExist) {
    const std::string directoryBefore = currentDirectory();
    const std::optional<std::string> chosen = form.view.showOpenDialog(request);
    if (!chosen) {
        return {};
    }
    // Relative paths typed later keep meaning what they meant before the dialog.
    if (!directoryBefore.empty() && currentDirectory() != directoryBefore) {
        [[maybe_unused]] const int ignored = chdir(directoryBefore.c_str());
    }
    if (mustExist && CheckFileExists(*chosen) != 0) {
        form.view.showMessage("ファイルがありません in ReferFile");
        return {};
    }
    return *chosen;
}

void cmdRefer_Click(Form& form, int index) {
    switch (index) {
        case 0: setChosenPath(form, 0, ReferFile(form, "入力画像ファイル名", kPictureFilePatterns, true)); break;
        case 1: {
            const FileDialogRequest request{"出力ファイル名", "*.dxf",
                                            JoinPath(outputDialogDirectory(form), "*.dxf", false), true};
            setChosenPath(form, 1, ReferFile(form, request, false));
            break;
        }
        case 2: nameOutputAutomatically(form, true); break;
        default: break;
    }
}

int textFile_OLEDragDrop(Form& form, int index, const std::vector<std::string>& files) {
    if (files.empty()) {
        return -1;
    }
    // A picture is never an output name: one that misses the picture field lands there all the same.
    if (index == 1 && !pictureFormatOfFile(files.front()).empty()) {
        index = 0;
    }
    form.view.setText(textFile(index), files.front());
    UpdateFileTip(form, index);
    return index;
}

void UpdateFileTip(Form& form, int index) {
    const char* prefix = index == 0 ? "変換元BMP：[" : "変換先DXF：[";
    form.view.setToolTip(textFile(index), prefix + trimBlanks(form.view.text(textFile(index))) + "]");
}

}  // namespace kelvarin
