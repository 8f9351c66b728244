#include "window/TripMemo.h"

#include "window/FieldRules.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>

namespace korvel::window {

TripMemo::TripMemo(QWidget* parent) : QPlainTextEdit(parent) {
    setTabChangesFocus(true);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
}

int TripMemo::maxLength() const {
    return kTripInfoMaxLength;
}

int TripMemo::room() const {
    const int kept = TripInfoLength(toPlainText()) - TripInfoLength(textCursor().selectedText());
    return maxLength() - kept;
}

void TripMemo::keyPressEvent(QKeyEvent* event) {
    QString typed;
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        typed = QStringLiteral("\n");
    } else if (!event->text().isEmpty() && event->text().front().isPrint()) {
        typed = event->text();
    }
    if (!typed.isEmpty() && TripInfoLength(typed) > room()) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TripMemo::insertFromMimeData(const QMimeData* source) {
    if (source == nullptr || !source->hasText()) {
        return;
    }
    QString text = source->text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    insertPlainText(FitTripInfo(text, room()));
}

void TripMemo::inputMethodEvent(QInputMethodEvent* event) {
    const QString fitted = FitTripInfo(event->commitString(), room());
    if (fitted.size() == event->commitString().size()) {
        QPlainTextEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent trimmed(event->preeditString(), event->attributes());
    trimmed.setCommitString(fitted, event->replacementStart(), event->replacementLength());
    QPlainTextEdit::inputMethodEvent(&trimmed);
}

} // namespace korvel::window
