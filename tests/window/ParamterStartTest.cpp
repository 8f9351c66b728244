// The parameter window after start-up: its frame, controls, lists, start values
// and what the user can see and reach.
#include "WindowFixture.h"

#include "assets/Assets.h"
#include "platform/FontStandIns.h"
#include "protocol/Frame.h"
#include "translations/Language.h"
#include "window/AboutUnt.h"

#include <QApplication>
#include <QFontInfo>
#include <QRegularExpression>
#include <QScreen>
#include <QStyleOptionComboBox>

#include <map>
#include <memory>
#include <set>
#include <string_view>

namespace korvel::window {
namespace {

using testing_support::Exchange;
using testing_support::SeenByUser;
using testing_support::WindowTest;

TEST_F(WindowTest, IsAFramelessFixedSizeWindowCentredOnTheScreen) {
    TParamter& w = show();
    EXPECT_EQ(w.objectName(), "Paramter");
    EXPECT_EQ(w.windowTitle(), "Paramter");
    EXPECT_TRUE(w.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(w.size(), QSize(979, 789));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    const QPoint offset = w.geometry().center() - w.screen()->geometry().center();
    EXPECT_LE(offset.manhattanLength(), 2);
}

struct PlaceCase {
    const char* name;
    const char* parent;
    QRect place;
};

void PrintTo(const PlaceCase& c, std::ostream* os) {
    *os << c.name;
}

const PlaceCase kPlaces[] = {
    {"img1", "Paramter", {0, 0, 979, 789}},
    {"imgRead0", "Paramter", {54, 168, 76, 76}},
    {"imgOpen", "Paramter", {54, 400, 76, 76}},
    {"imgExport0", "Paramter", {54, 516, 76, 76}},
    {"imgClose", "Paramter", {929, 21, 23, 24}},
    {"grb1", "Paramter", {160, 104, 785, 159}},
    {"grp2", "Paramter", {160, 398, 785, 179}},
    {"grp1", "Paramter", {160, 575, 785, 181}},
    {"edtSerialNumber", "grb1", {160, 28, 121, 26}},
    {"cbbTimeZone", "grb1", {497, 68, 120, 27}},
    {"cbbSystemTimeS", "grb1", {616, 108, 61, 27}},
    {"cbbStartTimeY", "grb1", {162, 116, 61, 27}},
    {"cbbStopMode", "grb1", {932, 100, 245, 32}},
    {"edtPassword", "grb1", {1056, 268, 121, 32}},
    {"pnlMultipleAlarm", "grb1", {16, 366, 1146, 107}},
    {"chkTemperatureL2", "pnlMultipleAlarm", {18, 169, 19, 17}},
    {"edtHumidityL1", "pnlMultipleAlarm", {280, 228, 121, 30}},
    {"cbbTemperatureH1", "pnlMultipleAlarm", {529, 100, 120, 32}},
    {"cbbHumidityL1S", "pnlMultipleAlarm", {980, 228, 61, 32}},
    {"cbbStartMode", "grp3", {160, 36, 120, 27}},
    {"cbbLogIntervalS", "grp3", {681, 76, 61, 32}},
    {"pnlSingleAlarm", "grp2", {20, 54, 765, 123}},
    {"bvl1", "pnlSingleAlarm", {-48, 5, 1129, 3}},
    {"edtSingleL1", "pnlSingleAlarm", {280, 68, 121, 24}},
    {"mmoTripInfo", "grp1", {24, 26, 745, 146}},
};

class PlaceTest : public WindowTest, public ::testing::WithParamInterface<PlaceCase> {};

TEST_P(PlaceTest, SitsAtItsDesignPlaceInItsParent) {
    show();
    const QWidget& control = find(GetParam().name);
    EXPECT_EQ(control.parentWidget()->objectName(), GetParam().parent);
    EXPECT_EQ(control.geometry(), GetParam().place);
}

INSTANTIATE_TEST_SUITE_P(Controls, PlaceTest, ::testing::ValuesIn(kPlaces),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(WindowTest, PicturesLieInTableOrderBeneathEveryGroup) {
    TParamter& w = show();
    std::vector<QString> stack;
    for (QObject* child : w.children()) {
        if (child->isWidgetType()) {
            stack.push_back(child->objectName());
        }
    }
    const std::vector<QString> expected = {
        "img1",    "imgRead0", "imgSave0", "imgBack0",  "imgOpen0", "imgExport0", "imgRead",
        "imgSave", "imgBack",  "imgOpen",  "imgExport", "imgTran",  "imgAbout",   "imgHelp",
        "imgMin",  "imgClose", "grb1",     "grp3",      "grp2",     "grp1",       "lblScanStatus"};
    EXPECT_EQ(stack, expected);
    for (const char* hidden : {"imgBack0", "imgBack", "imgTran"}) {
        EXPECT_FALSE(find(hidden).isVisible()) << hidden;
    }
    EXPECT_TRUE(find("imgRead0").isVisible());
}

struct ListCase {
    std::string name;
    int count;
    QString first;
    QString last;
    int selected;
};

void PrintTo(const ListCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<ListCase> ListCases() {
    std::vector<ListCase> cases = {
        {"cbbLogIntervalH", 24, "0", "23", 0},
        {"cbbLogIntervalM", 61, "0", "60", 0},
        {"cbbLogIntervalS", 6, "0", "50", 0},
        {"cbbStartMode", 3, "Right Now", "Timing", 0},
        {"cbbStartDelayH", 24, "0", "23", 0},
        {"cbbStartDelayM", 60, "0", "59", 0},
        {"cbbStartTimeY", 82, "2018", "2099", 0},
        {"cbbStartTimeM", 12, "1", "12", 0},
        {"cbbStartTimeD", 31, "1", "31", 0},
        {"cbbStartTimeH", 24, "0", "23", 0},
        {"cbbStartTimeN", 60, "0", "59", 0},
        {"cbbStartTimeS", 60, "0", "59", 0},
        // The clock reads 2026-03-07 14:25:36.
        {"cbbSystemTimeY", 82, "2018", "2099", 8},
        {"cbbSystemTimeM", 12, "1", "12", 2},
        {"cbbSystemTimeD", 31, "1", "31", 6},
        {"cbbSystemTimeH", 24, "0", "23", 14},
        {"cbbSystemTimeN", 60, "0", "59", 25},
        {"cbbSystemTimeS", 60, "0", "59", 36},
        {"cbbStopMode", 3, "Stop by Button", "Stop by Button or Software", 0},
        {"cbbProbeMode", 2, "Internal", "External", 0},
        {"cbbCycleSwitch", 2, "Opened", "Closed", 0},
        {"cbbPasswordStartup", 2, "Disable", "Enable", 0},
        {"cbbTemporaryPDFStartup", 2, "Disable", "Enable", 0},
        {"cbbTimeZone", 53, "UTC-12:00", "UTC+14:00", 24},
    };
    for (const char* row : {"TemperatureH3", "TemperatureH2", "TemperatureH1", "TemperatureL1",
                            "TemperatureL2", "HumidityH1", "HumidityL1"}) {
        const std::string list = std::string("cbb") + row;
        cases.push_back({list, 2, "Single", "Cumulative", 0});
        cases.push_back({list + "H", 24, "0", "23", 0});
        cases.push_back({list + "M", 60, "0", "59", 0});
        cases.push_back({list + "S", 60, "0", "59", 0});
    }
    return cases;
}

class ListTest : public WindowTest, public ::testing::WithParamInterface<ListCase> {};

TEST_P(ListTest, HoldsItsItemsAndSelection) {
    show();
    const ListCase& c = GetParam();
    const auto& list = find<QComboBox>(c.name.c_str());
    EXPECT_FALSE(list.isEditable());
    ASSERT_EQ(list.count(), c.count);
    EXPECT_EQ(list.itemText(0), c.first);
    EXPECT_EQ(list.itemText(c.count - 1), c.last);
    EXPECT_EQ(list.currentIndex(), c.selected);
}

INSTANTIATE_TEST_SUITE_P(AfterFormShow, ListTest, ::testing::ValuesIn(ListCases()),
                         [](const auto& row) { return row.param.name; });

TEST_F(WindowTest, ShowingAgainDoesNotFillTheListsTwice) {
    TParamter& w = show();
    w.hide();
    w.show();
    EXPECT_EQ(find<QComboBox>("cbbLogIntervalH").count(), 24);
    EXPECT_EQ(find<QComboBox>("cbbHumidityL1S").count(), 60);
}

struct YearCase {
    const char* name;
    int year;
    int selected;
};

void PrintTo(const YearCase& c, std::ostream* os) {
    *os << c.name;
}

const YearCase kYears[] = {
    {"FirstListedYear", 2018, 0}, {"From2028On", 2028, 10},   {"LastListedYear", 2099, 81},
    {"BeforeTheList", 2017, -1},  {"AfterTheList", 2100, -1},
};

class YearTest : public WindowTest, public ::testing::WithParamInterface<YearCase> {};

TEST_P(YearTest, SystemTimeShowsTheLocalClockAndNoYearOutsideTheList) {
    show(QDateTime(QDate(GetParam().year, 12, 31), QTime(23, 59, 58)));
    EXPECT_EQ(find<QComboBox>("cbbSystemTimeY").currentIndex(), GetParam().selected);
    if (GetParam().selected >= 0) {
        EXPECT_EQ(find<QComboBox>("cbbSystemTimeY").currentText(),
                  QString::number(GetParam().year));
    }
    EXPECT_EQ(find<QComboBox>("cbbSystemTimeM").currentText(), "12");
    EXPECT_EQ(find<QComboBox>("cbbSystemTimeD").currentText(), "31");
    EXPECT_EQ(find<QComboBox>("cbbSystemTimeH").currentText(), "23");
    EXPECT_EQ(find<QComboBox>("cbbSystemTimeN").currentText(), "59");
    EXPECT_EQ(find<QComboBox>("cbbSystemTimeS").currentText(), "58");
}

INSTANTIATE_TEST_SUITE_P(Years, YearTest, ::testing::ValuesIn(kYears),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(WindowTest, OutOfViewControlsHoldTheirStartValuesDisabledAndUnseen) {
    show();
    const std::pair<const char*, const char*> values[] = {
        {"cbbStopMode", "Stop by Button"},     {"cbbProbeMode", "Internal"},
        {"cbbCycleSwitch", "Opened"},          {"cbbPasswordStartup", "Disable"},
        {"cbbTemporaryPDFStartup", "Disable"}, {"edtCalibrationTemp", "0"},
        {"edtCalibrationHumidity", "0"},       {"edtPassword", ""},
    };
    for (const auto& [name, text] : values) {
        const QWidget& control = find(name);
        const auto* list = qobject_cast<const QComboBox*>(&control);
        const QString shown = list != nullptr ? list->currentText()
                                              : qobject_cast<const QLineEdit*>(&control)->text();
        EXPECT_EQ(shown, text) << name;
        EXPECT_FALSE(control.isEnabled()) << name;
        EXPECT_TRUE(control.isVisible()) << name << " exists on the window, only clipped";
        EXPECT_FALSE(SeenByUser(control)) << name;
    }
}

TEST_F(WindowTest, StartsWithTheStateTheLoggerExchangesNeed) {
    TParamter& w = show();
    EXPECT_EQ(Exchange(w).readCommand, protocol::kReadCommand);
    EXPECT_EQ(Exchange(w).decimalSeparator, QLatin1Char('.'));
    EXPECT_TRUE(Exchange(w).portList.empty());
    EXPECT_EQ(Exchange(w).portIndex, 0);
    EXPECT_TRUE(Exchange(w).portName.empty());
    EXPECT_TRUE(Exchange(w).firstTick);
    EXPECT_FALSE(Exchange(w).deviceFound);
    EXPECT_EQ(Exchange(w).sendBuffer, protocol::Block{});
    EXPECT_EQ(Exchange(w).receiveBuffer, protocol::Block{});
    EXPECT_TRUE(w.tmrSysTime->isActive());
    EXPECT_EQ(w.tmrSysTime->interval(), 995);
    EXPECT_EQ(w.tmrSysTime->objectName(), "tmrSysTime");
    EXPECT_FALSE(w.tmrRead->isActive());
    EXPECT_EQ(w.tmrRead->interval(), 3000);
    EXPECT_EQ(w.tmrRead->objectName(), "tmrRead");
}

TEST_F(WindowTest, DecimalSeparatorComesFromTheUserLocale) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(Exchange(show()).decimalSeparator, QLatin1Char(','));
}

TEST_F(WindowTest, UserSeesOnlyTheDesignedControlsAfterStartUp) {
    TParamter& w = show();
    std::set<QString> seen;
    for (QWidget* control : w.findChildren<QWidget*>()) {
        const bool input = qobject_cast<QLineEdit*>(control) || qobject_cast<QComboBox*>(control) ||
                           qobject_cast<QAbstractButton*>(control) ||
                           qobject_cast<QPlainTextEdit*>(control);
        if (input && !control->objectName().isEmpty() && SeenByUser(*control)) {
            seen.insert(control->objectName());
        }
    }
    const std::set<QString> expected = {"edtSerialNumber",
                                        "rbC",
                                        "rbF",
                                        "cbbTimeZone",
                                        "cbbSystemTimeY",
                                        "cbbSystemTimeM",
                                        "cbbSystemTimeD",
                                        "cbbSystemTimeH",
                                        "cbbSystemTimeN",
                                        "cbbSystemTimeS",
                                        "cbbStartMode",
                                        "cbbStartDelayH",
                                        "cbbStartDelayM",
                                        "cbbLogIntervalH",
                                        "cbbLogIntervalM",
                                        "rbNoAlarm",
                                        "rbSingleAlarm",
                                        "mmoTripInfo"};
    EXPECT_EQ(seen, expected);

    EXPECT_TRUE(w.rbC->isChecked());
    EXPECT_TRUE(w.rbNoAlarm->isChecked());
    EXPECT_FALSE(w.pnlSingleAlarm->isVisible());
    EXPECT_FALSE(w.cbbStartDelayH->isEnabled());
    EXPECT_FALSE(w.cbbStartDelayM->isEnabled());
    EXPECT_TRUE(w.cbbLogIntervalH->isEnabled());
    EXPECT_TRUE(w.edtSerialNumber->text().isEmpty());
    EXPECT_TRUE(w.mmoTripInfo->toPlainText().isEmpty());
}

TEST_F(WindowTest, TabReachesOnlyTheVisibleEnabledControlsInDesignOrder) {
    TParamter& w = show();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w, 2000));
    w.edtSerialNumber->setFocus();
    std::vector<QString> visited{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 30; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (QApplication::focusWidget() == w.edtSerialNumber) {
            break;
        }
        visited.push_back(QApplication::focusWidget()->objectName());
    }
    const std::vector<QString> expected = {"edtSerialNumber", "cbbTimeZone",     "rbC",
                                           "cbbSystemTimeY",  "cbbSystemTimeM",  "cbbSystemTimeD",
                                           "cbbSystemTimeH",  "cbbSystemTimeN",  "cbbSystemTimeS",
                                           "cbbLogIntervalH", "cbbLogIntervalM", "cbbStartMode",
                                           "rbNoAlarm",       "mmoTripInfo"};
    EXPECT_EQ(visited, expected);
}

struct FontCase {
    const char* name;
    const char* family;
    int pixelSize;
    bool bold;
};

void PrintTo(const FontCase& c, std::ostream* os) {
    *os << c.name;
}

const FontCase kFonts[] = {
    {"Paramter", "Liberation Sans", 16, false},
    {"grb1", "WenQuanYi Micro Hei", 21, true},
    {"grp3", "Liberation Sans", 21, true},
    {"lblSerialNumber", "WenQuanYi Micro Hei", 16, true},
    {"rbSingleAlarm", "WenQuanYi Micro Hei", 16, true},
    {"edtSerialNumber", "WenQuanYi Micro Hei", 16, false},
    {"mmoTripInfo", "WenQuanYi Micro Hei", 16, false},
    {"cbbTimeZone", "WenQuanYi Micro Hei", 17, false},
    {"cbbStopMode", "WenQuanYi Micro Hei", 21, true},
    {"edtTemperatureH3", "WenQuanYi Micro Hei", 21, true},
    {"cbbLogIntervalS", "WenQuanYi Micro Hei", 21, true},
};

class FontTest : public WindowTest, public ::testing::WithParamInterface<FontCase> {};

TEST_P(FontTest, UsesTheStandInFamilyAtTheDesignSize) {
    show();
    const QFont font = find(GetParam().name).font();
    // Each system names its own stand-ins first (Windows: Arial, Microsoft
    // YaHei); where it has none of them, the Debian face shows.
    const platform::FontStandIns standIns = platform::DesignFontStandIns();
    QStringList accepted;
    for (const char* standIn :
         std::string_view(GetParam().family) == "Liberation Sans" ? standIns.sans : standIns.mhei) {
        accepted.append(QString::fromLatin1(standIn));
    }
    EXPECT_TRUE(accepted.contains(QFontInfo(font).family()))
        << QFontInfo(font).family().toStdString() << " for " << GetParam().family;
    EXPECT_EQ(font.pixelSize(), GetParam().pixelSize);
    EXPECT_EQ(font.bold(), GetParam().bold);
}

INSTANTIATE_TEST_SUITE_P(Controls, FontTest, ::testing::ValuesIn(kFonts),
                         [](const auto& row) { return std::string(row.param.name); });

// The window in each language it speaks: English needs no translation, the
// others must find theirs among the program's resources.
struct LanguageCase {
    const char* name;
    QLocale locale;
    bool translated;
    int translatedPictures; // pictures whose words differ from the English
};

const LanguageCase kLanguages[] = {
    {"English", QLocale::c(), false, 0},
    // German exports as English does: "Export" keeps the English picture.
    {"German", QLocale(QLocale::German, QLocale::Germany), true, 11},
    {"Chinese", QLocale(QLocale::Chinese, QLocale::China), true, 13},
};

void PrintTo(const LanguageCase& c, std::ostream* os) {
    *os << c.name;
}

class LanguageTest : public WindowTest, public ::testing::WithParamInterface<LanguageCase> {
protected:
    // Shows the window in the case's language; the translation lasts as long as the test.
    TParamter& showTranslated() {
        QLocale::setDefault(GetParam().locale);
        language = std::make_unique<translations::Language>(GetParam().locale);
        EXPECT_EQ(language->translated(), GetParam().translated);
        return show();
    }
    void TearDown() override {
        WindowTest::TearDown();
        language.reset();
    }
    std::unique_ptr<translations::Language> language;
};

// Longer words must be shortened in the translation: the layout is the same in every language.
TEST_P(LanguageTest, EveryVisibleCaptionAndListItemFitsItsBox) {
    TParamter& w = showTranslated();
    w.rbSingleAlarm->setChecked(true); // brings the single-alarm panel into view
    for (QWidget* control : w.findChildren<QWidget*>()) {
        if (!SeenByUser(*control)) {
            continue;
        }
        const QString name = control->objectName();
        if (auto* label = qobject_cast<QLabel*>(control)) {
            EXPECT_LE(label->sizeHint().width(), label->width())
                << name.toStdString() << " " << label->text().toStdString();
        } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            EXPECT_LE(button->sizeHint().width(), button->width())
                << name.toStdString() << " " << button->text().toStdString();
        } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
            EXPECT_LT(group->fontMetrics().horizontalAdvance(group->title()), group->width());
        } else if (auto* list = qobject_cast<QComboBox*>(control)) {
            QStyleOptionComboBox option;
            option.initFrom(list);
            const QRect field = list->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                              QStyle::SC_ComboBoxEditField, list);
            for (int i = 0; i < list->count(); ++i) {
                EXPECT_LE(list->fontMetrics().horizontalAdvance(list->itemText(i)), field.width())
                    << name.toStdString() << " item " << list->itemText(i).toStdString();
            }
        }
    }
}

// Words painted into pictures follow the language, and English fills in where
// a picture has no copy of its own.
TEST_P(LanguageTest, ShowsThePicturesInItsLanguage) {
    TParamter& w = showTranslated();
    int translated = 0;
    for (const TPicture* picture : w.findChildren<TPicture*>()) {
        const QString path = assets::translatedPath(picture->resource(), GetParam().locale);
        translated += path != picture->resource() ? 1 : 0;
        EXPECT_EQ(picture->pixmap().toImage(),
                  QImage(path).convertToFormat(picture->pixmap().toImage().format()))
            << picture->objectName().toStdString();
    }
    // The background, Read, Save, Back, Open and Export in both looks, About and Help.
    EXPECT_EQ(translated, GetParam().translatedPictures);
}

TEST_P(LanguageTest, TheAboutWindowsVersionFitsItsLabel) {
    showTranslated();
    const TAboutFrm about;
    EXPECT_LE(about.lblTemperatureH3->sizeHint().width(), about.lblTemperatureH3->width())
        << about.lblTemperatureH3->text().toStdString();
}

// Every text of every control, seen or not, by the control's name.
std::map<QString, QStringList> ControlTexts(const QWidget& window) {
    std::map<QString, QStringList> texts;
    for (const QWidget* control : window.findChildren<QWidget*>()) {
        QStringList& own = texts[control->objectName()];
        if (const auto* label = qobject_cast<const QLabel*>(control)) {
            own.append(label->text());
        } else if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
            own.append(button->text());
        } else if (const auto* group = qobject_cast<const QGroupBox*>(control)) {
            own.append(group->title());
        } else if (const auto* list = qobject_cast<const QComboBox*>(control)) {
            for (int i = 0; i < list->count(); ++i) {
                own.append(list->itemText(i));
            }
        }
        if (!control->accessibleName().isEmpty()) {
            own.append(control->accessibleName());
        }
    }
    return texts;
}

// A text left in English is one that no translator was asked for.
class TranslationTest : public LanguageTest {};

TEST_P(TranslationTest, TranslatesEveryWordButNumbersAndUnits) {
    const std::map<QString, QStringList> english = ControlTexts(show());
    window.reset();
    const std::map<QString, QStringList> translated = ControlTexts(showTranslated());
    ASSERT_EQ(translated.size(), english.size());
    // Numbers, time zones and degrees read the same everywhere, and so do
    // the German month's letter and the German "Export".
    static const QRegularExpression same(
        QStringLiteral("^(|[-+0-9: .]*|UTC[-+0-9:]*|°[CF]|M|Export)$"));
    for (const auto& [name, texts] : translated) {
        const QStringList& before = english.at(name);
        ASSERT_EQ(texts.size(), before.size()) << name.toStdString();
        for (qsizetype i = 0; i < texts.size(); ++i) {
            if (texts[i] == before[i]) {
                EXPECT_TRUE(same.match(texts[i]).hasMatch())
                    << name.toStdString() << " still says " << texts[i].toStdString();
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, LanguageTest, ::testing::ValuesIn(kLanguages),
                         [](const auto& row) { return std::string(row.param.name); });
INSTANTIATE_TEST_SUITE_P(Languages, TranslationTest,
                         ::testing::Values(kLanguages[1], kLanguages[2]),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(WindowTest, GuardedShowsAnEscapingErrorAsAWarning) {
    TParamter& w = show();
    w.guarded([] { throw std::runtime_error("Open port failed"); });
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].first, "warning");
    EXPECT_EQ(prompt.shown[0].second, "Open port failed");
}

} // namespace
} // namespace korvel::window

namespace korvel::window {
namespace {

// Lists are created without building their popups; the popup built later must
// still get the item delegate the lists' style asks for.
TEST_F(WindowTest, AListsPopupGetsTheDelegateItsStyleAsksFor) {
    TParamter& w = show();
    QComboBox reference;
    reference.setStyle(w.cbbTimeZone->style());
    EXPECT_STREQ(w.cbbTimeZone->itemDelegate()->metaObject()->className(),
                 reference.itemDelegate()->metaObject()->className());
}

} // namespace
} // namespace korvel::window
