// Every picture of the parameter window and the about window, painted at its
// exact size and at twice that for high-density screens. File names match the
// picture controls that show them.
#pragma once

#include <QImage>
#include <QString>

#include <functional>
#include <vector>

namespace korvel::art {

struct Picture {
    // Flat pictures are one uniform colour, which stretching leaves exact, so
    // they get no twice-size copy that would only cost memory.
    enum Density { Doubled, Flat };

    QString fileName;                       // written into assets/, served as :/assets/<fileName>
    std::function<QImage(int scale)> paint; // scale 1 or 2 pixels to the unit
    Density density = Doubled;
};

// All pictures, in the order they are written.
std::vector<Picture> allPictures();

// The pictures one by one, for the contact sheet; `scale` is 1 or 2.
QImage windowBackground(int scale);
QImage readButton(bool pressed, int scale);
QImage saveButton(bool pressed, int scale);
QImage backButton(bool pressed, int scale);
QImage openButton(bool pressed, int scale);
QImage exportButton(bool pressed, int scale);
QImage veil();
QImage aboutBadge(int scale);
QImage helpBadge(int scale);
QImage minimiseBadge(int scale);
QImage closeBadge(int scale);
QImage aboutBackground(int scale);
QImage applicationIcon(int scale);

} // namespace korvel::art
