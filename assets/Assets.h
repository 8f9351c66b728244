// The window's pictures, compiled in as Qt resources. Link korvel_assets and
// load a picture by its file name, e.g. QPixmap(korvel::assets::picturePath(u"img1.png")).
// File names match the picture controls: img1, imgRead/imgRead0, imgSave/imgSave0,
// imgBack/imgBack0, imgTran, imgAbout, imgHelp, imgMin, imgClose, about_img1,
// about_imgBack/about_imgBack0, and korvel.png for the application icon.
#pragma once

#include <QString>
#include <QStringView>

namespace korvel::assets {

// ":/assets/" followed by the file name.
QString picturePath(QStringView fileName);

} // namespace korvel::assets
