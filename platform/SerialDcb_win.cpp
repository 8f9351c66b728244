#include "platform/SerialDcb_win.h"

namespace korvel::platform {

namespace {

DWORD Bit(std::uint32_t flags, std::uint32_t flag) {
    return (flags & flag) != 0 ? 1 : 0;
}

// The layer's constants are the Win32 values; the flag word is read field by
// field below instead of copied, so these are what ties the two together.
static_assert(kPurgeTxAbort == PURGE_TXABORT && kPurgeRxAbort == PURGE_RXABORT &&
              kPurgeTxClear == PURGE_TXCLEAR && kPurgeRxClear == PURGE_RXCLEAR);
static_assert(kEventCarrierDetect == EV_RLSD && kEventError == EV_ERR && kEventRing == EV_RING);
static_assert(kErrorRxOverflow == CE_RXOVER && kErrorOverrun == CE_OVERRUN &&
              kErrorParity == CE_RXPARITY && kErrorFraming == CE_FRAME && kErrorBreak == CE_BREAK);
static_assert(static_cast<int>(DtrControl::Enable) == DTR_CONTROL_ENABLE &&
              static_cast<int>(DtrControl::Handshake) == DTR_CONTROL_HANDSHAKE &&
              static_cast<int>(RtsControl::Enable) == RTS_CONTROL_ENABLE &&
              static_cast<int>(RtsControl::Handshake) == RTS_CONTROL_HANDSHAKE &&
              static_cast<int>(RtsControl::Toggle) == RTS_CONTROL_TOGGLE);

} // namespace

DCB BuildDcb(const LineSettings& s) {
    namespace flag = line_flag;
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = s.baudRate;
    dcb.fBinary = TRUE;
    dcb.fParity = Bit(s.flags, flag::kParity);
    dcb.fOutxCtsFlow = Bit(s.flags, flag::kOutxCtsFlow);
    dcb.fOutxDsrFlow = Bit(s.flags, flag::kOutxDsrFlow);
    dcb.fDtrControl = static_cast<DWORD>(DtrControlOf(s.flags));
    dcb.fDsrSensitivity = Bit(s.flags, flag::kDsrSensitivity);
    dcb.fTXContinueOnXoff = Bit(s.flags, flag::kTxContinueOnXoff);
    dcb.fOutX = Bit(s.flags, flag::kOutX);
    dcb.fInX = Bit(s.flags, flag::kInX);
    dcb.fErrorChar = Bit(s.flags, flag::kErrorChar);
    dcb.fNull = Bit(s.flags, flag::kNull);
    dcb.fRtsControl = static_cast<DWORD>(RtsControlOf(s.flags));
    dcb.fAbortOnError = FALSE;
    dcb.fDummy2 = 0;
    dcb.wReserved = 0;
    dcb.XonLim = s.xonLimit;
    dcb.XoffLim = s.xoffLimit;
    dcb.ByteSize = s.byteSize;
    dcb.Parity = s.parity;
    dcb.StopBits = s.stopBits;
    dcb.XonChar = static_cast<char>(s.xonChar);
    dcb.XoffChar = static_cast<char>(s.xoffChar);
    dcb.ErrorChar = static_cast<char>(s.errorChar);
    dcb.EofChar = 0;
    dcb.EvtChar = 0;
    dcb.wReserved1 = 0;
    return dcb;
}

COMMTIMEOUTS BuildCommTimeouts(const Timeouts& t) {
    COMMTIMEOUTS record{};
    record.ReadIntervalTimeout = t.readInterval;
    record.ReadTotalTimeoutMultiplier = t.readTotalMultiplier;
    record.ReadTotalTimeoutConstant = t.readTotalConstant;
    record.WriteTotalTimeoutMultiplier = t.writeTotalMultiplier;
    record.WriteTotalTimeoutConstant = t.writeTotalConstant;
    return record;
}

} // namespace korvel::platform
