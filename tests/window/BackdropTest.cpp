// Lists and edits that paint what their group draws beneath them, so that they
// repaint alone.
#include "WindowFixture.h"

#include <QImage>

#include <map>

namespace korvel::window {
namespace {

using testing_support::WindowTest;

// Counts the paint events of every widget it watches.
class PaintCounter final : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++painted[watched->objectName()];
        }
        return false;
    }
    std::map<QString, int> painted;
};

TEST_F(WindowTest, AClockTickRepaintsOnlyTheListThatChanged) {
    TParamter& w = show();
    w.tmrSysTime->stop();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QCoreApplication::processEvents();
    PaintCounter counter;
    for (QWidget* widget : w.findChildren<QWidget*>()) {
        widget->installEventFilter(&counter);
    }

    clock.now = clock.now.addSecs(1);
    w.tmrSysTimeTimer();
    ASSERT_TRUE(
        testing_support::WaitFor([&] { return counter.painted.count("cbbSystemTimeS") > 0; }));
    QCoreApplication::processEvents();

    EXPECT_EQ(counter.painted, (std::map<QString, int>{{"cbbSystemTimeS", 1}}));
}

TEST_F(WindowTest, ControlsOverTheirBackdropsLookAsOverTheirGroup) {
    TParamter& w = show();
    w.tmrSysTime->stop();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const QImage withBackdrops = w.grab().toImage();
    int controls = 0;
    for (QObject* backdrop : w.findChildren<QObject*>(QStringLiteral("backdrop"))) {
        auto* control = static_cast<QWidget*>(backdrop->parent());
        control->setAttribute(Qt::WA_OpaquePaintEvent, false);
        delete backdrop;
        ++controls;
    }
    EXPECT_GE(controls, 13); // the visible lists and edits of "Device Info" and "Log Setting"
    EXPECT_TRUE(w.grab().toImage() == withBackdrops);
}

} // namespace
} // namespace korvel::window
