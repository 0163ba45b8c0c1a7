#pragma once

#include "link/serialport.h"

#include <functional>

namespace lumivor::testing {

// The SerialPortError an action throws; code 0 "nothing thrown" when it
// throws none.
inline link::SerialPortError caught(const std::function<void()>& action)
{
    try {
        action();
    } catch (const link::SerialPortError& error) {
        return error;
    }
    return link::SerialPortError(link::PortErrorCode{}, QStringLiteral("nothing thrown"));
}

} // namespace lumivor::testing
