#include "app/form_flash.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

#include "app/app_shell.h"
#include "app/icons.h"
#include "app/window_placement.h"
#include "common/messages.h"

namespace ostrel {
namespace {

// 6300 x 3450 twips.
constexpr int kWidth = 420;
constexpr int kHeight = 230;

QPixmap Picture() {
    QPixmap pixmap(kWidth, kHeight);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, kHeight);
    sky.setColorAt(0, QColor(0x1f, 0x2a, 0x44));
    sky.setColorAt(1, QColor(0x3b, 0x4f, 0x7a));
    painter.fillRect(pixmap.rect(), sky);
    AppIcon().paint(&painter, QRect(24, 28, 64, 64));
    painter.setPen(Qt::white);
    const QRect titleArea(104, 34, kWidth - 120, 34);
    QFont title = painter.font();
    title.setBold(true);
    // The largest size up to 26 px at which the whole title fits.
    for (int pixels = 26; pixels > 10; --pixels) {
        title.setPixelSize(pixels);
        if (QFontMetrics(title).horizontalAdvance(kApplicationTitle) <= titleArea.width()) {
            break;
        }
    }
    painter.setFont(title);
    painter.drawText(titleArea, Qt::AlignLeft | Qt::AlignVCenter, kApplicationTitle);
    return pixmap;
}

}  // namespace

FormFlash::FormFlash(QWidget* owner, std::function<void()> openWebsite) : QDialog(owner) {
    setWindowTitle(tr("Start..."));
    setWindowFlags(DialogFlags(false) | Qt::WindowStaysOnTopHint);
    setFixedSize(kWidth, kHeight);

    picture_ = new QLabel(this);
    picture_->setPixmap(Picture());
    picture_->setGeometry(0, 0, kWidth, kHeight);

    const QString lightText = QStringLiteral("color: #e8ecf4;");
    auto* version = new QLabel(QStringLiteral("Version 5.0"), this);
    version->setStyleSheet(lightText);
    version->setGeometry(104, 70, kWidth - 112, 20);

    auto* notice =
        new QLabel(tr("Converts audio and video files for players, phones, consoles and the "
                      "web. Media work by the FFmpeg libraries."),
                   this);
    notice->setWordWrap(true);
    notice->setStyleSheet(lightText);
    notice->setGeometry(24, 106, kWidth - 48, 44);

    auto* licence = new QLabel(
        tr("Free software under the GNU General Public License, version 2 or later."), this);
    licence->setObjectName(QStringLiteral("Licence"));
    licence->setWordWrap(true);
    licence->setStyleSheet(lightText);
    licence->setGeometry(24, 152, kWidth - 48, 32);

    link_ = new QLabel(this);
    link_->setText(
        QStringLiteral("<a href=\"%1\" style=\"color:#9cc3ff\">%1</a>").arg(kWebsiteUrl));
    link_->setTextFormat(Qt::RichText);
    link_->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    link_->setOpenExternalLinks(false);
    link_->setGeometry(24, 184, kWidth - 48, 24);
    connect(link_, &QLabel::linkActivated, this, [openWebsite = std::move(openWebsite)] {
        if (openWebsite) {
            openWebsite();
        }
    });

    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, &QDialog::accept);
    timer->start(kSelfCloseMs);

    setWindowIcon(AppIcon());
}

void FormFlash::mousePressEvent(QMouseEvent* event) {
    // Labels pass their clicks on to the window; only the picture's own surface closes it.
    QWidget* under = childAt(event->position().toPoint());
    if (under == nullptr || under == picture_) {
        accept();
        return;
    }
    QDialog::mousePressEvent(event);
}

}  // namespace ostrel
