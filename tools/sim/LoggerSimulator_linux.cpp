#include "tools/sim/LoggerSimulator.h"

#include "protocol/Frame.h"
#include "protocol/LoggerLink.h"
#include "tools/sim/FrameAssembler.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <random>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace korvel::sim {
namespace {

using namespace korvel::protocol;

constexpr std::array<std::string_view, 6> kModeNames = {"normal",       "silent", "garbage",
                                                        "bad-checksum", "split",  "short"};
constexpr std::array<Mode, 6> kModes = {Mode::Normal,      Mode::Silent, Mode::Garbage,
                                        Mode::BadChecksum, Mode::Split,  Mode::Short};

// Small batches on a steady schedule keep the gaps between bytes a few
// milliseconds long, far below the logger's read interval time-out.
constexpr std::size_t kPaceBatch = 4;
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

std::vector<std::uint8_t> Garbage(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> byte(0, 0xFF);
    std::vector<std::uint8_t> bytes(size);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(byte(random));
    }
    if (!bytes.empty() && bytes.front() == kHeader0) {
        bytes.front() = static_cast<std::uint8_t>(~kHeader0);
    }
    return bytes;
}

std::vector<std::uint8_t> WithBadChecksum(std::vector<std::uint8_t> reply) {
    if (reply.size() >= kMinFrameSize) {
        reply[reply.size() - 2] = static_cast<std::uint8_t>(reply[reply.size() - 2] + 1);
    }
    return reply;
}

// Milliseconds until `deadline`, rounded up so a wake-up never comes early.
int MillisecondsUntil(std::chrono::steady_clock::time_point deadline) {
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) {
        return 0;
    }
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<int>(std::min<long long>(ms, INT_MAX));
}

} // namespace

std::string_view ModeName(Mode mode) {
    for (std::size_t i = 0; i < kModes.size(); ++i) {
        if (kModes[i] == mode) {
            return kModeNames[i];
        }
    }
    return "normal";
}

std::optional<Mode> ModeFromName(std::string_view name) {
    for (std::size_t i = 0; i < kModes.size(); ++i) {
        if (kModeNames[i] == name) {
            return kModes[i];
        }
    }
    return std::nullopt;
}

std::vector<ReplyPart> ShapeReply(Mode mode, const std::vector<std::uint8_t>& reply,
                                  std::uint32_t randomSeed) {
    switch (mode) {
    case Mode::Normal:
        return {{{}, reply}};
    case Mode::Silent:
        return {};
    case Mode::Garbage:
        return {{{}, Garbage(reply.size(), randomSeed)}};
    case Mode::BadChecksum:
        return {{{}, WithBadChecksum(reply)}};
    case Mode::Split: {
        const auto half = reply.begin() + static_cast<std::ptrdiff_t>(reply.size() / 2);
        return {{{}, {reply.begin(), half}}, {kSplitPause, {half, reply.end()}}};
    }
    case Mode::Short: {
        const std::size_t size =
            reply.size() > kShortReplySize ? kShortReplySize : reply.size() / 2;
        return {{{}, {reply.begin(), reply.begin() + static_cast<std::ptrdiff_t>(size)}}};
    }
    }
    return {};
}

bool LoggerSimulator::Available() {
    return true;
}

LoggerSimulator::LoggerSimulator(Options options)
    : onSave_(std::move(options.onSave)), frameSilence_(options.frameSilence), mode_(options.mode),
      pace_(options.pace), replyDelayMs_(options.replyDelay.count()), block_(options.block) {
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

Block LoggerSimulator::CurrentBlock() const {
    std::lock_guard lock(mutex_);
    return block_;
}

void LoggerSimulator::SetBlock(const Block& block) {
    std::lock_guard lock(mutex_);
    block_ = block;
}

bool LoggerSimulator::WaitForReads(std::uint64_t count, std::chrono::milliseconds timeout) const {
    return WaitFor(reads_, count, timeout);
}

bool LoggerSimulator::WaitForSaves(std::uint64_t count, std::chrono::milliseconds timeout) const {
    return WaitFor(saves_, count, timeout);
}

bool LoggerSimulator::WaitFor(const std::atomic<std::uint64_t>& counter, std::uint64_t count,
                              std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return counted_.wait_for(lock, timeout, [&] { return counter >= count; });
}

void LoggerSimulator::Count(std::atomic<std::uint64_t>& counter) {
    {
        std::lock_guard lock(mutex_);
        ++counter;
    }
    counted_.notify_all();
}

void LoggerSimulator::Run() {
    FrameAssembler assembler;
    Clock::time_point lastByte{};
    std::array<std::uint8_t, kReadSize> buffer{};
    for (;;) {
        pollfd fds[2] = {{master_, POLLIN, 0}, {stop_.NativeHandle(), POLLIN, 0}};
        const int timeout =
            assembler.HasPartial() ? MillisecondsUntil(lastByte + frameSilence_) : -1;
        const int ready = ::poll(fds, 2, timeout);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0 || fds[1].revents != 0) {
            return;
        }
        if (ready == 0) {
            assembler.DropPartial();
            continue;
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
        lastByte = Clock::now();
        for (const auto& frame : assembler.Feed(buffer.data(), static_cast<std::size_t>(got))) {
            Handle(frame);
        }
    }
}

void LoggerSimulator::Handle(const std::vector<std::uint8_t>& frame) {
    std::vector<std::uint8_t> reply;
    if (frame[offset::kCommand] == command::kRead) {
        Count(reads_);
        const Block answer = ReadReplyFrom(CurrentBlock());
        reply.assign(answer.begin(), answer.end());
    } else {
        Block taken{};
        std::copy(frame.begin(), frame.end(), taken.begin());
        SetBlock(taken);
        if (onSave_) {
            onSave_(taken);
        }
        Count(saves_);
        reply.assign(kSaveAcknowledgement.begin(), kSaveAcknowledgement.end());
    }
    Answer(reply);
}

bool LoggerSimulator::Answer(const std::vector<std::uint8_t>& reply) {
    if (!SleepUntil(Clock::now() + std::chrono::milliseconds(replyDelayMs_.load()))) {
        return false;
    }
    for (const auto& part : ShapeReply(mode_, reply, replies_++)) {
        if (!SleepUntil(Clock::now() + part.pauseBefore) || !WritePart(part.bytes)) {
            return false;
        }
    }
    return true;
}

bool LoggerSimulator::WritePart(const std::vector<std::uint8_t>& bytes) {
    if (!pace_) {
        return WriteAll(bytes.data(), bytes.size());
    }
    const auto start = Clock::now();
    for (std::size_t sent = 0; sent < bytes.size();) {
        const std::size_t batch = std::min(kPaceBatch, bytes.size() - sent);
        if (!WriteAll(bytes.data() + sent, batch)) {
            return false;
        }
        sent += batch;
        const auto onTheLine = std::chrono::duration_cast<Clock::duration>(
            link::kByteTime * static_cast<long long>(sent));
        if (!SleepUntil(start + onTheLine)) {
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
