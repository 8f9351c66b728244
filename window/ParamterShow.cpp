// Start values of the parameter window: FormCreate when it is built, FormShow
// when it is first shown.
#include "window/ParamterFrm.h"

#include "window/Accessibility.h"
#include "window/FieldRules.h"
#include "window/ThresholdRows.h"

#include <QGuiApplication>
#include <QLocale>
#include <QScreen>

namespace korvel::window {
namespace {

void FillList(QComboBox* list, const QStringList& items) {
    list->addItems(items);
    list->setCurrentIndex(0);
}

void FillDateTimeLists(const std::array<QComboBox*, 6>& lists) {
    FillList(lists[0], NumberItems(kFirstListYear, kLastListYear));
    FillList(lists[1], NumberItems(1, 12));
    FillList(lists[2], NumberItems(1, 31)); // every month offers 31 days
    FillList(lists[3], NumberItems(0, 23));
    FillList(lists[4], NumberItems(0, 59));
    FillList(lists[5], NumberItems(0, 59));
}

} // namespace

void TParamter::SelectListIndex(QComboBox* list, int index) {
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

void TParamter::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shown_) {
        return;
    }
    shown_ = true;
    centreOnScreen();
    guarded([this] { FormShow(); });
}

void TParamter::centreOnScreen() {
    const QScreen* target = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    if (target == nullptr) {
        return;
    }
    QRect frame(QPoint(), size());
    frame.moveCenter(target->geometry().center());
    move(frame.topLeft());
}

void TParamter::FormCreate() {
    // Nothing to switch on: Qt paints every widget double-buffered through its
    // backing store.
    InstallAccessibility(*this);
}

void TParamter::FormShow() {
    // Steps 1-3: the state the logger exchanges start from. QLocale() is the
    // user's locale unless a test has set a default.
    const QString point = QLocale().decimalPoint();
    decimalSeparator = point.isEmpty() ? QLatin1Char('.') : point.front();
    portList.clear();
    readCommand = protocol::kReadCommand;

    // Step 4: every list, filled by appending, then its first item selected.
    FillList(cbbLogIntervalH, NumberItems(0, 23));
    FillList(cbbLogIntervalM, NumberItems(0, kLogMinutesLast));
    FillList(cbbLogIntervalS, NumberItems(0, kLogSecondsLast, kLogSecondsStep));
    FillList(cbbStartMode, ItemTexts(catalogue::kStartModes));
    FillList(cbbStartDelayH, NumberItems(0, 23));
    FillList(cbbStartDelayM, NumberItems(0, 59));
    FillDateTimeLists(
        {cbbStartTimeY, cbbStartTimeM, cbbStartTimeD, cbbStartTimeH, cbbStartTimeN, cbbStartTimeS});
    FillDateTimeLists({cbbSystemTimeY, cbbSystemTimeM, cbbSystemTimeD, cbbSystemTimeH,
                       cbbSystemTimeN, cbbSystemTimeS});
    FillList(cbbStopMode, ItemTexts(catalogue::kStopModes));
    FillList(cbbProbeMode, ItemTexts(catalogue::kProbeModes));
    FillList(cbbCycleSwitch, ItemTexts(catalogue::kCycleSwitches));
    FillList(cbbPasswordStartup, ItemTexts(catalogue::kStartups));
    FillList(cbbTemporaryPDFStartup, ItemTexts(catalogue::kStartups));
    edtCalibrationTemp->setText(QStringLiteral("0"));
    edtCalibrationHumidity->setText(QStringLiteral("0"));

    for (const ThresholdRowPlan& row : kThresholdRows) {
        FillList(this->*row.delays[0], NumberItems(0, 23));
        FillList(this->*row.delays[1], NumberItems(0, 59));
        FillList(this->*row.delays[2], NumberItems(0, 59));
    }

    // Step 5: the enabled state that "Right Now" asks for.
    SetStartDelayEnabled(false);
    SetStartTimeEnabled(false);

    // Step 6.
    rbNoAlarm->setChecked(true);
    pnlSingleAlarm->hide();
    pnlMultipleAlarm->hide();

    // Step 7: each tick runs its row's click handler, which enables the row.
    for (const ThresholdRowPlan& row : kThresholdRows) {
        if (row.check != nullptr) {
            (this->*row.check)->setChecked(true);
        }
    }

    // Step 8: the local clock, without any zone; the first clock tick shifts it.
    const QDateTime now = services.clock.localNow();
    SelectListIndex(cbbSystemTimeY, now.date().year() - kFirstListYear);
    SelectListIndex(cbbSystemTimeM, now.date().month() - 1);
    SelectListIndex(cbbSystemTimeD, now.date().day() - 1);
    SelectListIndex(cbbSystemTimeH, now.time().hour());
    SelectListIndex(cbbSystemTimeN, now.time().minute());
    SelectListIndex(cbbSystemTimeS, now.time().second());

    // Steps 9-10.
    tmrSysTime->start();
    firstTick = true;
    deviceFound = false;
}

} // namespace korvel::window
