#include "assets/Assets.h"

namespace korvel::assets {

QString picturePath(QStringView fileName) {
    return QStringLiteral(":/assets/").append(fileName);
}

} // namespace korvel::assets
