// Start values of the parameter window: FormCreate when it is built, FormShow
// when it is first shown.
#include "window/ParamterFrm.h"

#include "window/Accessibility.h"
#include "window/Backdrop.h"
#include "window/FieldRules.h"
#include "window/ThresholdRows.h"

#include <QGuiApplication>
#include <QLocale>
#include <QScreen>
#include <QStringListModel>

namespace korvel::window {
namespace {

// The items of a pick-only list: what it shows and nothing a user could edit
// or drag, as the combo box's own item model offers them.
class ListItems final : public QStringListModel {
public:
    using QStringListModel::QStringListModel;

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren
                               : Qt::NoItemFlags;
    }
};

} // namespace

void TParamter::fillList(QComboBox* list, const QStringList& items) {
    // Lists that offer the same items share them: the window's lists hold some
    // two thousand items, but fewer than twenty different lists of them, and
    // each item of a combo box's own model is an object built at start-up.
    QAbstractItemModel*& shared = sharedListItems_[items];
    if (shared == nullptr) {
        shared = new ListItems(items, this);
    }
    list->setModel(shared);
    list->setCurrentIndex(0);
}

void TParamter::fillDateTimeLists(const std::array<QComboBox*, 6>& lists) {
    fillList(lists[0], NumberItems(kFirstListYear, kLastListYear));
    fillList(lists[1], NumberItems(1, 12));
    fillList(lists[2], NumberItems(1, 31)); // every month offers 31 days
    fillList(lists[3], NumberItems(0, 23));
    fillList(lists[4], NumberItems(0, 59));
    fillList(lists[5], NumberItems(0, 59));
}

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
    for (QGroupBox* group : {grb1, grp3, grp2, grp1}) {
        PaintGroupBackdrops(*group);
    }
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
    fillList(cbbLogIntervalH, NumberItems(0, 23));
    fillList(cbbLogIntervalM, NumberItems(0, kLogMinutesLast));
    fillList(cbbLogIntervalS, NumberItems(0, kLogSecondsLast, kLogSecondsStep));
    fillList(cbbStartMode, ItemTexts(catalogue::kStartModes));
    fillList(cbbStartDelayH, NumberItems(0, 23));
    fillList(cbbStartDelayM, NumberItems(0, 59));
    fillDateTimeLists(
        {cbbStartTimeY, cbbStartTimeM, cbbStartTimeD, cbbStartTimeH, cbbStartTimeN, cbbStartTimeS});
    fillDateTimeLists({cbbSystemTimeY, cbbSystemTimeM, cbbSystemTimeD, cbbSystemTimeH,
                       cbbSystemTimeN, cbbSystemTimeS});
    fillList(cbbStopMode, ItemTexts(catalogue::kStopModes));
    fillList(cbbProbeMode, ItemTexts(catalogue::kProbeModes));
    fillList(cbbCycleSwitch, ItemTexts(catalogue::kCycleSwitches));
    fillList(cbbPasswordStartup, ItemTexts(catalogue::kStartups));
    fillList(cbbTemporaryPDFStartup, ItemTexts(catalogue::kStartups));
    edtCalibrationTemp->setText(QStringLiteral("0"));
    edtCalibrationHumidity->setText(QStringLiteral("0"));

    for (const ThresholdRowPlan& row : kThresholdRows) {
        fillList(this->*row.delays[0], NumberItems(0, 23));
        fillList(this->*row.delays[1], NumberItems(0, 59));
        fillList(this->*row.delays[2], NumberItems(0, 59));
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
