#pragma once

#include "link/serialport.h"

#include <QByteArray>

#include <functional>
#include <optional>

namespace lumivor::link {

// The one sending rule every operator action follows: ask the port whether it
// is open; only then build the command sequence and hand it to the port in
// one write. With the port closed nothing is built, written or shown: the
// console is silently inert while disconnected.
//
// A port that fails while writing is handed to the failure handler (the
// window reports it and drops the link) instead of escaping into a handler.
class CommandSender
{
public:
    using Builder = std::function<std::optional<QByteArray>()>;
    using FailureHandler = std::function<void(const SerialPortError&)>;

    explicit CommandSender(SerialPort& port, FailureHandler onFailure = {})
        : port_(port), onFailure_(std::move(onFailure))
    {}

    void setFailureHandler(FailureHandler onFailure) { onFailure_ = std::move(onFailure); }

    bool portOpen() const { return port_.portOpen(); }

    // Sends the bytes as one write when the port is open; true when written.
    bool send(const QByteArray& bytes);
    // Runs the builder only when the port is open; a builder that returns
    // nothing (an operator value that cannot be encoded) sends nothing.
    bool send(const Builder& build);

private:
    SerialPort& port_;
    FailureHandler onFailure_;
};

} // namespace lumivor::link
