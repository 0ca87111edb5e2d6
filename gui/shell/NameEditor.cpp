#include "gui/shell/NameEditor.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMetaObject>
#include <QStyle>
#include <QToolTip>

#include "gui/desktop/ErrorBox.h"
#include "gui/shell/FileListModel.h"

namespace lmp::gui {

bool NameEditor::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                           const QModelIndex& index)
{
    if (event == nullptr || event->type() != QEvent::ToolTip) {
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    const QString tip = index.data(Qt::ToolTipRole).toString();
    if (tip.isEmpty() || !CutOff(option, index)) {
        QToolTip::hideText();
        return true;
    }
    // As plain text, whatever the name holds.
    QToolTip::showText(event->globalPos(),
                       QStringLiteral("<p style='white-space:pre'>") + SafeBoxText(tip).toHtmlEscaped() +
                           QStringLiteral("</p>"),
                       view, option.rect);
    return true;
}

void NameEditor::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    QStyledItemDelegate::setEditorData(editor, index);
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (line == nullptr) {
        return;
    }
    const auto* files = qobject_cast<const FileListModel*>(index.model());
    const QString name = line->text();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const bool folder = files != nullptr && files->Item(index.row()).isFolder;
    const int length = static_cast<int>(!folder && dot > 0 ? dot : name.size());
    // The view selects the whole text once the editor is up; this runs after it.
    QMetaObject::invokeMethod(
        line, [line, length] { line->setSelection(0, length); }, Qt::QueuedConnection);
}

bool NameEditor::CutOff(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QStyle* style = item.widget != nullptr ? item.widget->style() : QApplication::style();
    const QRect room = style->subElementRect(QStyle::SE_ItemViewItemText, &item, item.widget);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, item.widget) + 1;
    return item.fontMetrics.horizontalAdvance(item.text) > room.width() - 2 * margin;
}

} // namespace lmp::gui
