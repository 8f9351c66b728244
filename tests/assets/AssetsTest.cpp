// The window places every picture at a fixed size and relies on its alpha:
// the background must cover the client area, round buttons must not show
// square corners over the button column, and the veil must only tint. For
// high-density screens each picture but the veil has an @2x twin.
#include "assets/Assets.h"

#include <QImage>
#include <QLocale>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <string>

namespace {

enum class Corners { Opaque, Clear };
// Whether the picture shows words, which each language paints in its own.
// SomeEnglishInGerman: words German writes as English does ("Export").
enum class Words { Some, SomeEnglishInGerman, None };

struct PictureCase {
    const char* file;
    int width;
    int height;
    Corners corners;
    Words words;
};

const PictureCase kPictures[] = {
    {"img1.png", 978, 789, Corners::Opaque, Words::Some},
    {"imgRead.png", 76, 76, Corners::Clear, Words::Some},
    {"imgRead0.png", 76, 76, Corners::Clear, Words::Some},
    {"imgSave.png", 76, 76, Corners::Clear, Words::Some},
    {"imgSave0.png", 76, 76, Corners::Clear, Words::Some},
    {"imgBack.png", 76, 76, Corners::Clear, Words::Some},
    {"imgBack0.png", 76, 76, Corners::Clear, Words::Some},
    {"imgOpen.png", 76, 76, Corners::Clear, Words::Some},
    {"imgOpen0.png", 76, 76, Corners::Clear, Words::Some},
    {"imgExport.png", 76, 76, Corners::Clear, Words::SomeEnglishInGerman},
    {"imgExport0.png", 76, 76, Corners::Clear, Words::SomeEnglishInGerman},
    {"imgAbout.png", 36, 36, Corners::Clear, Words::Some},
    {"imgHelp.png", 36, 36, Corners::Clear, Words::Some},
    {"imgMin.png", 24, 24, Corners::Clear, Words::None},
    {"imgClose.png", 23, 24, Corners::Clear, Words::None},
    {"about_img1.png", 502, 208, Corners::Opaque, Words::Some},
    {"about_imgBack.png", 76, 76, Corners::Clear, Words::Some},
    {"about_imgBack0.png", 76, 76, Corners::Clear, Words::Some},
    {"korvel.png", 256, 256, Corners::Clear, Words::None},
};

void PrintTo(const PictureCase& c, std::ostream* os) {
    *os << c.file;
}

class PictureTest : public testing::TestWithParam<PictureCase> {};

void ExpectSizeAlphaAndCorners(const QImage& image, QSize size, Corners corners) {
    EXPECT_EQ(image.size(), size);
    EXPECT_TRUE(image.hasAlphaChannel());
    const int expected = corners == Corners::Opaque ? 255 : 0;
    for (const QPoint corner :
         {QPoint(0, 0), QPoint(image.width() - 1, 0), QPoint(0, image.height() - 1),
          QPoint(image.width() - 1, image.height() - 1)}) {
        EXPECT_EQ(qAlpha(image.pixel(corner)), expected)
            << "corner " << corner.x() << "," << corner.y();
    }
}

// The mean difference per channel, alpha included, between two images of one size.
double MeanDifference(const QImage& a, const QImage& b) {
    const QImage left = a.convertToFormat(QImage::Format_ARGB32);
    const QImage right = b.convertToFormat(QImage::Format_ARGB32);
    double sum = 0;
    for (int y = 0; y < left.height(); ++y) {
        for (int x = 0; x < left.width(); ++x) {
            const QRgb p = left.pixel(x, y);
            const QRgb q = right.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q)) + std::abs(qAlpha(p) - qAlpha(q));
        }
    }
    return sum / (4.0 * left.width() * left.height());
}

TEST_P(PictureTest, HasItsSizeAlphaAndCorners) {
    const PictureCase& c = GetParam();
    const QImage image(korvel::assets::picturePath(QString::fromLatin1(c.file)));
    ASSERT_FALSE(image.isNull()) << c.file << " is missing from the resources";
    ExpectSizeAlphaAndCorners(image, QSize(c.width, c.height), c.corners);
}

TEST_P(PictureTest, HasATwinOfTwiceTheSizeThatShowsTheSame) {
    const PictureCase& c = GetParam();
    const QString file = QString::fromLatin1(c.file);
    const QImage twin(korvel::assets::picturePath(korvel::assets::doubledName(file)));
    ASSERT_FALSE(twin.isNull()) << c.file << " has no @2x twin in the resources";
    ExpectSizeAlphaAndCorners(twin, QSize(c.width, c.height) * 2, c.corners);

    // Shrunk to half, the twin is the picture again, give or take the edges
    // that the finer pixels place more exactly: below 3 for the small badges
    // with words, above 20 for another picture or the pressed look.
    const QImage image(korvel::assets::picturePath(file));
    const QImage shrunk =
        twin.scaled(image.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_LT(MeanDifference(shrunk, image), 5.0);
}

// A picture with words has a copy in each language, at its sizes; one
// without is the English picture in every language.
TEST_P(PictureTest, ComesInEveryLanguageAtItsSizes) {
    const PictureCase& c = GetParam();
    const QString english = korvel::assets::picturePath(QString::fromLatin1(c.file));
    for (const QLocale& locale :
         {QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::German, QLocale::Austria),
          QLocale(QLocale::Chinese, QLocale::China)}) {
        SCOPED_TRACE(locale.name().toStdString());
        const QString path = korvel::assets::translatedPath(english, locale);
        if (c.words == Words::None ||
            (c.words == Words::SomeEnglishInGerman && locale.language() == QLocale::German)) {
            EXPECT_EQ(path, english);
            continue;
        }
        ASSERT_NE(path, english);
        const QImage image(path);
        const QImage twin(korvel::assets::doubledName(path));
        ExpectSizeAlphaAndCorners(image, QSize(c.width, c.height), c.corners);
        ExpectSizeAlphaAndCorners(twin, QSize(c.width, c.height) * 2, c.corners);
        EXPECT_NE(image, QImage(english));
    }
    // Where Korvel has no translation, the English picture shows.
    EXPECT_EQ(korvel::assets::translatedPath(english, QLocale(QLocale::French)), english);
    EXPECT_EQ(korvel::assets::translatedPath(english, QLocale(QLocale::Chinese, QLocale::Taiwan)),
              english);
}

INSTANTIATE_TEST_SUITE_P(Assets, PictureTest, testing::ValuesIn(kPictures), [](const auto& row) {
    std::string name = row.param.file;
    name = name.substr(0, name.find('.'));
    std::erase(name, '_');
    return name;
});

TEST(VeilTest, IsOneUniformTranslucentGreyWithoutATwin) {
    const QImage image(korvel::assets::picturePath(u"imgTran.png"));
    ASSERT_FALSE(image.isNull());
    ASSERT_EQ(image.size(), QSize(1366, 768));
    ASSERT_TRUE(image.hasAlphaChannel());
    const QRgb veil = qRgba(174, 166, 166, 63);
    const QImage pixels = image.convertToFormat(QImage::Format_ARGB32);
    int wrong = 0;
    for (int y = 0; y < pixels.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        for (int x = 0; x < pixels.width(); ++x) {
            wrong += row[x] != veil ? 1 : 0;
        }
    }
    EXPECT_EQ(wrong, 0);
    // Stretching one colour is exact: a twin would only cost memory.
    EXPECT_TRUE(QImage(korvel::assets::picturePath(u"imgTran@2x.png")).isNull());
}

} // namespace
