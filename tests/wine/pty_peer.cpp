// korvel-pty-peer: the far end of the COM port that the Windows tests open
// under Wine. Opens a pseudo-terminal, points LINK (a dosdevices/comN entry
// of the Wine prefix) at its slave side and echoes every byte it receives.
// On the hang-up marker it closes the terminal, as an unplugged adapter
// vanishes, then opens a fresh one behind LINK for the next test. Runs until
// SIGINT or SIGTERM. Linux only; built by tests/wine/run.sh.

#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <poll.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// Keep in step with kHangupMarker in the Windows tests.
constexpr std::string_view kHangupMarker = "\x1b[korvel-peer:hangup]";

volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int) {
    stopRequested = 1;
}

struct Terminal {
    int master = -1;
    int slave = -1;
};

void Close(Terminal& terminal) {
    ::close(terminal.master);
    ::close(terminal.slave);
    terminal = {};
}

// The slave stays open here too, so the master never reads a hang-up between
// two opens from the Windows side.
bool OpenTerminal(Terminal& terminal, const std::string& link) {
    char path[256] = {};
    if (::openpty(&terminal.master, &terminal.slave, path, nullptr, nullptr) != 0) {
        std::perror("korvel-pty-peer: openpty");
        return false;
    }
    termios raw{};
    ::tcgetattr(terminal.slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(terminal.slave, TCSANOW, &raw);
    // Replaced in one step: Wine never sees LINK missing.
    const std::string temporary = link + ".new";
    ::unlink(temporary.c_str());
    if (::symlink(path, temporary.c_str()) != 0 || ::rename(temporary.c_str(), link.c_str()) != 0) {
        std::perror("korvel-pty-peer: link");
        Close(terminal);
        return false;
    }
    std::printf("%s\n", path);
    std::fflush(stdout);
    return true;
}

bool WriteAll(int fd, const char* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t written = ::write(fd, bytes, count);
        if (written < 0) {
            return false;
        }
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: korvel-pty-peer LINK\n");
        return 2;
    }
    const std::string link = argv[1];
    struct sigaction action {};
    action.sa_handler = RequestStop;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);

    Terminal terminal;
    if (!OpenTerminal(terminal, link)) {
        return 1;
    }
    std::string recent; // the tail of the input, where a marker split across reads is found
    while (!stopRequested) {
        pollfd entry{terminal.master, POLLIN, 0};
        if (::poll(&entry, 1, 200) <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t got = ::read(terminal.master, buffer, sizeof buffer);
        if (got <= 0) {
            continue;
        }
        recent.append(buffer, static_cast<std::size_t>(got));
        if (recent.find(kHangupMarker) != std::string::npos) {
            Close(terminal);
            recent.clear();
            if (!OpenTerminal(terminal, link)) {
                return 1;
            }
            continue;
        }
        recent.erase(0, recent.size() - std::min(recent.size(), kHangupMarker.size()));
        if (!WriteAll(terminal.master, buffer, static_cast<std::size_t>(got))) {
            std::perror("korvel-pty-peer: write");
        }
    }
    Close(terminal);
    ::unlink(link.c_str());
    return 0;
}
