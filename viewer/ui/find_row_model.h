// The rows of the Find dialog's list, held as the jobs hand them out: the column texts shown, and
// where each row lies in the recording.
#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <vector>

#include "model/find_job.h"

namespace velmora {

class FindRowModel final : public QAbstractTableModel {
  public:
    using QAbstractTableModel::QAbstractTableModel;

    // New columns empty the list.
    void set_columns(const QStringList& headers);
    void clear();
    void append(std::vector<FoundRow> rows);
    const std::vector<FoundRow>& rows() const { return rows_; }
    // Null outside the list.
    const FoundRow* row_at(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    QStringList headers_;
    std::vector<FoundRow> rows_;
};

}  // namespace velmora
