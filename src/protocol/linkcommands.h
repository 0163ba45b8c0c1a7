#pragma once

#include "protocol/arguments.h"

#include <QByteArray>

namespace lumivor::protocol {

// Identification query, the text "ID": the controller answers with its
// detection reply (head "," contrast "!" rest).
QByteArray identify();
// ID query: the controller answers with its identifier followed by "!".
QByteArray queryId();
// Switches the controller to the rate of the index (00 = 2400 ... 08 = 115200);
// the console then reconnects at that rate.
QByteArray baudRate(RateIndex index);

} // namespace lumivor::protocol
