// The window's chrome: dragging the borderless window by its background, the
// pressed look of the picture buttons, minimise, quit, the about box and help.
#include "window/ParamterFrm.h"

#include "window/AboutUnt.h"
#include "window/Chrome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QWindow>

#include <utility>

namespace korvel::window {
namespace {

constexpr int kQuitPauseMs = 100;

void BringToFront(TPicture* pressed) {
    pressed->show();
    pressed->raise();
}

} // namespace

QString HelpDocumentPath(const QString& applicationFilePath) {
    return QDir(QFileInfo(applicationFilePath).absolutePath()).filePath(QStringLiteral("Help.pdf"));
}

QString NoticesPath(const QString& applicationFilePath) {
    return QDir::cleanPath(
        QFileInfo(applicationFilePath).absolutePath() +
        QStringLiteral("/" KORVEL_NOTICES_FROM_PROGRAM "/THIRD-PARTY-NOTICES.txt"));
}

void TParamter::bindChromeHandlers() {
    connect(img1, &TPicture::mouseDown, this, [this](Qt::MouseButton button, QPointF at) {
        guarded([&] { img1MouseDown(button, at); });
    });
    connect(img1, &TPicture::mouseMoved, this, [this](Qt::MouseButtons buttons, QPointF at) {
        guarded([&] { img1MouseMove(buttons, at); });
    });
    const std::pair<TPicture*, void (TParamter::*)()> handlers[] = {
        {imgMin, &TParamter::imgMinClick},       {imgClose, &TParamter::imgCloseClick},
        {imgAbout, &TParamter::imgAboutClick},   {imgHelp, &TParamter::imgHelpClick},
        {imgOpen, &TParamter::imgOpenClick},     {imgOpen0, &TParamter::imgOpenClick},
        {imgExport, &TParamter::imgExportClick}, {imgExport0, &TParamter::imgExportClick},
    };
    for (const auto& [picture, handler] : handlers) {
        connect(picture, &TPicture::clicked, this,
                [this, handler = handler] { guarded([this, handler] { (this->*handler)(); }); });
    }
    const std::pair<TPicture*, void (TParamter::*)()> pressHandlers[] = {
        {imgRead, &TParamter::imgReadMouseDown},     {imgSave, &TParamter::imgSaveMouseDown},
        {imgBack, &TParamter::imgBackMouseDown},     {imgOpen, &TParamter::imgOpenMouseDown},
        {imgExport, &TParamter::imgExportMouseDown},
    };
    for (const auto& [picture, handler] : pressHandlers) {
        connect(picture, &TPicture::mouseDown, this,
                [this, handler = handler] { guarded([this, handler] { (this->*handler)(); }); });
    }
}

void TParamter::img1MouseDown(Qt::MouseButton button, QPointF globalPosition) {
    dragging_ = button == Qt::LeftButton;
    systemMoveTried_ = false;
    dragPointerStart_ = globalPosition.toPoint();
    dragWindowStart_ = pos();
}

void TParamter::img1MouseMove(Qt::MouseButtons buttons, QPointF globalPosition) {
    if (!buttons.testFlag(Qt::LeftButton)) {
        dragging_ = false;
        return;
    }
    if (!dragging_) {
        return;
    }
    if (!systemMoveTried_) {
        systemMoveTried_ = true;
        // The window manager's own move keeps snapping and screen edges right;
        // it takes the pointer over, so no further moves arrive here.
        QWindow* handle = windowHandle();
        if (handle != nullptr && handle->startSystemMove()) {
            dragging_ = false;
            return;
        }
    }
    move(dragWindowStart_ + (globalPosition.toPoint() - dragPointerStart_));
}

void TParamter::imgReadMouseDown() {
    BringToFront(imgRead0);
}

void TParamter::imgSaveMouseDown() {
    BringToFront(imgSave0);
}

void TParamter::imgBackMouseDown() {
    BringToFront(imgBack0);
}

void TParamter::imgOpenMouseDown() {
    BringToFront(imgOpen0);
}

void TParamter::imgExportMouseDown() {
    BringToFront(imgExport0);
}

void TParamter::imgMinClick() {
    showMinimized();
}

void TParamter::imgCloseClick() {
    // A tick while the question is open would open a port the program may be
    // about to leave; a reply that ends the scan meanwhile clears the pause.
    scanPaused_ = tmrRead->isActive();
    tmrRead->stop();
    if (!services.prompt.confirm(tr("Are you sure you want to quit the system?"))) {
        if (std::exchange(scanPaused_, false)) {
            tmrRead->start();
        }
        return;
    }
    scanPaused_ = false;
    try {
        if (Comm->PortHandle() != 0) {
            Comm->ClosePort();
        }
        services.sleeper.sleepMs(kQuitPauseMs);
    } catch (const std::exception& error) {
        services.prompt.plain(ErrorText(error));
    }
    close();
}

void TParamter::imgAboutClick() {
    TAboutFrm about;
    about.centreOver(*this);
    // A build that was never installed has no notices: no link then.
    const QString notices = NoticesPath(QCoreApplication::applicationFilePath());
    about.lblNotices->setVisible(QFileInfo::exists(notices));
    connect(about.lblNotices, &QLabel::linkActivated, this,
            [this, notices] { services.opener.open(notices); });
    imgTran->show();
    imgTran->raise();
    about.exec();
    imgTran->hide();
}

void TParamter::imgHelpClick() {
    const QString path = HelpDocumentPath(QCoreApplication::applicationFilePath());
    // Some desktops answer a missing file with an error box of their own.
    if (QFileInfo::exists(path)) {
        services.opener.open(path);
    }
}

} // namespace korvel::window
