// What the format dialog's tests share: finding its children, choosing entries by keys, and a
// dialog shown for each test, with its settings grid edited as a user edits it.
#pragma once

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <memory>
#include "app/conversion_ui.h"
#include "app/format_dialog.h"
#include "app/settings_grid_view.h"
#include "app/window_placement.h"
#include "fake_encoder.h"
#include "profiles/settings_grid_model.h"
#include "pseudo_translation.h"
#include "shown_text.h"

namespace ostrel::testing {

template <typename T>
T* Child(QWidget* parent, const char* name) {
    T* child = parent->findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) {
        qFatal("no child %s", name);
    }
    return child;
}

inline QStringList Items(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) {
        items.append(combo->itemText(i));
    }
    return items;
}

// Moves a closed drop-down list to an entry with the keyboard, as a user would: Home and End
// jump to the ends, the arrow keys step (each step selects the entry it passes).
inline void SelectByKeys(QComboBox* combo, int index) {
    combo->setFocus(Qt::TabFocusReason);
    if (index == combo->currentIndex()) {
        emit combo->activated(index);  // picking the shown entry again
    } else if (index == 0) {
        QTest::keyClick(combo, Qt::Key_Home);
    } else if (index == combo->count() - 1) {
        QTest::keyClick(combo, Qt::Key_End);
    }
    while (combo->currentIndex() < index) {
        QTest::keyClick(combo, Qt::Key_Down);
    }
    while (combo->currentIndex() > index) {
        QTest::keyClick(combo, Qt::Key_Up);
    }
}

inline QAction* FindProfileAction(QMenu* menu, const QString& caption) {
    for (QAction* action : menu->findChildren<QAction*>()) {
        if (action->text() == caption && action->data().isValid()) {
            return action;
        }
    }
    return nullptr;
}

// A format dialog shown for each test.
class FormatDialogFixture : public QObject {
  protected:
    QTreeView* Tree() const { return dialog_->Grid()->Tree(); }
    SettingsGridModel* GridModel() const { return dialog_->Grid()->Model(); }
    // Opens the editor of an item's value cell, types text into it and presses Return.
    void EditInGrid(GridItem item, const QString& text) {
        if (!dialog_->Model().IsGridExpanded()) {
            QTest::mouseClick(Child<QPushButton>(dialog_.get(), "BtnMore"), Qt::LeftButton);
        }
        const QModelIndex index = GridModel()->IndexOfItem(item, SettingsGridModel::ValueColumn);
        Tree()->setFocus();
        Tree()->setCurrentIndex(index);  // a current value cell opens its editor
        if (QApplication::focusWidget() == Tree()) {
            Tree()->edit(index);
        }
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus != nullptr && focus != Tree());
        auto* combo = qobject_cast<QComboBox*>(focus);
        if (combo == nullptr) {
            combo = qobject_cast<QComboBox*>(focus->parentWidget());
        }
        QLineEdit* line = combo != nullptr ? combo->lineEdit() : qobject_cast<QLineEdit*>(focus);
        QVERIFY(line != nullptr);
        line->selectAll();
        QTest::keyClick(line, Qt::Key_Backspace);
        QTest::keyClicks(line, text);
        QTest::keyClick(line, Qt::Key_Return);
        QTRY_VERIFY(QApplication::focusWidget() == Tree());
    }
    // Toggles a check-box item with the space bar on its value cell.
    void ToggleInGrid(GridItem item) {
        if (!dialog_->Model().IsGridExpanded()) {
            QTest::mouseClick(Child<QPushButton>(dialog_.get(), "BtnMore"), Qt::LeftButton);
        }
        const QModelIndex index = GridModel()->IndexOfItem(item, SettingsGridModel::ValueColumn);
        Tree()->setFocus();
        Tree()->setCurrentIndex(index);
        QTest::keyClick(Tree(), Qt::Key_Space);
    }
    bool IsRowHidden(const QModelIndex& index) const {
        return Tree()->isRowHidden(index.row(), index.parent());
    }

    std::unique_ptr<FormVideoFormat> dialog_;

    // Before each test: the dialog, shown and active, asking nothing of the user.
    void SetUp() {
        dialog_ = std::make_unique<FormVideoFormat>(QStringLiteral("/tmp"), 4);
        dialog_->SetErrorMessageFunction([](QWidget*, const QString&, const QString&) {});
        dialog_->SetFolderChooser([](QWidget*) { return QString(); });
        dialog_->show();
        QVERIFY(QTest::qWaitForWindowActive(dialog_.get()));
    }
};

}  // namespace ostrel::testing
