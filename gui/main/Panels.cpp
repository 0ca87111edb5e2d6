#include "gui/main/Panels.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QSplitter>
#include <QWidget>

namespace lmp::gui {

QWidget* Panel(const QSize& minimum)
{
    auto* panel = new QWidget;
    panel->setMinimumSize(minimum);
    return panel;
}

void Fill(QWidget& panel, QWidget* child)
{
    auto* layout = new QHBoxLayout(&panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(child);
}

QSplitter* Splitter(Qt::Orientation orientation, int handleWidth, QWidget* first, QWidget* second)
{
    auto* splitter = new QSplitter(orientation);
    splitter->setHandleWidth(handleWidth);
    splitter->setChildrenCollapsible(false);
    splitter->setOpaqueResize(true);
    splitter->addWidget(first);
    splitter->addWidget(second);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    return splitter;
}

void SetLeadingSize(QSplitter& splitter, int size)
{
    const int extent = splitter.orientation() == Qt::Vertical ? splitter.height() : splitter.width();
    splitter.setSizes({size, std::max(0, extent - splitter.handleWidth() - size)});
}

} // namespace lmp::gui
