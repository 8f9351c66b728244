// Figures for the serial link on a pseudo-terminal pair: reader throughput
// next to a plain read() loop, the delay from the last byte to OnReceiveData
// beyond the logger's read interval, and the CPU an open, idle port costs.
#include <termios.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

#include "protocol/LoggerLink.h"
#include "serial/Comm.h"
#include "tests/serial/QueueSink.h"
#include "tests/support/SerialPty.h"

namespace {

using korvel::testing::PtyPair;
using korvel::testing::QueuedComm;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr std::size_t kBulkBytes = 8 * 1024 * 1024;
constexpr auto kInterval =
    static_cast<std::uint32_t>(korvel::protocol::link::kReadInterval.count());

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

void OpenLikeTheWindow(korvel::serial::TComm& comm, const std::string& path) {
    comm.setOutx_XonXoffFlow(false);
    comm.setInx_XonXoffFlow(false);
    comm.setCommName(path);
    comm.setBaudRate(korvel::protocol::link::kBaudRate);
    comm.setReadIntervalTimeout(kInterval);
    comm.OpenPort();
}

double PlainReadMegabytesPerSecond() {
    PtyPair pty;
    termios tio{};
    ::tcgetattr(pty.slave(), &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(pty.slave(), TCSANOW, &tio);
    const std::vector<std::uint8_t> data(kBulkBytes, 0x5A);
    const auto start = Clock::now();
    std::thread device([&] { pty.Write(data); });
    std::vector<std::uint8_t> buffer(2048);
    std::size_t got = 0;
    while (got < kBulkBytes) {
        const ssize_t n = ::read(pty.slave(), buffer.data(), buffer.size());
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    const double seconds = Seconds(Clock::now() - start);
    device.join();
    return got / seconds / 1e6;
}

double ReaderMegabytesPerSecond() {
    PtyPair pty;
    QueuedComm port;
    OpenLikeTheWindow(port.comm, pty.slavePath());
    const std::vector<std::uint8_t> data(kBulkBytes, 0x5A);
    const auto start = Clock::now();
    std::thread device([&] { pty.Write(data); });
    port.PumpUntil([&] { return port.log.ReceivedBytes() >= kBulkBytes; }, 60s);
    device.join();
    // The size is a multiple of the 2048-byte read, so the last chunk is full
    // and does not wait out the interval.
    const double seconds = Seconds(Clock::now() - start);
    return port.log.ReceivedBytes() / seconds / 1e6;
}

void ChunkDelay() {
    PtyPair pty;
    QueuedComm port;
    OpenLikeTheWindow(port.comm, pty.slavePath());
    std::vector<double> extra;
    const std::vector<std::uint8_t> reply(210, 0x94);
    for (int i = 0; i < 20; ++i) {
        const std::size_t before = port.log.chunks.size();
        pty.Write(reply);
        const auto lastByte = Clock::now();
        port.PumpUntil([&] { return port.log.chunks.size() > before; });
        extra.push_back(Seconds(Clock::now() - lastByte) * 1000.0 - kInterval);
    }
    std::sort(extra.begin(), extra.end());
    std::printf("chunk delay beyond the %u ms interval: median %.2f ms, max %.2f ms (20 replies)\n",
                kInterval, extra[extra.size() / 2], extra.back());
}

double ProcessCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

void IdleCpu() {
    PtyPair pty;
    QueuedComm port;
    OpenLikeTheWindow(port.comm, pty.slavePath());
    std::this_thread::sleep_for(100ms);
    const double before = ProcessCpuSeconds();
    std::this_thread::sleep_for(10s);
    const double used = ProcessCpuSeconds() - before;
    std::printf("idle open port: %.3f ms CPU over 10 s\n", used * 1000.0);
}

} // namespace

int main() {
    const double floor = PlainReadMegabytesPerSecond();
    const double reader = ReaderMegabytesPerSecond();
    std::printf("throughput over a pty, %zu MiB: reader %.1f MB/s, plain read() loop %.1f MB/s\n",
                kBulkBytes >> 20, reader, floor);
    ChunkDelay();
    IdleCpu();
    return 0;
}
