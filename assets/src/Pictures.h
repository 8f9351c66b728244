// Every picture of the parameter window and the about window, painted at its
// exact size. File names match the picture controls that show them.
#pragma once

#include <QImage>
#include <QString>

#include <functional>
#include <vector>

namespace korvel::art {

struct Picture {
    QString fileName; // written into assets/, served as :/assets/<fileName>
    std::function<QImage()> paint;
};

// All pictures, in the order they are written.
std::vector<Picture> allPictures();

// The pictures one by one, for the contact sheet.
QImage windowBackground();
QImage readButton(bool pressed);
QImage saveButton(bool pressed);
QImage backButton(bool pressed);
QImage veil();
QImage aboutBadge();
QImage helpBadge();
QImage minimiseBadge();
QImage closeBadge();
QImage aboutBackground();
QImage applicationIcon();

} // namespace korvel::art
