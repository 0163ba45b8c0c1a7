#pragma once

#include "panels/panelcontext.h"

#include <QGroupBox>

class QPlainTextEdit;

namespace lumivor::panels {

class PacedSend;

// The "Pattern" frame (Frame4): decimal byte values separated by commas, each
// sent as its own data-byte write (03 v) at the controller's write position.
// Only digits, commas and Backspace can be typed. Entries that are not a
// byte are skipped; the box is emptied after every Send.
class PatternPanel : public QGroupBox
{
    Q_OBJECT
public:
    // Longer lists are paced at line speed as a job, so they never pile up in
    // the port's buffers (and the window with them) and can be cancelled;
    // shorter ones go out at once. The bytes are the same either way.
    static constexpr int entriesSentAtOnce = 32;

    explicit PatternPanel(const PanelContext& context, QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void send();
    void sendWrites(const QList<QByteArray>& writes);

    PanelContext context_;
    QPlainTextEdit* values_ = nullptr; // txtString1
    PacedSend* longSend_ = nullptr;
};

} // namespace lumivor::panels
