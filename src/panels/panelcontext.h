#pragma once

namespace lumivor::link {
class Dialogs;
class LinkService;
} // namespace lumivor::link

namespace lumivor::panels {

class ProgressView;

// The seams the main window hands every panel: the link (the one sending
// rule, and exclusive use for long operations), the operator's dialogs, and
// the progress display. A panel never talks to the port, to the window's
// widgets or to another panel directly.
struct PanelContext
{
    link::LinkService& link;
    link::Dialogs& dialogs;
    ProgressView& progress;
};

} // namespace lumivor::panels
