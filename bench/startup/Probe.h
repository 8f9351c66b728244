#pragma once
// What both measured programs report on standard output, one "key=value" a line:
// painted_ns, the monotonic clock when the window's first frame was painted,
// and, when asked to idle, idle_cpu_ms, the CPU time all its threads used
// while it idled.

#include <QWidget>

namespace korvel::bench {

// Reports painted_ns after the first paint of `window`, then either quits or,
// when `idleSeconds` is above zero, idles that long, reports idle_cpu_ms and quits.
void ProbeFirstPaint(QWidget& window, int idleSeconds);

// The value of "--idle-seconds N" among the arguments, else 0.
int IdleSecondsFrom(int argc, char** argv);

} // namespace korvel::bench
