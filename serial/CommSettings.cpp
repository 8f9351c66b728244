#include "serial/CommSettings.h"

namespace korvel::serial {

namespace {

platform::DtrControl ControlValue(TDtrControl control) {
    switch (control) {
    case TDtrControl::DtrEnable:
        return platform::DtrControl::Enable;
    case TDtrControl::DtrHandshake:
        return platform::DtrControl::Handshake;
    case TDtrControl::DtrDisable:
        break;
    }
    return platform::DtrControl::Disable;
}

platform::RtsControl ControlValue(TRtsControl control) {
    switch (control) {
    case TRtsControl::RtsEnable:
        return platform::RtsControl::Enable;
    case TRtsControl::RtsHandshake:
        return platform::RtsControl::Handshake;
    case TRtsControl::RtsTransmissionAvailable:
        return platform::RtsControl::Toggle;
    case TRtsControl::RtsDisable:
        break;
    }
    return platform::RtsControl::Disable;
}

std::uint32_t FlagIf(bool condition, std::uint32_t flag) {
    return condition ? flag : 0;
}

} // namespace

platform::LineSettings LineSettingsFrom(const CommProperties& p) {
    namespace flag = platform::line_flag;
    platform::LineSettings s;
    s.baudRate = p.baudRate;
    // The flag word is rebuilt whole: every bit not named here, abort-on-error
    // included, stays clear.
    s.flags =
        flag::kBinary | FlagIf(p.parityCheck, flag::kParity) |
        FlagIf(p.outxCtsFlow, flag::kOutxCtsFlow) | FlagIf(p.outxDsrFlow, flag::kOutxDsrFlow) |
        (static_cast<std::uint32_t>(ControlValue(p.dtrControl)) << flag::kDtrControlShift) |
        FlagIf(p.dsrSensitivity, flag::kDsrSensitivity) |
        FlagIf(p.txContinueOnXoff, flag::kTxContinueOnXoff) |
        FlagIf(p.outxXonXoffFlow, flag::kOutX) | FlagIf(p.inxXonXoffFlow, flag::kInX) |
        FlagIf(p.replaceWhenParityError, flag::kErrorChar) | FlagIf(p.ignoreNullChar, flag::kNull) |
        (static_cast<std::uint32_t>(ControlValue(p.rtsControl)) << flag::kRtsControlShift);
    s.xonLimit = p.xonLimit;
    s.xoffLimit = p.xoffLimit;
    s.byteSize = static_cast<std::uint8_t>(static_cast<std::uint8_t>(p.byteSize) + 5);
    s.parity = static_cast<std::uint8_t>(p.parity);
    s.stopBits = static_cast<std::uint8_t>(p.stopBits);
    s.xonChar = p.xonChar;
    s.xoffChar = p.xoffChar;
    s.errorChar = p.replacedChar;
    return s;
}

platform::Timeouts TimeoutsFrom(const CommProperties& p) {
    return {p.readIntervalTimeout, p.readTotalTimeoutMultiplier, p.readTotalTimeoutConstant,
            p.writeTotalTimeoutMultiplier, p.writeTotalTimeoutConstant};
}

} // namespace korvel::serial
