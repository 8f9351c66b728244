#include "translations/Language.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>

namespace korvel::translations {

QStringList Languages() {
    QStringList names;
    for (const QString& file :
         QDir(QStringLiteral(":/i18n")).entryList({QStringLiteral("korvel_*.qm")})) {
        names.append(file.mid(7).chopped(3)); // korvel_<name>.qm
    }
    return names;
}

QStringList QtTranslationFolders() {
    return {QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
}

Language::Language(const QLocale& locale) {
    // The locale's own language only, not the system's further preferences:
    // the pictures follow that one language, and the texts must agree with them.
    const QLocale chosen(locale.language(), locale.script(), locale.territory());
    ownInstalled_ = own_.load(chosen, QStringLiteral("korvel"), QStringLiteral("_"),
                              QStringLiteral(":/i18n")) &&
                    QCoreApplication::installTranslator(&own_);
    // Qt's texts only beside ours: a language Korvel does not speak stays
    // English throughout rather than mixing in translated buttons.
    if (ownInstalled_) {
        for (const QString& folder : QtTranslationFolders()) {
            if (qt_.load(chosen, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
                qtInstalled_ = QCoreApplication::installTranslator(&qt_);
                break;
            }
        }
    }
}

Language::~Language() {
    if (qtInstalled_) {
        QCoreApplication::removeTranslator(&qt_);
    }
    if (ownInstalled_) {
        QCoreApplication::removeTranslator(&own_);
    }
}

} // namespace korvel::translations
