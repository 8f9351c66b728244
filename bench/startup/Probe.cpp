#include "bench/startup/Probe.h"

#include <sys/resource.h>

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace korvel::bench {
namespace {

long long MonotonicNs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
}

double ProcessCpuMs() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

class FirstPaintFilter final : public QObject {
public:
    FirstPaintFilter(QWidget& window, int idleSeconds)
        : QObject(&window), idleSeconds_(idleSeconds) {}

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            // Queued behind the paint, so the time is taken once the frame is drawn.
            QTimer::singleShot(0, this, [this] { Painted(); });
        }
        return false;
    }

private:
    void Painted() {
        std::printf("painted_ns=%lld\n", MonotonicNs());
        std::fflush(stdout);
        if (idleSeconds_ <= 0) {
            QCoreApplication::quit();
            return;
        }
        // A second to settle after start-up, then the measured stretch.
        QTimer::singleShot(1000, this, [this] {
            const double before = ProcessCpuMs();
            QTimer::singleShot(idleSeconds_ * 1000, this, [before] {
                std::printf("idle_cpu_ms=%.1f\n", ProcessCpuMs() - before);
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        });
    }

    int idleSeconds_;
    bool seen_ = false;
};

} // namespace

void ProbeFirstPaint(QWidget& window, int idleSeconds) {
    window.installEventFilter(new FirstPaintFilter(window, idleSeconds));
}

int IdleSecondsFrom(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--idle-seconds") == 0) {
            return std::atoi(argv[i + 1]);
        }
    }
    return 0;
}

} // namespace korvel::bench
