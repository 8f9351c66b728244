#include "window/ErrorText.h"

#include <QCoreApplication>

namespace korvel::window {
namespace {

// The port component has no Qt below it, so its messages are listed here for
// the translation files; a message it changes is shown untranslated.
[[maybe_unused]] constexpr const char* kCommMessages[] = {
    QT_TRANSLATE_NOOP("TComm", "This serial port already opened"),
    QT_TRANSLATE_NOOP("TComm", "Can't Open the Port"),
    QT_TRANSLATE_NOOP("TComm", "不能设置通讯缓冲区"),
    QT_TRANSLATE_NOOP("TComm", "Can't Apply the Line Settings"),
    QT_TRANSLATE_NOOP("TComm", "Unable to create event"),
    QT_TRANSLATE_NOOP("TComm", "Unable to create read thread"),
    QT_TRANSLATE_NOOP("TComm", "Unable to create write thread"),
};

} // namespace

QString ErrorText(const std::exception& error) {
    // Without a translation this is the message itself, read as UTF-8.
    return QCoreApplication::translate("TComm", error.what());
}

} // namespace korvel::window
