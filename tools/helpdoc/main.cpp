// korvel-helpdoc MANUAL.md OUTPUT.pdf: writes the user manual as a PDF.
#include "tools/helpdoc/HelpDocument.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTextDocument>

#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList arguments = QGuiApplication::arguments();
    if (arguments.size() != 3) {
        std::fputs("Usage: korvel-helpdoc MANUAL.md OUTPUT.pdf\n", stderr);
        return 2;
    }
    QFile manual(arguments[1]);
    if (!manual.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "korvel-helpdoc: cannot read %s\n", qPrintable(arguments[1]));
        return 1;
    }
    QTextDocument document;
    if (!korvel::helpdoc::LoadManual(document, QString::fromUtf8(manual.readAll()),
                                     QFileInfo(arguments[1]).absolutePath())) {
        std::fprintf(stderr, "korvel-helpdoc: a picture of %s is missing\n",
                     qPrintable(arguments[1]));
        return 1;
    }
    if (!korvel::helpdoc::WritePdf(document, arguments[2], QStringLiteral("Korvel User Manual"))) {
        std::fprintf(stderr, "korvel-helpdoc: cannot write %s\n", qPrintable(arguments[2]));
        return 1;
    }
    return 0;
}
