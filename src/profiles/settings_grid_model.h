// An item model over a SettingsGrid for a tree view: the categories are the top rows, the items
// are their children, and the four crop margins are children of "Crop Video". The model keeps
// every row; hidden rows are reported through HiddenRole so that the view hides them.
#pragma once

#include <QAbstractItemModel>
#include <QPointer>

#include "profiles/settings_grid.h"

namespace ostrel {

class SettingsGridModel : public QAbstractItemModel {
    Q_OBJECT

  public:
    enum Column : int { CaptionColumn = 0, ValueColumn, ColumnCount };

    enum Role : int {
        KindRole = Qt::UserRole + 1,  // GridItemKind as int; None for category rows
        ChoicesRole,                  // QStringList
        DescriptionRole,              // QString, empty when the item has none
        TypingAllowedRole,            // bool
        ReadOnlyRole,                 // bool
        HiddenRole,                   // bool: the row's own hidden flag
        RawValueRole,                 // QString, bool or int as SettingsGrid::Value gives it
        GridItemRole,                 // GridItem as int; None for category rows
        CategoryRole,                 // GridCategory as int
    };

    // The grid must outlive the model or be its ancestor.
    explicit SettingsGridModel(SettingsGrid* grid, QObject* parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // Edits of the value column go through the grid's user value-change handling.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    QModelIndex IndexOfItem(GridItem item, int column = CaptionColumn) const;
    QModelIndex IndexOfCategory(GridCategory category, int column = CaptionColumn) const;
    GridItem ItemAt(const QModelIndex& index) const;
    GridCategory CategoryAt(const QModelIndex& index) const;

  private:
    void OnItemChanged(GridItem item);
    void OnCategoryChanged(GridCategory category);

    QPointer<SettingsGrid> grid_;
};

}  // namespace ostrel
