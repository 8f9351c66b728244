// The window's saves reach the shared history: each recorded row is sent by
// the outbox's worker, the rows an earlier run left waiting are sent at the
// next start, and a server that never answers holds no save up.
#include "app/ProductionServices.h"
#include "tests/app/HistoryOnFirstSaveFixture.h"
#include "tests/support/PgServer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

namespace korvel::app {
namespace {

using namespace std::chrono_literals;

class WindowSharedHistory : public HistoryOnFirstSaveTest {
protected:
    testing::PgServer& server = testing::SharedServerOfRun();

    // The rows the server holds, once it holds `rows`, or what it had after 20 s.
    std::string RowsOnServer(const std::string& database, int rows) const {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        std::string count;
        do {
            count = server.Scalar(database, "bench1", "SELECT count(*) FROM korvel.saves");
            if (count == std::to_string(rows)) {
                break;
            }
            std::this_thread::sleep_for(50ms);
        } while (std::chrono::steady_clock::now() < deadline);
        return count;
    }
};

TEST_F(WindowSharedHistory, SavesAreSentAndAnEarlierRunsRowsAtTheNextStart) {
    ASSERT_TRUE(server.Running()) << "the test server did not start";
    const std::string database = server.NewDatabase();
    history::SharedTarget target{server.Conninfo(database, "bench1"), "bench-3"};
    {
        // A run without the server configured: its rows stay in the file.
        HistoryOnFirstSave earlierRun(warnings);
        Save(earlierRun, "A1");
    }
    HistoryOnFirstSave history(warnings, target);
    history.SendWaitingRows();
    EXPECT_EQ(RowsOnServer(database, 2), "2");
    Save(history, "B2");
    EXPECT_EQ(RowsOnServer(database, 4), "4");
    EXPECT_EQ(server.Scalar(database, "bench1",
                            "SELECT count(DISTINCT bench_name) || ' ' || min(bench_name) "
                            "FROM korvel.saves"),
              "1 bench-3");
    EXPECT_EQ(warnings.str(), "");
}

// A server that takes the connection and never answers: the save is recorded
// at once, and the window's thread never waits for the server.
TEST_F(WindowSharedHistory, AServerThatNeverAnswersHoldsNoSaveUp) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    socklen_t size = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    history::SharedTarget target{"host=127.0.0.1 port=" + std::to_string(ntohs(address.sin_port)) +
                                     " dbname=korvel user=bench1",
                                 "bench-3"};
    target.connectWait = 2s;
    {
        HistoryOnFirstSave history(warnings, target);
        const auto start = std::chrono::steady_clock::now();
        Save(history, "C3");
        EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
        const auto last = history.LastSaveOf("C3");
        ASSERT_TRUE(last);
        EXPECT_EQ(last->result, "not verified");
    }
    ::close(listener);
}

} // namespace
} // namespace korvel::app
