#pragma once

namespace lumivor::link {
class CommandSender;
class Dialogs;
} // namespace lumivor::link

namespace lumivor::panels {

// The seams the main window hands every panel: the one sending rule and the
// operator's dialogs. A panel never talks to the port or to another panel
// directly.
struct PanelContext
{
    link::CommandSender& sender;
    link::Dialogs& dialogs;
};

} // namespace lumivor::panels
