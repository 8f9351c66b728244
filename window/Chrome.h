#pragma once
// Decisions of the window's chrome that need no widget.

#include <QString>

namespace korvel::window {

// "Help.pdf" in the directory of the program file `applicationFilePath`.
QString HelpDocumentPath(const QString& applicationFilePath);

} // namespace korvel::window
