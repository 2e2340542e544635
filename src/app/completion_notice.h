// The completion notice: a small frameless note at the bottom right of the screen that says the
// run has finished. A click on its message opens the output folder, a click on its close button
// closes it; it closes by itself after a few seconds.
#pragma once

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
    static constexpr int kHeight = 70;
    static constexpr int kVisibleMs = 5000;

    // The notice's items, with the identifiers a click reads.
    enum class Item : int { None = 0, Background, Message, Title, CloseButton };
    static constexpr int kCloseButtonIdentifier = 2;
    static constexpr int kMessageIdentifier = 3;

    struct ItemInfo {
        Item Kind;
        QRect Rect;  // in pixels from the notice's top-left corner
        QString Text;
        int Identifier;  // 0 when the item has none
    };
    static const ItemInfo& InfoOf(Item item);

    explicit CompletionNotice(QWidget* parent = nullptr);

    void SetFolderOpener(FolderOpenerFunction opener) { folderOpener_ = std::move(opener); }

    // Builds the notice afresh for folder and shows it bottom-right on the screen.
    void ShowNotice(const QString& outputFolder);
    // The topmost item at a point of the notice.
    static Item ItemAt(const QPoint& point);
    // What a click on an item does: the close button closes, the message closes and opens the
    // output folder, the rest does nothing.
    void ClickItem(Item item);

    const QString& OutputFolder() const { return outputFolder_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    QString outputFolder_;
    FolderOpenerFunction folderOpener_;
    QTimer autoClose_;
    Item hovered_ = Item::None;
};

}  // namespace ostrel
