// The window's pictures, compiled in as Qt resources. Link korvel_assets and
// load a picture by its file name, e.g. QPixmap(korvel::assets::picturePath(u"img1.png")).
// File names match the picture controls: img1, imgRead/imgRead0, imgSave/imgSave0,
// imgBack/imgBack0, imgTran, imgAbout, imgHelp, imgMin, imgClose, about_img1,
// about_imgBack/about_imgBack0, and korvel.png for the application icon.
// Every picture but the flat veil imgTran also comes at twice the pixels for
// high-density screens, named by Qt's convention: img1@2x.png.
#pragma once

#include <QLocale>
#include <QString>
#include <QStringView>

namespace korvel::assets {

// ":/assets/" followed by the file name.
QString picturePath(QStringView fileName);

// The twice-the-pixels twin of a picture's file name or path:
// "img1.png" -> "img1@2x.png", ":/assets/img1.png" -> ":/assets/img1@2x.png".
QString doubledName(QStringView fileName);

// A picture's copy with the words in `language` ("de", "zh_CN"):
// "imgRead.png" -> "imgRead_de.png", "imgRead@2x.png" -> "imgRead_de@2x.png".
QString translatedName(QStringView fileName, QStringView language);

// The picture at `path` (e.g. ":/assets/imgRead.png") in the language of
// `locale`: its copy for the language and territory ("zh_CN") or the language
// alone ("de") where the resources hold one, the English `path` otherwise.
QString translatedPath(const QString& path, const QLocale& locale = QLocale());

} // namespace korvel::assets
