#pragma once
// TAboutFrm: the about window. Borderless, 502 x 208, its background picture,
// the version label, the link to the third-party licences and a Back picture
// that closes it. The parameter window
// makes a fresh one for every click on About and shows it modally.

#include "window/Picture.h"

#include <QDialog>
#include <QLabel>

namespace korvel::window {

inline constexpr int kAboutWidth = 502;
inline constexpr int kAboutHeight = 208;

class TAboutFrm : public QDialog {
    Q_OBJECT
public:
    // No owner: the about window is a top-level window of its own.
    TAboutFrm();

    // Centres the window over `over` (its frame, in screen coordinates).
    void centreOver(const QWidget& over);

    TPicture* img1;
    QLabel* lblTemperatureH3; // "Software Version: Korvel V3.0"
    TPicture* imgBack0;
    TPicture* imgBack;
    // "Third-party licences", a link under the version. Hidden until whoever
    // opens the window has the notices file to show (TParamter::imgAboutClick).
    QLabel* lblNotices;

    // Click of imgBack: hides the pressed twin and closes the window.
    void imgBackClick();

protected:
    // Back is the only way out: the dialog's Esc does not close it.
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace korvel::window
