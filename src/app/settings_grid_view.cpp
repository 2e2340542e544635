#include "app/settings_grid_view.h"

#include <QComboBox>
#include <QCompleter>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "profiles/settings_grid_model.h"

namespace ostrel {
namespace {

constexpr int kCaptionWidth = 170;

GridItemKind KindOf(const QModelIndex& index) {
    return static_cast<GridItemKind>(index.data(SettingsGridModel::KindRole).toInt());
}

}  // namespace

QWidget* SettingsGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                            const QModelIndex& index) const {
    if (index.column() != SettingsGridModel::ValueColumn) {
        return nullptr;
    }
    const GridItemKind kind = KindOf(index);
    const QStringList choices = index.data(SettingsGridModel::ChoicesRole).toStringList();
    if (kind == GridItemKind::FixedChoice) {
        auto* combo = new QComboBox(parent);
        combo->addItems(choices);
        // A pick is a finished edit: hand it to the model at once.
        connect(combo, &QComboBox::activated, this, [this, combo](int) {
            emit const_cast<SettingsGridDelegate*>(this)->commitData(combo);
        });
        return combo;
    }
    if (kind == GridItemKind::Text || kind == GridItemKind::WholeNumber) {
        if (!choices.isEmpty()) {
            auto* combo = new QComboBox(parent);
            combo->setEditable(index.data(SettingsGridModel::TypingAllowedRole).toBool());
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->addItems(choices);
            if (combo->completer() != nullptr) {
                // What the user types is kept as typed: "2500K" must not become "2500k".
                combo->completer()->setCaseSensitivity(Qt::CaseSensitive);
            }
            connect(combo, &QComboBox::activated, this, [this, combo](int) {
                emit const_cast<SettingsGridDelegate*>(this)->commitData(combo);
            });
            return combo;
        }
        return new QLineEdit(parent);
    }
    return QStyledItemDelegate::createEditor(parent, option, index);
}

void SettingsGridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    const QString text = index.data(Qt::EditRole).toString();
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        const int position = combo->findText(text, Qt::MatchExactly);
        if (combo->isEditable()) {
            combo->setCurrentIndex(position);
            combo->setEditText(text);
        } else {
            combo->setCurrentIndex(position < 0 ? 0 : position);
        }
        return;
    }
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        line->setText(text);
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void SettingsGridDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                        const QModelIndex& index) const {
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        model->setData(index, combo->currentText(), Qt::EditRole);
        return;
    }
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        model->setData(index, line->text(), Qt::EditRole);
        return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}

void SettingsGridDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                                const QModelIndex& index) const {
    Q_UNUSED(index);
    editor->setGeometry(option.rect);
}

QSize SettingsGridDelegate::sizeHint(const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(qMax(size.height(), 20));
    return size;
}

void SettingsGridDelegate::initStyleOption(QStyleOptionViewItem* option,
                                           const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    const bool isCategory = KindOf(index) == GridItemKind::None;
    if (isCategory) {
        option->font.setBold(true);
        return;
    }
    if (index.data(SettingsGridModel::ReadOnlyRole).toBool()) {
        option->state &= ~QStyle::State_Enabled;
        option->palette.setCurrentColorGroup(QPalette::Disabled);
    }
}

SettingsGridView::SettingsGridView(SettingsGrid* grid, QWidget* parent)
    : QWidget(parent),
      model_(new SettingsGridModel(grid, this)),
      tree_(new QTreeView(this)),
      descriptionTitle_(new QLabel(this)),
      description_(new QLabel(this)) {
    tree_->setObjectName(QStringLiteral("PropertyGrid1"));
    tree_->setAccessibleName(tr("Settings"));
    tree_->setModel(model_);
    tree_->setItemDelegate(new SettingsGridDelegate(tree_));
    tree_->setHeaderHidden(true);
    tree_->setRootIsDecorated(true);
    tree_->setAlternatingRowColors(false);
    tree_->setUniformRowHeights(true);
    tree_->setEditTriggers(QAbstractItemView::CurrentChanged | QAbstractItemView::SelectedClicked |
                           QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    tree_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tree_->header()->setStretchLastSection(true);
    tree_->header()->setSectionResizeMode(SettingsGridModel::CaptionColumn, QHeaderView::Fixed);
    tree_->header()->resizeSection(SettingsGridModel::CaptionColumn, kCaptionWidth);
    tree_->setIndentation(14);
    tree_->expandAll();

    QFont titleFont = descriptionTitle_->font();
    titleFont.setBold(true);
    descriptionTitle_->setFont(titleFont);
    description_->setObjectName(QStringLiteral("GridDescription"));
    description_->setWordWrap(true);
    description_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    description_->setMinimumHeight(44);

    auto* descriptionBox = new QWidget(this);
    descriptionBox->setAutoFillBackground(true);
    descriptionBox->setBackgroundRole(QPalette::Base);
    auto* descriptionLayout = new QVBoxLayout(descriptionBox);
    descriptionLayout->setContentsMargins(6, 4, 6, 4);
    descriptionLayout->setSpacing(2);
    descriptionLayout->addWidget(descriptionTitle_);
    descriptionLayout->addWidget(description_, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(tree_, 1);
    layout->addWidget(descriptionBox);

    tree_->installEventFilter(this);
    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { ShowDescription(current); });
    connect(model_, &QAbstractItemModel::dataChanged, this, [this] {
        ApplyHiddenRows();
        // An item that went out of sight (an audio profile hides the video settings, "Remove
        // Audio" the audio ones) is no longer current, so nothing describes it.
        if (IsHiddenInTree(tree_->currentIndex())) {
            tree_->selectionModel()->clear();
            tree_->setCurrentIndex(QModelIndex());
        }
        ShowDescription(tree_->currentIndex());
    });
    ApplyHiddenRows();
}

int SettingsGridView::NeededCaptionWidth() const {
    // Items sit one indentation deeper than their category, behind its branch mark.
    const QFontMetrics metrics = tree_->fontMetrics();
    int widest = 0;
    for (int category = 0; category < model_->rowCount(); ++category) {
        const QModelIndex parent = model_->index(category, SettingsGridModel::CaptionColumn);
        widest = qMax(widest,
                      metrics.horizontalAdvance(parent.data().toString()) + tree_->indentation());
        for (int row = 0; row < model_->rowCount(parent); ++row) {
            const QModelIndex item = model_->index(row, SettingsGridModel::CaptionColumn, parent);
            widest = qMax(widest, metrics.horizontalAdvance(item.data().toString()) +
                                      2 * tree_->indentation());
        }
    }
    return widest + 16;
}

int SettingsGridView::WidthForWholeCaptions() const {
    return (NeededCaptionWidth() * 4 + 2) / 3;
}

void SettingsGridView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // A grid made narrow by a small screen still leaves room for the values. Captions longer
    // than the designed width (a translation) widen their column up to three quarters.
    const int needed = NeededCaptionWidth();
    tree_->header()->resizeSection(SettingsGridModel::CaptionColumn,
                                   needed <= kCaptionWidth ? qMin(kCaptionWidth, width() * 3 / 5)
                                                           : qMin(needed, width() * 3 / 4));
}

QString SettingsGridView::DescriptionText() const {
    return description_->text();
}

QString SettingsGridView::DescriptionTitle() const {
    return descriptionTitle_->text();
}

bool SettingsGridView::IsHiddenInTree(const QModelIndex& index) const {
    for (QModelIndex at = index; at.isValid(); at = at.parent()) {
        if (tree_->isRowHidden(at.row(), at.parent())) {
            return true;
        }
    }
    return false;
}

void SettingsGridView::SetCurrentItem(GridItem item) {
    const QModelIndex index = model_->IndexOfItem(item, SettingsGridModel::ValueColumn);
    tree_->setCurrentIndex(index);
    tree_->scrollTo(index);
}

void SettingsGridView::ApplyHiddenRows() {
    for (int c = 0; c < model_->rowCount(); ++c) {
        const QModelIndex category = model_->index(c, 0);
        tree_->setRowHidden(c, {}, category.data(SettingsGridModel::HiddenRole).toBool());
        for (int i = 0; i < model_->rowCount(category); ++i) {
            const QModelIndex item = model_->index(i, 0, category);
            tree_->setRowHidden(i, category, item.data(SettingsGridModel::HiddenRole).toBool());
            for (int m = 0; m < model_->rowCount(item); ++m) {
                const QModelIndex child = model_->index(m, 0, item);
                tree_->setRowHidden(m, item, child.data(SettingsGridModel::HiddenRole).toBool());
            }
        }
    }
}

void SettingsGridView::ShowDescription(const QModelIndex& current) {
    const QModelIndex caption = current.siblingAtColumn(SettingsGridModel::CaptionColumn);
    descriptionTitle_->setText(caption.data(Qt::DisplayRole).toString());
    description_->setText(current.data(SettingsGridModel::DescriptionRole).toString());
}

bool SettingsGridView::eventFilter(QObject* watched, QEvent* event) {
    // The arrow keys move along the captions; F2 edits the value of the item and Space turns
    // its check box, as a click on the value does.
    // An open editor has the keys itself; only the tree's own reach this filter.
    if (watched == tree_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QModelIndex current = tree_->currentIndex();
        const QModelIndex value = current.siblingAtColumn(SettingsGridModel::ValueColumn);
        const bool plain = key->modifiers() == Qt::NoModifier;
        if (plain && current.isValid() && current.column() != SettingsGridModel::ValueColumn) {
            const Qt::ItemFlags flags = model_->flags(value);
            if (key->key() == Qt::Key_F2 && flags.testFlag(Qt::ItemIsEditable)) {
                tree_->edit(value);
                return true;
            }
            if (key->key() == Qt::Key_Space && flags.testFlag(Qt::ItemIsUserCheckable)) {
                const bool checked = value.data(Qt::CheckStateRole).toInt() == Qt::Checked;
                model_->setData(value, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace ostrel
