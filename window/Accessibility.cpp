// Accessible names, accessible picture buttons and keyboard shortcuts.
#include "window/Accessibility.h"

#include "window/ParamterFrm.h"
#include "window/Picture.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHash>
#include <QKeySequence>
#include <QLabel>
#include <QShortcut>

#include <algorithm>
#include <array>

namespace korvel::window {
namespace {

// A control and the labels whose captions, in this order, make its name.
struct LabelledControl {
    const char* control;
    std::array<const char*, 3> labels;
};

// Radio buttons are not here: each carries its own caption.
const LabelledControl kLabelledControls[] = {
    // "Device Info"
    {"edtSerialNumber", {"lblSerialNumber"}},
    {"cbbTimeZone", {"lblTimeZone"}},
    {"cbbSystemTimeY", {"lbl57", "lbl58"}},
    {"cbbSystemTimeM", {"lbl57", "lbl59"}},
    {"cbbSystemTimeD", {"lbl57", "lbl66"}},
    {"cbbSystemTimeH", {"lbl57", "lbl67"}},
    {"cbbSystemTimeN", {"lbl57", "lbl68"}},
    {"cbbSystemTimeS", {"lbl57", "lbl69"}},
    {"cbbStartTimeY", {"lbl37", "lbl38"}},
    {"cbbStartTimeM", {"lbl37", "lbl39"}},
    {"cbbStartTimeD", {"lbl37", "lbl40"}},
    {"cbbStartTimeH", {"lbl37", "lbl41"}},
    {"cbbStartTimeN", {"lbl37", "lbl42"}},
    {"cbbStartTimeS", {"lbl37", "lbl43"}},
    {"cbbProbeMode", {"lblProbeMode"}},
    {"cbbCycleSwitch", {"lblCycleSwitch"}},
    {"cbbStopMode", {"lblStopMode"}},
    {"edtCalibrationTemp", {"lblActualStopMode"}},
    {"edtCalibrationHumidity", {"lblHighestTemperature"}},
    {"cbbTemporaryPDFStartup", {"lblHighestHumidity"}},
    {"cbbPasswordStartup", {"lblMKT"}},
    {"edtPassword", {"lblDataPoint"}},
    // The multiple-alarm panel: row label, then the column's heading and unit.
    {"chkTemperatureH3", {"lblTemperatureH3"}},
    {"edtTemperatureH3", {"lblTemperatureH3"}},
    {"cbbTemperatureH3", {"lblTemperatureH3", "lbl2"}},
    {"cbbTemperatureH3H", {"lblTemperatureH3", "lbl12", "lbl11"}},
    {"cbbTemperatureH3M", {"lblTemperatureH3", "lbl12", "lbl14"}},
    {"cbbTemperatureH3S", {"lblTemperatureH3", "lbl12", "lbl15"}},
    {"chkTemperatureH2", {"lbl1"}},
    {"edtTemperatureH2", {"lbl1"}},
    {"cbbTemperatureH2", {"lbl1", "lbl2"}},
    {"cbbTemperatureH2H", {"lbl1", "lbl12", "lbl16"}},
    {"cbbTemperatureH2M", {"lbl1", "lbl12", "lbl18"}},
    {"cbbTemperatureH2S", {"lbl1", "lbl12", "lbl19"}},
    {"edtTemperatureH1", {"lbl5"}},
    {"cbbTemperatureH1", {"lbl5", "lbl2"}},
    {"cbbTemperatureH1H", {"lbl5", "lbl12", "lbl20"}},
    {"cbbTemperatureH1M", {"lbl5", "lbl12", "lbl22"}},
    {"cbbTemperatureH1S", {"lbl5", "lbl12", "lbl23"}},
    {"edtTemperatureL1", {"lbl9"}},
    {"cbbTemperatureL1", {"lbl9", "lbl2"}},
    {"cbbTemperatureL1H", {"lbl9", "lbl12", "lbl24"}},
    {"cbbTemperatureL1M", {"lbl9", "lbl12", "lbl25"}},
    {"cbbTemperatureL1S", {"lbl9", "lbl12", "lbl26"}},
    {"chkTemperatureL2", {"lbl13"}},
    {"edtTemperatureL2", {"lbl13"}},
    {"cbbTemperatureL2", {"lbl13", "lbl2"}},
    {"cbbTemperatureL2H", {"lbl13", "lbl12", "lbl27"}},
    {"cbbTemperatureL2M", {"lbl13", "lbl12", "lbl28"}},
    {"cbbTemperatureL2S", {"lbl13", "lbl12", "lbl29"}},
    {"chkHumidityH1", {"lbl17"}},
    {"edtHumidityH1", {"lbl17"}},
    {"cbbHumidityH1", {"lbl17", "lbl2"}},
    {"cbbHumidityH1H", {"lbl17", "lbl12", "lbl30"}},
    {"cbbHumidityH1M", {"lbl17", "lbl12", "lbl31"}},
    {"cbbHumidityH1S", {"lbl17", "lbl12", "lbl32"}},
    {"chkHumidityL1", {"lbl21"}},
    {"edtHumidityL1", {"lbl21"}},
    {"cbbHumidityL1", {"lbl21", "lbl2"}},
    {"cbbHumidityL1H", {"lbl21", "lbl12", "lbl33"}},
    {"cbbHumidityL1M", {"lbl21", "lbl12", "lbl34"}},
    {"cbbHumidityL1S", {"lbl21", "lbl12", "lbl35"}},
    // "Log Setting"
    {"cbbStartMode", {"lblStartMode"}},
    {"cbbStartDelayH", {"lblStartupParameter", "lbl8"}},
    {"cbbStartDelayM", {"lblStartupParameter", "lbl10"}},
    {"cbbLogIntervalH", {"lblLogInterval", "lbl3"}},
    {"cbbLogIntervalM", {"lblLogInterval", "lbl4"}},
    {"cbbLogIntervalS", {"lblLogInterval", "lbl6"}},
    // "Alarm Setting": the limit, then its unit.
    {"edtSingleH1", {"lbl47", "lblH1"}},
    {"edtSingleL1", {"lbl48", "lbl7"}},
    // "Trip Information": the memo is named by its group's caption.
    {"mmoTripInfo", {"grp1"}},
};

using Handler = void (TParamter::*)();

// A picture button: the word painted on it, its picture and the pressed twin
// beneath it (if any), and the parameter window's shortcut with the handler
// the shortcut runs. A new button is one row.
struct PictureButton {
    const char* word;
    std::array<const char*, 2> pictures;
    QKeyCombination shortcut = {};
    Handler handler = nullptr;
};

// Words share the painted pictures' translations, so a name is the word seen.
const PictureButton kPictureButtons[] = {
    {QT_TRANSLATE_NOOP("Pictures", "Read"),
     {"imgRead", "imgRead0"},
     Qt::CTRL | Qt::Key_R,
     &TParamter::imgReadClick},
    {QT_TRANSLATE_NOOP("Pictures", "Save"),
     {"imgSave", "imgSave0"},
     Qt::CTRL | Qt::Key_S,
     &TParamter::imgSaveClick},
    {QT_TRANSLATE_NOOP("Pictures", "Back"), {"imgBack", "imgBack0"}},
    {QT_TRANSLATE_NOOP("Pictures", "Open"),
     {"imgOpen", "imgOpen0"},
     Qt::CTRL | Qt::Key_O,
     &TParamter::imgOpenClick},
    {QT_TRANSLATE_NOOP("Pictures", "Export"),
     {"imgExport", "imgExport0"},
     Qt::CTRL | Qt::Key_E,
     &TParamter::imgExportClick},
    {QT_TRANSLATE_NOOP("Pictures", "About"), {"imgAbout"}},
    {QT_TRANSLATE_NOOP("Pictures", "Help"),
     {"imgHelp"},
     QKeyCombination(Qt::Key_F1),
     &TParamter::imgHelpClick},
    {QT_TRANSLATE_NOOP("Pictures", "Minimise"), {"imgMin"}},
    {QT_TRANSLATE_NOOP("Pictures", "Close"),
     {"imgClose"},
     Qt::CTRL | Qt::Key_Q,
     &TParamter::imgCloseClick},
};

// Dynamic property of a picture button: the shortcut that runs its handler,
// reported to assistive clients as the press action's key binding.
constexpr const char* kShortcutProperty = "korvelShortcut";

QString Caption(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        return label->text();
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(widget)) {
        return group->title();
    }
    return {};
}

// Of a button and its pressed twin at the same place, only the upper one can
// be seen and clicked; the other would be a second button of the same name.
bool LiesUnderTwin(const TPicture& picture) {
    const QWidget* parent = picture.parentWidget();
    if (parent == nullptr) {
        return false;
    }
    const QObjectList& siblings = parent->children(); // in stacking order, lowest first
    auto above = std::find(siblings.begin(), siblings.end(), &picture);
    if (above == siblings.end()) {
        return false;
    }
    for (++above; above != siblings.end(); ++above) {
        const auto* twin = qobject_cast<const TPicture*>(*above);
        if (twin != nullptr && !twin->isHidden() && twin->geometry() == picture.geometry() &&
            twin->accessibleName() == picture.accessibleName()) {
            return true;
        }
    }
    return false;
}

// A picture that carries a word is a push button; the background and the
// veil carry none and are graphics.
class PictureAccessible final : public QAccessibleWidget {
public:
    explicit PictureAccessible(TPicture* picture)
        : QAccessibleWidget(picture, QAccessible::Graphic) {}

    QAccessible::Role role() const override {
        return isButton() ? QAccessible::Button : QAccessible::Graphic;
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        if (isButton() && LiesUnderTwin(*picture())) {
            state.invisible = true;
        }
        return state;
    }

    QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (isButton()) {
            names.prepend(pressAction());
        }
        return names;
    }

    void doAction(const QString& action) override {
        if (action != pressAction() || !isButton()) {
            QAccessibleWidget::doAction(action);
            return;
        }
        // What the mouse cannot click, a hidden picture or one beneath a
        // modal box, is not pressed either.
        const QWidget* modal = QApplication::activeModalWidget();
        if (!picture()->isVisible() || (modal != nullptr && modal != picture()->window())) {
            return;
        }
        // The client waits for the answer to its press, and the click may open
        // a modal prompt: the click runs once the answer has gone.
        TPicture* target = picture();
        QMetaObject::invokeMethod(
            target, [target] { emit target->clicked(); }, Qt::QueuedConnection);
    }

    QStringList keyBindingsForAction(const QString& action) const override {
        if (action != pressAction()) {
            return QAccessibleWidget::keyBindingsForAction(action);
        }
        const auto keys = picture()->property(kShortcutProperty).value<QKeySequence>();
        return keys.isEmpty() ? QStringList() : QStringList{keys.toString()};
    }

private:
    TPicture* picture() const { return static_cast<TPicture*>(widget()); }
    bool isButton() const { return !picture()->accessibleName().isEmpty(); }
};

QAccessibleInterface* PictureAccessibleFactory(const QString& className, QObject* object) {
    if (className != QLatin1String(TPicture::staticMetaObject.className())) {
        return nullptr;
    }
    auto* picture = qobject_cast<TPicture*>(object);
    return picture != nullptr ? new PictureAccessible(picture) : nullptr;
}

} // namespace

QString JoinCaptions(const QStringList& captions) {
    QStringList words;
    for (const QString& caption : captions) {
        if (const QString trimmed = caption.simplified(); !trimmed.isEmpty()) {
            words.append(trimmed);
        }
    }
    return words.join(QLatin1Char(' '));
}

void NameControls(QWidget& window) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(PictureAccessibleFactory);
        return true;
    }();
    (void)factoryInstalled;

    QHash<QString, QWidget*> byName;
    for (QWidget* child : window.findChildren<QWidget*>()) {
        byName.insert(child->objectName(), child);
    }

    for (const LabelledControl& row : kLabelledControls) {
        QWidget* control = byName.value(QLatin1String(row.control));
        if (control == nullptr) {
            continue;
        }
        QStringList captions;
        for (const char* name : row.labels) {
            QWidget* label = name != nullptr ? byName.value(QLatin1String(name)) : nullptr;
            if (label == nullptr) {
                continue;
            }
            captions.append(Caption(label));
            // Qt reports a label's buddy as "labelled by"; on Linux that relation,
            // not the name, is how a drop-down list is announced.
            if (auto* text = qobject_cast<QLabel*>(label); text != nullptr && !text->buddy()) {
                text->setBuddy(control);
            }
        }
        control->setAccessibleName(JoinCaptions(captions));
    }

    for (const PictureButton& button : kPictureButtons) {
        for (const char* name : button.pictures) {
            if (QWidget* picture = name != nullptr ? byName.value(QLatin1String(name)) : nullptr) {
                picture->setAccessibleName(QCoreApplication::translate("Pictures", button.word));
            }
        }
    }
}

void InstallAccessibility(TParamter& window) {
    NameControls(window);
    for (const PictureButton& button : kPictureButtons) {
        if (button.handler == nullptr) {
            continue;
        }
        const QKeySequence keys(button.shortcut);
        auto* shortcut = new QShortcut(keys, &window);
        // Holding the keys must not read or save over and over.
        shortcut->setAutoRepeat(false);
        QObject::connect(shortcut, &QShortcut::activated, &window,
                         [&window, handler = button.handler] {
                             window.guarded([&window, handler] { (window.*handler)(); });
                         });
        for (const char* name : button.pictures) {
            if (auto* picture =
                    name != nullptr ? window.findChild<TPicture*>(QLatin1String(name)) : nullptr) {
                picture->setProperty(kShortcutProperty, keys);
            }
        }
    }
}

} // namespace korvel::window
