// Open and Export: settings files into and out of the controls, checked through
// the frame a later Save builds.
#include "WindowFixture.h"

#include "protocol/SettingsCodec.h"
#include "settingsfile/SettingsFile.h"
#include "tools/sim/SimBlock.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <functional>

namespace korvel::window::testing_support {
namespace {

using namespace korvel::protocol;
using Prompts = std::vector<std::pair<std::string, QString>>;

// What the logger reported before a file is opened; much of it lies in hidden controls.
LoggerSettings ReadSettings() {
    LoggerSettings s;
    s.serialNumber = "KV2024007";
    s.temperatureUnit = TemperatureUnit::Fahrenheit;
    s.timeZone = 330;
    s.logInterval = {2, 30, 20};
    s.start.mode = StartMode::Delayed;
    s.start.delay = {5, 45};
    s.stopMode = StopMode::ButtonOrSoftware;
    s.probeMode = ProbeMode::External;
    s.cycleSwitch = CycleSwitch::Closed;
    s.calibration.temperature = Decimal{true, 150};
    s.calibration.humidity = Decimal{false, 350};
    s.temporaryPdf = true;
    s.password = std::optional<std::string>("abc123");
    s.tripInformation = "Line one\r\nLine two";
    return s;
}

class OpenExportTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(dir.isValid());
    }

    void read(const LoggerSettings& settings) {
        const Block reply = sim::ReadReplyFrom(EncodeSaveFrame(settings, Block{}, DateTime{}));
        window->guarded([&] {
            window->CommReceiveData(*window->Comm, reply.data(),
                                    static_cast<std::uint16_t>(reply.size()));
        });
    }

    QString write(const char* name, const QByteArray& text) {
        QString path = dir.filePath(QString::fromLatin1(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return path;
    }

    void open(const QString& path) {
        files.toOpen = path;
        window->guarded([&] { window->imgOpenClick(); });
    }

    // The frame Save builds now (no logger was found, so none is sent).
    Block save() {
        window->guarded([&] { window->imgSaveClick(); });
        return Exchange(*window).sendBuffer;
    }

    // The System Time lists, which a save writes as the clock.
    DateTime shownClock() const {
        const auto number = [](const QComboBox* list) { return list->currentText().toInt(); };
        const TParamter& w = *window;
        return {number(w.cbbSystemTimeY),
                static_cast<std::uint8_t>(number(w.cbbSystemTimeM)),
                static_cast<std::uint8_t>(number(w.cbbSystemTimeD)),
                static_cast<std::uint8_t>(number(w.cbbSystemTimeH)),
                static_cast<std::uint8_t>(number(w.cbbSystemTimeN)),
                static_cast<std::uint8_t>(number(w.cbbSystemTimeS))};
    }

    QTemporaryDir dir;
};

TEST_F(OpenExportTest, OpenShowsTheFilesKeysKeepsTheRestAndSaveWritesThem) {
    TParamter& w = show();
    read(ReadSettings());
    const QString calibrationShown = w.edtCalibrationTemp->text();
    prompt.shown.clear();

    open(write("part.json", R"({
        "korvel": 1,
        "serial_number": "KV2099001",
        "time_zone": "UTC+08:00",
        "start": {"mode": "timed", "at": "2027-05-06T07:08:09"},
        "alarm": {"type": "single", "low": -5.5, "high": 30},
        "trip_information": "Box 7\nShelf 2"
    })"));

    EXPECT_EQ(prompt.shown, Prompts{});
    EXPECT_EQ(w.edtSerialNumber->text(), "KV2099001");
    EXPECT_EQ(w.cbbTimeZone->currentText(), "UTC+08:00");
    EXPECT_EQ(w.cbbStartMode->currentText(), "Timing");
    EXPECT_EQ(w.cbbStartTimeY->currentText(), "2027");
    EXPECT_TRUE(w.rbSingleAlarm->isChecked());
    EXPECT_TRUE(w.pnlSingleAlarm->isVisible());
    EXPECT_EQ(w.mmoTripInfo->toPlainText(), "Box 7\nShelf 2");
    // Not in the file: as the read left them.
    EXPECT_TRUE(w.rbF->isChecked());
    EXPECT_EQ(w.edtCalibrationTemp->text(), calibrationShown);
    EXPECT_EQ(w.cbbPasswordStartup->currentText(), "Enable");

    LoggerSettings expected = ReadSettings();
    expected.serialNumber = "KV2099001";
    expected.timeZone = 480;
    expected.start.mode = StartMode::Timing;
    expected.start.at = {2027, 5, 6, 7, 8, 9};
    expected.alarm.kind = AlarmChoice::Single;
    expected.alarm.low = Decimal{true, 550};
    expected.alarm.high = Decimal{false, 3000};
    expected.tripInformation = "Box 7\r\nShelf 2";
    const Block before = Exchange(w).sendBuffer;
    const DateTime shown = shownClock();
    EXPECT_EQ(save(), EncodeSaveFrame(expected, before, shown));
}

TEST_F(OpenExportTest, RefusedFileNamesTheKeyAndChangesNothing) {
    const struct {
        const char* name;
        QByteArray text;
        const char* named; // what the prompt must name
    } cases[] = {
        {"not JSON", "{\"korvel\": 1,\n  \"serial_number\": ", "line 2"},
        {"unknown key", R"({"korvel": 1, "serial_numbr": "KV2099001"})", "serial_numbr"},
        {"bad value", R"({"korvel": 1, "time_zone": "UTC+05:30", "log_interval": "25:00:00"})",
         "log_interval"},
        {"alarm limit out of range", R"({"korvel": 1, "alarm": {"type": "single", "high": 300,
         "low": 2}})",
         "alarm.high"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TParamter& w = show();
        read(ReadSettings());
        const Block first = save();
        prompt.shown.clear();

        open(write("bad.json", c.text));

        ASSERT_EQ(prompt.shown.size(), 1U);
        EXPECT_EQ(prompt.shown[0].first, "warning");
        EXPECT_TRUE(prompt.shown[0].second.contains("bad.json"))
            << prompt.shown[0].second.toStdString();
        EXPECT_TRUE(prompt.shown[0].second.contains(c.named))
            << prompt.shown[0].second.toStdString();
        EXPECT_EQ(w.edtSerialNumber->text(), "KV2024007");
        EXPECT_EQ(save(), first);
    }
}

TEST_F(OpenExportTest, NoFileChosenOrNoneThereChangesNothing) {
    TParamter& w = show();
    read(ReadSettings());
    prompt.shown.clear();
    open(QString());
    EXPECT_EQ(prompt.shown, Prompts{});
    open(dir.filePath("missing.json"));
    ASSERT_EQ(prompt.shown.size(), 1U);
    EXPECT_TRUE(prompt.shown[0].second.startsWith("Cannot open missing.json"));
    EXPECT_EQ(w.edtSerialNumber->text(), "KV2024007");
}

TEST_F(OpenExportTest, ExportThenOpenInAFreshWindowSavesTheSameFrame) {
    TParamter& w = show();
    LoggerSettings logger = ReadSettings();
    logger.alarm.kind = AlarmChoice::Multiple;
    // The reply encodes levels as a save does (packed BCD) and the window reads
    // them as plain bytes: numbers below ten read the same either way.
    const auto level = [](Decimal limit, AlarmMode mode, Duration delay) {
        return std::optional<LevelSetting>(AlarmLevel{limit, mode, delay});
    };
    logger.alarm.levels[Index(Threshold::L1)] =
        level({true, 205}, AlarmMode::Cumulative, {1, 2, 3});
    logger.alarm.levels[Index(Threshold::H1)] = level({false, 809}, AlarmMode::Single, {});
    logger.alarm.levels[Index(Threshold::HumidityH1)] =
        level({false, 901}, AlarmMode::Single, {0, 5, 0});
    read(logger);
    // The clock stays as shown, so both saves write the same System Time.
    w.tmrSysTime->stop();
    w.edtSerialNumber->setText("KV2024999");
    w.cbbLogIntervalM->setCurrentIndex(5);
    files.toSave = dir.filePath("exported.json");
    window->guarded([&] { window->imgExportClick(); });
    ASSERT_EQ(prompt.shown.size(), 1U) << prompt.shown.back().second.toStdString();
    const Block saved = save();

    show().tmrSysTime->stop();
    open(files.toSave);
    EXPECT_EQ(save(), saved);
}

TEST_F(OpenExportTest, ExportRefusesWhatSaveRefusesWithTheSameMessage) {
    const struct {
        const char* name;
        std::function<void(TParamter&)> enter;
    } cases[] = {
        {"serial number of 8 characters",
         [](TParamter& w) { w.edtSerialNumber->setText("KV202400"); }},
        {"calibration its byte cannot carry",
         [](TParamter& w) { w.edtCalibrationTemp->setText("256"); }},
        {"a minus inside the number",
         [](TParamter& w) { w.edtCalibrationHumidity->setText("1-5"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TParamter& w = show();
        w.edtSerialNumber->setText("KV2024007");
        c.enter(w);
        files.toSave = dir.filePath("refused.json");
        prompt.shown.clear();
        window->guarded([&] { window->imgExportClick(); });
        const Prompts exported = prompt.shown;
        prompt.shown.clear();
        save();

        ASSERT_FALSE(prompt.shown.empty());
        EXPECT_EQ(exported, Prompts{prompt.shown.front()});
        EXPECT_FALSE(QFile::exists(files.toSave));
        EXPECT_EQ(files.asked, 0);
    }
}

} // namespace
} // namespace korvel::window::testing_support
