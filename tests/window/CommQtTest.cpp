// The window's hand-over: Qt posted events on the constructing thread, also
// while a modal message box runs.
#include "window/QtNotificationSink.h"

#include "serial/Comm.h"

#include <QMessageBox>
#include <QTimer>

#include <thread>

#include <gtest/gtest.h>

#include "tests/support/SerialPty.h"

namespace korvel::window {

using serial::TComm;
namespace {

using namespace std::chrono_literals;

TEST(CommQtTest, ChunksReachTheOwnerInOrderInsideAModalLoop) {
    korvel::testing::PtyPair pty;
    TComm comm(MakeQtNotificationSink);
    comm.setOutx_XonXoffFlow(false);
    comm.setInx_XonXoffFlow(false);
    comm.setCommName(pty.slavePath());
    comm.setReadIntervalTimeout(200);
    comm.OpenPort();

    QMessageBox box(QMessageBox::Warning, "Prompt", "Data Check Error");
    std::vector<std::vector<std::uint8_t>> chunks;
    comm.OnReceiveData = [&](TComm& sender, const std::uint8_t* bytes, std::uint16_t length) {
        EXPECT_EQ(bytes[length], 0) << "a zero byte follows the chunk";
        chunks.emplace_back(bytes, bytes + length);
        if (chunks.size() == 2) {
            sender.ClosePort();
            box.done(QMessageBox::Ok);
        }
    };
    std::thread device([&] {
        pty.Write({1, 2, 3});
        std::this_thread::sleep_for(300ms);
        pty.Write({4, 5});
    });
    QTimer::singleShot(5000, &box, [&] { box.done(QMessageBox::Cancel); });
    const int result = box.exec();
    device.join();

    EXPECT_EQ(result, QMessageBox::Ok);
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0], (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(chunks[1], (std::vector<std::uint8_t>{4, 5}));
    EXPECT_EQ(comm.PortHandle(), 0);
}

} // namespace
} // namespace korvel::window
