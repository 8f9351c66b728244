#pragma once
// Lays a Markdown manual out as a printable document and writes it as a PDF.

#include <QString>

class QTextDocument;

namespace korvel::helpdoc {

// Reads `markdown` (GitHub dialect); pictures are looked up relative to
// `baseDirectory`. Tables get ruled cells with padding, and pictures wider than
// the text are scaled down to its width. False when a picture is missing.
bool LoadManual(QTextDocument& document, const QString& markdown, const QString& baseDirectory);

// Writes `document` as an A4 PDF with page numbers; false when the file cannot be written.
bool WritePdf(QTextDocument& document, const QString& path, const QString& title);

} // namespace korvel::helpdoc
