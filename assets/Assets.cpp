#include "assets/Assets.h"

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

} // namespace korvel::assets
