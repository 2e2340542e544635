// The rows of a run as the progress window lists them: "Output File Name", "Progress" and
// "Status", with the texts derived from each row's status and percent.
#pragma once

#include <QAbstractTableModel>
#include <QPointer>

#include "conversion/conversion_run.h"

namespace ostrel {

class RunRowsModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column : int { OutputColumn = 0, ProgressColumn, StatusColumn, ColumnCount };

    enum Role : int {
        PercentRole = Qt::UserRole + 1,  // the row's progress as an int; invalid when none
    };

    explicit RunRowsModel(const ConversionRun* run, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    QPointer<const ConversionRun> run_;
};

}  // namespace ostrel
