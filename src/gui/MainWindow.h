// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "app/Form.h"
#include "app/View.h"
#include "gui/DesignControls.h"

namespace kelvarin {

class ExtraControls;
class ExtraSettings;
class HelpWindow;
class PendingProgress;
class PreviewWidget;
class ResultHooks;
class ResultWindow;

// frmMain on Qt Widgets: every control of the design at its twips position, wired to the window's event
// procedures. It holds no conversion logic; it is the view the commands run on.
class MainWindow : public QWidget, public View {
public:
    explicit MainWindow(AppState& state);
    ~MainWindow() override;

    Form& form() { return m_form; }
    QWidget* widget(Control control) const;
    HelpWindow* helpWindow() const { return m_help; }
    ExtraControls* extraControls() const;
    // The window's settings from the last run; from then on they are stored again when it closes.
    void restoreSettings();
    ResultWindow* resultWindow() const;
    // Twips of the window's coordinate unit per screen pixel.
    double twipsPerPixel() const;

    // View
    std::string text(Control control) const override;
    void setText(Control control, std::string_view text) override;
    void setToolTip(Control control, std::string_view text) override;
    void setEnabled(Control control, bool enabled) override;
    bool isSelected(Control optionButton) const override;
    void setSelection(Control textField, int start, int length) override;
    void setPicture(std::shared_ptr<const PreviewPicture> picture) override;
    void setImageStretch(bool stretch) override;
    void setImageSize(int widthTwips, int heightTwips) override;
    double imageLeft() const override;
    double imageTop() const override;
    void setTitle(std::string_view title) override;
    bool isMinimized() const override;
    double innerWidth() const override;
    double innerHeight() const override;
    double twipsPerPixelX() const override { return twipsPerPixel(); }
    void closeWindow() override;
    std::optional<std::string> showOpenDialog(const FileDialogRequest& request) override;
    void showHelpContents(const std::string& helpFile) override;
    void enterContextHelp(const std::string& helpFile) override;

    // Toolkit: shown when the window next gets to run.
    void setProgressMin(float value) override;
    void setProgressMax(float value) override;
    void setProgressValue(float value) override;
    void setPercentCaption(std::string_view text) override;
    void setPercentAlignment(Alignment alignment) override;
    // After a stopped conversion, the failures the stop causes are not shown: one report says it stopped.
    void showMessage(std::string_view text) final;
    void showDetailedMessage(std::string_view text, std::string_view details) final;
    bool askYesNo(std::string_view text) final;

protected:
    // The message boxes themselves.
    virtual void messageBox(std::string_view text, std::string_view details);
    virtual bool questionBox(std::string_view text);
    // Also where a conversion stops when the user asked it to.
    void processEvents() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Beyond the design: the options menu and the extra rows under the preview.
    void createExtraSettings();
    int extraRowsHeight() const;
    QSize minimumClientSize() const;
    void fitToScreen();
    void connectEvents();
    void setTabOrder();
    // Runs an event procedure; a close asked for meanwhile happens once no command runs. Anything that may
    // read another picture runs through here: the result window first copies the picture it shows.
    void run(const std::function<void()>& procedure);
    // A read or conversion: the settings outside the design wait meanwhile, the stop button ends it (then
    // saying so), and the focus returns where it was.
    void runCommand(const std::function<void()>& command);
    // "読み込み": a file other than the one read last starts at its first page; the picture dialog starts in
    // the folder of the picture read.
    void readPicture(bool sameFile);
    // "読み込み" as the button does it: a file other than the one read last starts afresh.
    void readNamedPicture();
    // 作成 does not apply to a drawing of strokes or vectors.
    void followConversionOptions();
    // Fields that hold paths and captions stretch with a wider window; the controls right of them move
    // along, keeping their places at the design's width.
    void stretchToWidth();
    // "変換実行" with a busy cursor, reporting a stop.
    void convert();
    void requestStop();
    void saveSettings() const;
    void showF1Help();
    // The title set by the program, after the name of the picture read.
    void showTitle();
    QRect pixelsOf(const TwipsRect& twips) const;

    Form m_form;
    DesignWidgets m_widgets;
    PreviewWidget* m_preview = nullptr;
    std::unique_ptr<PendingProgress> m_progress;
    HelpWindow* m_help = nullptr;
    std::unique_ptr<ExtraSettings> m_extras;
    std::unique_ptr<ResultHooks> m_result;
    std::vector<std::pair<QWidget*, QRect>> m_stretched;  // at the design's width
    std::vector<std::pair<QWidget*, QRect>> m_moved;
    bool m_closePending = false;
    bool m_stoppable = false;  // a read or a conversion runs
    bool m_stopRequested = false;
    bool m_stopped = false;  // the command has been stopped: its failure reports are not shown
    bool m_remembersSettings = false;
    bool m_shown = false;  // once: the frame is known only then
    std::string m_title;
    std::string m_readingPath;  // of the picture being read: named in the details of its messages
};

}  // namespace kelvarin
