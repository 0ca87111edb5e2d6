#pragma once

#include <QSize>
#include <Qt>

class QSplitter;
class QWidget;

namespace lmp::gui {

// The main window's building blocks: panels that hold one child and splitters between two.

// A new panel that does not shrink below minimum.
QWidget* Panel(const QSize& minimum);

// The single child fills the panel.
void Fill(QWidget& panel, QWidget* child);

// A new splitter between first and second that lets neither collapse and resizes them as the handle
// moves. The first child keeps its size when the splitter grows or shrinks; the second takes the rest.
QSplitter* Splitter(Qt::Orientation orientation, int handleWidth, QWidget* first, QWidget* second);

// Gives the splitter's first child the size; the second takes what is left beyond the handle.
void SetLeadingSize(QSplitter& splitter, int size);

} // namespace lmp::gui
