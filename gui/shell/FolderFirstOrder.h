#pragma once

#include <QSortFilterProxyModel>
#include <QString>

namespace lmp::gui {

// True when the name left comes before right in the order the rest of the program lists files in
// (lmp::NaturalLess over the names' UTF-8 bytes).
bool NameLess(const QString& left, const QString& right);

// Orders a QFileSystemModel's entries for the file list: folders first, then names by NameLess.
class FolderFirstOrder : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
};

} // namespace lmp::gui
