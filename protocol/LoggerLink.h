#pragma once
// How the logger's serial line is driven: its line settings and the pauses every
// exchange keeps. Frame sizes, the read command and the save acknowledgement are
// in Frame.h.
//
// Every exchange: open the port with these settings, pause, send one command;
// the reply is complete once the line has been silent for the read interval,
// which is how a frame sent without a pause arrives as one chunk; close the
// port and pause again.

#include <chrono>
#include <cstdint>

namespace korvel::protocol::link {

inline constexpr std::uint32_t kBaudRate = 9600;
inline constexpr unsigned kDataBits = 8;
inline constexpr bool kParity = false; // no parity bit
inline constexpr unsigned kStopBits = 1;
// Neither hardware (RTS/CTS, DTR/DSR) nor software (XON/XOFF) flow control: the
// frames are binary and carry 0x11 and 0x13 as data.
inline constexpr bool kFlowControl = false;

// A read completes after this much silence following a byte.
inline constexpr std::chrono::milliseconds kReadInterval{200};
// The pause after opening the port (before the command) and after closing it.
inline constexpr std::chrono::milliseconds kPortPause{100};

// Start bit, data bits, parity bit, stop bits.
inline constexpr unsigned kBitsPerByte = 1 + kDataBits + (kParity ? 1 : 0) + kStopBits;
// One byte on the line, rounded to the nearest nanosecond (1.041667 ms).
inline constexpr std::chrono::nanoseconds kByteTime{
    (std::chrono::nanoseconds(std::chrono::seconds(1)).count() * kBitsPerByte + kBaudRate / 2) /
    kBaudRate};

} // namespace korvel::protocol::link
