// The settings grid on screen: a two-column tree (caption, value) over SettingsGridModel with
// editors chosen by the item's kind, and the current item's description under the tree.
#pragma once

#include <QStyledItemDelegate>
#include <QTreeView>
#include <QWidget>

#include "profiles/settings_grid.h"

class QLabel;

namespace ostrel {

class SettingsGridModel;

// Editors for the value column: an editable combo box where typing is allowed, a fixed combo
// box for fixed choices, a line edit for typed values without choices. Check boxes are the
// model's own check state. Read-only rows are drawn greyed.
class SettingsGridDelegate : public QStyledItemDelegate {
    Q_OBJECT

  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

class SettingsGridView : public QWidget {
    Q_OBJECT

  public:
    // The grid must outlive the view.
    explicit SettingsGridView(SettingsGrid* grid, QWidget* parent = nullptr);

    QTreeView* Tree() const { return tree_; }
    SettingsGridModel* Model() const { return model_; }
    // The description of the current item, as shown under the tree.
    QString DescriptionText() const;
    // The caption of the described item, empty when no item is current.
    QString DescriptionTitle() const;
    // Makes an item current (and scrolls to it), so its description shows.
    void SetCurrentItem(GridItem item);
    // The narrowest grid whose caption column (at most three quarters of it) shows every
    // caption whole; wider than designed only for a translation with longer captions.
    int WidthForWholeCaptions() const;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The caption column's width that shows every caption whole.
    int NeededCaptionWidth() const;

    void ApplyHiddenRows();
    // True when the row or one of the rows it sits under is hidden.
    bool IsHiddenInTree(const QModelIndex& index) const;
    void ShowDescription(const QModelIndex& current);

    SettingsGridModel* model_;
    QTreeView* tree_;
    QLabel* descriptionTitle_;
    QLabel* description_;
};

}  // namespace ostrel
