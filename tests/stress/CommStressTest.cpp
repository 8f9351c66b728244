// A thousand exchanges the way the window makes them: open, send the read
// command, take a reply, close. Run under the sanitizers this finds races and
// leaks in opening and closing; the test itself checks that every exchange
// moves exactly its own bytes, that no worker thread outlives its port and that
// memory stays flat.
#include "serial/Comm.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <numeric>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "protocol/Frame.h"
#include "tests/serial/QueueSink.h"
#include "tests/serial/WindowCallingOrder.h"
#include "tests/support/SerialPty.h"

// Freed blocks wait in AddressSanitizer's quarantine (256 MB by default, and
// up to 1 MB more in each thread's own), which would look like growth; small
// ones keep the resident size honest. The device closer frees on a thread of
// its own, so its share counts too.
// NOLINTNEXTLINE(bugprone-reserved-identifier): the name AddressSanitizer asks for
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=1:thread_local_quarantine_size_kb=64";
}

namespace korvel::serial {
namespace {

using korvel::testing::OpenLikeTheWindow;
using korvel::testing::PtyPair;
using korvel::testing::QueuedComm;
using namespace std::chrono_literals;

constexpr int kCycles = 1000;
constexpr int kWarmUpCycles = 100;
// Short, so that a thousand replies do not wait out the logger's read interval; the
// reply still has to arrive as one chunk.
constexpr std::uint32_t kReadInterval = 10;
// Resident growth allowed between the warm-up and the end: far above noise,
// far below what a leaked block per exchange would add up to.
constexpr long kRssGrowthLimitKiB = 4L * 1024;

// The kernel's flag for a thread that has begun to exit (PF_EXITING), field 9
// of /proc/<pid>/task/<tid>/stat.
constexpr unsigned long kExitingFlag = 0x4;

bool IsExiting(const char* tid) {
    std::ifstream stat(std::string("/proc/self/task/") + tid + "/stat");
    const std::string line((std::istreambuf_iterator<char>(stat)), {});
    const std::size_t nameEnd = line.rfind(')');
    if (nameEnd == std::string::npos) {
        return true; // gone between listing and reading
    }
    std::istringstream fields(line.substr(nameEnd + 1));
    std::string skipped;
    for (int field = 3; field < 9; ++field) { // state to tpgid
        fields >> skipped;
    }
    unsigned long flags = 0;
    fields >> flags;
    return (flags & kExitingFlag) != 0;
}

// Threads that have not begun to exit. A joined thread stays listed for a
// while after join() returns, as long as the kernel takes to finish its exit
// (longer on a loaded machine); it is marked as exiting by then, so this count
// is exact the moment join() has returned, with nothing to wait for.
std::size_t LiveThreadCount() {
    std::size_t count = 0;
    if (DIR* tasks = ::opendir("/proc/self/task")) {
        while (const dirent* entry = ::readdir(tasks)) {
            count += entry->d_name[0] != '.' && !IsExiting(entry->d_name) ? 1 : 0;
        }
        ::closedir(tasks);
    }
    return count;
}

long ResidentKiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// A reply-sized frame that differs from cycle to cycle, so a chunk left over
// from an earlier exchange cannot pass for this one.
std::vector<std::uint8_t> ReplyFor(int cycle) {
    std::vector<std::uint8_t> reply(protocol::kFrameSize);
    std::iota(reply.begin(), reply.end(), static_cast<std::uint8_t>(cycle));
    return reply;
}

const std::vector<std::uint8_t> kReadCommand(protocol::kReadCommand.begin(),
                                             protocol::kReadCommand.end());

// One exchange; returns what went wrong, or an empty text.
std::string Exchange(QueuedComm& port, PtyPair& pty, int cycle) {
    OpenLikeTheWindow(port.comm, pty.slavePath(), kReadInterval);
    if (!port.comm.SendData(kReadCommand.data(), kReadCommand.size())) {
        return "SendData refused";
    }
    if (pty.Read(kReadCommand.size(), 5s) != kReadCommand) {
        return "the read command did not reach the device";
    }
    const std::size_t before = port.log.chunks.size();
    pty.Write(ReplyFor(cycle));
    if (!port.PumpUntil([&] { return port.log.chunks.size() > before; }, 5s)) {
        return "no reply within 5 s";
    }
    port.sink->PumpPending();
    if (port.log.chunks.size() != before + 1 || port.log.chunks.back() != ReplyFor(cycle)) {
        return "the reply arrived split or altered";
    }
    port.comm.ClosePort();
    port.sink->PumpPending();
    // The log would otherwise grow by a reply per cycle and blur the memory figure.
    port.log.chunks.clear();
    return port.comm.PortHandle() == 0 ? "" : "the port is still open";
}

TEST(CommStress, AThousandExchangesMoveTheirOwnBytesAndLeaveNothingBehind) {
    PtyPair pty;
    QueuedComm port;
    // ThreadSanitizer starts a helper thread with the first thread it sees, so
    // the count to keep is taken after the first exchange.
    ASSERT_EQ(Exchange(port, pty, 0), "");
    const std::size_t threadsBetweenExchanges = LiveThreadCount();
    long residentAfterWarmUp = 0;

    for (int cycle = 1; cycle < kCycles; ++cycle) {
        const std::string failure = Exchange(port, pty, cycle);
        ASSERT_EQ(failure, "") << "cycle " << cycle;
        ASSERT_EQ(LiveThreadCount(), threadsBetweenExchanges) << "threads after cycle " << cycle;
        if (cycle + 1 == kWarmUpCycles) {
            residentAfterWarmUp = ResidentKiB();
        }
    }
    const long growth = ResidentKiB() - residentAfterWarmUp;
    std::printf("resident size: %ld KiB after %d exchanges, %+ld KiB over the last %d\n",
                ResidentKiB(), kCycles, growth, kCycles - kWarmUpCycles);
    EXPECT_LT(growth, kRssGrowthLimitKiB);
    EXPECT_EQ(port.log.Count(MessageId::MsgRequestHangup), 0u);
}

// Destroying an open component closes it, also while a reply is on its way in.
TEST(CommStress, ComponentsDestroyedWhileBytesArriveEndTheirThreads) {
    PtyPair pty;
    { // the first threads of the process, as above
        QueuedComm warmUp;
        ASSERT_EQ(Exchange(warmUp, pty, 0), "");
    }
    const std::size_t threadsBefore = LiveThreadCount();
    for (int cycle = 0; cycle < 200; ++cycle) {
        {
            QueuedComm port;
            OpenLikeTheWindow(port.comm, pty.slavePath(), kReadInterval);
            ASSERT_TRUE(port.comm.SendData(kReadCommand.data(), kReadCommand.size()));
            pty.Write(ReplyFor(cycle));
            if (cycle % 2 == 0) {
                port.sink->PumpPending(); // sometimes with a delivery under way
            }
        }
        ASSERT_EQ(LiveThreadCount(), threadsBefore) << "threads after cycle " << cycle;
        pty.Read(4096, 1ms); // what the component sent before it closed
    }
}

} // namespace
} // namespace korvel::serial
