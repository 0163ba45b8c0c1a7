#pragma once

#include "link/job.h"
#include "panels/panelcontext.h"
#include "protocol/flashscreens.h"

#include <QObject>
#include <QString>

#include <memory>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QRadioButton;

namespace lumivor::link {
class FlashPartFile;
class FlashRead;
class FlashVerify;
class FlashWrite;
} // namespace lumivor::link

namespace lumivor::panels {

// "Flash" in the "Memory" frame: copies the controller's whole flash into a
// .fls file ("Save") or writes such a file back ("Load"). The transfer itself
// is a job of src/link (FlashRead, FlashWrite); this panel asks for the file,
// starts the job and shows it: the wait cursor and Cancel, ProgressBar1 at
// the block just finished, its percentage in the third status panel, and at
// the end one message. It also holds the hidden box Text10, which shows the
// running file offset of a write.
//
// With "Verify after writing" (chkVerify) a finished write is followed by a
// read-back into memory, compared with the image the file gave; the one
// message then says whether the flash holds it or which screens differ.
class FlashPanel : public QObject
{
    Q_OBJECT
public:
    static constexpr const char* fileFilter = "Flash (*.fls)|*.fls|";

    explicit FlashPanel(const PanelContext& context, QObject* parent = nullptr);
    ~FlashPanel() override;

    QGroupBox* frame() const { return frame_; }

signals:
    // The ready bytes a write received, for the link panel's holding box.
    void readyBytesReceived(const QString& text);

private:
    void run();
    void save();
    void load();
    void showStarted();
    void showProgress(int done, int total);
    void readEnded(link::Job::Outcome outcome, const QString& detail);
    void writeEnded(link::Job::Outcome outcome, const QString& detail);
    void startVerify();
    void verifyEnded(link::Job::Outcome outcome, const QString& detail,
                     const QList<protocol::ScreenDifference>& differences);
    void showEnd(link::Job::Outcome outcome, const QString& stoppedText);
    void backToRest();
    void cancelRunning();

    PanelContext context_;
    link::FlashRead* read_ = nullptr;
    link::FlashWrite* write_ = nullptr;
    link::FlashVerify* verify_ = nullptr;
    QByteArray written_; // the image of a write to be verified
    std::unique_ptr<link::FlashPartFile> partFile_;
    QString sourcePath_;
    QGroupBox* frame_ = nullptr;
    QRadioButton* copy_ = nullptr; // optFlashCopy
    QRadioButton* load_ = nullptr; // optFlashLoad
    QLineEdit* offset_ = nullptr;  // Text10
    QCheckBox* verifyAfter_ = nullptr; // chkVerify
};

// The one message after a write was read back: verified, the screens that
// differ, or why the read-back stopped (nothing of it is kept on disk).
QString verifyEndedText(link::Job::Outcome outcome, const QString& detail, int blocksDone,
                        const QList<protocol::ScreenDifference>& differences);

// Cancel of whichever flash job runs: a write waits until the controller has
// left its flash write, so the next command does not become flash data (a
// second Cancel stops it at once), and the progress says so meanwhile.
void cancelFlashJobs(link::FlashRead& read, link::FlashVerify& verify, link::FlashWrite& write,
                     ProgressView& progress);

} // namespace lumivor::panels
