#include "tools/helpdoc/HelpDocument.h"

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <QUrl>

#include <algorithm>

namespace korvel::helpdoc {
namespace {

// QTextDocument::print lays an unpaginated document out on the page in pixels
// of 96 dpi with 2 cm margins: on A4 that leaves about 643 for the text.
constexpr qreal kTextWidth = 640.0;

void StyleTables(QTextDocument& document) {
    for (QTextFrame* frame : document.rootFrame()->childFrames()) {
        auto* table = qobject_cast<QTextTable*>(frame);
        if (table == nullptr) {
            continue;
        }
        QTextTableFormat format = table->format();
        format.setBorder(0.5);
        format.setBorderBrush(QColor(0x90, 0x9a, 0xa8));
        format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        format.setCellPadding(4);
        format.setCellSpacing(0);
        format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
        table->setFormat(format);
    }
}

// Pictures are loaded here rather than on demand, so the copy of the document
// that print() lays out carries them too.
bool LoadImages(QTextDocument& document, const QString& baseDirectory) {
    bool allFound = true;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QTextImageFormat image = fragment.charFormat().toImageFormat();
            if (!image.isValid()) {
                continue;
            }
            const QImage picture(QDir(baseDirectory).filePath(image.name()));
            if (picture.isNull()) {
                allFound = false;
                continue;
            }
            document.addResource(QTextDocument::ImageResource, QUrl(image.name()), picture);
            const qreal width = std::min<qreal>(picture.width(), kTextWidth);
            image.setWidth(width);
            image.setHeight(width * picture.height() / picture.width());
            QTextCursor cursor(&document);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(image);
        }
    }
    return allFound;
}

} // namespace

bool LoadManual(QTextDocument& document, const QString& markdown, const QString& baseDirectory) {
    QFont body(QStringLiteral("Liberation Sans"));
    body.setPointSizeF(10.5);
    document.setDefaultFont(body);
    document.setMarkdown(markdown, QTextDocument::MarkdownDialectGitHub);
    StyleTables(document);
    return LoadImages(document, baseDirectory);
}

bool WritePdf(QTextDocument& document, const QString& path, const QString& title) {
    QPdfWriter writer(path);
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("korvel-helpdoc"));
    // No page size of our own: print() then adds its margins and page numbers.
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    document.print(&writer);
    return QFileInfo(path).size() > 0;
}

} // namespace korvel::helpdoc
