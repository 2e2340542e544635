// The completion notice: a small frameless note at the bottom right of the screen that says how
// the run ended. A click on its message opens the output folder, a click on its close button
// closes it; it closes by itself after a few seconds. It is a window of its own, not one of the
// main window's, so the progress window (modal to the main window) does not block its clicks.
#pragma once

#include <QPointer>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace ostrel {

// Opens a folder in the desktop's file manager; injectable for tests.
using FolderOpenerFunction = std::function<void(const QString& folder)>;
FolderOpenerFunction DefaultFolderOpener();

// Plays the desktop's completion sound; nothing happens where no sound service runs.
void PlayCompletionSound();

class CompletionNotice : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kWidth = 220;
    // The least height; a message longer than two lines makes the notice taller.
    static constexpr int kHeight = 70;
    static constexpr int kVisibleMs = 5000;

    // The notice's items, with the identifiers a click reads.
    enum class Item : int { None = 0, Background, Message, Title, CloseButton };
    static constexpr int kCloseButtonIdentifier = 2;
    static constexpr int kMessageIdentifier = 3;

    struct ItemInfo {
        Item Kind;
        QRect Rect;  // in pixels from the notice's top-left corner, at the least height
        QString Text;
        int Identifier;  // 0 when the item has none
    };
    static const ItemInfo& InfoOf(Item item);

    // The notice appears on the screen of screenOwner (the main window), which it does not
    // belong to: whoever creates it deletes it.
    explicit CompletionNotice(const QWidget* screenOwner = nullptr);

    void SetFolderOpener(FolderOpenerFunction opener) { folderOpener_ = std::move(opener); }

    // Builds the notice afresh with the message and shows it bottom-right on the screen; an
    // empty message is the message of a run where every file converted.
    void ShowNotice(const QString& outputFolder, const QString& message = {});
    // An item's rectangle as the notice is now: the background and the message reach down to
    // its bottom.
    QRect ItemRect(Item item) const;
    // The topmost item at a point of the notice.
    Item ItemAt(const QPoint& point) const;
    // What a click on an item does: the close button closes, the message closes and opens the
    // output folder, the rest does nothing.
    void ClickItem(Item item);

    const QString& OutputFolder() const { return outputFolder_; }
    const QString& Message() const { return message_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    QPointer<const QWidget> screenOwner_;
    QString outputFolder_;
    QString message_;
    FolderOpenerFunction folderOpener_;
    QTimer autoClose_;
    Item hovered_ = Item::None;
};

}  // namespace ostrel
