#pragma once
// Decisions of the window's chrome that need no widget.

#include <QString>

namespace korvel::window {

// "Help.pdf" in the directory of the program file `applicationFilePath`.
QString HelpDocumentPath(const QString& applicationFilePath);

// THIRD-PARTY-NOTICES.txt where the install layout puts it beside the program
// file `applicationFilePath`: in the same folder on Windows, in the package's
// documentation folder on Linux.
QString NoticesPath(const QString& applicationFilePath);

} // namespace korvel::window
