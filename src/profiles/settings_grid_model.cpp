#include "profiles/settings_grid_model.h"

#include <QCoreApplication>
#include <QStringList>
#include <vector>

namespace ostrel {
namespace {

// Every row carries a node id: a category's number (1..3) or kItemBase plus the item's number.
// The invisible root is 0.
constexpr quintptr kRootNode = 0;
constexpr quintptr kItemBase = 100;

quintptr NodeOf(GridCategory category) {
    return static_cast<quintptr>(category);
}
quintptr NodeOf(GridItem item) {
    return kItemBase + static_cast<quintptr>(item);
}

bool IsItemNode(quintptr node) {
    return node > kItemBase;
}

GridItem ItemOfNode(quintptr node) {
    return IsItemNode(node) ? static_cast<GridItem>(node - kItemBase) : GridItem::None;
}

GridCategory CategoryOfNode(quintptr node) {
    if (IsItemNode(node)) {
        return InfoOf(ItemOfNode(node)).Category;
    }
    return static_cast<GridCategory>(node);
}

// The children of a node in grid order.
std::vector<quintptr> ChildrenOf(quintptr node) {
    std::vector<quintptr> children;
    if (node == kRootNode) {
        for (int c = 1; c <= kGridCategoryCount; ++c) {
            children.push_back(NodeOf(static_cast<GridCategory>(c)));
        }
        return children;
    }
    for (const GridItemInfo& info : GridItemTable()) {
        const bool isChild =
            IsItemNode(node)
                ? info.Parent == ItemOfNode(node)
                : info.Parent == GridItem::None && info.Category == static_cast<GridCategory>(node);
        if (isChild) {
            children.push_back(NodeOf(info.Item));
        }
    }
    return children;
}

quintptr ParentOf(quintptr node) {
    if (!IsItemNode(node)) {
        return kRootNode;
    }
    const GridItemInfo& info = InfoOf(ItemOfNode(node));
    return info.Parent != GridItem::None ? NodeOf(info.Parent) : NodeOf(info.Category);
}

int RowOf(quintptr node) {
    const std::vector<quintptr> siblings = ChildrenOf(ParentOf(node));
    for (size_t i = 0; i < siblings.size(); ++i) {
        if (siblings[i] == node) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// The grid's texts are English; the model shows them in the user's language.
QString Translated(const char* text) {
    return QCoreApplication::translate("ostrel::SettingsGrid", text);
}

// "Auto" is the one word among the values; numbers and sizes are shown as they are. An edit
// that gives the translated word back stores "Auto".
QString ShownValue(const QString& value) {
    return value == QLatin1String("Auto") ? Translated("Auto") : value;
}
QVariant StoredValue(const QVariant& value) {
    if (value.typeId() == QMetaType::QString && value.toString() == Translated("Auto")) {
        return QStringLiteral("Auto");
    }
    return value;
}

QStringList ChoiceTexts(const GridItemInfo& info) {
    QStringList texts;
    for (const char* choice : info.Choices) {
        texts.append(ShownValue(QLatin1String(choice)));
    }
    return texts;
}

}  // namespace

SettingsGridModel::SettingsGridModel(SettingsGrid* grid, QObject* parent)
    : QAbstractItemModel(parent), grid_(grid) {
    connect(grid, &SettingsGrid::valueChanged, this, &SettingsGridModel::OnItemChanged);
    connect(grid, &SettingsGrid::itemStateChanged, this, &SettingsGridModel::OnItemChanged);
    connect(grid, &SettingsGrid::categoryStateChanged, this, &SettingsGridModel::OnCategoryChanged);
}

QModelIndex SettingsGridModel::index(int row, int column, const QModelIndex& parent) const {
    if (column < 0 || column >= ColumnCount || row < 0) {
        return {};
    }
    if (parent.isValid() && parent.column() != CaptionColumn) {
        return {};
    }
    const std::vector<quintptr> children =
        ChildrenOf(parent.isValid() ? parent.internalId() : kRootNode);
    if (row >= static_cast<int>(children.size())) {
        return {};
    }
    return createIndex(row, column, children[static_cast<size_t>(row)]);
}

QModelIndex SettingsGridModel::parent(const QModelIndex& child) const {
    if (!child.isValid()) {
        return {};
    }
    const quintptr parentNode = ParentOf(child.internalId());
    if (parentNode == kRootNode) {
        return {};
    }
    return createIndex(RowOf(parentNode), CaptionColumn, parentNode);
}

int SettingsGridModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() && parent.column() != CaptionColumn) {
        return 0;
    }
    return static_cast<int>(ChildrenOf(parent.isValid() ? parent.internalId() : kRootNode).size());
}

int SettingsGridModel::columnCount(const QModelIndex& /*parent*/) const {
    return ColumnCount;
}

QVariant SettingsGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || grid_ == nullptr) {
        return {};
    }
    const GridItem item = ItemAt(index);
    const GridCategory category = CategoryOfNode(index.internalId());
    if (role == CategoryRole) {
        return static_cast<int>(category);
    }
    if (item == GridItem::None) {
        switch (role) {
            case Qt::DisplayRole:
                return index.column() == CaptionColumn
                           ? Translated(GridCategoryCaption(category).toLatin1().constData())
                           : QVariant();
            case HiddenRole:
                return grid_->IsCategoryHidden(category);
            case ReadOnlyRole:
                return true;
            case KindRole:
                return static_cast<int>(GridItemKind::None);
            case GridItemRole:
                return static_cast<int>(GridItem::None);
            default:
                return {};
        }
    }

    const GridItemInfo& info = InfoOf(item);
    const bool isCheckBox = info.Kind == GridItemKind::CheckBox;
    switch (role) {
        case Qt::DisplayRole:
            if (index.column() == CaptionColumn) {
                return Translated(info.Caption);
            }
            return isCheckBox ? QVariant() : QVariant(ShownValue(grid_->Text(item)));
        case Qt::EditRole:
            if (index.column() != ValueColumn) {
                return {};
            }
            return isCheckBox ? grid_->Value(item) : QVariant(ShownValue(grid_->Text(item)));
        case Qt::CheckStateRole:
            if (index.column() != ValueColumn || !isCheckBox) {
                return {};
            }
            return grid_->Checked(item) ? Qt::Checked : Qt::Unchecked;
        case Qt::ToolTipRole:
        case DescriptionRole:
            return info.Description != nullptr ? Translated(info.Description) : QString();
        case KindRole:
            return static_cast<int>(info.Kind);
        case ChoicesRole:
            return ChoiceTexts(info);
        case TypingAllowedRole:
            return info.TypingAllowed;
        case ReadOnlyRole:
            return grid_->IsItemReadOnly(item);
        case HiddenRole:
            return grid_->IsItemHidden(item);
        case RawValueRole:
            return grid_->Value(item);
        case GridItemRole:
            return static_cast<int>(item);
        default:
            return {};
    }
}

bool SettingsGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (grid_ == nullptr || !index.isValid() || index.column() != ValueColumn) {
        return false;
    }
    const GridItem item = ItemAt(index);
    if (item == GridItem::None) {
        return false;
    }
    const bool isCheckBox = InfoOf(item).Kind == GridItemKind::CheckBox;
    if (role == Qt::CheckStateRole && isCheckBox) {
        return grid_->SetValueByUser(item, value.toInt() == Qt::Checked);
    }
    if (role == Qt::EditRole) {
        return grid_->SetValueByUser(item, StoredValue(value));
    }
    return false;
}

Qt::ItemFlags SettingsGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid() || grid_ == nullptr) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags result = Qt::ItemIsEnabled;
    const GridItem item = ItemAt(index);
    if (item == GridItem::None) {
        return result;
    }
    result |= Qt::ItemIsSelectable;
    if (index.column() == ValueColumn && grid_->IsItemEditable(item)) {
        result |= InfoOf(item).Kind == GridItemKind::CheckBox ? Qt::ItemIsUserCheckable
                                                              : Qt::ItemIsEditable;
    }
    return result;
}

QModelIndex SettingsGridModel::IndexOfItem(GridItem item, int column) const {
    if (InfoOf(item).Item == GridItem::None || column < 0 || column >= ColumnCount) {
        return {};
    }
    return createIndex(RowOf(NodeOf(item)), column, NodeOf(item));
}

QModelIndex SettingsGridModel::IndexOfCategory(GridCategory category, int column) const {
    if (GridCategoryCaption(category).isEmpty() || column < 0 || column >= ColumnCount) {
        return {};
    }
    return createIndex(RowOf(NodeOf(category)), column, NodeOf(category));
}

GridItem SettingsGridModel::ItemAt(const QModelIndex& index) const {
    return index.isValid() ? ItemOfNode(index.internalId()) : GridItem::None;
}

GridCategory SettingsGridModel::CategoryAt(const QModelIndex& index) const {
    return index.isValid() ? CategoryOfNode(index.internalId()) : GridCategory::None;
}

void SettingsGridModel::OnItemChanged(GridItem item) {
    emit dataChanged(IndexOfItem(item, CaptionColumn), IndexOfItem(item, ValueColumn));
}

void SettingsGridModel::OnCategoryChanged(GridCategory category) {
    emit dataChanged(IndexOfCategory(category, CaptionColumn),
                     IndexOfCategory(category, ValueColumn));
}

}  // namespace ostrel
