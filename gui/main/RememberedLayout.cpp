#include "gui/main/RememberedLayout.h"

#include <algorithm>

#include <QAbstractItemModel>
#include <QGuiApplication>
#include <QHeaderView>
#include <QRect>
#include <QScreen>
#include <QSplitter>

namespace lmp::gui {

namespace {

// The part of the top edge that must be on a screen: enough of a caption to drag by.
constexpr int kCaptionHeight = 20;
constexpr int kCaptionWidth = 100;
constexpr int kWidestColumn = 5000;

QString Title(const QHeaderView& header, int logical)
{
    return header.model()->headerData(logical, Qt::Horizontal).toString();
}

} // namespace

void CaptureColumns(const QHeaderView& header, WindowChoices& choices)
{
    QStringList columns;
    QList<int> widths;
    for (int visual = 0; visual < header.count(); ++visual) {
        const int logical = header.logicalIndex(visual);
        columns << Title(header, logical);
        widths << header.sectionSize(logical);
    }
    for (qsizetype kept = 0; kept < choices.columns.size(); ++kept) {
        if (!columns.contains(choices.columns[kept])) {
            columns << choices.columns[kept];
            widths << choices.columnWidths.value(kept);
        }
    }
    choices.columns = columns;
    choices.columnWidths = widths;
    choices.sortColumn =
        header.sortIndicatorSection() >= 0 ? Title(header, header.sortIndicatorSection()) : QString();
    choices.sortDescending = header.sortIndicatorOrder() == Qt::DescendingOrder;
}

int ApplyColumns(QHeaderView& header, const WindowChoices& choices)
{
    int sortBy = -1;
    for (int logical = 0; logical < header.count(); ++logical) {
        if (!choices.sortColumn.isEmpty() && Title(header, logical) == choices.sortColumn) {
            sortBy = logical;
        }
    }
    int place = 0;
    for (qsizetype column = 0; column < choices.columns.size(); ++column) {
        for (int logical = 0; logical < header.count(); ++logical) {
            if (Title(header, logical) != choices.columns[column]) {
                continue;
            }
            header.moveSection(header.visualIndex(logical), place++);
            header.resizeSection(logical, std::clamp(choices.columnWidths.value(column),
                                                     header.minimumSectionSize(), kWidestColumn));
            break;
        }
    }
    return sortBy;
}

void ApplySplitterSizes(QSplitter& splitter, const QList<int>& sizes, bool inProportion)
{
    // The splitter would give all the room it has over the sizes to its second widget.
    const qint64 total = sizes.size() == 2 ? qint64{sizes[0]} + sizes[1] : 0;
    const int room = (splitter.orientation() == Qt::Horizontal ? splitter.width() : splitter.height()) -
                     splitter.handleWidth();
    if (total <= 0 || room <= 0) {
        return;
    }
    const auto first = inProportion ? static_cast<int>((sizes[0] * qint64{room} + total / 2) / total)
                                    : std::min(sizes[0], room);
    splitter.setSizes({first, room - first});
}

bool ShowsOnSomeScreen(const QRect& frame)
{
    if (!frame.isValid()) {
        return false;
    }
    const QRect caption(frame.topLeft(), QSize(frame.width(), kCaptionHeight));
    const QList<QScreen*> screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(), [&caption](const QScreen* screen) {
        const QRect seen = screen->availableGeometry().intersected(caption);
        return seen.width() >= std::min(kCaptionWidth, caption.width()) &&
               seen.height() >= kCaptionHeight / 2;
    });
}

} // namespace lmp::gui
