#include "conversion/run_rows_model.h"

#include <QCoreApplication>
#include <QDir>

namespace ostrel {

RunRowsModel::RunRowsModel(const ConversionRun* run, QObject* parent)
    : QAbstractTableModel(parent), run_(run) {
    connect(run, &ConversionRun::rowChanged, this, [this](int row) {
        emit dataChanged(index(row, OutputColumn), index(row, StatusColumn));
    });
}

int RunRowsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || run_ == nullptr ? 0 : run_->RowCount();
}

int RunRowsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RunRowsModel::data(const QModelIndex& index, int role) const {
    if (run_ == nullptr || !index.isValid() || index.row() >= run_->RowCount()) {
        return {};
    }
    const RunRow& row = run_->Rows().at(index.row());
    switch (role) {
        case Qt::DisplayRole:
            switch (index.column()) {
                case OutputColumn:
                    return QDir::toNativeSeparators(row.OutputPath);
                case ProgressColumn:
                    return ProgressText(row);
                case StatusColumn:
                    return StatusText(row);
                default:
                    return {};
            }
        case Qt::ToolTipRole:
            if (index.column() == OutputColumn) {
                return row.OutputPath;
            }
            return index.column() == StatusColumn ? StatusText(row) : QVariant();
        case PercentRole:
            return row.Percent ? QVariant(*row.Percent) : QVariant();
        default:
            return {};
    }
}

QVariant RunRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    switch (section) {
        case OutputColumn:
            return QCoreApplication::translate("ostrel::RunRowsModel", "Output File Name");
        case ProgressColumn:
            return QCoreApplication::translate("ostrel::RunRowsModel", "Progress");
        case StatusColumn:
            return QCoreApplication::translate("ostrel::RunRowsModel", "Status");
        default:
            return {};
    }
}

}  // namespace ostrel
