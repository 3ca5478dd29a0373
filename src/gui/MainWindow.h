#pragma once

#include <QWidget>

#include <functional>
#include <map>
#include <utility>

#include "app/Form.h"
#include "app/View.h"

class QAction;
class QLabel;
class QLineEdit;
class QProgressBar;

namespace kelvarin {

class HelpWindow;
class PreviewWidget;

// frmMain on Qt Widgets: every control of the design at its twips position, wired to the window's event
// procedures. It holds no conversion logic; it is the view the commands run on.
class MainWindow : public QWidget, public View {
public:
    explicit MainWindow(AppState& state);
    ~MainWindow() override;

    Form& form() { return m_form; }
    QWidget* widget(Control control) const;
    HelpWindow* helpWindow() const { return m_help; }
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

    // Toolkit: the progress settings are kept and shown when the window next gets to run, so the long
    // loops can set them once per item at no cost.
    void setProgressMin(float value) override;
    void setProgressMax(float value) override;
    void setProgressValue(float value) override;
    void setPercentCaption(std::string_view text) override;
    void setPercentAlignment(Alignment alignment) override;
    void showMessage(std::string_view text) override;
    bool askYesNo(std::string_view text) override;

protected:
    void processEvents() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void fitFrames();
    void fitLabels();
    QSize minimumClientSize() const;
    // The conversion options, outside the design's controls: a menu in the free space beside the layer
    // and thinning fields, and a label under it naming the options in force.
    void createOptionsMenu();
    void askDespeckleSize();
    void showConversionOptions();
    void connectEvents();
    void setTabOrder();
    // Runs an event procedure; a close asked for meanwhile happens once no command runs.
    void run(const std::function<void()>& procedure);
    // "変換実行" with a busy cursor; the focus returns where it was.
    void convert();
    void showProgress();
    void showF1Help();
    QRect pixelsOf(const TwipsRect& twips) const;

    Form m_form;
    std::map<std::pair<int, int>, QWidget*> m_widgets;
    PreviewWidget* m_preview = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QLabel* m_percentLabel = nullptr;
    HelpWindow* m_help = nullptr;
    QAction* m_strokesAction = nullptr;
    QAction* m_despeckleAction = nullptr;
    QAction* m_vectorizeAction = nullptr;
    QLabel* m_optionsLabel = nullptr;
    bool m_closePending = false;

    float m_progressMin = 0;
    float m_progressMax = 100;
    float m_progressValue = 0;
    std::string m_caption = "0%";
    Alignment m_alignment = Alignment::Left;
    bool m_progressChanged = false;
};

}  // namespace kelvarin
