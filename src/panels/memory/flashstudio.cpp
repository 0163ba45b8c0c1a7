#include "panels/memory/flashstudio.h"

#include "link/dialogs.h"
#include "link/flashtransfer.h"
#include "link/flashverify.h"
#include "link/linkservice.h"
#include "link/partfile.h"
#include "link/responsemonitor.h"
#include "panels/graphics/picturepanel.h"
#include "panels/memory/flashpanel.h"
#include "panels/memory/screengrid.h"
#include "panels/progressview.h"
#include "panels/widgets.h"
#include "product.h"
#include "protocol/picturefile.h"

#include <QBuffer>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QSplitter>
#include <QToolBar>
#include <QUndoStack>
#include <QVBoxLayout>

namespace lumivor::panels {

using link::Dialogs;
using link::FlashStart;
using link::Job;
using protocol::FlashScreens;

namespace {

constexpr const char* pngFilter = "PNG (*.png)|*.png|";

// One edit of one screen: the bytes before and after, put back by the window.
class ScreenEdit final : public QUndoCommand
{
public:
    using Put = std::function<void(int, const QByteArray&)>;
    ScreenEdit(int screen, QByteArray before, QByteArray after, const QString& text, Put put)
        : QUndoCommand(text), screen_(screen), before_(std::move(before)),
          after_(std::move(after)), put_(std::move(put))
    {
    }
    void undo() override { put_(screen_, before_); }
    void redo() override { put_(screen_, after_); }

private:
    int screen_;
    QByteArray before_, after_;
    Put put_;
};

QAction* namedAction(QMenu* menu, const char* name, const QString& text,
                     const QKeySequence& keys = {})
{
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(keys);
    return action;
}

// Where the picture does not reach, the screen stays blank: black is a 0
// by the exact rule, white by the threshold and dithering.
QByteArray importedScreen(const QImage& picture, protocol::Conversion conversion, int threshold)
{
    const QColor blank = conversion == protocol::Conversion::Exact ? Qt::black : Qt::white;
    const QImage canvas = protocol::canvasFromPicture(picture, blank);
    return protocol::packCanvas(protocol::convertCanvas(canvas, conversion, threshold));
}

Dialogs::Icon iconFor(Job::Outcome outcome)
{
    return outcome == Job::Outcome::Failed ? Dialogs::Icon::Critical : Dialogs::Icon::Exclamation;
}

} // namespace

FlashStudio::FlashStudio(const PanelContext& context, QWidget* parent)
    : QMainWindow(parent, Qt::Window), context_(context)
{
    setObjectName(QStringLiteral("frmFlashStudio"));
    setAttribute(Qt::WA_DeleteOnClose);
    undo_ = new QUndoStack(this);
    connect(undo_, &QUndoStack::cleanChanged, this,
            [this](bool clean) { setWindowModified(!clean); });

    read_ = new link::FlashRead(context.link, this);
    write_ = new link::FlashWrite(context.link, this);
    // The window's own write: what falls due in a tick goes out in one write,
    // so the same bytes leave at the same moments with far fewer system calls.
    write_->setGroupedWrites(true);
    verify_ = new link::FlashVerify(context.link, this);
    connect(read_, &Job::progressed, this, &FlashStudio::showTransferProgress);
    connect(write_, &Job::progressed, this, &FlashStudio::showTransferProgress);
    connect(verify_, &link::FlashVerify::progressed, this, &FlashStudio::showTransferProgress);
    connect(read_, &Job::ended, this, &FlashStudio::readEnded);
    connect(write_, &Job::ended, this, &FlashStudio::writeEnded);
    connect(verify_, &link::FlashVerify::ended, this, &FlashStudio::verifyEnded);
    connect(&context.link, &link::LinkService::stateChanged, this,
            &FlashStudio::updateLinkActions);
    connect(&context.link, &link::LinkService::busyChanged, this,
            &FlashStudio::updateLinkActions);

    grid_ = new ScreenGrid;
    grid_->setObjectName(QStringLiteral("screenGrid"));
    auto* gridArea = new QScrollArea;
    gridArea->setWidget(grid_);
    gridArea->setMinimumWidth(grid_->sizeHint().width() + 24);
    grid_->resize(grid_->sizeHint());
    connect(grid_, &ScreenGrid::screenSelected, this, [this, gridArea](int screen) {
        const QRect cell = grid_->cellRect(screen);
        gridArea->ensureVisible(cell.center().x(), cell.center().y(), cell.width() / 2,
                                cell.height() / 2);
        showSelected();
    });

    auto* splitter = new QSplitter;
    splitter->addWidget(gridArea);
    splitter->addWidget(buildScreenControls());
    splitter->setStretchFactor(1, 1);
    setCentralWidget(splitter);
    buildActions();
    takeImage(FlashScreens(), QString());
    updateLinkActions();
    resize(1100, 720);
}

FlashStudio::~FlashStudio() = default;

int FlashStudio::selectedScreen() const
{
    return grid_->selected();
}

void FlashStudio::buildActions()
{
    QMenu* file = menuBar()->addMenu(tr("File"));
    connect(namedAction(file, "actNew", tr("New"), QKeySequence::New), &QAction::triggered, this,
            &FlashStudio::newImage);
    connect(namedAction(file, "actOpen", tr("Open..."), QKeySequence::Open), &QAction::triggered,
            this, &FlashStudio::openImage);
    connect(namedAction(file, "actSave", tr("Save"), QKeySequence::Save), &QAction::triggered,
            this, &FlashStudio::save);
    connect(namedAction(file, "actSaveAs", tr("Save As..."), QKeySequence::SaveAs),
            &QAction::triggered, this, &FlashStudio::saveAs);
    file->addSeparator();
    connect(namedAction(file, "actCompare", tr("Compare with...")), &QAction::triggered, this,
            &FlashStudio::compareWith);
    endCompareAction_ = namedAction(file, "actEndCompare", tr("End comparison"));
    connect(endCompareAction_, &QAction::triggered, this, &FlashStudio::endComparison);
    file->addSeparator();
    connect(namedAction(file, "actClose", tr("Close"), QKeySequence::Close), &QAction::triggered,
            this, &QWidget::close);

    QMenu* edit = menuBar()->addMenu(tr("Edit"));
    QAction* undo = undo_->createUndoAction(this, tr("Undo"));
    undo->setObjectName(QStringLiteral("actUndo"));
    undo->setShortcut(QKeySequence::Undo);
    QAction* redo = undo_->createRedoAction(this, tr("Redo"));
    redo->setObjectName(QStringLiteral("actRedo"));
    redo->setShortcut(QKeySequence::Redo);
    edit->addActions({undo, redo});

    QMenu* controller = menuBar()->addMenu(tr("Controller"));
    readAction_ = namedAction(controller, "actRead", tr("Read from controller"));
    connect(readAction_, &QAction::triggered, this, &FlashStudio::readFromController);
    writeAction_ = namedAction(controller, "actWrite", tr("Write to controller"));
    connect(writeAction_, &QAction::triggered, this, &FlashStudio::writeToController);

    QToolBar* tools = addToolBar(tr("Flash image"));
    tools->setObjectName(QStringLiteral("tlbFlashImage"));
    tools->addActions(file->actions().mid(0, 4));
    tools->addSeparator();
    tools->addActions({undo, redo});
    tools->addSeparator();
    tools->addActions({readAction_, writeAction_});
    verifyAfter_ = new QCheckBox(tr("Verify after writing"));
    verifyAfter_->setObjectName(QStringLiteral("chkVerify"));
    tools->addWidget(verifyAfter_);
}

QWidget* FlashStudio::buildScreenControls()
{
    selectedCaption_ = makeLabel("lblSelected", QString());
    selectedView_ = new LcdView;
    selectedView_->setObjectName(QStringLiteral("picSelected"));
    comparedCaption_ = makeLabel("lblCompared", QString());
    comparedView_ = new LcdView;
    comparedView_->setObjectName(QStringLiteral("picCompared"));
    differences_ = makeLabel("lblDifferences", QString());
    differences_->setWordWrap(true);

    auto* replace = makeButton("cmdReplace", tr("Replace from picture..."));
    auto* clear = makeButton("cmdClear", tr("Clear"));
    auto* exportPng = makeButton("cmdExport", tr("Export PNG..."));
    auto* copy = makeButton("cmdCopy", tr("Copy to screen"));
    copyTarget_ = new QSpinBox;
    copyTarget_->setObjectName(QStringLiteral("spnCopyTo"));
    copyTarget_->setRange(0, protocol::flashScreenCount - 1);
    connect(replace, &QPushButton::clicked, this, &FlashStudio::pickPicture);
    connect(clear, &QPushButton::clicked, this, &FlashStudio::clearScreen);
    connect(exportPng, &QPushButton::clicked, this, &FlashStudio::exportScreen);
    connect(copy, &QPushButton::clicked, this, &FlashStudio::copyScreen);

    auto* buttons = new QHBoxLayout;
    for (QWidget* widget : {static_cast<QWidget*>(replace), static_cast<QWidget*>(clear),
                            static_cast<QWidget*>(copy), static_cast<QWidget*>(copyTarget_),
                            static_cast<QWidget*>(exportPng)})
        buttons->addWidget(widget);
    buttons->addStretch();

    auto* side = new QWidget;
    auto* layout = new QVBoxLayout(side);
    layout->addWidget(selectedCaption_);
    layout->addWidget(selectedView_, 1);
    layout->addLayout(buttons);
    layout->addWidget(buildImportFrame());
    layout->addWidget(comparedCaption_);
    layout->addWidget(comparedView_, 1);
    layout->addWidget(differences_);
    return side;
}

// The picture panel's conversions, and the screen they make, before it is applied.
QGroupBox* FlashStudio::buildImportFrame()
{
    import_ = makeFrame("fraImport", tr("On the LCD"));
    importView_ = new LcdView;
    importView_->setObjectName(QStringLiteral("picImport"));
    conversion_ = makeConversionBox();
    threshold_ = makeThresholdSlider();
    connect(conversion_, &QComboBox::currentIndexChanged, this, [this] {
        threshold_->setEnabled(conversion_->currentData().toInt() ==
                               int(protocol::Conversion::Threshold));
        showImportPreview();
    });
    connect(threshold_, &QSlider::valueChanged, this, &FlashStudio::showImportPreview);
    auto* apply = makeButton("cmdApplyImport", tr("Replace"));
    auto* cancel = makeButton("cmdCancelImport", tr("Cancel"));
    connect(apply, &QPushButton::clicked, this, &FlashStudio::applyImport);
    connect(cancel, &QPushButton::clicked, this, &FlashStudio::endImport);

    auto* grid = new QGridLayout(import_);
    grid->addWidget(importView_, 0, 0, 1, 4);
    grid->addWidget(conversion_, 1, 0);
    grid->addWidget(threshold_, 1, 1);
    grid->addWidget(apply, 1, 2);
    grid->addWidget(cancel, 1, 3);
    import_->hide();
    return import_;
}

// ---- the image as a whole ----

// Unsaved edits are kept, saved or dropped as the operator says; false
// when the operator cancels (or the save failed).
bool FlashStudio::mayDropEdits()
{
    if (undo_->isClean())
        return true;
    const QString name = path_.isEmpty() ? tr("Untitled") : QFileInfo(path_).fileName();
    const Dialogs::Answer answer = context_.dialogs.message(
        tr("The flash image %1 has changes that are not saved.\nSave them?").arg(name),
        tr("Flash image"), Dialogs::Icon::Question, Dialogs::Buttons::SaveDiscardCancel);
    if (answer == Dialogs::Answer::Save)
        return save();
    return answer == Dialogs::Answer::Discard;
}

void FlashStudio::newImage()
{
    if (mayDropEdits())
        takeImage(FlashScreens(), QString());
}

// A .fls the operator chooses, and its path; nothing when the dialog was
// cancelled or the file refused (with its reason shown).
std::optional<std::pair<FlashScreens, QString>> FlashStudio::chooseImage()
{
    const QString path = context_.dialogs.openFileName(QString::fromLatin1(fileFilter));
    if (path.isEmpty())
        return std::nullopt;
    const protocol::FlashConversion loaded = link::FlashImageFile(path).load();
    if (!loaded.ok()) {
        tell(tr("%1 cannot be opened as a flash image: %2").arg(path, loaded.reason()),
             Dialogs::Icon::Critical);
        return std::nullopt;
    }
    return std::pair{*FlashScreens::fromImage(loaded.bytes()), path};
}

void FlashStudio::openImage()
{
    if (!mayDropEdits())
        return;
    if (const auto chosen = chooseImage())
        takeImage(chosen->first, chosen->second);
}

bool FlashStudio::save()
{
    return path_.isEmpty() ? saveAs() : saveTo(path_);
}

bool FlashStudio::saveAs()
{
    const QString path = context_.dialogs.saveFileName(QString::fromLatin1(fileFilter));
    return !path.isEmpty() && saveTo(path);
}

// Through a part file: a failed save leaves the file as it was.
bool FlashStudio::saveTo(const QString& path)
{
    const QByteArray text = protocol::encodeFlashImage(screens_.image()).bytes();
    if (const std::optional<QString> failure = link::writeWholeFile(path, text)) {
        tell(tr("The flash image was not saved: %1").arg(*failure), Dialogs::Icon::Critical);
        return false;
    }
    path_ = path;
    undo_->setClean();
    showTitle();
    return true;
}

void FlashStudio::takeImage(const FlashScreens& screens, const QString& path)
{
    screens_ = screens;
    path_ = path;
    undo_->clear();
    setWindowModified(false);
    grid_->setScreens(&screens_);
    endImport();
    showDifferences();
    showSelected();
    showTitle();
}

void FlashStudio::showTitle()
{
    const QString name = path_.isEmpty() ? tr("Untitled") : QFileInfo(path_).fileName();
    setWindowTitle(tr("%1[*] - Flash image - %2").arg(name, product::title()));
}

// ---- edits of one screen ----

void FlashStudio::pickPicture()
{
    const QString path = context_.dialogs.openFileName(pictureFileFilter());
    if (path.isEmpty())
        return;
    const protocol::PictureRead picture = protocol::readPicture(path);
    if (!picture.ok()) {
        tell(picture.problem, Dialogs::Icon::Exclamation);
        return;
    }
    importPicture_ = picture.image;
    import_->show();
    showImportPreview();
    showSelected();
}

void FlashStudio::showImportPreview()
{
    if (importPicture_.isNull())
        return;
    importView_->setScreen(importedScreen(
        importPicture_, protocol::Conversion(conversion_->currentData().toInt()),
        threshold_->value()));
}

void FlashStudio::applyImport()
{
    const int screen = selectedScreen();
    const QByteArray bytes =
        importedScreen(importPicture_, protocol::Conversion(conversion_->currentData().toInt()),
                       threshold_->value());
    if (!mayChange(screen))
        return;
    changeScreen(screen, bytes, tr("Replace screen %1").arg(screen));
    endImport();
}

void FlashStudio::endImport()
{
    importPicture_ = QImage();
    import_->hide();
}

void FlashStudio::clearScreen()
{
    const int screen = selectedScreen();
    if (!screens_.isBlank(screen) && mayChange(screen))
        changeScreen(screen, QByteArray(protocol::flashScreenBytes, '\0'),
                     tr("Clear screen %1").arg(screen));
}

void FlashStudio::copyScreen()
{
    const int from = selectedScreen();
    const int to = copyTarget_->value();
    if (screens_.screen(to) != screens_.screen(from) && mayChange(to))
        changeScreen(to, screens_.screen(from), tr("Copy screen %1 to %2").arg(from).arg(to));
}

// As a picture that converts back (with the exact rule) into the same screen.
void FlashStudio::exportScreen()
{
    const QString path = context_.dialogs.saveFileName(QString::fromLatin1(pngFilter));
    if (path.isEmpty())
        return;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    protocol::screenPicture(screens_.screen(selectedScreen())).save(&buffer, "PNG");
    if (const std::optional<QString> failure = link::writeWholeFile(path, png))
        tell(tr("The screen was not exported: %1").arg(*failure), Dialogs::Icon::Critical);
}

// The screen store's own question for the fonts' screens.
bool FlashStudio::mayChange(int screen)
{
    if (!protocol::isFontScreen(screen))
        return true;
    return context_.dialogs.message(tr("Screens 1-5 are used for fonts storage. Are you sure you "
                                       "want to replace screen # %1? ")
                                        .arg(screen),
                                    tr("Warning"), Dialogs::Icon::Exclamation,
                                    Dialogs::Buttons::YesNo) == Dialogs::Answer::Yes;
}

void FlashStudio::changeScreen(int screen, const QByteArray& bytes, const QString& what)
{
    undo_->push(new ScreenEdit(screen, screens_.screen(screen), bytes, what,
                               [this](int number, const QByteArray& put) {
                                   putScreen(number, put);
                               }));
}

// Every change, done or undone, shows on the screen it touched.
void FlashStudio::putScreen(int screen, const QByteArray& bytes)
{
    screens_.setScreen(screen, bytes);
    grid_->screenChanged(screen);
    grid_->setSelected(screen);
    showDifferences();
    showSelected();
}

// ---- comparison ----

void FlashStudio::compareWith()
{
    const auto chosen = chooseImage();
    if (!chosen)
        return;
    compared_ = chosen->first;
    comparedPath_ = chosen->second;
    showDifferences();
    showSelected();
}

void FlashStudio::endComparison()
{
    compared_.reset();
    showDifferences();
    showSelected();
}

void FlashStudio::showDifferences()
{
    endCompareAction_->setEnabled(compared_.has_value());
    comparedCaption_->setVisible(compared_.has_value());
    comparedView_->setVisible(compared_.has_value());
    differences_->setVisible(compared_.has_value());
    if (!compared_) {
        grid_->setDifferences({});
        return;
    }
    const QList<protocol::ScreenDifference> differences =
        protocol::differingScreens(screens_.image(), compared_->image());
    grid_->setDifferences(differences);
    const QString other = QFileInfo(comparedPath_).fileName();
    if (differences.isEmpty()) {
        differences_->setText(tr("Every screen is the same as in %1.").arg(other));
        return;
    }
    qint64 bytes = 0;
    for (const protocol::ScreenDifference& difference : differences)
        bytes += difference.bytes;
    // The count goes in first, as the lowest placeholder of the plural.
    const QString text =
        differences.size() == 1
            ? tr("1 screen differs from %1: %2 (%3 bytes).")
            : tr("%1 screens differ from %2: %3 (%4 bytes).").arg(differences.size());
    differences_->setText(
        text.arg(other, protocol::screenList(differences), QLocale().toString(bytes)));
}

void FlashStudio::showSelected()
{
    const int screen = selectedScreen();
    selectedCaption_->setText(tr("Screen %1").arg(screen));
    selectedView_->setScreen(screens_.screen(screen));
    import_->setTitle(tr("On the LCD, to replace screen %1").arg(screen));
    if (compared_) {
        comparedCaption_->setText(
            tr("Screen %1 in %2").arg(screen).arg(QFileInfo(comparedPath_).fileName()));
        comparedView_->setScreen(compared_->screen(screen));
    }
}

// ---- the controller ----

void FlashStudio::readFromController()
{
    if (!context_.link.canSend() || !mayDropEdits())
        return;
    if (!read_->start(readSink_).started())
        return;
    context_.progress.setProgressRange(protocol::flashBlockCount - 1);
    context_.progress.setProgress(0);
    context_.progress.operationStarted([this] { cancelTransfer(); });
}

void FlashStudio::writeToController()
{
    if (!context_.link.canSend())
        return;
    link::FlashMemorySource source(screens_.image());
    if (!write_->start(source).started())
        return;
    written_ = verifyAfter_->isChecked() ? screens_.image() : QByteArray();
    context_.progress.setProgressRange(protocol::flashBlockCount - 1);
    context_.progress.setProgress(0);
    context_.progress.operationStarted([this] { cancelTransfer(); });
}

void FlashStudio::readEnded(Job::Outcome outcome, const QString& detail)
{
    if (outcome == Job::Outcome::Finished) {
        takeImage(*FlashScreens::fromImage(readSink_.image()), QString());
        endTransfer(tr("The controller's flash memory was read into this window."),
                    Dialogs::Icon::Information);
        return;
    }
    QString why = outcome == Job::Outcome::Cancelled && detail.isEmpty()
                      ? tr("you cancelled it.")
                      : detail;
    if (!why.isEmpty())
        why[0] = why[0].toLower();
    endTransfer(tr("Reading the controller's flash memory stopped at block %1 of %2: %3\nThe "
                   "image in this window was not changed.")
                    .arg(read_->blocksDone() + 1)
                    .arg(protocol::flashBlockCount)
                    .arg(why),
                iconFor(outcome));
}

void FlashStudio::writeEnded(Job::Outcome outcome, const QString& detail)
{
    if (outcome != Job::Outcome::Finished) {
        const QString source = path_.isEmpty() ? tr("the image in the flash image window") : path_;
        endTransfer(link::flashWriteStoppedText(outcome, detail, write_->blocksDone(),
                                                write_->bytesSent(), source),
                    iconFor(outcome));
        return;
    }
    if (written_.isEmpty()) {
        endTransfer(tr("Memory transfer completed."), Dialogs::Icon::Information);
        return;
    }
    // The read-back is part of the same operation: the wait cursor and Cancel stay.
    if (!verify_->start(std::exchange(written_, QByteArray())).started()) {
        endTransfer(tr("The image was written, but it could not be read back to verify it: the "
                       "link is no longer free."),
                    Dialogs::Icon::Exclamation);
        return;
    }
    context_.progress.setProgress(0);
    context_.progress.setProgressText(tr(" Verifying..."));
}

void FlashStudio::verifyEnded(Job::Outcome outcome, const QString& detail,
                              const QList<protocol::ScreenDifference>& differences)
{
    const bool verified = outcome == Job::Outcome::Finished && differences.isEmpty();
    endTransfer(verifyEndedText(outcome, detail, verify_->read().blocksDone(), differences),
                verified ? Dialogs::Icon::Information : Dialogs::Icon::Critical);
}

void FlashStudio::showTransferProgress(int done, int)
{
    context_.progress.setProgress(done - 1);
    context_.progress.setProgressText(protocol::blockPercentText(done - 1));
}

// As every end of a transfer: the window at rest, one message, the
// response poll running.
void FlashStudio::endTransfer(const QString& text, Dialogs::Icon icon)
{
    context_.progress.operationEnded();
    context_.progress.setProgressText(QString());
    tell(text, icon);
    context_.link.monitor().startPolling();
}

void FlashStudio::cancelTransfer()
{
    cancelFlashJobs(*read_, *verify_, *write_, context_.progress);
}

bool FlashStudio::transferRunning() const
{
    return read_->isRunning() || write_->isRunning() || verify_->isRunning();
}

void FlashStudio::updateLinkActions()
{
    readAction_->setEnabled(context_.link.canSend());
    writeAction_->setEnabled(context_.link.canSend());
}

void FlashStudio::tell(const QString& text, Dialogs::Icon icon)
{
    context_.dialogs.message(text, tr("Flash image"), icon, Dialogs::Buttons::Ok);
}

// A transfer of this window is stopped first (after asking), then unsaved
// edits are saved or dropped as the operator says.
void FlashStudio::closeEvent(QCloseEvent* event)
{
    if (transferRunning()) {
        const Dialogs::Answer stop = context_.dialogs.message(
            tr("The flash memory transfer is still running.\nStop it and close the flash image "
               "window?"),
            tr("Flash image"), Dialogs::Icon::Question, Dialogs::Buttons::YesNo);
        if (stop != Dialogs::Answer::Yes) {
            event->ignore();
            return;
        }
        context_.link.stopOperation();
    }
    if (!mayDropEdits()) {
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace lumivor::panels
