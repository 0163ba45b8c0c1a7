#pragma once

#include "link/dialogs.h"
#include "link/flashfile.h"
#include "link/job.h"
#include "panels/panelcontext.h"
#include "protocol/flashscreens.h"
#include "protocol/picture.h"

#include <QMainWindow>

#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QSlider;
class QSpinBox;
class QUndoStack;

namespace lumivor::link {
class FlashRead;
class FlashVerify;
class FlashWrite;
} // namespace lumivor::link

namespace lumivor::panels {

class LcdView;
class ScreenGrid;

// The flash image window: a .fls image as its 256 screens, to look at and
// edit away from the controller. Screens are replaced from picture files
// (with the picture panel's conversions and a preview of the LCD before the
// change), cleared, copied onto one another and exported as PNG; every edit
// can be undone. Another image can be compared screen by screen. The image
// is saved through a part file, read from the controller, or written into
// it (optionally read back to verify) as a job on the link, shown in the
// main window's progress view.
class FlashStudio : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr const char* fileFilter = "Flash (*.fls)|*.fls|";

    explicit FlashStudio(const PanelContext& context, QWidget* parent = nullptr);
    ~FlashStudio() override;

    const protocol::FlashScreens& screens() const { return screens_; }
    int selectedScreen() const;
    QString filePath() const { return path_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildActions();
    QWidget* buildScreenControls();
    QGroupBox* buildImportFrame();

    // The image as a whole.
    bool mayDropEdits();
    void newImage();
    void openImage();
    std::optional<std::pair<protocol::FlashScreens, QString>> chooseImage();
    bool save();
    bool saveAs();
    bool saveTo(const QString& path);
    void takeImage(const protocol::FlashScreens& screens, const QString& path);
    void showTitle();

    // Edits of one screen.
    void pickPicture();
    void showImportPreview();
    void applyImport();
    void endImport();
    void clearScreen();
    void copyScreen();
    void exportScreen();
    bool mayChange(int screen);
    void changeScreen(int screen, const QByteArray& bytes, const QString& what);
    void putScreen(int screen, const QByteArray& bytes);

    // Comparison with another image.
    void compareWith();
    void endComparison();
    void showDifferences();
    void showSelected();

    // The controller.
    void readFromController();
    void writeToController();
    void readEnded(link::Job::Outcome outcome, const QString& detail);
    void writeEnded(link::Job::Outcome outcome, const QString& detail);
    void verifyEnded(link::Job::Outcome outcome, const QString& detail,
                     const QList<protocol::ScreenDifference>& differences);
    void showTransferProgress(int done, int total);
    void endTransfer(const QString& text, link::Dialogs::Icon icon);
    void cancelTransfer();
    bool transferRunning() const;
    void updateLinkActions();
    void tell(const QString& text, link::Dialogs::Icon icon);

    PanelContext context_;
    protocol::FlashScreens screens_;
    QString path_;
    std::optional<protocol::FlashScreens> compared_;
    QString comparedPath_;
    QImage importPicture_;
    QUndoStack* undo_ = nullptr;

    link::FlashRead* read_ = nullptr;
    link::FlashWrite* write_ = nullptr;
    link::FlashVerify* verify_ = nullptr;
    link::FlashMemorySink readSink_;
    QByteArray written_; // the image of a write to be verified

    ScreenGrid* grid_ = nullptr;
    LcdView* selectedView_ = nullptr;
    LcdView* comparedView_ = nullptr;
    QLabel* selectedCaption_ = nullptr;
    QLabel* comparedCaption_ = nullptr;
    QLabel* differences_ = nullptr;
    QSpinBox* copyTarget_ = nullptr;
    QGroupBox* import_ = nullptr;
    LcdView* importView_ = nullptr;
    QComboBox* conversion_ = nullptr;
    QSlider* threshold_ = nullptr;
    QCheckBox* verifyAfter_ = nullptr;
    QAction* readAction_ = nullptr;
    QAction* writeAction_ = nullptr;
    QAction* endCompareAction_ = nullptr;
};

} // namespace lumivor::panels
