// The field rules as a user meets them: typed keys, list picks, radio clicks and
// check boxes, and the enabling operations the read handler will call.
#include "WindowFixture.h"

#include "window/FieldRules.h"

#include <QApplication>
#include <QClipboard>

namespace korvel::window {
namespace {

using testing_support::SeenByUser;
using testing_support::WindowTest;

struct TypingCase {
    const char* name;
    const char* edit;
    const char* start; // text set by the program first
    bool selectAll;    // the whole start text is selected before typing
    bool caretAtStart; // the caret is moved to the start before typing
    const char* typed;
    const char* expected;
};

void PrintTo(const TypingCase& c, std::ostream* os) {
    *os << c.name;
}

const TypingCase kTyping[] = {
    {"MinusAnywhereOnePoint", "edtTemperatureH3", "", false, false, "-1-2.5.3", "-1-2.53"},
    {"PointRefusedWhenSelectionHoldsOne", "edtSingleH1", "12.5", true, false, ".", "12.5"},
    {"DigitReplacesSelection", "edtSingleH1", "12.5", true, false, "7", "7"},
    {"SpaceAndLettersRefused", "edtSingleL1", "", false, false, "1 a+2e", "12"},
    {"CalibrationIsNumeric", "edtCalibrationHumidity", "", false, false, "-0.5%", "-0.5"},
    {"SerialLetterOnlyFirst", "edtSerialNumber", "", false, false, "AB12c3", "A123"},
    {"SerialSmallLetterFirst", "edtSerialNumber", "", false, false, "k07", "k07"},
    {"SerialLetterRefusedBeforeDigits", "edtSerialNumber", "123", false, true, "Z", "123"},
    {"SerialNineCharacters", "edtSerialNumber", "", false, false, "Q123456789", "Q12345678"},
    {"SerialPunctuationRefused", "edtSerialNumber", "", false, false, "-.9", "9"},
    {"PasswordLettersAndDigits", "edtPassword", "", false, false, "aB3!x", "aB3x"},
    {"PasswordSixCharacters", "edtPassword", "", false, false, "abc1234", "abc123"},
};

class TypingTest : public WindowTest, public ::testing::WithParamInterface<TypingCase> {};

TEST_P(TypingTest, FilterShapesWhatIsTyped) {
    show();
    const TypingCase& c = GetParam();
    auto& edit = find<QLineEdit>(c.edit);
    edit.setEnabled(true); // out-of-view edits start disabled
    edit.setText(QString::fromLatin1(c.start));
    if (c.selectAll) {
        edit.selectAll();
    }
    if (c.caretAtStart) {
        QTest::keyClick(&edit, Qt::Key_Home);
    }
    QTest::keyClicks(&edit, QString::fromLatin1(c.typed));
    EXPECT_EQ(edit.text(), QString::fromLatin1(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Keys, TypingTest, ::testing::ValuesIn(kTyping),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(WindowTest, CopyCutAndPasteShortcutsDoNothingInFilteredEdits) {
    show();
    for (const char* name : {"edtSingleH1", "edtTemperatureL1", "edtSerialNumber", "edtPassword"}) {
        auto& edit = find<QLineEdit>(name);
        edit.setEnabled(true);
        edit.setText(QStringLiteral("12"));
        QApplication::clipboard()->setText(QStringLiteral("34"));
        edit.selectAll();
        QTest::keyClick(&edit, Qt::Key_X, Qt::ControlModifier);
        QTest::keyClick(&edit, Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(edit.text(), "12") << name;
        EXPECT_EQ(QApplication::clipboard()->text(), "34") << name;
    }
}

// X11 and Wayland send Delete with the text U+007F; it types nothing, so no
// filter may swallow it.
TEST_F(WindowTest, DeleteAndShiftDeleteDeleteInEveryFilteredEdit) {
    show();
    const QString deleteText(QChar(0x7F));
    for (const char* name :
         {"edtSerialNumber", "edtPassword", "edtSingleH1", "edtSingleL1", "edtTemperatureH3",
          "edtTemperatureH2", "edtTemperatureH1", "edtTemperatureL1", "edtTemperatureL2",
          "edtHumidityH1", "edtHumidityL1", "edtCalibrationTemp", "edtCalibrationHumidity"}) {
        auto& edit = find<QLineEdit>(name);
        edit.setEnabled(true);
        edit.setText(QStringLiteral("A1234"));
        QTest::keyClick(&edit, Qt::Key_Home);
        QTest::sendKeyEvent(QTest::Click, &edit, Qt::Key_Delete, deleteText, Qt::NoModifier);
        EXPECT_EQ(edit.text().toStdString(), "1234") << name;

        edit.setSelection(1, 2);
        QTest::sendKeyEvent(QTest::Click, &edit, Qt::Key_Delete, deleteText, Qt::ShiftModifier);
        EXPECT_EQ(edit.text().toStdString(), "14") << name;
    }
}

TEST_F(WindowTest, TextPastedOrSetByTheProgramIsNotFiltered) {
    TParamter& w = show();
    QApplication::clipboard()->setText(QStringLiteral("x.1.2"));
    w.edtSingleH1->paste();
    EXPECT_EQ(w.edtSingleH1->text(), "x.1.2");
    w.edtSerialNumber->setText(QStringLiteral("AB1"));
    EXPECT_EQ(w.edtSerialNumber->text(), "AB1");
}

TEST_F(WindowTest, TripMemoTakesAtMost99CharactersCountingLineBreaksAsTwo) {
    TParamter& w = show();
    TripMemo& memo = *w.mmoTripInfo;
    QTest::keyClicks(&memo, QString(97, QLatin1Char('a')));
    QTest::keyClick(&memo, Qt::Key_Return); // 97 + a break of two: exactly full
    EXPECT_EQ(TripInfoLength(memo.toPlainText()), 99);
    QTest::keyClick(&memo, Qt::Key_B);
    EXPECT_EQ(TripInfoLength(memo.toPlainText()), 99);

    memo.setPlainText(QString(96, QLatin1Char('a')));
    memo.moveCursor(QTextCursor::End);
    QTest::keyClick(&memo, Qt::Key_Return);
    QTest::keyClick(&memo, Qt::Key_Return); // a second break would make 100
    EXPECT_EQ(memo.toPlainText(), QString(96, QLatin1Char('a')) + "\n");

    memo.setPlainText(QString(96, QLatin1Char('a')));
    memo.moveCursor(QTextCursor::End);
    QApplication::clipboard()->setText(QStringLiteral("12\r\n34"));
    memo.paste();
    EXPECT_EQ(memo.toPlainText(), QString(96, QLatin1Char('a')) + "12");

    memo.selectAll();
    memo.paste(); // the selection makes room
    EXPECT_EQ(memo.toPlainText(), "12\n34");

    const QString longText(120, QLatin1Char('z'));
    memo.setPlainText(longText);
    EXPECT_EQ(memo.toPlainText(), longText);
}

TEST_F(WindowTest, TabInTheMemoMovesTheFocusInsteadOfTyping) {
    TParamter& w = show();
    EXPECT_TRUE(w.mmoTripInfo->tabChangesFocus());
}

TEST_F(WindowTest, PickingAStartModeEnablesItsLists) {
    TParamter& w = show();
    const auto startTimeEnabled = [&w] {
        for (QComboBox* list : {w.cbbStartTimeY, w.cbbStartTimeM, w.cbbStartTimeD, w.cbbStartTimeH,
                                w.cbbStartTimeN, w.cbbStartTimeS}) {
            EXPECT_FALSE(list->isVisible());
            if (!list->isEnabled()) {
                return false;
            }
        }
        return true;
    };
    w.cbbStartDelayM->setCurrentIndex(30);

    QTest::keyClick(w.cbbStartMode, Qt::Key_Down);
    EXPECT_EQ(w.cbbStartMode->currentText(), "Delayed");
    EXPECT_TRUE(w.cbbStartDelayH->isEnabled());
    EXPECT_TRUE(w.cbbStartDelayM->isEnabled());
    EXPECT_FALSE(startTimeEnabled());

    QTest::keyClick(w.cbbStartMode, Qt::Key_Down);
    EXPECT_EQ(w.cbbStartMode->currentText(), "Timing");
    EXPECT_FALSE(w.cbbStartDelayH->isEnabled());
    EXPECT_TRUE(startTimeEnabled());

    QTest::keyClick(w.cbbStartMode, Qt::Key_Home);
    EXPECT_EQ(w.cbbStartMode->currentText(), "Right Now");
    EXPECT_FALSE(w.cbbStartDelayH->isEnabled());
    EXPECT_FALSE(startTimeEnabled());
    EXPECT_EQ(w.cbbStartDelayM->currentIndex(), 30) << "no selection is reset";

    // An index set by the program runs no rule.
    w.cbbStartMode->setCurrentIndex(1);
    EXPECT_FALSE(w.cbbStartDelayH->isEnabled());
}

TEST_F(WindowTest, PasswordStartupPickEnablesThePassword) {
    TParamter& w = show();
    w.cbbPasswordStartup->setCurrentIndex(1);
    EXPECT_FALSE(w.edtPassword->isEnabled()) << "a program selection runs no rule";
    emit w.cbbPasswordStartup->activated(1);
    EXPECT_TRUE(w.edtPassword->isEnabled());
    w.cbbPasswordStartup->setCurrentIndex(0);
    emit w.cbbPasswordStartup->activated(0);
    EXPECT_FALSE(w.edtPassword->isEnabled());
}

TEST_F(WindowTest, AlarmRadiosShowTheirPanel) {
    TParamter& w = show();
    QTest::mouseClick(w.rbSingleAlarm, Qt::LeftButton);
    EXPECT_TRUE(w.pnlSingleAlarm->isVisible());
    EXPECT_TRUE(SeenByUser(*w.edtSingleH1));
    EXPECT_FALSE(w.pnlMultipleAlarm->isVisibleTo(w.grb1));

    QTest::mouseClick(w.rbF, Qt::LeftButton);
    EXPECT_TRUE(w.rbF->isChecked());
    EXPECT_TRUE(w.pnlSingleAlarm->isVisible()) << "the unit leaves the panels alone";

    QTest::mouseClick(w.rbNoAlarm, Qt::LeftButton);
    EXPECT_FALSE(w.pnlSingleAlarm->isVisible());
    EXPECT_FALSE(w.pnlMultipleAlarm->isVisibleTo(w.grb1));
}

TEST_F(WindowTest, MultipleAlarmSelectedByTheProgramShowsItsPanelOutOfView) {
    TParamter& w = show();
    w.rbSingleAlarm->setChecked(true);
    w.rbMultipleAlarm->setChecked(true);
    EXPECT_FALSE(w.rbSingleAlarm->isChecked());
    EXPECT_FALSE(w.pnlSingleAlarm->isVisible());
    EXPECT_TRUE(w.pnlMultipleAlarm->isVisible());
    EXPECT_FALSE(SeenByUser(*w.pnlMultipleAlarm));
    EXPECT_FALSE(SeenByUser(*w.rbMultipleAlarm));
}

struct RowCase {
    const char* name;
    const char* check; // null: the row is always enabled
    void (TParamter::*operation)(bool);
};

void PrintTo(const RowCase& c, std::ostream* os) {
    *os << c.name;
}

const RowCase kRows[] = {
    {"TemperatureH3", "chkTemperatureH3", &TParamter::SetTemperatureH3Enabled},
    {"TemperatureH2", "chkTemperatureH2", &TParamter::SetTemperatureH2Enabled},
    {"TemperatureH1", nullptr, nullptr},
    {"TemperatureL1", nullptr, nullptr},
    {"TemperatureL2", "chkTemperatureL2", &TParamter::SetTemperatureL2Enabled},
    {"HumidityH1", "chkHumidityH1", &TParamter::SetHumidityH1Enabled},
    {"HumidityL1", "chkHumidityL1", &TParamter::SetHumidityL1Enabled},
};

class RowTest : public WindowTest, public ::testing::WithParamInterface<RowCase> {
protected:
    std::vector<QWidget*> rowControls() {
        const std::string key = GetParam().name;
        std::vector<QWidget*> controls{&find(("edt" + key).c_str())};
        for (const char* suffix : {"", "H", "M", "S"}) {
            controls.push_back(&find(("cbb" + key + suffix).c_str()));
        }
        return controls;
    }
    bool allEnabled(bool enabled) {
        for (QWidget* control : rowControls()) {
            if (control->isEnabled() != enabled) {
                return false;
            }
        }
        return true;
    }
};

TEST_P(RowTest, CheckBoxSwitchesItsRowAndKeepsItsContents) {
    show();
    EXPECT_TRUE(allEnabled(true)) << "FormShow ticks every row on";
    if (GetParam().check == nullptr) {
        return;
    }
    auto& check = find<QCheckBox>(GetParam().check);
    EXPECT_TRUE(check.isChecked());
    const std::string key = GetParam().name;
    auto& edit = find<QLineEdit>(("edt" + key).c_str());
    auto& mode = find<QComboBox>(("cbb" + key).c_str());
    auto& minutes = find<QComboBox>(("cbb" + key + "M").c_str());
    edit.setText(QStringLiteral("-5.25"));
    mode.setCurrentIndex(1);
    minutes.setCurrentIndex(42);

    check.setChecked(false);
    EXPECT_TRUE(allEnabled(false));
    EXPECT_TRUE(check.isEnabled());
    check.setChecked(true);
    EXPECT_TRUE(allEnabled(true));
    EXPECT_EQ(edit.text(), "-5.25");
    EXPECT_EQ(mode.currentIndex(), 1);
    EXPECT_EQ(minutes.currentIndex(), 42);

    (window.get()->*GetParam().operation)(false);
    EXPECT_TRUE(allEnabled(false));
    EXPECT_TRUE(check.isChecked()) << "the operation leaves the tick alone";
}

INSTANTIATE_TEST_SUITE_P(ThresholdRows, RowTest, ::testing::ValuesIn(kRows),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(WindowTest, EnablingOperationsChangeOnlyTheEnabledState) {
    TParamter& w = show();
    w.cbbStartTimeY->setCurrentIndex(5);
    w.SetStartTimeEnabled(true);
    EXPECT_TRUE(w.cbbStartTimeS->isEnabled());
    EXPECT_FALSE(w.cbbStartTimeY->isVisible());
    EXPECT_EQ(w.cbbStartTimeY->currentIndex(), 5);
    w.SetStartDelayEnabled(true);
    EXPECT_TRUE(SeenByUser(*w.cbbStartDelayM));
    EXPECT_TRUE(w.cbbStartDelayM->isEnabled());
}

} // namespace
} // namespace korvel::window
