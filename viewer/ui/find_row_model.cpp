#include "find_row_model.h"

#include <iterator>

namespace velmora {

void FindRowModel::set_columns(const QStringList& headers) {
    beginResetModel();
    headers_ = headers;
    rows_.clear();
    endResetModel();
}

void FindRowModel::clear() {
    if (rows_.empty()) return;
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void FindRowModel::append(std::vector<FoundRow> rows) {
    if (rows.empty()) return;
    const int first = static_cast<int>(rows_.size());
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()),
                 std::make_move_iterator(rows.end()));
    endInsertRows();
}

const FoundRow* FindRowModel::row_at(int row) const {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return nullptr;
    return &rows_[static_cast<size_t>(row)];
}

int FindRowModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FindRowModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(headers_.size());
}

QVariant FindRowModel::data(const QModelIndex& index, int role) const {
    const FoundRow* row = row_at(index.row());
    if (row == nullptr || role != Qt::DisplayRole) return {};
    const auto column = static_cast<size_t>(index.column());
    return column < row->texts.size() ? QString::fromStdString(row->texts[column]) : QString();
}

QVariant FindRowModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= headers_.size())
        return {};
    return headers_.at(section);
}

}  // namespace velmora
