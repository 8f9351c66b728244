// The floor: a bare, borderless Qt window of the parameter window's size that
// shows the same background picture, with a label the same 995 ms timer
// rewrites when asked to idle.
#include "assets/Assets.h"
#include "bench/startup/Probe.h"

#include <QApplication>
#include <QDateTime>
#include <QLabel>
#include <QPixmap>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int idleSeconds = korvel::bench::IdleSecondsFrom(argc, argv);

    QLabel window;
    window.setWindowFlags(Qt::FramelessWindowHint);
    const QPixmap background(korvel::assets::picturePath(u"img1.png"));
    window.setPixmap(background);
    window.setFixedSize(background.size());

    QLabel clock(&window);
    clock.setGeometry(20, 20, 200, 20);
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &clock, [&clock] {
        clock.setText(QDateTime::currentDateTime().toString(Qt::ISODate));
    });
    if (idleSeconds > 0) {
        tick.start(995);
    }

    korvel::bench::ProbeFirstPaint(window, idleSeconds);
    window.show();
    return app.exec();
}
