#pragma once

#include <QStyledItemDelegate>

namespace lmp::gui {

// The name editor starts with the name before its extension selected, as file managers do, so that
// typing replaces the name and keeps the type. A cell's tooltip data shows only where the cell cuts
// its text off.
class NameEditor : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;

private:
    // Whether the cell's text is wider than the room the style gives it, less the margins it keeps.
    bool CutOff(const QStyleOptionViewItem& option, const QModelIndex& index) const;
};

} // namespace lmp::gui
