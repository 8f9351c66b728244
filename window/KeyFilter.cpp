#include "window/KeyFilter.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace korvel::window {

std::optional<QChar> TypedCharacter(const QKeyEvent& event) {
    const int key = event.key();
    // X11 and Wayland give Delete the text U+007F, yet it types nothing: the edit
    // must get it to delete, also as Shift+Delete.
    if (key == Qt::Key_Delete) {
        return std::nullopt;
    }
    // Test drivers and some platforms send Ctrl+V with the text "v"; the control
    // code is what the shortcut really types, and what the filters must judge.
    if ((event.modifiers() & Qt::ControlModifier) && key >= Qt::Key_A && key <= Qt::Key_Z) {
        return QChar(char16_t(key - Qt::Key_A + 1));
    }
    const QString text = event.text();
    if (text.isEmpty()) {
        return std::nullopt;
    }
    return text.front();
}

KeyFilter::KeyFilter(QLineEdit* edit, Hook hook)
    : QObject(edit), edit_(edit), hook_(std::move(hook)) {
    edit->installEventFilter(this);
}

bool KeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (watched != edit_ || event->type() != QEvent::KeyPress) {
        return false;
    }
    const std::optional<QChar> typed = TypedCharacter(*static_cast<QKeyEvent*>(event));
    if (!typed) {
        return false;
    }
    QChar key = *typed;
    hook_(*edit_, key);
    return key.isNull();
}

} // namespace korvel::window
