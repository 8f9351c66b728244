#pragma once
// The port component's line and time-out properties as plain values, and the
// pure mapping onto the device control block and the time-out record.

#include <cstdint>
#include <string>

#include "platform/SerialDevice.h"

namespace korvel::serial {

enum class TByteSize : std::uint8_t { _5, _6, _7, _8 };
enum class TParity : std::uint8_t { None, Odd, Even, Mark, Space };
enum class TStopBits : std::uint8_t { _1, _1_5, _2 };
// The first member asserts the line; the control-block value is not the ordinal.
enum class TDtrControl : std::uint8_t { DtrEnable, DtrDisable, DtrHandshake };
enum class TRtsControl : std::uint8_t {
    RtsEnable,
    RtsDisable,
    RtsHandshake,
    RtsTransmissionAvailable
};

// Initial values are the component's constructor values.
struct CommProperties {
    std::string commName = "COM2";
    std::uint32_t baudRate = 9600;
    bool parityCheck = false;
    bool outxCtsFlow = false;
    bool outxDsrFlow = false;
    TDtrControl dtrControl = TDtrControl::DtrEnable;
    bool dsrSensitivity = false;
    bool txContinueOnXoff = true;
    bool outxXonXoffFlow = true;
    bool inxXonXoffFlow = true;
    bool replaceWhenParityError = false;
    bool ignoreNullChar = false;
    TRtsControl rtsControl = TRtsControl::RtsEnable;
    std::uint16_t xonLimit = 500;
    std::uint16_t xoffLimit = 500;
    TByteSize byteSize = TByteSize::_8;
    TParity parity = TParity::None;
    TStopBits stopBits = TStopBits::_1;
    std::uint8_t xonChar = 0x11;
    std::uint8_t xoffChar = 0x13;
    std::uint8_t replacedChar = 0x00;
    std::uint32_t readIntervalTimeout = 100;
    std::uint32_t readTotalTimeoutMultiplier = 0;
    std::uint32_t readTotalTimeoutConstant = 0;
    std::uint32_t writeTotalTimeoutMultiplier = 0;
    std::uint32_t writeTotalTimeoutConstant = 0;
};

platform::LineSettings LineSettingsFrom(const CommProperties& properties);
platform::Timeouts TimeoutsFrom(const CommProperties& properties);

} // namespace korvel::serial
