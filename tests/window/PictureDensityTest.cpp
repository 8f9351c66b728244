// Pictures on screens of one and two pixels to the unit. This file runs in
// window_tests at 100 % and again as window_density_tests, built with
// KORVEL_TEST_SCALE=2, at 200 %: there every picture but the flat veil must
// come from its @2x twin alone and be drawn from it pixel for pixel, at the
// same size.
#include "WindowFixture.h"

#include "assets/Assets.h"
#include "window/AboutUnt.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdlib>

#ifndef KORVEL_TEST_SCALE
#define KORVEL_TEST_SCALE 1
#endif

namespace korvel::window {
namespace {

using testing_support::WindowTest;

constexpr int kScale = KORVEL_TEST_SCALE;

// Static initialisation runs before main creates the QApplication, which
// reads the scale factor once.
[[maybe_unused]] const bool kScaleFactorSet =
    kScale == 1 || qputenv("QT_SCALE_FACTOR", QByteArray::number(kScale));

// Every picture has a twin but the veil, one flat colour.
bool HasTwin(const TPicture& picture) {
    return picture.objectName() != QStringLiteral("imgTran");
}

// The file the control should have loaded on this screen, and its ratio.
QString ExpectedFile(const TPicture& picture) {
    return kScale == 2 && HasTwin(picture) ? korvel::assets::doubledName(picture.resource())
                                           : picture.resource();
}
qreal ExpectedRatio(const TPicture& picture) {
    return HasTwin(picture) ? kScale : 1;
}

// The largest difference in any colour channel between the two images'
// pixels inside `logical`; both images must be opaque there.
int MaxDifference(const QImage& a, const QImage& b, const QRect& logical) {
    const auto pixels = [&logical](const QImage& image) {
        const qreal ratio = image.devicePixelRatio();
        return image.copy(QRect(logical.topLeft() * ratio, logical.size() * ratio))
            .convertToFormat(QImage::Format_RGB32);
    };
    const QImage left = pixels(a);
    const QImage right = pixels(b);
    if (left.size() != right.size()) {
        return 256;
    }
    int worst = 0;
    for (int y = 0; y < left.height(); ++y) {
        for (int x = 0; x < left.width(); ++x) {
            const QRgb p = left.pixel(x, y);
            const QRgb q = right.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q))});
        }
    }
    return worst;
}

TEST_F(WindowTest, EveryPictureKeepsItsSizeAndCarriesTheScreensDensity) {
    ASSERT_EQ(qApp->devicePixelRatio(), kScale) << "QT_SCALE_FACTOR did not reach the application";
    TParamter& w = show();
    TAboutFrm about;
    EXPECT_EQ(w.size(), QSize(kClientWidth, kClientHeight));

    const QList<TPicture*> pictures = w.findChildren<TPicture*>() + about.findChildren<TPicture*>();
    ASSERT_EQ(pictures.size(), 19);
    for (const TPicture* picture : pictures) {
        const std::string name = picture->resource().toStdString();
        const QImage expected(ExpectedFile(*picture));
        ASSERT_FALSE(expected.isNull()) << name;
        const QPixmap& pixmap = picture->pixmap();
        EXPECT_EQ(pixmap.size(), expected.size()) << name;
        EXPECT_EQ(pixmap.devicePixelRatio(), ExpectedRatio(*picture)) << name;
        // The twin covers exactly what the 1x picture covers.
        EXPECT_EQ(pixmap.deviceIndependentSize(), QSizeF(QImage(picture->resource()).size()))
            << name;
    }
}

TEST_F(WindowTest, TheWindowShowsThePicturesPixelForPixel) {
    TParamter& w = show();
    const QImage shot = w.grab().toImage();
    ASSERT_EQ(shot.devicePixelRatio(), kScale);
    ASSERT_EQ(shot.size(), QSize(kClientWidth, kClientHeight) * kScale);

    // The title with its words, left of the caption pictures: nothing but the
    // background lies there, so a blurred or enlarged picture shows at once.
    const QRect title(0, 0, 780, 64);
    QImage background(ExpectedFile(*w.img1));
    background.setDevicePixelRatio(ExpectedRatio(*w.img1));
    EXPECT_EQ(MaxDifference(shot, background, title), 0);

    // The About badge with its word, over the title bar; blending may round
    // a channel by one.
    QImage badge = background;
    {
        QImage twin(ExpectedFile(*w.imgAbout));
        twin.setDevicePixelRatio(ExpectedRatio(*w.imgAbout));
        QPainter p(&badge);
        p.drawImage(w.imgAbout->pos(), twin);
    }
    EXPECT_LE(MaxDifference(shot, badge, w.imgAbout->geometry()), 1);
}

} // namespace
} // namespace korvel::window
