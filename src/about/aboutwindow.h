#pragma once

#include <QDialog>

class QLabel;

namespace lumivor::link {
class Dialogs;
} // namespace lumivor::link

namespace lumivor::about {

class DesktopLauncher;
class SystemLookup;

// "About Lumivor 240x64" (frmAbout): title, version, our picture, the
// project's web address, the notice of rights, OK and "System Info...".
// Non-modal; it deletes itself when closed. Double-clicking the picture is
// announced, not acted on: the main window hands it to the screen panel.
class AboutWindow : public QDialog
{
    Q_OBJECT
public:
    AboutWindow(SystemLookup& lookup, DesktopLauncher& launcher, link::Dialogs& dialogs,
                QWidget* parent = nullptr);

signals:
    void pictureDoubleClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* buildWebAddress();
    void startSystemInfo();

    SystemLookup& lookup_;
    DesktopLauncher& launcher_;
    link::Dialogs& dialogs_;
    QLabel* picture_ = nullptr;    // Picture1
    QLabel* webAddress_ = nullptr; // Label5
};

} // namespace lumivor::about
