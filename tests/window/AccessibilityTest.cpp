// The window as an assistive client sees it through QAccessible, and its
// keyboard shortcuts.
#include "WindowFixture.h"

#include "window/AboutUnt.h"
#include "window/Accessibility.h"

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileInfo>

namespace korvel::window {
namespace {

using testing_support::WaitFor;
using testing_support::WindowTest;

QAccessibleInterface& Accessible(QWidget& widget) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&widget);
    if (accessible == nullptr) {
        throw std::runtime_error("no accessible interface for " +
                                 widget.objectName().toStdString());
    }
    return *accessible;
}

// The name a control carries. On Linux Qt names a drop-down list by its
// selected item, so a list's own name is its widget's.
QString Name(QWidget& control) {
    QAccessibleInterface& accessible = Accessible(control);
    return accessible.role() == QAccessible::ComboBox ? control.accessibleName()
                                                      : accessible.text(QAccessible::Name);
}

bool Operable(QAccessible::Role role) {
    switch (role) {
    case QAccessible::EditableText:
    case QAccessible::ComboBox:
    case QAccessible::RadioButton:
    case QAccessible::CheckBox:
    case QAccessible::Button:
        return true;
    default:
        return false;
    }
}

TEST(JoinCaptions, LeavesOutBlankCaptionsAndSqueezesSpaces) {
    EXPECT_EQ(JoinCaptions({"System Time", "Y"}), "System Time Y");
    EXPECT_EQ(JoinCaptions({" Start  Delay ", "", "H"}), "Start Delay H");
    EXPECT_EQ(JoinCaptions({}), "");
}

// Every control, seen or out of view, so that a misspelt row in the label
// table shows here as an unnamed control.
TEST_F(WindowTest, EveryControlCarriesANameAndTheCaptionOfItsLabels) {
    TParamter& w = show();
    int operable = 0;
    for (QWidget* child : w.findChildren<QWidget*>()) {
        QAccessibleInterface& accessible = Accessible(*child);
        if (!Operable(accessible.role())) {
            continue;
        }
        ++operable;
        EXPECT_FALSE(Name(*child).isEmpty()) << child->objectName().toStdString();
    }
    EXPECT_GT(operable, 80);

    const std::pair<const char*, const char*> names[] = {
        {"edtSerialNumber", "Serial Number"},
        {"cbbTimeZone", "Time Zone"},
        {"rbC", "°C"},
        {"cbbSystemTimeY", "System Time Y"},
        {"cbbStartDelayM", "Start Delay M"},
        {"cbbLogIntervalH", "Log Interval H"},
        {"rbNoAlarm", "No Alarm"},
        {"edtSingleH1", "Temperature H1:Over °C"},
        {"mmoTripInfo", "Trip Information"},
        {"edtPassword", "Password"},
        {"chkHumidityL1", "Humidity L1:Below"},
        {"cbbTemperatureH2", "Temperature H2:Over Alarm Mode"},
        {"cbbTemperatureH3S", "Temperature H3:Over Alarm Delay S"},
    };
    for (const auto& [control, name] : names) {
        EXPECT_EQ(Name(find(control)), QString::fromUtf8(name)) << control;
    }
}

// Linux announces a drop-down list by its selected item and finds its label
// through the "labelled by" relation (where Qt adds the enclosing group too).
TEST_F(WindowTest, LabelsAreReportedAsLabellingTheirControls) {
    show();
    const std::pair<const char*, std::vector<const char*>> cases[] = {
        {"edtSerialNumber", {"grb1", "lblSerialNumber"}},
        {"cbbTimeZone", {"grb1", "lblTimeZone"}},
        {"cbbSystemTimeY", {"grb1", "lbl57", "lbl58"}},
        {"cbbSystemTimeM", {"grb1", "lbl59"}},
        {"cbbLogIntervalH", {"grp3", "lblLogInterval", "lbl3"}},
    };
    for (const auto& [control, labels] : cases) {
        std::vector<QString> found;
        for (const auto& [other, relation] :
             Accessible(find(control)).relations(QAccessible::Label)) {
            found.push_back(other->object()->objectName());
        }
        std::vector<QString> expected(labels.begin(), labels.end());
        std::sort(found.begin(), found.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(found, expected) << control;
    }
}

TEST_F(WindowTest, PictureButtonsArePushButtonsWithAPressAction) {
    TParamter& w = show();
    struct Case {
        const char* picture;
        const char* word;
        const char* keys; // the press action's key binding; "" for none
    };
    const Case cases[] = {
        {"imgRead", "Read", "Ctrl+R"}, {"imgSave", "Save", "Ctrl+S"},
        {"imgOpen", "Open", "Ctrl+O"}, {"imgExport", "Export", "Ctrl+E"},
        {"imgAbout", "About", ""},     {"imgHelp", "Help", "F1"},
        {"imgMin", "Minimise", ""},    {"imgClose", "Close", "Ctrl+Q"},
    };
    for (const Case& c : cases) {
        QAccessibleInterface& accessible = Accessible(find(c.picture));
        EXPECT_EQ(accessible.role(), QAccessible::Button) << c.picture;
        EXPECT_EQ(accessible.text(QAccessible::Name), c.word) << c.picture;
        EXPECT_FALSE(accessible.state().invisible) << c.picture;
        ASSERT_NE(accessible.actionInterface(), nullptr) << c.picture;
        const QString press = QAccessibleActionInterface::pressAction();
        EXPECT_TRUE(accessible.actionInterface()->actionNames().contains(press)) << c.picture;
        const QStringList keys = accessible.actionInterface()->keyBindingsForAction(press);
        EXPECT_EQ(keys.join(QLatin1Char(' ')), c.keys) << c.picture;
    }

    // The background and the veil are pictures, not buttons.
    for (QWidget* decoration : {static_cast<QWidget*>(w.img1), static_cast<QWidget*>(w.imgTran)}) {
        QAccessibleInterface& accessible = Accessible(*decoration);
        EXPECT_EQ(accessible.role(), QAccessible::Graphic);
        EXPECT_TRUE(accessible.actionInterface()->actionNames().isEmpty());
    }

    // The about window's Back is a button too.
    TAboutFrm about;
    EXPECT_EQ(Accessible(*about.imgBack).role(), QAccessible::Button);
    EXPECT_EQ(Accessible(*about.imgBack).text(QAccessible::Name), "Back");
    EXPECT_TRUE(Accessible(*about.imgBack0).state().invisible);
}

// A client sees one Read button: the one on top.
TEST_F(WindowTest, OnlyTheUpperOfTwoTwinPicturesIsShown) {
    TParamter& w = show();
    EXPECT_FALSE(Accessible(*w.imgRead).state().invisible);
    EXPECT_TRUE(Accessible(*w.imgRead0).state().invisible);

    w.imgReadMouseDown(); // the pressed twin comes to the front
    EXPECT_TRUE(Accessible(*w.imgRead).state().invisible);
    EXPECT_FALSE(Accessible(*w.imgRead0).state().invisible);
}

TEST_F(WindowTest, PressingReadRunsTheReadHandlerOnceTheClientHasItsAnswer) {
    TParamter& w = show();
    QAccessibleActionInterface* read = Accessible(*w.imgRead).actionInterface();
    read->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(prompt.shown.empty()) << "the click ran inside the client's call";
    ASSERT_TRUE(WaitFor([&] { return !prompt.shown.empty(); }));
    EXPECT_EQ(prompt.shown,
              (std::vector<std::pair<std::string, QString>>{{"warning", "No device detected!"}}));

    // What the mouse cannot click is not pressed: a hidden picture, or any
    // picture of the window while a modal box lies over it.
    Accessible(*w.imgBack).actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QDialog modal;
    modal.setWindowModality(Qt::ApplicationModal);
    modal.show();
    read->doAction(QAccessibleActionInterface::pressAction());
    QCoreApplication::processEvents();
    modal.close();
    QCoreApplication::processEvents();
    EXPECT_EQ(prompt.shown.size(), 1U);
}

// Each shortcut from the first edit and from the memo, which takes most keys.
TEST_F(WindowTest, ShortcutsRunThePictureHandlers) {
    struct Case {
        const char* name;
        QKeyCombination keys;
        const char* focus;
        std::pair<std::string, QString> prompt; // what the handler shows; none for Help
    };
    const Case cases[] = {
        {"read", Qt::CTRL | Qt::Key_R, "edtSerialNumber", {"warning", "No device detected!"}},
        {"read_from_memo", Qt::CTRL | Qt::Key_R, "mmoTripInfo", {"warning", "No device detected!"}},
        {"save",
         Qt::CTRL | Qt::Key_S,
         "mmoTripInfo",
         {"information", "The Serial Number can not be empty and the Serial Number length is 9"}},
        {"quit",
         Qt::CTRL | Qt::Key_Q,
         "edtSerialNumber",
         {"confirm", "Are you sure you want to quit the system?"}},
        {"help", QKeyCombination(Qt::Key_F1), "mmoTripInfo", {}},
    };
    prompt.answer = false; // stay after the quit question
    // This suite's program directory is its own, so Help's document may lie there.
    QFile help(QCoreApplication::applicationDirPath() + QStringLiteral("/Help.pdf"));
    ASSERT_TRUE(help.open(QIODevice::WriteOnly));
    help.close();

    TParamter& w = show();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w, 2000));
    for (const Case& c : cases) {
        prompt.shown.clear();
        opener.opened.clear();
        QWidget& focus = find(c.focus);
        focus.setFocus();
        QTest::keyClick(&focus, c.keys.key(), c.keys.keyboardModifiers());
        if (c.prompt.first.empty()) {
            EXPECT_TRUE(prompt.shown.empty()) << c.name;
            EXPECT_EQ(opener.opened, (std::vector<QString>{QFileInfo(help).absoluteFilePath()}))
                << c.name;
        } else {
            EXPECT_EQ(prompt.shown, (std::vector<std::pair<std::string, QString>>{c.prompt}))
                << c.name;
        }
    }
    help.remove();
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.edtSerialNumber->text().isEmpty()) << "a shortcut's letter was typed";
}

} // namespace
} // namespace korvel::window
