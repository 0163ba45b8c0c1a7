#pragma once

#include "protocol/arguments.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace lumivor::protocol {

// Identification query, the text "ID": the controller answers with its
// detection reply (head "," contrast "!" rest).
QByteArray identify();
// ID query: the controller answers with its identifier followed by "!".
QByteArray queryId();
// Switches the controller to the rate of the index (00 = 2400 ... 08 = 115200);
// the console then reconnects at that rate.
QByteArray baudRate(RateIndex index);

// The detection reply counts as an answer as soon as it holds "6" (which "64"
// contains) or "!", even before the rest of it has arrived.
bool isDetectionAnswer(const QString& reply);
// Whether the reply carries the controller's settings: "head,contrast!rest".
bool carriesSettings(const QString& reply);
// The contrast such a reply reports: the text between the first "," and the
// next "!" (the text before the first "!" when there is no ","), read as an
// operator number; nullopt when it is not one of 0 to 255.
std::optional<int> reportedContrast(const QString& reply);
// The controller ID from what came back to 28 00: the text before the first
// "!" (all of it when there is none), "N/A" when the reply begins with "!";
// nullopt when nothing came.
std::optional<QString> controllerIdOf(const QString& reply);

} // namespace lumivor::protocol
