#include "app/completion_notice.h"

#include <canberra.h>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QUrl>
#include <array>

#include "common/engine_path.h"
#include "common/messages.h"

namespace ostrel {
namespace {

// Rectangles as left, top, right, bottom; QRect takes the exclusive right and bottom here.
QRect Edges(int left, int top, int right, int bottom) {
    return {QPoint(left, top), QPoint(right - 1, bottom - 1)};
}

const std::array<CompletionNotice::ItemInfo, 4>& Items() {
    using Item = CompletionNotice::Item;
    static const std::array<CompletionNotice::ItemInfo, 4> items = {{
        {Item::Background, Edges(0, 0, 220, 70), QString(), 0},
        {Item::Message, Edges(20, 30, 200, 100),
         QCoreApplication::translate("ostrel::RunOverview",
                                     "Convert Finished. Click here to open the output folder"),
         CompletionNotice::kMessageIdentifier},
        {Item::Title, Edges(5, 0, 170, 25), kApplicationTitle, 0},
        {Item::CloseButton, Edges(200, 2, 218, 20), QString(),
         CompletionNotice::kCloseButtonIdentifier},
    }};
    return items;
}

const QColor kBackground(255, 255, 225);
const QColor kBorder(0, 0, 0);

// One sound context for the program; created at the first sound. Null when the sound
// system cannot be reached, and then every sound is skipped.
ca_context* SoundContext() {
    static ca_context* context = [] {
        ca_context* created = nullptr;
        if (ca_context_create(&created) != CA_SUCCESS) {
            return static_cast<ca_context*>(nullptr);
        }
        ca_context_change_props(created, CA_PROP_APPLICATION_NAME,
                                kApplicationTitle.toUtf8().constData(), CA_PROP_APPLICATION_ID,
                                "ostrel-media-converter", nullptr);
        return created;
    }();
    return context;
}

}  // namespace

FolderOpenerFunction DefaultFolderOpener() {
    return [](const QString& folder) { QDesktopServices::openUrl(LocalFileUrl(folder)); };
}

void PlayCompletionSound() {
    ca_context* context = SoundContext();
    if (context == nullptr) {
        return;
    }
    // "complete" is the theme's sound for a finished job; themes without it still have the
    // general information sound.
    if (ca_context_play(context, 0, CA_PROP_EVENT_ID, "complete", CA_PROP_EVENT_DESCRIPTION,
                        "Conversion finished", nullptr) != CA_SUCCESS) {
        ca_context_play(context, 0, CA_PROP_EVENT_ID, "dialog-information",
                        CA_PROP_EVENT_DESCRIPTION, "Conversion finished", nullptr);
    }
}

const CompletionNotice::ItemInfo& CompletionNotice::InfoOf(Item item) {
    for (const ItemInfo& info : Items()) {
        if (info.Kind == item) {
            return info;
        }
    }
    static const ItemInfo none{Item::None, {}, "", 0};
    return none;
}

CompletionNotice::CompletionNotice(const QWidget* screenOwner)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus),
      screenOwner_(screenOwner),
      folderOpener_(DefaultFolderOpener()) {
    setObjectName(QStringLiteral("CompletionNotice"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(kWidth, kHeight);
    setMouseTracking(true);
    autoClose_.setSingleShot(true);
    autoClose_.setInterval(kVisibleMs);
    connect(&autoClose_, &QTimer::timeout, this, [this] { hide(); });
}

void CompletionNotice::ShowNotice(const QString& outputFolder, const QString& message) {
    outputFolder_ = outputFolder;
    message_ = message.isEmpty() ? InfoOf(Item::Message).Text : message;
    hovered_ = Item::None;
    // The notice keeps its width and grows downwards until the whole message fits.
    const QRect messageRect = InfoOf(Item::Message).Rect;
    const QRect needed = fontMetrics().boundingRect(
        QRect(messageRect.left(), messageRect.top(), messageRect.width(), 10000),
        Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, message_);
    setFixedSize(kWidth, qMax(kHeight, needed.bottom() + 1 + 8));

    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screenOwner_ != nullptr && screenOwner_->screen() != nullptr) {
        screen = screenOwner_->screen();
    }
    if (screen != nullptr) {
        const QRect area = screen->availableGeometry();
        move(area.right() - width() + 1 - 4, area.bottom() - height() + 1 - 4);
    }
    show();
    raise();
    update();
    autoClose_.start();
}

QRect CompletionNotice::ItemRect(Item item) const {
    QRect rect = InfoOf(item).Rect;
    if (item == Item::Background || item == Item::Message) {
        rect.setBottom(qMax(rect.bottom(), height() - 1));
    }
    return rect;
}

CompletionNotice::Item CompletionNotice::ItemAt(const QPoint& point) const {
    // Later items lie on top of earlier ones.
    const auto& items = Items();
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        if (ItemRect(it->Kind).contains(point)) {
            return it->Kind;
        }
    }
    return Item::None;
}

void CompletionNotice::ClickItem(Item item) {
    switch (InfoOf(item).Identifier) {
        case kCloseButtonIdentifier:
            autoClose_.stop();
            hide();
            break;
        case kMessageIdentifier:
            autoClose_.stop();
            hide();
            if (folderOpener_) {
                folderOpener_(outputFolder_);
            }
            break;
        default:
            break;
    }
}

void CompletionNotice::paintEvent(QPaintEvent* event) {
    Q_UNUSED(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(rect(), kBackground);
    painter.setPen(kBorder);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));

    const ItemInfo& title = InfoOf(Item::Title);
    QFont titleFont = font();
    titleFont.setBold(true);
    painter.setFont(titleFont);
    painter.drawText(title.Rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title.Text);

    QFont messageFont = font();
    messageFont.setUnderline(hovered_ == Item::Message);
    painter.setFont(messageFont);
    painter.setPen(hovered_ == Item::Message ? QColor(0, 0, 200) : kBorder);
    painter.drawText(ItemRect(Item::Message), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                     message_);

    // The close button: a small cross, framed while the pointer is on it.
    const QRect button = InfoOf(Item::CloseButton).Rect;
    if (hovered_ == Item::CloseButton) {
        painter.setPen(QColor(128, 128, 128));
        painter.drawRect(button.adjusted(0, 0, -1, -1));
    }
    QPen cross(QColor(64, 64, 64));
    cross.setWidth(2);
    painter.setPen(cross);
    const QRect inner = button.adjusted(5, 5, -5, -5);
    painter.drawLine(inner.topLeft(), inner.bottomRight());
    painter.drawLine(inner.topRight(), inner.bottomLeft());
}

void CompletionNotice::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        ClickItem(ItemAt(event->position().toPoint()));
    }
}

void CompletionNotice::mouseMoveEvent(QMouseEvent* event) {
    const Item item = ItemAt(event->position().toPoint());
    const Item shown = InfoOf(item).Identifier != 0 ? item : Item::None;
    if (shown != hovered_) {
        hovered_ = shown;
        setCursor(shown == Item::None ? Qt::ArrowCursor : Qt::PointingHandCursor);
        update();
    }
}

}  // namespace ostrel
