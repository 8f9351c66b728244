// The window's chrome: dragging by the background, the pressed look of the
// picture buttons, minimise, quit and help.
#include "WindowFixture.h"

#include "tests/support/SerialPty.h"
#include "window/Chrome.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMouseEvent>

#include <functional>

namespace korvel::window {
namespace {

using testing_support::WindowTest;

// Sends a mouse event at `global` on the screen, as a pointer that stays put
// while the window moves beneath it would.
void SendMouse(QWidget& widget, QEvent::Type type, QPoint global, Qt::MouseButton button,
               Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(widget.mapFromGlobal(global)), QPointF(global), button, held,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &event);
}

// Presses `button` at `from` on `picture`, moves the pointer by `delta` in two
// steps with `held` buttons down, and releases.
void Drag(QWidget& picture, QPoint from, QPoint delta, Qt::MouseButton button,
          Qt::MouseButtons held) {
    const QPoint start = picture.mapToGlobal(from);
    SendMouse(picture, QEvent::MouseButtonPress, start, button, held);
    SendMouse(picture, QEvent::MouseMove, start + delta / 2, Qt::NoButton, held);
    SendMouse(picture, QEvent::MouseMove, start + delta, Qt::NoButton, held);
    SendMouse(picture, QEvent::MouseButtonRelease, start + delta, button, Qt::NoButton);
}

// The offscreen platform has no window-manager move, so the window follows
// the pointer itself; only a left drag over the bare background moves it.
TEST_F(WindowTest, DraggingTheBackgroundWithTheLeftButtonFollowsThePointer) {
    struct Case {
        const char* name;
        const char* picture;
        QPoint from;
        Qt::MouseButton button;
        Qt::MouseButtons held;
        QPoint expectedMove;
    };
    const Case cases[] = {
        {"left_on_title_strip", "img1", {30, 30}, Qt::LeftButton, Qt::LeftButton, {40, -25}},
        {"left_on_button_column", "img1", {90, 600}, Qt::LeftButton, Qt::LeftButton, {40, -25}},
        {"right_button", "img1", {30, 30}, Qt::RightButton, Qt::RightButton, {0, 0}},
        {"move_without_press", "img1", {30, 30}, Qt::NoButton, Qt::NoButton, {0, 0}},
        {"left_on_a_button_picture", "imgSave", {30, 30}, Qt::LeftButton, Qt::LeftButton, {0, 0}},
    };
    TParamter& w = show();
    for (const Case& c : cases) {
        const QPoint before = w.pos();
        QWidget& picture = find(c.picture);
        const QPoint from = c.from;
        if (c.button == Qt::NoButton) {
            const QPoint start = picture.mapToGlobal(from);
            SendMouse(picture, QEvent::MouseMove, start, Qt::NoButton, Qt::NoButton);
            SendMouse(picture, QEvent::MouseMove, start + QPoint(40, -25), Qt::NoButton,
                      Qt::NoButton);
        } else {
            Drag(picture, from, QPoint(40, -25), c.button, c.held);
        }
        EXPECT_EQ(w.pos() - before, c.expectedMove) << c.name;
        w.imgSave0->hide();
    }
}

TEST_F(WindowTest, APressOfEitherButtonBringsThePressedTwinToTheFront) {
    TParamter& w = show();
    const std::pair<TPicture*, TPicture*> pairs[] = {{w.imgRead, w.imgRead0},
                                                     {w.imgSave, w.imgSave0},
                                                     {w.imgOpen, w.imgOpen0},
                                                     {w.imgExport, w.imgExport0}};
    for (const auto& [normal, pressed] : pairs) {
        for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
            pressed->hide();
            QTest::mousePress(normal, button);
            EXPECT_TRUE(pressed->isVisible()) << normal->objectName().toStdString();
            EXPECT_EQ(w.childAt(normal->geometry().center()), pressed)
                << normal->objectName().toStdString() << " button " << button;
            QTest::mouseRelease(normal, button);
        }
    }
}

TEST_F(WindowTest, ARightClickOnReadShowsThePressedLookAndReadsNothing) {
    ports.ports = std::vector<std::string>{};
    TParamter& w = show();
    QTest::mouseClick(w.imgRead, Qt::RightButton);
    EXPECT_TRUE(w.imgRead0->isVisible());
    EXPECT_EQ(w.childAt(w.imgRead->geometry().center()), w.imgRead0);
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_FALSE(w.tmrRead->isActive());

    // The next left click lands on the pressed picture, which runs Read too.
    QTest::mouseClick(w.imgRead0, Qt::LeftButton);
    EXPECT_FALSE(w.imgRead0->isVisible());
    EXPECT_FALSE(prompt.shown.empty());
}

TEST_F(WindowTest, TheMinimisePictureMinimisesTheWindow) {
    TParamter& w = show();
    QTest::mouseClick(w.imgMin, Qt::LeftButton);
    EXPECT_TRUE(w.isMinimized());
}

// Records what the window looks like at the quit pause, and can fail there.
struct ProbeSleeper final : ISleeper {
    std::function<void(int)> onSleep;
    void sleepMs(int milliseconds) override { onSleep(milliseconds); }
};

TEST_F(WindowTest, QuitAsksFirstThenClosesThePortBeforeTheWindow) {
    korvel::testing::PtyPair pty;
    ProbeSleeper probe;
    std::vector<std::string> steps;
    TParamter w(Services{ports, prompt, clock, probe, opener, files});
    w.show();
    probe.onSleep = [&](int ms) {
        steps.push_back("sleep " + std::to_string(ms) +
                        (w.Comm->PortHandle() == 0 ? " closed" : " open") +
                        (w.isVisible() ? " shown" : " hidden"));
    };
    w.Comm->setCommName(pty.slavePath());
    w.Comm->OpenPort();
    ASSERT_NE(w.Comm->PortHandle(), 0);
    w.tmrRead->start();

    prompt.answer = false;
    QTest::mouseClick(w.imgClose, Qt::LeftButton);
    ASSERT_EQ(prompt.shown.size(), 1U);
    EXPECT_EQ(prompt.shown[0].first, "confirm");
    EXPECT_EQ(prompt.shown[0].second, "Are you sure you want to quit the system?");
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.tmrRead->isActive());
    EXPECT_NE(w.Comm->PortHandle(), 0);
    EXPECT_TRUE(steps.empty());

    prompt.answer = true;
    QTest::mouseClick(w.imgClose, Qt::LeftButton);
    EXPECT_EQ(steps, (std::vector<std::string>{"sleep 100 closed shown"}));
    EXPECT_EQ(w.Comm->PortHandle(), 0);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(prompt.shown.size(), 2U);
}

TEST_F(WindowTest, AFailureWhileQuittingIsShownAndTheWindowClosesAllTheSame) {
    ProbeSleeper probe;
    probe.onSleep = [](int) { throw std::runtime_error("Close failed"); };
    TParamter w(Services{ports, prompt, clock, probe, opener, files});
    w.show();
    w.imgCloseClick();
    ASSERT_EQ(prompt.shown.size(), 2U);
    EXPECT_EQ(prompt.shown[1], (std::pair<std::string, QString>{"plain", "Close failed"}));
    EXPECT_FALSE(w.isVisible());
}

// Help.pdf lies next to the program file; one test, so that no other case
// sees the document appear and go in the test program's directory.
TEST_F(WindowTest, HelpOpensTheDocumentNextToTheProgramAndNothingWhenItIsMissing) {
    EXPECT_EQ(HelpDocumentPath(QStringLiteral("/opt/korvel/bin/korvel")),
              "/opt/korvel/bin/Help.pdf");
    EXPECT_EQ(HelpDocumentPath(QStringLiteral("/korvel")), "/Help.pdf");

    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/Help.pdf");
    ASSERT_FALSE(QFileInfo::exists(path)) << "leftover " << path.toStdString();
    TParamter& w = show();
    QTest::mouseClick(w.imgHelp, Qt::LeftButton);
    EXPECT_TRUE(opener.opened.empty());
    EXPECT_TRUE(prompt.shown.empty());

    QFile document(path);
    ASSERT_TRUE(document.open(QIODevice::WriteOnly));
    document.close();
    QTest::mouseClick(w.imgHelp, Qt::LeftButton);
    document.remove();
    EXPECT_EQ(opener.opened, (std::vector<QString>{path}));
    EXPECT_TRUE(prompt.shown.empty());
}

} // namespace
} // namespace korvel::window
