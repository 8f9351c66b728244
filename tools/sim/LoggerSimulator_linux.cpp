#include "tools/sim/LoggerSimulator.h"

#include <array>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace korvel::sim {
namespace {

constexpr std::size_t kReadSize = 512;

std::system_error SystemError(const char* what) {
    return std::system_error(errno, std::generic_category(), what);
}

void CloseIfOpen(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

} // namespace

bool LoggerSimulator::Available() {
    return true;
}

LoggerSimulator::LoggerSimulator(Options options) : logger_(std::move(options)) {
    try {
        if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) {
            throw SystemError("openpty");
        }
        termios raw{};
        if (::tcgetattr(slave_, &raw) != 0) {
            throw SystemError("tcgetattr");
        }
        ::cfmakeraw(&raw);
        if (::tcsetattr(slave_, TCSANOW, &raw) != 0) {
            throw SystemError("tcsetattr");
        }
        char name[PATH_MAX];
        if (const int error = ::ttyname_r(slave_, name, sizeof name); error != 0) {
            errno = error;
            throw SystemError("ttyname_r");
        }
        portPath_ = name;
        const int flags = ::fcntl(master_, F_GETFL);
        if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
            throw SystemError("fcntl");
        }
        ::fcntl(master_, F_SETFD, FD_CLOEXEC);
        ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
        worker_ = std::thread([this] { Run(); });
    } catch (...) {
        CloseIfOpen(slave_);
        CloseIfOpen(master_);
        throw;
    }
}

LoggerSimulator::~LoggerSimulator() {
    stop_.Set();
    worker_.join();
    CloseIfOpen(slave_);
    CloseIfOpen(master_);
}

void LoggerSimulator::Run() {
    LineEnd line(logger_);
    std::array<std::uint8_t, kReadSize> buffer{};
    for (;;) {
        pollfd fds[2] = {{master_, POLLIN, 0}, {stop_.NativeHandle(), POLLIN, 0}};
        const int ready = ::poll(fds, 2, -1);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0 || fds[1].revents != 0) {
            return;
        }
        if ((fds[0].revents & POLLIN) == 0) {
            // Hang-up or error without data: the terminal is gone, nothing more will come.
            return;
        }
        const ssize_t got = ::read(master_, buffer.data(), buffer.size());
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
            continue;
        }
        if (got <= 0) {
            return;
        }
        const auto arrived = Clock::now();
        if (!Send(line.Receive(buffer.data(), static_cast<std::size_t>(got), arrived), arrived)) {
            return;
        }
    }
}

bool LoggerSimulator::Send(const std::vector<TimedBytes>& replies, Clock::time_point from) {
    for (const TimedBytes& piece : replies) {
        if (!SleepUntil(from + std::chrono::duration_cast<Clock::duration>(piece.at)) ||
            !WriteAll(piece.bytes.data(), piece.bytes.size())) {
            return false;
        }
    }
    return true;
}

bool LoggerSimulator::WriteAll(const std::uint8_t* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t written = ::write(master_, bytes, count);
        if (written > 0) {
            bytes += written;
            count -= static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && errno != EAGAIN) {
            return false;
        }
        // The terminal's buffer is full: wait for room or for the stop.
        pollfd fds[2] = {{master_, POLLOUT, 0}, {stop_.NativeHandle(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) {
            return false;
        }
        if (fds[1].revents != 0) {
            return false;
        }
    }
    return true;
}

bool LoggerSimulator::SleepUntil(Clock::time_point deadline) {
    for (;;) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) {
            return true;
        }
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
        const auto nanoseconds =
            std::chrono::duration_cast<std::chrono::nanoseconds>(left - seconds);
        const timespec wait{static_cast<time_t>(seconds.count()),
                            static_cast<long>(nanoseconds.count())};
        pollfd stop{stop_.NativeHandle(), POLLIN, 0};
        const int ready = ::ppoll(&stop, 1, &wait, nullptr);
        if (ready > 0) {
            return false;
        }
        if (ready < 0 && errno != EINTR) {
            return false;
        }
    }
}

} // namespace korvel::sim
