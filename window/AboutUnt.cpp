#include "window/AboutUnt.h"

#include "window/Accessibility.h"
#include "window/Fonts.h"

#include <QKeyEvent>

namespace korvel::window {
namespace {

TPicture* MakePicture(QWidget* parent, const char* name, const char* resource, QRect place,
                      bool stretched) {
    auto* picture = new TPicture(parent, QString::fromLatin1(resource), stretched);
    picture->setObjectName(QString::fromLatin1(name));
    picture->setGeometry(place);
    return picture;
}

} // namespace

TAboutFrm::TAboutFrm() : QDialog(nullptr, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("AboutFrm"));
    setFixedSize(kAboutWidth, kAboutHeight);
    setFont(SansFont(11, false));

    // Creation order is stacking order: the pressed Back lies beneath the normal one.
    img1 = MakePicture(this, "img1", ":/assets/about_img1.png",
                       QRect(0, 0, kAboutWidth, kAboutHeight), false);
    lblTemperatureH3 =
        new QLabel(tr("Software Version: %1").arg(QStringLiteral("Korvel V3.0")), this);
    lblTemperatureH3->setObjectName(QStringLiteral("lblTemperatureH3"));
    lblTemperatureH3->setGeometry(47, 81, 233, 21);
    lblTemperatureH3->setFont(MheiFont(16, true));
    lblNotices = new QLabel(QStringLiteral("<a href=\"notices\">%1</a>")
                                .arg(tr("Third-party licences").toHtmlEscaped()),
                            this);
    lblNotices->setObjectName(QStringLiteral("lblNotices"));
    // Under Back, the one place the painted panel leaves free; German needs two lines.
    lblNotices->setGeometry(346, 146, 143, 36);
    lblNotices->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblNotices->setWordWrap(true);
    lblNotices->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    lblNotices->hide();
    imgBack0 =
        MakePicture(this, "imgBack0", ":/assets/about_imgBack0.png", QRect(368, 65, 76, 76), true);
    imgBack =
        MakePicture(this, "imgBack", ":/assets/about_imgBack.png", QRect(368, 65, 76, 76), true);
    connect(imgBack, &TPicture::clicked, this, [this] { imgBackClick(); });
    NameControls(*this);
}

void TAboutFrm::centreOver(const QWidget& over) {
    QRect placed(QPoint(), size());
    placed.moveCenter(over.frameGeometry().center());
    move(placed.topLeft());
}

void TAboutFrm::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TAboutFrm::imgBackClick() {
    imgBack0->hide();
    accept();
}

} // namespace korvel::window
