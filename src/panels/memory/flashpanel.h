#pragma once

#include "link/job.h"
#include "panels/panelcontext.h"

#include <QObject>
#include <QString>

#include <memory>

class QGroupBox;
class QLineEdit;
class QRadioButton;

namespace lumivor::link {
class FlashPartFile;
class FlashRead;
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
    void showEnd(link::Job::Outcome outcome, const QString& stoppedText);
    void backToRest();
    void cancelRunning();

    PanelContext context_;
    link::FlashRead* read_ = nullptr;
    link::FlashWrite* write_ = nullptr;
    std::unique_ptr<link::FlashPartFile> partFile_;
    QString sourcePath_;
    QGroupBox* frame_ = nullptr;
    QRadioButton* copy_ = nullptr; // optFlashCopy
    QRadioButton* load_ = nullptr; // optFlashLoad
    QLineEdit* offset_ = nullptr;  // Text10
};

} // namespace lumivor::panels
