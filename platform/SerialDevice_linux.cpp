// The serial device on Linux: a non-blocking tty descriptor driven by poll(),
// with the stop event's eventfd in every wait so that a stop ends any wait at
// once, and no time-out while idle.

#include "platform/SerialDevice.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <optional>
#include <set>
#include <tuple>
#include <utility>

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "platform/SerialBaud_linux.h"
#include "platform/SerialErrno.h"
#include "platform/SerialTermios_linux.h"
#include "platform/SerialTimeouts.h"

namespace korvel::platform {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Only drivers that keep TIOCGICOUNT counters (real UARTs, USB adapters) cost
// this periodic look; a pseudo-terminal has none and its idle wait never wakes.
constexpr milliseconds kLineEventPollInterval{100};

std::optional<speed_t> StandardSpeed(std::uint32_t rate) {
    static constexpr std::array<std::pair<std::uint32_t, speed_t>, 31> kSpeeds{{
        {50, B50},
        {75, B75},
        {110, B110},
        {134, B134},
        {150, B150},
        {200, B200},
        {300, B300},
        {600, B600},
        {1200, B1200},
        {1800, B1800},
        {2400, B2400},
        {4800, B4800},
        {9600, B9600},
        {19200, B19200},
        {38400, B38400},
        {57600, B57600},
        {115200, B115200},
        {230400, B230400},
        {460800, B460800},
        {500000, B500000},
        {576000, B576000},
        {921600, B921600},
        {1000000, B1000000},
        {1152000, B1152000},
        {1500000, B1500000},
        {2000000, B2000000},
        {2500000, B2500000},
        {3000000, B3000000},
        {3500000, B3500000},
        {4000000, B4000000},
        {0, B0},
    }};
    for (const auto& [value, speed] : kSpeeds) {
        if (value == rate && rate != 0) {
            return speed;
        }
    }
    return std::nullopt;
}

int ToPollTimeout(std::optional<milliseconds> wait) {
    if (!wait) {
        return -1;
    }
    return static_cast<int>(std::clamp<milliseconds::rep>(wait->count(), 0, 1'000'000'000));
}

std::optional<milliseconds> Earlier(std::optional<milliseconds> a, milliseconds b) {
    return a ? std::min(*a, b) : b;
}

milliseconds Since(Clock::time_point then, Clock::time_point now) {
    return std::chrono::duration_cast<milliseconds>(now - then);
}

// Which port a file is: a character device by its device number, so that
// every name and link for it agree; anything else by its inode.
struct PortIdentity {
    bool character = false;
    dev_t device = 0;
    ino_t inode = 0;
    bool operator<(const PortIdentity& other) const {
        return std::tie(character, device, inode) <
               std::tie(other.character, other.device, other.inode);
    }
};

PortIdentity IdentityOf(const struct stat& status) {
    if (S_ISCHR(status.st_mode)) {
        return {true, status.st_rdev, 0};
    }
    return {false, status.st_dev, status.st_ino};
}

// The ports this process holds, from a successful open until close() has
// returned. The kernel drops the flock before the driver's close runs, and an
// open() of a tty that is being closed waits in the kernel for that close to
// end; so a port whose close is still running on another thread is reported
// busy from here, without opening it. Never destroyed: a close may still be
// running while the process exits.
class HeldPorts {
public:
    void Add(const PortIdentity& port) {
        std::lock_guard lock(mutex_);
        ports_.insert(port);
    }
    void Remove(const PortIdentity& port) {
        std::lock_guard lock(mutex_);
        if (const auto found = ports_.find(port); found != ports_.end()) {
            ports_.erase(found);
        }
    }
    bool Holds(const PortIdentity& port) {
        std::lock_guard lock(mutex_);
        return ports_.count(port) != 0;
    }

private:
    std::mutex mutex_;
    std::multiset<PortIdentity> ports_;
};

HeldPorts& Held() {
    static HeldPorts* const held = new HeldPorts;
    return *held;
}

class LinuxSerialDevice final : public SerialDevice {
public:
    LinuxSerialDevice(int fd, bool exclusive, std::optional<PortIdentity> port)
        : fd_(fd), exclusive_(exclusive), port_(port) {
        if (port_) {
            Held().Add(*port_);
        }
    }

    ~LinuxSerialDevice() override {
        // Dropped output shortens the driver's closing wait where the driver
        // honours the flush; usb-serial drivers may still wait for what they
        // queued, which is why this runs off the owner's thread.
        ::tcflush(fd_, TCIOFLUSH);
        // Exclusive use ends here rather than with close(): a pseudo-terminal's
        // slave, or a tty that another descriptor keeps open, would otherwise
        // stay exclusive after us. This process keeps the port held until
        // close() has returned.
        if (exclusive_) {
            ::ioctl(fd_, TIOCNXCL);
        }
        ::close(fd_);
        if (port_) {
            Held().Remove(*port_);
        }
    }

    std::intptr_t NativeHandle() const override { return fd_; }

    bool SetupQueues(std::size_t, std::size_t) override {
        // The kernel sizes a tty's queues itself; what can fail here is a
        // device that is no terminal at all.
        termios tio{};
        return ::tcgetattr(fd_, &tio) == 0;
    }

    bool Purge(std::uint32_t flags) override {
        const bool rx = flags & kPurgeRxClear;
        const bool tx = flags & kPurgeTxClear;
        if (!rx && !tx) {
            return true;
        }
        return ::tcflush(fd_, rx && tx ? TCIOFLUSH : (rx ? TCIFLUSH : TCOFLUSH)) == 0;
    }

    SettingsResult ApplyLineSettings(const LineSettings& s) override {
        termios tio{};
        if (::tcgetattr(fd_, &tio) != 0) {
            return Failure(errno);
        }
        FillTermios(tio, s);
        const auto standard = StandardSpeed(s.baudRate);
        ::cfsetispeed(&tio, standard.value_or(B38400));
        ::cfsetospeed(&tio, standard.value_or(B38400));
        SettingsResult result;
        if (::tcsetattr(fd_, TCSANOW, &tio) != 0 ||
            (!standard && !SetArbitraryBaudRate(fd_, s.baudRate))) {
            result = Failure(errno);
        } else {
            std::lock_guard lock(timeoutsMutex_);
            baudRate_ = s.baudRate;
        }
        // A pseudo-terminal has no modem lines: these fail there and that is fine.
        SetModemLine(TIOCM_DTR, DtrControlOf(s.flags) != DtrControl::Disable);
        const RtsControl rts = RtsControlOf(s.flags);
        if (rts != RtsControl::Handshake) {
            SetModemLine(TIOCM_RTS, rts == RtsControl::Enable);
        }
        return result;
    }

    bool ApplyTimeouts(const Timeouts& timeouts) override {
        std::lock_guard lock(timeoutsMutex_);
        timeouts_ = timeouts;
        return true;
    }

    bool SetEventMask(std::uint32_t mask) override {
        eventMask_ = mask;
        countersSupported_ = ::ioctl(fd_, TIOCGICOUNT, &lastCounts_) == 0;
        return true;
    }

    InputResult WaitForInput(ReadRequest& read, const SerialEvent& stop) override {
        if (!read.started) {
            read.started = true;
            read.startTime = Clock::now();
        }
        for (;;) {
            if (stop.IsSet()) {
                return {InputResult::Kind::Stopped};
            }
            if (const SerialError error = Drain(read); error != SerialError::None) {
                return {InputResult::Kind::Failed, 0, error};
            }
            if (read.count > 0 && !read.firstBytesReported) {
                read.firstBytesReported = true;
                return {InputResult::Kind::FirstBytes};
            }
            if (const std::uint32_t events = NewLineEvents()) {
                return {InputResult::Kind::LineEvent, events};
            }
            const auto now = Clock::now();
            const ReadPlan plan = PlanRead(CurrentTimeouts(), {read.buffer.size(), read.count,
                                                               Since(read.startTime, now),
                                                               Since(read.lastByteTime, now)});
            if (plan.complete) {
                return {InputResult::Kind::ReadDone};
            }
            auto wait = plan.wait;
            if (countersSupported_ && eventMask_ != 0) {
                wait = Earlier(wait, kLineEventPollInterval);
            }
            std::array<pollfd, 2> entries{{{stop.NativeHandle(), POLLIN, 0}, {fd_, POLLIN, 0}}};
            if (::poll(entries.data(), entries.size(), ToPollTimeout(wait)) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return {InputResult::Kind::Failed, 0, SerialErrorFromErrno(errno)};
            }
            if (entries[0].revents & POLLIN) {
                return {InputResult::Kind::Stopped};
            }
            if (const SerialError error = PollFailure(entries[1].revents, POLLIN);
                error != SerialError::None) {
                return {InputResult::Kind::Failed, 0, error};
            }
        }
    }

    // The read gathers here, byte by byte as the tty hands them over.
    bool ReportsFirstBytes() const override { return true; }

    LineErrorResult TakeLineErrors() override {
        return {true, std::exchange(pendingErrors_, 0u), SerialError::None};
    }

    WriteResult Write(std::span<const std::uint8_t> bytes, const SerialEvent& stop) override {
        const auto limit = WriteTimeLimit(CurrentWriteBound(), bytes.size());
        const auto start = Clock::now();
        for (;;) {
            if (stop.IsSet()) {
                return {WriteResult::Kind::Stopped};
            }
            const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
            if (written > 0) {
                return {WriteResult::Kind::Written, static_cast<std::size_t>(written)};
            }
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written < 0 && errno != EAGAIN) {
                return {WriteResult::Kind::Failed, 0, SerialErrorFromErrno(errno)};
            }
            std::optional<milliseconds> wait;
            if (limit) {
                wait = *limit - Since(start, Clock::now());
                if (*wait <= milliseconds(0)) {
                    return {WriteResult::Kind::Written, 0};
                }
            }
            std::array<pollfd, 2> entries{{{stop.NativeHandle(), POLLIN, 0}, {fd_, POLLOUT, 0}}};
            const int ready = ::poll(entries.data(), entries.size(), ToPollTimeout(wait));
            if (ready < 0 && errno != EINTR) {
                return {WriteResult::Kind::Failed, 0, SerialErrorFromErrno(errno)};
            }
            if (ready > 0 && (entries[0].revents & POLLIN)) {
                return {WriteResult::Kind::Stopped};
            }
            if (ready > 0) {
                if (const SerialError error = PollFailure(entries[1].revents, POLLOUT);
                    error != SerialError::None) {
                    return {WriteResult::Kind::Failed, 0, error};
                }
            }
        }
    }

private:
    // Reads what is there into the request; the device's end of stream is a
    // failure (the adapter or the other end went away), never an empty read.
    SerialError Drain(ReadRequest& read) {
        while (read.count < read.buffer.size()) {
            const ssize_t got =
                ::read(fd_, read.buffer.data() + read.count, read.buffer.size() - read.count);
            if (got > 0) {
                read.count += static_cast<std::size_t>(got);
                read.lastByteTime = Clock::now();
                continue;
            }
            if (got == 0) {
                return SerialError::DeviceGone;
            }
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN) {
                return SerialError::None;
            }
            return SerialErrorFromErrno(errno);
        }
        return SerialError::None;
    }

    // A hang-up or error without the awaited readiness; with it, the next
    // read() or write() reports what happened.
    static SerialError PollFailure(short revents, short awaited) {
        if (revents & POLLNVAL) {
            return SerialError::InvalidHandle;
        }
        if ((revents & (POLLHUP | POLLERR)) && !(revents & awaited)) {
            return SerialError::DeviceGone;
        }
        return SerialError::None;
    }

    std::uint32_t NewLineEvents() {
        if (!countersSupported_ || eventMask_ == 0) {
            return 0;
        }
        serial_icounter_struct now{};
        if (::ioctl(fd_, TIOCGICOUNT, &now) != 0) {
            countersSupported_ = false;
            return 0;
        }
        std::uint32_t errors = 0;
        if (now.buf_overrun != lastCounts_.buf_overrun) {
            errors |= kErrorRxOverflow;
        }
        if (now.overrun != lastCounts_.overrun) {
            errors |= kErrorOverrun;
        }
        if (now.parity != lastCounts_.parity) {
            errors |= kErrorParity;
        }
        if (now.frame != lastCounts_.frame) {
            errors |= kErrorFraming;
        }
        if (now.brk != lastCounts_.brk) {
            errors |= kErrorBreak;
        }
        std::uint32_t events = errors ? kEventError : 0;
        if (now.dcd != lastCounts_.dcd) {
            events |= kEventCarrierDetect;
        }
        if (now.rng != lastCounts_.rng) {
            events |= kEventRing;
        }
        lastCounts_ = now;
        events &= eventMask_;
        if (events & kEventError) {
            pendingErrors_ |= errors;
        }
        return events;
    }

    static SettingsResult Failure(int code) {
        return {false, SerialErrorFromErrno(code), SystemErrorFromErrno(code)};
    }

    void SetModemLine(int line, bool asserted) {
        ::ioctl(fd_, asserted ? TIOCMBIS : TIOCMBIC, &line);
    }

    Timeouts CurrentTimeouts() {
        std::lock_guard lock(timeoutsMutex_);
        return timeouts_;
    }
    Timeouts CurrentWriteBound() {
        std::lock_guard lock(timeoutsMutex_);
        return WithWriteBound(timeouts_, baudRate_);
    }

    const int fd_;
    const bool exclusive_;
    const std::optional<PortIdentity> port_;
    std::mutex timeoutsMutex_;
    Timeouts timeouts_;
    std::uint32_t baudRate_ = 9600;
    // Reader-thread state.
    std::uint32_t eventMask_ = 0;
    bool countersSupported_ = false;
    serial_icounter_struct lastCounts_{};
    std::uint32_t pendingErrors_ = 0;
};

bool IsSafeBareName(const std::string& name) {
    if (name.empty()) {
        return false;
    }
    // A bare name stays under /dev: no ".." component may climb out of it.
    std::size_t start = 0;
    while (start <= name.size()) {
        const std::size_t end = std::min(name.find('/', start), name.size());
        if (name.compare(start, end - start, "..") == 0) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

// Keeps the descriptor clear of 0-2, so a handle of 0 can only mean "closed".
int AwayFromStandardStreams(int fd) {
    if (fd > 2) {
        return fd;
    }
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    return moved;
}

} // namespace

std::string SerialDevicePath(const std::string& name) {
    if (!name.empty() && name.front() == '/') {
        return name;
    }
    return "/dev/" + name;
}

OpenResult OpenSerialDevice(const std::string& name) {
    if (name.empty() || (name.front() != '/' && !IsSafeBareName(name))) {
        return {nullptr, SerialError::NotFound, {ENOENT, "not a serial port name"}};
    }
    const std::string path = SerialDevicePath(name);
    if (struct stat status{};
        ::stat(path.c_str(), &status) == 0 && Held().Holds(IdentityOf(status))) {
        return {nullptr, SerialError::Busy, SystemErrorFromErrno(EBUSY)};
    }
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        fd = AwayFromStandardStreams(fd);
    }
    if (fd < 0) {
        const int error = errno;
        return {nullptr, SerialErrorFromErrno(error), SystemErrorFromErrno(error)};
    }
    // flock holds for root too and between two components of one process;
    // TIOCEXCL also keeps out programs that do not lock (but not root).
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return {nullptr, error == EWOULDBLOCK ? SerialError::Busy : SerialErrorFromErrno(error),
                SystemErrorFromErrno(error)};
    }
    const bool exclusive = ::ioctl(fd, TIOCEXCL) == 0;
    std::optional<PortIdentity> port;
    if (struct stat status{}; ::fstat(fd, &status) == 0) {
        port = IdentityOf(status);
    }
    return {std::make_unique<LinuxSerialDevice>(fd, exclusive, port), SerialError::None, {}};
}

} // namespace korvel::platform
