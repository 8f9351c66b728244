// The decimal character through the window: typed into the value edits, shown
// from a read reply and read back by the save, in locales whose separator is
// the full stop, a comma, or a character with no single-byte form (U+066B).
#include "WindowFixture.h"

#include "protocol/Frame.h"
#include "tools/sim/SimBlock.h"

namespace korvel::window {
namespace {

using namespace korvel::protocol;
using testing_support::Exchange;
using testing_support::WindowTest;
using Bytes = std::vector<std::uint8_t>;

const QChar kArabicSeparator(0x066B);

QLocale Persian() {
    return QLocale(QLocale::Persian, QLocale::Iran);
}

QLocale German() {
    return QLocale(QLocale::German, QLocale::Germany);
}

// Types `text` key by key; QTest::keyClicks knows no key for U+066B.
void Type(QLineEdit* edit, const QString& text) {
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Click, edit, static_cast<Qt::Key>(c.toUpper().unicode()),
                            QString(c), Qt::NoModifier);
    }
}

class DecimalSeparatorTest : public WindowTest {
protected:
    TParamter& showIn(const QLocale& locale) {
        QLocale::setDefault(locale);
        return show();
    }

    void deliver(const sim::Block& block) {
        window->guarded([&] {
            window->CommReceiveData(*window->Comm, block.data(),
                                    static_cast<std::uint16_t>(block.size()));
        });
    }
};

TEST_F(DecimalSeparatorTest, TheFilterTakesOneFullStopOrLocaleSeparator) {
    const struct {
        const char* name;
        QLocale locale;
        QString typed;
        QString expected;
    } cases[] = {
        {"full stop locale refuses a comma", QLocale::c(), "-1,5.2.7", "-15.27"},
        {"comma locale takes a full stop", German(), "-1.5,2", "-1.52"},
        {"comma locale takes its comma once", German(), "1,5.2,7", "1,527"},
        {"U+066B locale takes a full stop", Persian(), "2.5", "2.5"},
        {"U+066B locale takes its separator once", Persian(), QStringLiteral("1\u066B5.2\u066B"),
         QStringLiteral("1\u066B52")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TParamter& w = showIn(c.locale);
        w.edtSingleH1->clear();
        Type(w.edtSingleH1, c.typed);
        EXPECT_EQ(w.edtSingleH1->text(), c.expected);
    }
}

TEST_F(DecimalSeparatorTest, ValuesAreShownWithTheLocaleSeparatorWhereItHasASingleByte) {
    sim::Block block = sim::DefaultBlock();
    // 25 and hundredths byte 150, as a logger may send it.
    const std::uint8_t calibrations[] = {0, 25, 150, 1, 2, 5};
    std::copy(std::begin(calibrations), std::end(calibrations),
              block.begin() + offset::kCalibrationTemperature);
    const sim::Block reply = sim::ReadReplyFrom(block);

    const struct {
        const char* name;
        QLocale locale;
        const char* temperature;
        const char* humidity;
    } cases[] = {
        {"full stop", QLocale::c(), "25.150", "-2.05"},
        {"comma", German(), "25,150", "-2,05"},
        {"U+066B has no single byte", Persian(), "25.150", "-2.05"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TParamter& w = showIn(c.locale);
        deliver(reply);
        EXPECT_EQ(w.edtCalibrationTemp->text(), c.temperature);
        EXPECT_EQ(w.edtCalibrationHumidity->text(), c.humidity);
    }
}

TEST_F(DecimalSeparatorTest, TheSaveReadsTheFullStopAndTheLocaleSeparatorAlike) {
    const struct {
        const char* name;
        QLocale locale;
        QString calibration; // -1.5
        QString upper;       // 25.5
        QString lower;       // -0.05
    } cases[] = {
        {"comma locale", German(), "-1,5", "25.5", "-0,05"},
        {"U+066B locale", Persian(), QStringLiteral("-1\u066B5"), "25.5",
         QStringLiteral("-0\u066B05")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TParamter& w = showIn(c.locale);
        w.edtSerialNumber->setText("KV2024007");
        w.edtCalibrationTemp->setEnabled(true);
        w.edtCalibrationTemp->clear();
        Type(w.edtCalibrationTemp, c.calibration);
        w.rbSingleAlarm->setChecked(true);
        Type(w.edtSingleH1, c.upper);
        Type(w.edtSingleL1, c.lower);
        prompt.shown.clear();

        window->guarded([&] { w.imgSaveClick(); });

        const auto& b = Exchange(w).sendBuffer;
        EXPECT_EQ(Bytes(b.begin() + offset::kCalibrationTemperature,
                        b.begin() + offset::kCalibrationTemperature + 3),
                  (Bytes{1, 1, 50}));
        EXPECT_EQ(Bytes(b.begin() + offset::kTemperatureL1, b.begin() + offset::kTemperatureL1 + 3),
                  (Bytes{1, 0, 5}));
        EXPECT_EQ(Bytes(b.begin() + offset::kTemperatureH1, b.begin() + offset::kTemperatureH1 + 3),
                  (Bytes{0, 25, 50}));
        // Built and only then refused for want of a logger's port.
        EXPECT_EQ(prompt.shown, (std::vector<std::pair<std::string, QString>>{
                                    {"warning", "Can't Open the Port"}}));
    }
}

} // namespace
} // namespace korvel::window
