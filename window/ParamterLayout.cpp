// Creating the parameter window's controls: every control at its design place
// (pixels at 96 dpi, relative to its parent), with its font, initial state and
// tab position, and the handlers bound to it.
#include "window/ParamterFrm.h"

#include "protocol/TimeZone.h"
#include "window/CompactListStyle.h"
#include "window/FieldRules.h"
#include "window/Fonts.h"
#include "window/KeyFilter.h"
#include "window/ThresholdRows.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace korvel::window {
namespace {

// Dynamic property holding a control's tab position among its siblings.
constexpr const char* kTabProperty = "korvelTabOrder";

constexpr int kLabelHeight = 19;
constexpr int kVisibleListHeight = 27;
constexpr int kOutOfViewListHeight = 32;

constexpr QRect kOpenPlace(54, 400, 76, 76);
constexpr QRect kExportPlace(54, 516, 76, 76);

QFont LabelFont() {
    return MheiFont(16, true);
}
QFont EditFont() {
    return MheiFont(16, false);
}
QFont ListFont() {
    return MheiFont(17, false);
}
QFont DeviceInfoFont() {
    return MheiFont(21, true);
}

template <class W> W* Make(QWidget* parent, const char* name, QRect place, int tab = -1) {
    auto* widget = new W(parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(place);
    if (tab >= 0) {
        widget->setProperty(kTabProperty, tab);
    }
    return widget;
}

// A label of fixed size; a zero width or height is taken from its text.
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QPoint topLeft,
                  QSize size = {}, std::optional<QFont> font = std::nullopt) {
    auto* label = Make<QLabel>(parent, name, QRect(topLeft, size));
    label->setText(text);
    if (font) {
        label->setFont(*font);
    }
    const QSize fitted = label->sizeHint();
    label->resize(size.width() > 0 ? size.width() : fitted.width(),
                  size.height() > 0 ? size.height() : fitted.height());
    return label;
}

// A unit letter after a list. The same letter stands for the month and the
// minutes in English, so each carries its meaning for the translator.
struct Unit {
    const char* letter;
    const char* meaning;
};
constexpr Unit kYear = QT_TRANSLATE_NOOP3("korvel::window::TParamter", "Y", "year");
constexpr Unit kMonth = QT_TRANSLATE_NOOP3("korvel::window::TParamter", "M", "month");
constexpr Unit kDay = QT_TRANSLATE_NOOP3("korvel::window::TParamter", "D", "day");
constexpr Unit kHours = QT_TRANSLATE_NOOP3("korvel::window::TParamter", "H", "hours");
constexpr Unit kMinutes = QT_TRANSLATE_NOOP3("korvel::window::TParamter", "M", "minutes");
constexpr Unit kSeconds = QT_TRANSLATE_NOOP3("korvel::window::TParamter", "S", "seconds");

// Unit letters size themselves to their text: the stand-in font's bold "M" is
// a pixel wider than the design's 13 px.
QLabel* MakeUnitLabel(QWidget* parent, const char* name, Unit unit, QPoint topLeft,
                      std::optional<QFont> font = LabelFont()) {
    return MakeLabel(parent, name, TParamter::tr(unit.letter, unit.meaning), topLeft,
                     QSize(0, kLabelHeight), std::move(font));
}

// The style every list of the window shares; owned by the window. Widgets hold
// their style through a guarded pointer, so the order of destruction is free.
QStyle* ListStyle(QWidget* list) {
    QWidget* window = list->window();
    auto* style = window->findChild<CompactListStyle*>(QString(), Qt::FindDirectChildrenOnly);
    if (style == nullptr) {
        style = new CompactListStyle();
        style->setParent(window);
    }
    return style;
}

// Keeps a style change from reaching a list that was just created. A combo box
// answers one by building its popup (a frame, a list view, scrollers) to pick
// the popup's item delegate; the popup picks that by itself when it is first
// needed, so seventy lists need not build seventy popups at start-up.
class NewListStyleFilter final : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        return event->type() == QEvent::StyleChange;
    }
};

QComboBox* MakeList(QWidget* parent, const char* name, QRect place, int tab,
                    std::optional<QFont> font = ListFont()) {
    auto* list = Make<QComboBox>(parent, name, place, tab);
    list->setEditable(false);
    NewListStyleFilter filter;
    list->installEventFilter(&filter);
    list->setStyle(ListStyle(list));
    list->removeEventFilter(&filter);
    if (font) {
        list->setFont(*font);
    }
    return list;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, QRect place, int tab,
                    std::optional<QFont> font = EditFont(), int maxLength = 32767) {
    auto* edit = Make<QLineEdit>(parent, name, place, tab);
    edit->setMaxLength(maxLength);
    if (font) {
        edit->setFont(*font);
    }
    return edit;
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, const QString& caption, QRect place,
                     int tab, const QFont& font) {
    auto* group = Make<QGroupBox>(parent, name, place, tab);
    group->setTitle(caption);
    group->setFont(font);
    // Groups are filled so that the background picture never shows through them.
    group->setAutoFillBackground(true);
    return group;
}

QFrame* MakePanel(QWidget* parent, const char* name, QRect place, int tab) {
    auto* panel = Make<QFrame>(parent, name, place, tab);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(1);
    panel->setAutoFillBackground(true);
    return panel;
}

TPicture* MakePicture(QWidget* parent, const char* name, QRect place, bool stretched) {
    auto* picture =
        new TPicture(parent, QStringLiteral(":/assets/%1.png").arg(QLatin1String(name)), stretched);
    picture->setObjectName(QString::fromLatin1(name));
    picture->setGeometry(place);
    return picture;
}

constexpr std::array<int, 3> kDelayListLeft = {796, 887, 980};
constexpr std::array<int, 3> kDelayUnitLeft = {864, 956, 1048};
constexpr std::array<Unit, 3> kDelayUnits = {kHours, kMinutes, kSeconds};
constexpr std::array<const char*, 3> kDelaySuffix = {"H", "M", "S"};

// The six date-time lists of a row ("System Time" or "Start Time") and their unit labels.
struct DateTimeRowPlan {
    std::array<QComboBox * TParamter::*, 6> lists;
    std::array<const char*, 6> listNames;
    std::array<QLabel * TParamter::*, 6> units;
    std::array<const char*, 6> unitNames;
    std::array<int, 6> listLeft;
    std::array<int, 6> unitLeft;
    int listTop;
    int unitTop;
    int firstTab;
};

constexpr std::array<Unit, 6> kDateTimeUnits = {kYear, kMonth, kDay, kHours, kMinutes, kSeconds};

using T = TParamter;
const DateTimeRowPlan kSystemTimeRow = {
    {&T::cbbSystemTimeY, &T::cbbSystemTimeM, &T::cbbSystemTimeD, &T::cbbSystemTimeH,
     &T::cbbSystemTimeN, &T::cbbSystemTimeS},
    {"cbbSystemTimeY", "cbbSystemTimeM", "cbbSystemTimeD", "cbbSystemTimeH", "cbbSystemTimeN",
     "cbbSystemTimeS"},
    {&T::lbl58, &T::lbl59, &T::lbl66, &T::lbl67, &T::lbl68, &T::lbl69},
    {"lbl58", "lbl59", "lbl66", "lbl67", "lbl68", "lbl69"},
    {160, 251, 344, 432, 523, 616},
    {228, 320, 412, 500, 592, 684},
    108,
    115,
    16};

const DateTimeRowPlan kStartTimeRow = {
    {&T::cbbStartTimeY, &T::cbbStartTimeM, &T::cbbStartTimeD, &T::cbbStartTimeH, &T::cbbStartTimeN,
     &T::cbbStartTimeS},
    {"cbbStartTimeY", "cbbStartTimeM", "cbbStartTimeD", "cbbStartTimeH", "cbbStartTimeN",
     "cbbStartTimeS"},
    {&T::lbl38, &T::lbl39, &T::lbl40, &T::lbl41, &T::lbl42, &T::lbl43},
    {"lbl38", "lbl39", "lbl40", "lbl41", "lbl42", "lbl43"},
    {162, 253, 346, 434, 525, 618},
    {230, 322, 414, 502, 594, 686},
    116,
    120,
    9};

void MakeDateTimeRow(TParamter& window, QWidget* parent, const DateTimeRowPlan& plan) {
    for (std::size_t i = 0; i < plan.lists.size(); ++i) {
        window.*plan.lists[i] =
            MakeList(parent, plan.listNames[i], QRect(plan.listLeft[i], plan.listTop, 61, 27),
                     plan.firstTab + int(i));
        window.*plan.units[i] = MakeUnitLabel(parent, plan.unitNames[i], kDateTimeUnits[i],
                                              QPoint(plan.unitLeft[i], plan.unitTop));
    }
}

// Widgets of `container` that carry a tab position, in that order.
std::vector<QWidget*> TabSiblings(QWidget* container) {
    std::vector<std::pair<int, QWidget*>> ranked;
    for (QWidget* child : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QVariant tab = child->property(kTabProperty);
        if (tab.isValid()) {
            ranked.emplace_back(tab.toInt(), child);
        }
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<QWidget*> ordered;
    for (const auto& entry : ranked) {
        ordered.push_back(entry.second);
    }
    return ordered;
}

// Depth first: a container's tab position places all of its children.
void CollectTabChain(QWidget* container, std::vector<QWidget*>& chain) {
    for (QWidget* widget : TabSiblings(container)) {
        if (TabSiblings(widget).empty()) {
            chain.push_back(widget);
        } else {
            CollectTabChain(widget, chain);
        }
    }
}

} // namespace

TParamter::TParamter(Services given, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), services(given) {
    InstallFontSubstitutes();
    setObjectName(QStringLiteral("Paramter"));
    setWindowTitle(tr("Paramter"));
    setFixedSize(kClientWidth, kClientHeight);
    setFont(SansFont(16, false));
    QPalette background = palette();
    background.setColor(QPalette::Window, background.color(QPalette::Button));
    setPalette(background);
    setAutoFillBackground(true);

    // Creation order is stacking order: pictures first, so every group lies above them.
    createPictures();
    createDeviceInfo();
    createOutOfView();
    createMultipleAlarmPanel();
    createLogSetting();
    createAlarmSetting();
    createTripInformation();
    createStatusLine();
    createTimers();
    applyTabOrder();
    bindHandlers();
    bindChromeHandlers();
    bindExchanges();
    FormCreate();
}

void TParamter::createPictures() {
    const QRect client(0, 0, kClientWidth, kClientHeight);
    img1 = MakePicture(this, "img1", client, false);
    imgRead0 = MakePicture(this, "imgRead0", QRect(54, 168, 76, 76), true);
    imgSave0 = MakePicture(this, "imgSave0", QRect(54, 284, 76, 76), true);
    imgBack0 = MakePicture(this, "imgBack0", QRect(54, 400, 76, 76), true);
    // Open and Export continue the column's rhythm below Save; Back, never
    // shown in this window, leaves the first of their places empty.
    imgOpen0 = MakePicture(this, "imgOpen0", kOpenPlace, true);
    imgExport0 = MakePicture(this, "imgExport0", kExportPlace, true);
    imgRead = MakePicture(this, "imgRead", QRect(54, 168, 76, 76), true);
    imgSave = MakePicture(this, "imgSave", QRect(54, 284, 76, 76), true);
    imgBack = MakePicture(this, "imgBack", QRect(54, 400, 76, 76), true);
    imgOpen = MakePicture(this, "imgOpen", kOpenPlace, true);
    imgExport = MakePicture(this, "imgExport", kExportPlace, true);
    // The veil is one uniform colour, so stretching it covers the window exactly.
    imgTran = MakePicture(this, "imgTran", client, true);
    imgAbout = MakePicture(this, "imgAbout", QRect(793, 17, 36, 36), true);
    imgHelp = MakePicture(this, "imgHelp", QRect(836, 17, 36, 36), true);
    imgMin = MakePicture(this, "imgMin", QRect(885, 21, 24, 24), true);
    imgClose = MakePicture(this, "imgClose", QRect(929, 21, 23, 24), true);
    imgBack0->hide();
    imgBack->hide();
    imgTran->hide();
}

void TParamter::createDeviceInfo() {
    grb1 =
        MakeGroup(this, "grb1", tr("Device Info"), QRect(160, 104, 785, 159), 0, DeviceInfoFont());

    lblSerialNumber = MakeLabel(grb1, "lblSerialNumber", tr("Serial Number"), QPoint(46, 32),
                                QSize(108, 19), LabelFont());
    edtSerialNumber = MakeEdit(grb1, "edtSerialNumber", QRect(160, 28, 121, 26), 0, EditFont(),
                               kSerialNumberMaxLength);

    lblHumidityAlarmTime = MakeLabel(grb1, "lblHumidityAlarmTime", tr("Temp. Unit"), QPoint(69, 72),
                                     QSize(82, 19), LabelFont());
    rbC = Make<QRadioButton>(grb1, "rbC", QRect(161, 72, 48, 23), 6);
    rbC->setText(QStringLiteral("°C"));
    rbC->setFont(LabelFont());
    rbC->setChecked(true);
    rbF = Make<QRadioButton>(grb1, "rbF", QRect(219, 72, 54, 23), 7);
    rbF->setText(QStringLiteral("°F"));
    rbF->setFont(LabelFont());

    lblTimeZone = MakeLabel(grb1, "lblTimeZone", tr("Time Zone"), QPoint(410, 72), QSize(79, 19),
                            LabelFont());
    cbbTimeZone = MakeList(grb1, "cbbTimeZone", QRect(497, 68, 120, 27), 5);
    for (int i = 0; i < protocol::kTimeZoneCount; ++i) {
        cbbTimeZone->addItem(QString::fromStdString(protocol::TimeZoneItemText(i)));
    }
    cbbTimeZone->setCurrentIndex(protocol::kUtcIndex);

    lbl57 =
        MakeLabel(grb1, "lbl57", tr("System Time"), QPoint(51, 115), QSize(98, 19), LabelFont());
    MakeDateTimeRow(*this, grb1, kSystemTimeRow);

    // The start-time row shares the system-time area and is never shown.
    lbl37 = MakeLabel(grb1, "lbl37", tr("Start Time"), QPoint(74, 120), QSize(77, 19), LabelFont());
    lbl37->hide();
    MakeDateTimeRow(*this, grb1, kStartTimeRow);
    for (const auto list : kStartTimeRow.lists) {
        (this->*list)->hide();
    }
    for (const auto unit : kStartTimeRow.units) {
        (this->*unit)->hide();
    }
}

void TParamter::createOutOfView() {
    // These lie right of the group's 785 px width: the group clips them, yet they
    // hold values that travel from a read to the next save. They take the group's font.
    const auto label = [this](const char* name, const QString& text, QRect place) {
        return MakeLabel(grb1, name, text, place.topLeft(), place.size(), std::nullopt);
    };
    const auto list = [this](const char* name, QRect place, int tab) {
        QComboBox* made = MakeList(grb1, name, place, tab, std::nullopt);
        made->setEnabled(false);
        return made;
    };
    const auto edit = [this](const char* name, QRect place, int tab, int maxLength = 32767) {
        QLineEdit* made = MakeEdit(grb1, name, place, tab, std::nullopt, maxLength);
        made->setEnabled(false);
        return made;
    };
    lblProbeMode = label("lblProbeMode", tr("Probe Mode"), QRect(915, 32, 92, 19));
    cbbProbeMode = list("cbbProbeMode", QRect(1049, 28, 120, kOutOfViewListHeight), 1);
    lblCycleSwitch = label("lblCycleSwitch", tr("Cycle Switch"), QRect(917, 72, 99, 19));
    cbbCycleSwitch = list("cbbCycleSwitch", QRect(1049, 68, 120, kOutOfViewListHeight), 2);
    lblStopMode = label("lblStopMode", tr("Stop Mode"), QRect(840, 104, 82, 19));
    cbbStopMode = list("cbbStopMode", QRect(932, 100, 245, kOutOfViewListHeight), 3);
    lblActualStopMode =
        label("lblActualStopMode", tr("Calibration Temperature"), QRect(866, 136, 184, 19));
    edtCalibrationTemp = edit("edtCalibrationTemp", QRect(1056, 132, 121, 32), 4);
    lblHighestTemperature =
        label("lblHighestTemperature", tr("Calibration Humidity"), QRect(866, 168, 155, 19));
    edtCalibrationHumidity = edit("edtCalibrationHumidity", QRect(1029, 164, 153, 32), 8);
    lblHighestHumidity =
        label("lblHighestHumidity", tr("Temporary PDF Startup"), QRect(836, 200, 180, 19));
    cbbTemporaryPDFStartup =
        list("cbbTemporaryPDFStartup", QRect(1023, 196, 153, kOutOfViewListHeight), 15);
    lblMKT = label("lblMKT", tr("Password Startup"), QRect(906, 240, 137, 19));
    cbbPasswordStartup =
        list("cbbPasswordStartup", QRect(1057, 236, 120, kOutOfViewListHeight), 22);
    lblDataPoint = label("lblDataPoint", tr("Password"), QRect(972, 272, 77, 19));
    edtPassword = edit("edtPassword", QRect(1056, 268, 121, 32), 23, kPasswordMaxLength);
}

void TParamter::createMultipleAlarmPanel() {
    // Its top edge lies below the group's bottom edge, so even when the alarm rule
    // makes it visible the user never sees it.
    pnlMultipleAlarm = MakePanel(grb1, "pnlMultipleAlarm", QRect(16, 366, 1146, 107), 24);
    pnlMultipleAlarm->hide();
    QWidget* panel = pnlMultipleAlarm;

    lblAlarmZone = MakeLabel(panel, "lblAlarmZone", tr("Alarm Zone"), QPoint(16, 13));
    lbl36 = MakeLabel(panel, "lbl36", tr("Temperature/Humidity"), QPoint(280, 13));
    lbl2 = MakeLabel(panel, "lbl2", tr("Alarm Mode"), QPoint(528, 13));
    lbl12 = MakeLabel(panel, "lbl12", tr("Alarm Delay"), QPoint(795, 13));

    for (const ThresholdRowPlan& row : kThresholdRows) {
        const QString key = QString::fromLatin1(row.key);
        const auto name = [&key](const char* prefix, const char* suffix = "") {
            return (QLatin1String(prefix) + key + QLatin1String(suffix)).toLatin1();
        };
        if (row.check != nullptr) {
            this->*row.check = Make<QCheckBox>(panel, name("chk").constData(),
                                               QRect(18, row.checkTop, 19, 17), row.firstTab + 5);
        }
        this->*row.label =
            MakeLabel(panel, row.labelName, tr(row.caption), QPoint(43, row.labelTop));
        this->*row.edit = MakeEdit(panel, name("edt").constData(), QRect(280, row.top, 121, 30),
                                   row.firstTab, std::nullopt);
        QComboBox* mode = MakeList(panel, name("cbb").constData(), QRect(529, row.top, 120, 32),
                                   row.firstTab + 1, std::nullopt);
        mode->addItems(ItemTexts(catalogue::kAlarmModes));
        mode->setCurrentIndex(0);
        this->*row.mode = mode;
        for (std::size_t i = 0; i < row.delays.size(); ++i) {
            this->*row.delays[i] = MakeList(panel, name("cbb", kDelaySuffix[i]).constData(),
                                            QRect(kDelayListLeft[i], row.top, 61, 32),
                                            row.firstTab + 2 + int(i), std::nullopt);
            this->*row.units[i] =
                MakeUnitLabel(panel, row.unitNames[i], kDelayUnits[i],
                              QPoint(kDelayUnitLeft[i], row.top + 4), std::nullopt);
        }
    }
}

void TParamter::createLogSetting() {
    grp3 = MakeGroup(this, "grp3", tr("Log Setting"), QRect(160, 263, 785, 135), 1,
                     SansFont(21, true));

    lblStartMode = MakeLabel(grp3, "lblStartMode", tr("Start Mode"), QPoint(67, 40), QSize(82, 19),
                             LabelFont());
    cbbStartMode = MakeList(grp3, "cbbStartMode", QRect(160, 36, 120, kVisibleListHeight), 5);

    lblStartupParameter = MakeLabel(grp3, "lblStartupParameter", tr("Start Delay"), QPoint(70, 80),
                                    QSize(83, 19), LabelFont());
    cbbStartDelayH = MakeList(grp3, "cbbStartDelayH", QRect(160, 76, 61, kVisibleListHeight), 3);
    lbl8 = MakeUnitLabel(grp3, "lbl8", kHours, QPoint(228, 80));
    cbbStartDelayM = MakeList(grp3, "cbbStartDelayM", QRect(251, 76, 61, kVisibleListHeight), 4);
    lbl10 = MakeUnitLabel(grp3, "lbl10", kMinutes, QPoint(320, 80));

    lblLogInterval = MakeLabel(grp3, "lblLogInterval", tr("Log Interval"), QPoint(399, 80),
                               QSize(90, 19), LabelFont());
    cbbLogIntervalH = MakeList(grp3, "cbbLogIntervalH", QRect(497, 76, 61, kVisibleListHeight), 0);
    lbl3 = MakeUnitLabel(grp3, "lbl3", kHours, QPoint(565, 80));
    cbbLogIntervalM = MakeList(grp3, "cbbLogIntervalM", QRect(588, 76, 61, kVisibleListHeight), 1);
    lbl4 = MakeUnitLabel(grp3, "lbl4", kMinutes, QPoint(657, 80));
    cbbLogIntervalS = MakeList(grp3, "cbbLogIntervalS", QRect(681, 76, 61, kOutOfViewListHeight), 2,
                               DeviceInfoFont());
    lbl6 = MakeUnitLabel(grp3, "lbl6", kSeconds, QPoint(747, 80));
    cbbLogIntervalS->hide();
    lbl6->hide();
}

void TParamter::createAlarmSetting() {
    grp2 = MakeGroup(this, "grp2", tr("Alarm Setting"), QRect(160, 398, 785, 179), 2,
                     SansFont(21, true));

    const auto radio = [this](const char* name, const QString& text, QRect place, int tab) {
        auto* made = Make<QRadioButton>(grp2, name, place, tab);
        made->setText(text);
        made->setFont(LabelFont());
        return made;
    };
    rbNoAlarm = radio("rbNoAlarm", tr("No Alarm"), QRect(38, 26, 113, 23), 0);
    rbNoAlarm->setChecked(true);
    rbSingleAlarm = radio("rbSingleAlarm", tr("Single Alarm"), QRect(184, 26, 129, 23), 1);
    rbMultipleAlarm = radio("rbMultipleAlarm", tr("Multiple Alarm"), QRect(368, 26, 155, 23), 2);
    rbMultipleAlarm->hide();

    pnlSingleAlarm = MakePanel(grp2, "pnlSingleAlarm", QRect(20, 54, 765, 123), 3);
    QWidget* panel = pnlSingleAlarm;
    bvl1 = Make<QFrame>(panel, "bvl1", QRect(-48, 5, 1129, 3));
    bvl1->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    lbl47 = MakeLabel(panel, "lbl47", tr("Temperature H1:Over"), QPoint(19, 38), QSize(164, 19),
                      LabelFont());
    edtSingleH1 = MakeEdit(panel, "edtSingleH1", QRect(280, 36, 121, 24), 0);
    lblH1 = MakeLabel(panel, "lblH1", QStringLiteral("°C"), QPoint(408, 39), QSize(18, 19),
                      LabelFont());
    lbl48 = MakeLabel(panel, "lbl48", tr("Temperature L1:Below"), QPoint(19, 71), QSize(174, 19),
                      LabelFont());
    edtSingleL1 = MakeEdit(panel, "edtSingleL1", QRect(280, 68, 121, 24), 1);
    lbl7 =
        MakeLabel(panel, "lbl7", QStringLiteral("°C"), QPoint(408, 71), QSize(18, 19), LabelFont());
}

void TParamter::createTripInformation() {
    grp1 = MakeGroup(this, "grp1", tr("Trip Information"), QRect(160, 575, 785, 181), 3,
                     SansFont(21, true));
    mmoTripInfo = new TripMemo(grp1);
    mmoTripInfo->setObjectName(QStringLiteral("mmoTripInfo"));
    mmoTripInfo->setGeometry(24, 26, 745, 146);
    mmoTripInfo->setProperty(kTabProperty, 0);
    mmoTripInfo->setFont(EditFont());
}

void TParamter::createStatusLine() {
    // The right part of the strip under the groups; the background's hint about
    // connecting the logger fills its left part.
    lblScanStatus = Make<QLabel>(this, "lblScanStatus", QRect(470, 764, 475, 22));
    lblScanStatus->setFont(SansFont(12, false));
    lblScanStatus->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblScanStatus->setTextFormat(Qt::PlainText);
    QPalette quiet = lblScanStatus->palette();
    quiet.setColor(QPalette::WindowText, QColor(0x1f, 0x4f, 0x86));
    lblScanStatus->setPalette(quiet);
    lblScanStatus->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TParamter::createTimers() {
    tmrRead = new QTimer(this);
    tmrRead->setObjectName(QStringLiteral("tmrRead"));
    tmrRead->setInterval(kReadIntervalMs);
    // The scan promises one port every 3 s; a coarse timer may fire up to 5 % early.
    tmrRead->setTimerType(Qt::PreciseTimer);
    tmrSysTime = new QTimer(this);
    tmrSysTime->setObjectName(QStringLiteral("tmrSysTime"));
    tmrSysTime->setInterval(kSysTimeIntervalMs);
    // 995 ms keeps the shown second from lagging; a coarse timer's 5 % could skip one.
    tmrSysTime->setTimerType(Qt::PreciseTimer);
}

void TParamter::applyTabOrder() {
    std::vector<QWidget*> chain;
    CollectTabChain(this, chain);
    for (std::size_t i = 1; i < chain.size(); ++i) {
        QWidget::setTabOrder(chain[i - 1], chain[i]);
    }
}

void TParamter::bindHandlers() {
    // A radio runs its click handler when it becomes selected, by the user or the program.
    for (QRadioButton* radio : {rbNoAlarm, rbSingleAlarm, rbMultipleAlarm, rbC, rbF}) {
        connect(radio, &QRadioButton::toggled, this, [this](bool selected) {
            if (selected) {
                guarded([this] { rbClick(); });
            }
        });
    }
    // A check box runs its click handler whenever its tick changes.
    for (const ThresholdRowPlan& row : kThresholdRows) {
        if (row.check == nullptr) {
            continue;
        }
        connect(this->*row.check, &QCheckBox::toggled, this,
                [this, handler = row.click] { guarded([this, handler] { (this->*handler)(); }); });
    }
    // Only a user's pick runs a list's change handler; `activated` is not emitted
    // when the program sets the index.
    connect(cbbStartMode, &QComboBox::activated, this,
            [this] { guarded([this] { cbbStartModeChange(); }); });
    connect(cbbPasswordStartup, &QComboBox::activated, this,
            [this] { guarded([this] { cbbPasswordStartupChange(); }); });

    using Hook = void (TParamter::*)(QLineEdit&, QChar&);
    const auto filter = [this](QLineEdit* edit, Hook hook) {
        new KeyFilter(edit, [this, hook](QLineEdit& sender, QChar& key) {
            guarded([&] { (this->*hook)(sender, key); });
        });
    };
    for (QLineEdit* edit : {edtSingleH1, edtSingleL1, edtTemperatureH3, edtTemperatureH2,
                            edtTemperatureH1, edtTemperatureL1, edtTemperatureL2, edtHumidityH1,
                            edtHumidityL1, edtCalibrationTemp, edtCalibrationHumidity}) {
        filter(edit, &TParamter::edtNumberKeyPress);
    }
    filter(edtPassword, &TParamter::edtCharKeyPress);
    filter(edtSerialNumber, &TParamter::edtSerialNumberKeyPress);

    connect(tmrSysTime, &QTimer::timeout, this, [this] { guarded([this] { tmrSysTimeTimer(); }); });
}

} // namespace korvel::window
