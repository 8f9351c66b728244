#pragma once
// What assistive technology and the keyboard need from Korvel's windows: every
// control named after its label, the picture buttons exposed as push buttons
// with a press action, and the shortcuts of the parameter window. Controls are
// found by their object names, which are the windows' member names.

#include <QString>
#include <QStringList>

class QWidget;

namespace korvel::window {

class TParamter;

// Gives every control of `window` that has a row in the label table its
// accessible name, makes each label its control's buddy (so that assistive
// clients see the "labelled by" relation), names the picture buttons with the
// word painted on them and installs, once per program, the accessible
// interface of picture controls. Rows whose control `window` lacks are passed
// over, so one table serves the parameter and the about window.
void NameControls(QWidget& window);

// NameControls, then the shortcuts: Ctrl+R reads, Ctrl+S saves, F1 opens the
// manual and Ctrl+Q asks to quit, each running the picture's click handler
// inside guarded(). Call once, after the controls exist.
void InstallAccessibility(TParamter& window);

// An accessible name made of label captions: the non-blank ones, trimmed and
// joined by single spaces.
QString JoinCaptions(const QStringList& captions);

} // namespace korvel::window
