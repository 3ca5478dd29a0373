// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Startup.h"

#include "app/Form.h"
#include "app/Version.h"
#include "fileutil/DirectorySearch.h"
#include "fileutil/Path.h"
#include "fileutil/ResourceLocation.h"

namespace kelvarin {

namespace {

bool requireTemplate(const AppState& state, Toolkit& toolkit, const char* name) {
    // Mask 0: a directory or a hidden entry of that name does not count.
    if (entryExists(state.ProgramDirectory + kPathSeparator + name, 0)) {
        return true;
    }
    toolkit.showMessage(std::string("「") + name + "」がありません。これは必要なファイルです。\r\n" +
                        "セットアップし直すか、配布ファイルから抽出してください。");
    return false;
}

// A folder searched before the one whose templates are used holds only one of the two: it is passed
// over, as the pair belongs together, and the user is told which file is not used and why.
void reportHalfPairs(Toolkit& toolkit, const std::vector<std::string>& directories, const std::string& used) {
    for (const std::string& directory : directories) {
        if (directory == used) {
            return;
        }
        const bool header = entryExists(JoinPath(directory, "header.txt", false), 0);
        const bool footer = entryExists(JoinPath(directory, "footer.txt", false), 0);
        if (header != footer) {
            const char* present = header ? "header.txt" : "footer.txt";
            const char* absent = header ? "footer.txt" : "header.txt";
            toolkit.showMessage("「" + JoinPath(directory, present, false) + "」は使いません。同じフォルダに " +
                                absent + " がありません（header.txt と footer.txt は同じフォルダの組で使います）。");
        }
    }
}

}  // namespace

bool Main(AppState& state, Toolkit& toolkit, const std::string& executablePath) {
    state.VersionText = kVersionText;
    state.LegalNoticeText = kLegalNoticeText;
    // Without a known executable the current directory stands for the program's folder.
    const std::string programDirectory =
        executablePath.empty() ? absolutePath(".") : GetDirectoryPart(absolutePath(executablePath));
    const std::vector<std::string> directories = resourceDirectories(programDirectory);
    const std::string templates = findResourceDirectory(directories, {"header.txt", "footer.txt"});
    // Found nowhere: the check below names the first template missing beside the program.
    state.ProgramDirectory = templates.empty() ? programDirectory : templates;
    if (!templates.empty()) {
        reportHalfPairs(toolkit, directories, templates);
    }
    const std::string help = findResourceDirectory(directories, {"KELVARIN.hlp"});
    state.HelpFilePath = JoinPath(help.empty() ? state.ProgramDirectory : help, "KELVARIN.hlp", false);
    // An installed program's folder is a system folder: the file dialogs start at home instead.
    const std::string home = homeDirectory();
    state.DialogDirectory = state.ProgramDirectory == programDirectory || home.empty() ? programDirectory : home;
    state.FileLoaded = false;
    state.PixelBytes = {};
    state.FileBytes = LargeBuffer();
    state.FileLength = 0;
    return requireTemplate(state, toolkit, "header.txt") && requireTemplate(state, toolkit, "footer.txt");
}

void Form_Load(Form& form, const std::string& executablePath) {
    form.view.setTitle(baseNameWithoutExtension(executablePath) + " Version " + form.state.VersionText + " " +
                       form.state.LegalNoticeText);
    form.state.PassNumber = 0;
}

}  // namespace kelvarin
