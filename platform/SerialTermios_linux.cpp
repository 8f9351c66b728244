#include "platform/SerialTermios_linux.h"

namespace korvel::platform {

namespace {

tcflag_t CharacterSize(std::uint8_t byteSize) {
    switch (byteSize) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

tcflag_t ParityBits(std::uint8_t parity) {
    switch (parity) {
    case 1:
        return PARENB | PARODD;
    case 2:
        return PARENB;
    case 3:
        return PARENB | CMSPAR | PARODD;
    case 4:
        return PARENB | CMSPAR;
    default:
        return 0;
    }
}

// The control block on termios. What termios cannot express:
// - fTXContinueOnXoff, XonLim and XoffLim: the line discipline has its own
//   fixed thresholds and always stops sending on XOFF;
// - fOutxDsrFlow, fDsrSensitivity and DTR handshake: Linux has no DSR/DTR
//   flow control (DTR handshake leaves DTR asserted);
// - RTS toggle (asserted only while sending): RTS is left cleared;
// - fNull (dropping NUL bytes) and fErrorChar with a replacement other than
//   0: with PARMRK and IGNPAR off a byte with a parity or framing error is
//   read as 0, which is the replacement 0 and nothing else;
// - 1.5 stop bits: CSTOPB, which UARTs treat as 1.5 at 5 data bits.
} // namespace

void FillTermios(termios& tio, const LineSettings& s) {
    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                     IXANY | INPCK | IGNPAR | IMAXBEL | IUCLC);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    // CLOCAL: the carrier line is watched as a line event, not as a reason
    // for the driver to hang the port up.
    tio.c_cflag |= CREAD | CLOCAL | CharacterSize(s.byteSize) | ParityBits(s.parity);
    if (s.stopBits != 0) {
        tio.c_cflag |= CSTOPB;
    }
    if (s.flags & line_flag::kParity) {
        tio.c_iflag |= INPCK;
    }
    if (s.flags & line_flag::kOutX) {
        tio.c_iflag |= IXON;
    }
    if (s.flags & line_flag::kInX) {
        tio.c_iflag |= IXOFF;
    }
    if ((s.flags & line_flag::kOutxCtsFlow) || RtsControlOf(s.flags) == RtsControl::Handshake) {
        tio.c_cflag |= CRTSCTS;
    }
    tio.c_cc[VSTART] = s.xonChar;
    tio.c_cc[VSTOP] = s.xoffChar;
    // VMIN 1 makes an empty non-blocking read fail with EAGAIN; with VMIN 0
    // it would return 0, which must stay the sign of a hung-up device.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
}

} // namespace korvel::platform
