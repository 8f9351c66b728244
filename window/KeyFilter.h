#pragma once
// Per-character key filters for one-line edits. A filter sees each typed
// character before the edit inserts it and may refuse it; refused keys are
// swallowed. Text set by the program or pasted from a menu is not filtered.

#include <QChar>
#include <QObject>

#include <functional>
#include <optional>

class QKeyEvent;
class QLineEdit;

namespace korvel::window {

// The character a key press types, as a per-character hook sees it: Ctrl with a
// letter types its control code (Ctrl+C is 3, Ctrl+V 22, Ctrl+X 24), otherwise
// the event's first character. nullopt for keys that type nothing (arrows,
// Delete, Home, a lone modifier).
std::optional<QChar> TypedCharacter(const QKeyEvent& event);

class KeyFilter : public QObject {
public:
    // The hook sets `key` to the null character to refuse it.
    using Hook = std::function<void(QLineEdit& sender, QChar& key)>;

    // Installs itself on `edit`, which owns it.
    KeyFilter(QLineEdit* edit, Hook hook);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* edit_;
    Hook hook_;
};

} // namespace korvel::window
