// The window's saves in the history, with a simulated logger on a
// pseudo-terminal and a history in memory.
#include "WindowFixture.h"

#include "tests/support/FakeHistory.h"
#include "tools/sim/LoggerSimulator.h"
#include "tools/sim/SimBlock.h"
#include "window/LastSaveStatus.h"

#include <QTimeZone>

#include <atomic>
#include <iostream>
#include <sstream>

namespace korvel::window::testing_support {
namespace {

bool Shown(const RecordingPrompt& prompt, const char* kind, const char* text) {
    const std::pair<std::string, QString> wanted{kind, QString::fromLatin1(text)};
    return std::find(prompt.shown.begin(), prompt.shown.end(), wanted) != prompt.shown.end();
}

// Standard error, caught for the length of a test.
class CaughtStderr {
public:
    CaughtStderr() : old_(std::cerr.rdbuf(caught_.rdbuf())) {}
    ~CaughtStderr() { std::cerr.rdbuf(old_); }
    std::string Text() const { return caught_.str(); }

private:
    std::ostringstream caught_;
    std::streambuf* old_;
};

class SaveHistoryTest : public WindowTest {
protected:
    // Reads the logger, then saves; true once the read succeeded.
    bool ReadAndSave(sim::LoggerSimulator& logger) {
        ports.ports = std::vector<std::string>{logger.PortPath()};
        TParamter& w = show();
        w.saveRecord.SetHistory(&history, "korvel 3.0.0");
        w.tmrRead->setInterval(60'000);
        QTest::mouseClick(w.imgRead, Qt::LeftButton);
        w.tmrReadTimer();
        if (!WaitFor([&] { return Shown(prompt, "information", "Read Success"); })) {
            return false;
        }
        QTest::mouseClick(w.imgSave, Qt::LeftButton);
        return true;
    }

    // Reads the logger and gives the status line's text; empty when the read failed.
    QString ReadStatus(sim::LoggerSimulator& logger) {
        ports.ports = std::vector<std::string>{logger.PortPath()};
        TParamter& w = show();
        w.saveRecord.SetHistory(&history, "korvel 3.0.0");
        w.tmrRead->setInterval(60'000);
        QTest::mouseClick(w.imgRead, Qt::LeftButton);
        w.tmrReadTimer();
        if (!WaitFor([&] { return Shown(prompt, "information", "Read Success"); })) {
            return "(no read)";
        }
        return w.lblScanStatus->text();
    }

    testing::FakeHistory history;
};

TEST_F(SaveHistoryTest, AReadShowsWhenTheLoggerWasLastSavedByWhomAndWhere) {
    const history::LastSave earlier{std::chrono::system_clock::now() - std::chrono::hours(30),
                                    "anna", "bench-3", "confirmed"};
    history.earlier["T23110042"] = earlier;
    sim::LoggerSimulator logger;
    const QString line = ReadStatus(logger);
    EXPECT_EQ(line.toStdString(), LastSaveText(earlier, QTimeZone::systemTimeZone(), QLocale()));
    EXPECT_TRUE(line.startsWith("Last saved ")) << line.toStdString();
    EXPECT_TRUE(line.endsWith(" by anna on bench-3")) << line.toStdString();
    EXPECT_EQ(history.lookups, 1);
}

TEST_F(SaveHistoryTest, AReadOfALoggerNeverSavedShowsThePlainStatus) {
    sim::LoggerSimulator logger;
    EXPECT_EQ(ReadStatus(logger), QString());
    EXPECT_EQ(history.lookups, 1);
}

TEST_F(SaveHistoryTest, ASaveShowsItselfAsTheLastSave) {
    history.earlier["T23110042"] = {std::chrono::system_clock::now() - std::chrono::hours(30),
                                    "anna", "bench-3", "not acknowledged"};
    sim::LoggerSimulator logger;
    ASSERT_TRUE(ReadStatus(logger).endsWith(": not acknowledged"));
    QTest::mouseClick(window->imgSave, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return Shown(prompt, "information", "Save Success"); }));
    const history::SaveAttempt attempt = history.Saves().at(0).attempt;
    EXPECT_EQ(window->lblScanStatus->text().toStdString(),
              LastSaveText(history::LastSave{attempt.time, attempt.operatorName, attempt.host,
                                             "not verified"},
                           QTimeZone::systemTimeZone(), QLocale()));
}

TEST_F(SaveHistoryTest, ASaveRecordsItsAttemptAndTheAcknowledgement) {
    sim::LoggerSimulator logger;
    ASSERT_TRUE(ReadAndSave(logger));
    ASSERT_TRUE(WaitFor([&] { return Shown(prompt, "information", "Save Success"); }));

    const auto saves = history.Saves();
    ASSERT_EQ(saves.size(), 1u);
    const history::SaveAttempt& attempt = saves[0].attempt;
    EXPECT_EQ(attempt.program, "korvel 3.0.0");
    EXPECT_EQ(attempt.port, logger.PortPath());
    EXPECT_EQ(attempt.serialNumber, "T23110042");
    const sim::Block reply = sim::ReadReplyFrom(sim::DefaultBlock());
    EXPECT_EQ(attempt.before, std::vector<std::uint8_t>(reply.begin(), reply.end()));
    const sim::Block saved = logger.CurrentBlock();
    EXPECT_EQ(attempt.frame, std::vector<std::uint8_t>(saved.begin(), saved.end()));
    ASSERT_TRUE(saves[0].outcome);
    // The window does not read back what it saved.
    EXPECT_EQ(saves[0].outcome->result, "not verified");
    EXPECT_TRUE(saves[0].outcome->acknowledged);
}

TEST_F(SaveHistoryTest, ASaveNeverAnsweredIsRecordedWhenTheWindowCloses) {
    std::atomic<sim::LoggerSimulator*> simulated = nullptr;
    sim::LoggerSimulator::Options options;
    options.onSave = [&](const sim::Block&) { simulated.load()->SetMode(sim::Mode::Silent); };
    sim::LoggerSimulator logger(options);
    simulated = &logger;
    ASSERT_TRUE(ReadAndSave(logger));
    ASSERT_TRUE(logger.WaitForSaves(1, std::chrono::seconds(5)));
    EXPECT_FALSE(history.Saves()[0].outcome);

    window.reset();
    const auto saves = history.Saves();
    ASSERT_TRUE(saves[0].outcome);
    EXPECT_EQ(saves[0].outcome->result, "not acknowledged");
    EXPECT_FALSE(saves[0].outcome->acknowledged);
}

TEST_F(SaveHistoryTest, AHistoryThatRefusesCostsAWarningOnStandardErrorOnly) {
    const CaughtStderr stderrText;
    history.refuse = true;
    sim::LoggerSimulator logger;
    ASSERT_TRUE(ReadAndSave(logger));
    ASSERT_TRUE(WaitFor([&] { return Shown(prompt, "information", "Save Success"); }));
    EXPECT_EQ(logger.SaveCount(), 1u);
    EXPECT_EQ(prompt.shown, (std::vector<std::pair<std::string, QString>>{
                                {"information", "Read Success"}, {"information", "Save Success"}}));
    EXPECT_NE(stderrText.Text().find("korvel: warning: the history could not record this save"),
              std::string::npos)
        << stderrText.Text();
}

} // namespace
} // namespace korvel::window::testing_support
