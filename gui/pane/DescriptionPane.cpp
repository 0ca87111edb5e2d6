#include "gui/pane/DescriptionPane.h"

#include <algorithm>
#include <utility>

#include <QElapsedTimer>
#include <QMimeData>
#include <QStringList>
#include <QTextCursor>

#include "gui/desktop/ErrorBox.h"
#include "gui/desktop/Fonts.h"

namespace lmp::gui {

namespace {

// What one append may take: two thirds of a frame, so that painting and input get the rest while a long
// run of descriptions keeps the pane busy.
constexpr double kAppendBudgetNs = 11e6;
// Lines per append until appends have been measured, and the bounds of the measured figure.
constexpr std::size_t kFirstLinesPerAppend = 2048;
constexpr std::size_t kLeastLinesPerAppend = 256;
constexpr std::size_t kMostLinesPerAppend = 65536;

} // namespace

DescriptionPane::DescriptionPane(Hooks hooks, QWidget* parent)
    : QPlainTextEdit(parent), hooks_(std::move(hooks)), linesPerAppend_(kFirstLinesPerAppend)
{
    setFont(PreferredFont(QStringLiteral("Courier New"), 12, QFontDatabase::FixedFont));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    PaneFeed::Sinks sinks;
    sinks.pathOf = hooks_.pathOf;
    sinks.append = [this](std::span<const std::string> lines) { Append(lines); };
    sinks.failed = [this](const PaneRequest& failed, const QString& message,
                          const std::vector<PaneRequest>& dropped) { Failed(failed, message, dropped); };
    sinks.idle = hooks_.idle;
    feed_ = std::make_unique<PaneFeed>(std::move(sinks));
    feed_->SetLinesPerAppend(linesPerAppend_);
}

DescriptionPane::~DescriptionPane()
{
    // The worker threads stop and are joined before the text they feed goes.
    feed_.reset();
}

void DescriptionPane::Queue(PaneRequest request)
{
    feed_->Queue(std::move(request));
}

void DescriptionPane::Append(std::span<const std::string> lines)
{
    if (lines.empty()) {
        return;
    }
    QElapsedTimer spent;
    spent.start();
    QStringList text;
    text.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string& line : lines) {
        text.append(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
    }
    appendPlainText(text.join(QLatin1Char('\n')));
    // Each line becomes a block of the document, at a cost that depends on the machine: measured, so
    // that the appends of a long run stay within their share of a frame.
    if (lines.size() >= kLeastLinesPerAppend) {
        const double perLine = static_cast<double>(spent.nsecsElapsed()) / static_cast<double>(lines.size());
        appendNsPerLine_ = appendNsPerLine_ == 0 ? perLine : (3 * appendNsPerLine_ + perLine) / 4;
        linesPerAppend_ = std::clamp(static_cast<std::size_t>(kAppendBudgetNs / appendNsPerLine_),
                                     kLeastLinesPerAppend, kMostLinesPerAppend);
        feed_->SetLinesPerAppend(linesPerAppend_);
    }
}

QMimeData* DescriptionPane::createMimeDataFromSelection() const
{
    const QTextCursor cursor = textCursor();
    QString text = cursor.selectedText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    // Whole lines down to the end of the pane: the last one is ended like the others, as lmpinfo ends it.
    QTextCursor start(document());
    start.setPosition(cursor.selectionStart());
    if (!text.isEmpty() && start.atBlockStart() &&
        cursor.selectionEnd() == document()->characterCount() - 1) {
        text += QLatin1Char('\n');
    }
    auto* copied = new QMimeData;
    copied->setText(text);
    return copied;
}

void DescriptionPane::ClearPane()
{
    ++clears_;
    clear();
    feed_->Cancel();
}

void DescriptionPane::Failed(const PaneRequest& failed, const QString& message,
                             const std::vector<PaneRequest>& dropped)
{
    if (!failed.stopOnError) {
        if (hooks_.notRead) {
            hooks_.notRead(SafeBoxText(message));
        }
        return;
    }
    // A later notification for an item that was not described tries it again.
    const auto unmark = [this](const PaneRequest& request) {
        if (request.marked) {
            described_.erase(request.path);
        }
    };
    unmark(failed);
    std::for_each(dropped.begin(), dropped.end(), unmark);
    ShowErrorBox(message);
}

} // namespace lmp::gui
