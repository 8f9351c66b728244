#pragma once
// The serial device seam: exactly the effects the port component relies on,
// in the terms of the device control block and the five read/write time-outs
// that the component's properties fill. One implementation per OS
// (SerialDevice_linux.cpp); tests put a fake behind the same interface.
//
// Threading: one reader thread calls WaitForInput and TakeLineErrors, one
// writer thread calls Write, the owner calls the rest; all may overlap.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/SerialEvent.h"

namespace korvel::platform {

// Failures of the layer; one function per OS turns native codes into these.
enum class SerialError {
    None,
    InvalidHandle, // the handle is not (or no longer) an open device: end without a notice
    NotFound,      // no device of that name
    Busy,          // another program or component holds the device
    AccessDenied,
    NotATerminal, // opened, but not a serial device
    DeviceGone,   // unplugged, or the other end of a pseudo-terminal closed
    NotSupported,
    Other,
};

// The flag word of the device control block, bit by bit.
namespace line_flag {
inline constexpr std::uint32_t kBinary = 0x0001;
inline constexpr std::uint32_t kParity = 0x0002;
inline constexpr std::uint32_t kOutxCtsFlow = 0x0004;
inline constexpr std::uint32_t kOutxDsrFlow = 0x0008;
inline constexpr std::uint32_t kDtrControlShift = 4; // two bits: DtrControl value
inline constexpr std::uint32_t kDsrSensitivity = 0x0040;
inline constexpr std::uint32_t kTxContinueOnXoff = 0x0080;
inline constexpr std::uint32_t kOutX = 0x0100;
inline constexpr std::uint32_t kInX = 0x0200;
inline constexpr std::uint32_t kErrorChar = 0x0400;
inline constexpr std::uint32_t kNull = 0x0800;
inline constexpr std::uint32_t kRtsControlShift = 12; // two bits: RtsControl value
} // namespace line_flag

// Control-block values of the DTR and RTS fields.
enum class DtrControl : std::uint8_t { Disable = 0, Enable = 1, Handshake = 2 };
enum class RtsControl : std::uint8_t { Disable = 0, Enable = 1, Handshake = 2, Toggle = 3 };

inline DtrControl DtrControlOf(std::uint32_t flags) {
    return static_cast<DtrControl>((flags >> line_flag::kDtrControlShift) & 3);
}
inline RtsControl RtsControlOf(std::uint32_t flags) {
    return static_cast<RtsControl>((flags >> line_flag::kRtsControlShift) & 3);
}

// The device control block: parity 0-4 (none, odd, even, mark, space), stop
// bits 0-2 (1, 1.5, 2), byte size 5-8.
struct LineSettings {
    std::uint32_t baudRate = 9600;
    std::uint32_t flags = line_flag::kBinary;
    std::uint16_t xonLimit = 0;
    std::uint16_t xoffLimit = 0;
    std::uint8_t byteSize = 8;
    std::uint8_t parity = 0;
    std::uint8_t stopBits = 0;
    std::uint8_t xonChar = 0x11;
    std::uint8_t xoffChar = 0x13;
    std::uint8_t errorChar = 0;
    bool operator==(const LineSettings&) const = default;
};

// The five time-outs in milliseconds, with their Windows meanings.
struct Timeouts {
    std::uint32_t readInterval = 0;
    std::uint32_t readTotalMultiplier = 0;
    std::uint32_t readTotalConstant = 0;
    std::uint32_t writeTotalMultiplier = 0;
    std::uint32_t writeTotalConstant = 0;
    bool operator==(const Timeouts&) const = default;
};

// Line events the reader can watch, and the error flags behind kEventError.
inline constexpr std::uint32_t kEventCarrierDetect = 0x20; // carrier-detect line changed
inline constexpr std::uint32_t kEventError = 0x80;         // a line error occurred
inline constexpr std::uint32_t kEventRing = 0x100;         // a ring was signalled
inline constexpr std::uint32_t kErrorRxOverflow = 0x01;
inline constexpr std::uint32_t kErrorOverrun = 0x02;
inline constexpr std::uint32_t kErrorParity = 0x04;
inline constexpr std::uint32_t kErrorFraming = 0x08;
inline constexpr std::uint32_t kErrorBreak = 0x10;

// Purge flags; an abort is always paired with the stop event, which is what
// actually ends a pending wait.
inline constexpr std::uint32_t kPurgeTxAbort = 0x01;
inline constexpr std::uint32_t kPurgeRxAbort = 0x02;
inline constexpr std::uint32_t kPurgeTxClear = 0x04;
inline constexpr std::uint32_t kPurgeRxClear = 0x08;

// One outstanding read. It survives WaitForInput returning for a line event
// or for its first bytes, so the bytes and the timing gathered so far carry on
// with the next call.
struct ReadRequest {
    explicit ReadRequest(std::span<std::uint8_t> into) : buffer(into) {}
    void Restart() {
        count = 0;
        started = false;
        firstBytesReported = false;
    }
    std::span<std::uint8_t> buffer;
    std::size_t count = 0;
    bool started = false;
    bool firstBytesReported = false; // WaitForInput returned FirstBytes for this read
    std::chrono::steady_clock::time_point startTime{};
    std::chrono::steady_clock::time_point lastByteTime{};
};

struct InputResult {
    enum class Kind { ReadDone, FirstBytes, LineEvent, Stopped, Failed };
    Kind kind = Kind::Failed;
    std::uint32_t events = 0; // LineEvent: the watched events that occurred
    SerialError error = SerialError::None;
};

struct WriteResult {
    enum class Kind { Written, Stopped, Failed };
    Kind kind = Kind::Failed;
    std::size_t written = 0; // Written: possibly fewer than asked, or 0 after a write time-out
    SerialError error = SerialError::None;
};

struct LineErrorResult {
    bool ok = false;
    std::uint32_t flags = 0;
    SerialError error = SerialError::None;
};

// The operating system's own account of a failure: its code (errno, or
// GetLastError() on Windows) and its text, kept for what the user is told.
struct SystemError {
    int code = 0;
    std::string text;
};

// The outcome of applying settings: ok, or the layer's failure value with what
// the operating system said.
struct SettingsResult {
    bool ok = true;
    SerialError error = SerialError::None;
    SystemError system;
};

class SerialDevice {
public:
    // Closes the device. This can block: a tty driver waits up to its closing
    // wait (30 s on usb-serial adapters) for output it still holds, whatever
    // the descriptor's flags say, so owners destroy devices off threads that
    // must stay responsive. The port stays held until the destructor returns.
    virtual ~SerialDevice() = default;

    // Non-zero, and stable for the device's life.
    virtual std::intptr_t NativeHandle() const = 0;
    // Sizes the driver's queues; false when the handle is not a serial device.
    virtual bool SetupQueues(std::size_t input, std::size_t output) = 0;
    virtual bool Purge(std::uint32_t purgeFlags) = 0;
    // Fails when the driver refused the settings; the line then runs with
    // whatever it had before (possibly another program's cooked mode).
    virtual SettingsResult ApplyLineSettings(const LineSettings& settings) = 0;
    virtual bool ApplyTimeouts(const Timeouts& timeouts) = 0;
    // Arms the line events of the mask; events outside it are never reported.
    virtual bool SetEventMask(std::uint32_t mask) = 0;

    // Carries `read` on under the time-outs until it completes (ReadDone, with
    // read.count bytes, 0 only under total or "at once" time-outs), its first
    // bytes have arrived (FirstBytes, once per read and before its ReadDone,
    // from devices that ReportsFirstBytes(); the read stays pending), a watched
    // line event occurs (LineEvent; the read stays pending), `stop` is set
    // (Stopped, which wins over the others) or the device fails.
    virtual InputResult WaitForInput(ReadRequest& read, const SerialEvent& stop) = 0;
    // Whether WaitForInput returns FirstBytes as a read's first bytes arrive.
    // Where the driver holds a read's bytes until it completes, it cannot.
    virtual bool ReportsFirstBytes() const = 0;
    // Returns and clears the line error flags.
    virtual LineErrorResult TakeLineErrors() = 0;
    // Writes a prefix of `bytes`, waiting for room; Stopped as soon as `stop` is set.
    virtual WriteResult Write(std::span<const std::uint8_t> bytes, const SerialEvent& stop) = 0;
};

struct OpenResult {
    std::unique_ptr<SerialDevice> device; // null on failure
    SerialError error = SerialError::None;
    SystemError system; // failure only: what the OS said
};

// Opens a device by name exclusively, in raw mode with non-blocking I/O: a
// name starting with "/" is a path, any other name is looked up under /dev.
// Busy when another component or program holds it, and at once, without
// opening it, while this process holds it (also while one of its devices for
// that port is still being closed on another thread). Leaks nothing on failure.
OpenResult OpenSerialDevice(const std::string& name);

// The path OpenSerialDevice opens for `name`.
std::string SerialDevicePath(const std::string& name);

} // namespace korvel::platform
