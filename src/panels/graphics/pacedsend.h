#pragma once

#include "link/job.h"
#include "link/pacedwriter.h"
#include "panels/panelcontext.h"

#include <QObject>
#include <QString>

namespace lumivor::panels {

// A list of writes sent as a job the operator can follow and stop: it holds
// the link from the first write to the last, paced at line speed; the wait
// cursor, the Cancel control and ProgressBar1 (one step per write) show while
// it runs, and the third status panel says how it ended. A failing port is
// told in one message; a cancel needs none (the operator asked for it).
class PacedSend : public QObject
{
    Q_OBJECT
public:
    // `purpose` names the job in questions ("The picture upload is still
    // running"); `shortName` heads its status texts ("Picture upload").
    PacedSend(const PanelContext& context, const QString& purpose, const QString& shortName,
              QObject* parent = nullptr);

    // Starts sending; false, and nothing is sent or shown, when the port is
    // closed or another operation holds the link.
    bool start(QList<link::PacedWrite> writes);

private:
    void showProgress(int done, int total);
    void finished(link::Job::Outcome outcome, const QString& detail);

    PanelContext context_;
    QString shortName_;
    link::PacedWriter* writer_ = nullptr;
    int total_ = 0;
    bool shown_ = false; // the progress view shows this job
};

} // namespace lumivor::panels
