#pragma once
// The parameter window's calling order before every exchange, for tests that
// drive the port component the way the window does.

#include "serial/Comm.h"

#include <cstdint>
#include <string>

namespace korvel::testing {

inline constexpr std::uint32_t kWindowBaudRate = 9600;
inline constexpr std::uint32_t kWindowReadInterval = 200;

inline void OpenLikeTheWindow(serial::TComm& comm, const std::string& name,
                              std::uint32_t readInterval = kWindowReadInterval) {
    if (comm.PortHandle() != 0) {
        comm.ClosePort();
    }
    comm.setOutx_XonXoffFlow(false);
    comm.setInx_XonXoffFlow(false);
    comm.setCommName(name);
    comm.setBaudRate(kWindowBaudRate);
    comm.setReadIntervalTimeout(readInterval);
    comm.OpenPort();
}

} // namespace korvel::testing
