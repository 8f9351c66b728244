// The about box: a fresh modal window per click, shown over the veil.
#include "WindowFixture.h"

#include "window/AboutUnt.h"
#include "window/Chrome.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <functional>

namespace korvel::window {
namespace {

using testing_support::WindowTest;

// Runs `inspect` on the about window once it is open inside its modal loop, so
// the click that opens it can return. A bound closes any window left open.
void WhileAboutIsOpen(const std::function<void(TAboutFrm&)>& inspect) {
    auto* poll = new QTimer();
    auto* started = new QElapsedTimer();
    started->start();
    QObject::connect(poll, &QTimer::timeout, poll, [=] {
        auto* about = qobject_cast<TAboutFrm*>(QApplication::activeModalWidget());
        if (about != nullptr && about->isVisible()) {
            poll->deleteLater();
            delete started;
            inspect(*about);
        } else if (started->elapsed() > 5000) {
            poll->deleteLater();
            delete started;
            ADD_FAILURE() << "no about window opened";
            if (QWidget* modal = QApplication::activeModalWidget()) {
                modal->close();
            }
        }
    });
    poll->start(10);
}

TEST_F(WindowTest, EachAboutClickOpensAFreshModalWindowOverTheVeil) {
    TParamter& w = show();
    EXPECT_FALSE(w.imgTran->isVisible());

    QPointer<TAboutFrm> first;
    for (int round = 0; round < 2; ++round) {
        bool inspected = false;
        WhileAboutIsOpen([&](TAboutFrm& about) {
            inspected = true;
            EXPECT_EQ(about.parent(), nullptr);
            EXPECT_TRUE(about.windowFlags() & Qt::FramelessWindowHint);
            EXPECT_TRUE(about.isModal());
            EXPECT_EQ(about.size(), QSize(502, 208));
            EXPECT_LE(
                (about.frameGeometry().center() - w.frameGeometry().center()).manhattanLength(), 2);
            EXPECT_EQ(about.lblTemperatureH3->text(), "Software Version: Korvel V3.0");
            EXPECT_EQ(about.lblTemperatureH3->geometry(), QRect(47, 81, 233, 21));
            EXPECT_FALSE(about.imgBack->pixmap().isNull());
            EXPECT_EQ(about.childAt(400, 100), about.imgBack);

            // The veil lies over the whole window, its groups included.
            EXPECT_TRUE(w.imgTran->isVisible());
            EXPECT_EQ(w.childAt(10, 10), w.imgTran);
            EXPECT_EQ(w.childAt(w.grb1->geometry().center()), w.imgTran);
            first = &about;
            QTest::mouseClick(about.imgBack, Qt::LeftButton);
        });
        QTest::mouseClick(w.imgAbout, Qt::LeftButton);
        EXPECT_TRUE(inspected);
        EXPECT_FALSE(w.imgTran->isVisible());
        // Closed means destroyed: the next click has to make a new window.
        EXPECT_TRUE(first.isNull());
    }
}

TEST_F(WindowTest, OnlyBackClosesTheAboutWindow) {
    TParamter& w = show();
    bool stayedOpen = false;
    WhileAboutIsOpen([&](TAboutFrm& about) {
        QTest::keyClick(&about, Qt::Key_Escape);
        QTest::keyClick(about.imgBack, Qt::Key_Escape);
        QCoreApplication::processEvents();
        stayedOpen = about.isVisible() && w.imgTran->isVisible();
        QTest::mouseClick(about.imgBack, Qt::LeftButton);
    });
    QTest::mouseClick(w.imgAbout, Qt::LeftButton);
    EXPECT_TRUE(stayedOpen);
    EXPECT_FALSE(w.imgTran->isVisible());
}

// The notices lie where the install layout puts them, seen from the program;
// one test, so that no other case sees the file appear and go.
TEST_F(WindowTest, TheAboutWindowLinksTheThirdPartyNoticesOnlyWhereTheyAreInstalled) {
    TParamter& w = show();
    const QString path = NoticesPath(QCoreApplication::applicationFilePath());
    ASSERT_FALSE(QFileInfo::exists(path)) << "leftover " << path.toStdString();
    for (const bool installed : {false, true}) {
        SCOPED_TRACE(installed ? "installed" : "missing");
        QFile notices(path);
        if (installed) {
            ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
            ASSERT_TRUE(notices.open(QIODevice::WriteOnly));
            notices.close();
        }
        bool shown = false;
        WhileAboutIsOpen([&](TAboutFrm& about) {
            shown = about.lblNotices->isVisible();
            if (shown) {
                // On the link's first line, which is centred.
                QTest::mouseClick(about.lblNotices, Qt::LeftButton, {},
                                  QPoint(about.lblNotices->width() / 2,
                                         about.lblNotices->fontMetrics().height() / 2));
            }
            QTest::mouseClick(about.imgBack, Qt::LeftButton);
        });
        QTest::mouseClick(w.imgAbout, Qt::LeftButton);
        notices.remove();
        EXPECT_EQ(shown, installed);
    }
    EXPECT_EQ(opener.opened, (std::vector<QString>{path}));
}

} // namespace
} // namespace korvel::window
