// The Read round trip of the window: from the click on Read, once the logger has
// been found, to "Read Success", against the simulated logger pacing its bytes
// at the logger's line speed. Printed next to the floor that the line and the
// exchange's own waits set: the pause after the open, 7 + 210 bytes on the line,
// and the read interval of silence that ends the reply.
#include "app/ProductionServices.h"
#include "protocol/Frame.h"
#include "tools/sim/LoggerSimulator.h"
#include "window/ParamterFrm.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRounds = 20;
constexpr int kWaitMs = 5000;

// Notes when each success is reported instead of showing a box.
struct TimingPrompt final : korvel::window::IPrompt {
    std::vector<Clock::time_point> successes;
    int faults = 0;
    void information(const QString& text) override {
        if (text == QStringLiteral("Read Success")) {
            successes.push_back(Clock::now());
        }
    }
    void warning(const QString& text) override {
        std::fprintf(stderr, "warning: %s\n", qPrintable(text));
        ++faults;
    }
    void plain(const QString& text) override { warning(text); }
    bool confirm(const QString&) override { return true; }
};

struct NoOpener final : korvel::window::IDocumentOpener {
    void open(const QString&) override {}
};

// Processes events until `count` successes were reported; false on time-out.
bool WaitForSuccesses(const TimingPrompt& prompt, std::size_t count) {
    QElapsedTimer waited;
    waited.start();
    while (prompt.successes.size() < count) {
        if (waited.elapsed() > kWaitMs || prompt.faults > 0) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);

    korvel::sim::LoggerSimulator::Options paced;
    paced.pace = true;
    korvel::sim::LoggerSimulator logger(std::move(paced));
    korvel::app::FixedPortLister ports({logger.PortPath()});
    TimingPrompt prompt;
    korvel::app::SystemClock clock;
    korvel::app::ThreadSleeper sleeper;
    NoOpener opener;
    korvel::app::FileDialogs files; // never asked: the benchmark neither opens nor exports
    korvel::window::TParamter window({ports, prompt, clock, sleeper, opener, files});
    window.show();

    // Discovery first, its 3 s timer ticked by hand: later Reads go straight to the port.
    window.imgReadClick();
    window.tmrReadTimer();
    if (!WaitForSuccesses(prompt, 1)) {
        std::fprintf(stderr, "the simulated logger was not found\n");
        return EXIT_FAILURE;
    }

    std::vector<double> rounds;
    for (int round = 0; round < kRounds; ++round) {
        // Let the previous reply's handler close the port and finish its pause.
        QCoreApplication::processEvents();
        const std::size_t before = prompt.successes.size();
        const Clock::time_point clicked = Clock::now();
        window.imgReadClick();
        if (!WaitForSuccesses(prompt, before + 1)) {
            std::fprintf(stderr, "round %d: no Read Success\n", round);
            return EXIT_FAILURE;
        }
        rounds.push_back(Milliseconds(prompt.successes.back() - clicked));
    }

    const double byteMs = 1.0417;
    const double floorMs =
        100.0 + (korvel::protocol::kReadCommand.size() + korvel::protocol::kFrameSize) * byteMs +
        200.0;
    std::sort(rounds.begin(), rounds.end());
    const double median = rounds[rounds.size() / 2];
    std::printf("Read round trip, click to \"Read Success\", %d rounds at 9600 baud\n", kRounds);
    std::printf("  floor   %7.1f ms  (100 ms + (7 + 210) x %.4f ms + 200 ms)\n", floorMs, byteMs);
    std::printf("  median  %7.1f ms  min %.1f ms  max %.1f ms\n", median, rounds.front(),
                rounds.back());
    std::printf("  ratio   %7.3f     (median / floor)\n", median / floorMs);
    // A pseudo-terminal passes the tool's own 7 bytes at once; only the simulator
    // paces what it sends, so this is the floor the measurement can reach here.
    const double ptyFloorMs = floorMs - korvel::protocol::kReadCommand.size() * byteMs;
    std::printf("  on a pseudo-terminal the read command is not paced: floor %.1f ms, ratio %.3f\n",
                ptyFloorMs, median / ptyFloorMs);
    return EXIT_SUCCESS;
}
