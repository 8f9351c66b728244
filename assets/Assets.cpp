#include "assets/Assets.h"

#include <QFile>

namespace korvel::assets {

QString picturePath(QStringView fileName) {
    return QStringLiteral(":/assets/").append(fileName);
}

QString doubledName(QStringView fileName) {
    const qsizetype dot = fileName.lastIndexOf(u'.');
    const qsizetype stem = dot < 0 ? fileName.size() : dot;
    QString doubled = fileName.left(stem).toString();
    doubled.append(u"@2x").append(fileName.mid(stem));
    return doubled;
}

QString translatedName(QStringView fileName, QStringView language) {
    const qsizetype doubled = fileName.lastIndexOf(u"@2x.");
    const qsizetype dot = doubled >= 0 ? doubled : fileName.lastIndexOf(u'.');
    const qsizetype stem = dot < 0 ? fileName.size() : dot;
    QString translated = fileName.left(stem).toString();
    translated.append(u'_').append(language).append(fileName.mid(stem));
    return translated;
}

QString translatedPath(const QString& path, const QLocale& locale) {
    const QString name = locale.name(); // "de_DE", "zh_CN"; "C" for the C locale
    for (const QString& language : {name, name.section(u'_', 0, 0)}) {
        if (QString translated = translatedName(path, language); QFile::exists(translated)) {
            return translated;
        }
    }
    return path;
}

} // namespace korvel::assets
