#pragma once
// The trip-information memo: multi-line, word-wrapped, Tab moves the focus, and
// the user can type or paste at most maxLength() characters, a line break
// counting as two. Text the program sets is taken whole.

#include <QPlainTextEdit>

namespace korvel::window {

class TripMemo : public QPlainTextEdit {
public:
    explicit TripMemo(QWidget* parent);

    int maxLength() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    // Characters the user may still add in place of the current selection.
    int room() const;
};

} // namespace korvel::window
