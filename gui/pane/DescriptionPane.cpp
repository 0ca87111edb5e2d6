#include "gui/pane/DescriptionPane.h"

#include <algorithm>
#include <utility>

#include <QStringList>

#include "gui/desktop/ErrorBox.h"
#include "gui/desktop/Fonts.h"

namespace lmp::gui {

DescriptionPane::DescriptionPane(Hooks hooks, QWidget* parent)
    : QPlainTextEdit(parent), hooks_(std::move(hooks))
{
    setFont(PreferredFont(QStringLiteral("Courier New"), 12, QFontDatabase::FixedFont));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    PaneFeed::Sinks sinks;
    sinks.pathOf = hooks_.pathOf;
    sinks.append = [this](const Lines& lines) { Append(lines); };
    sinks.failed = [this](const PaneRequest& failed, const QString& message,
                          const std::vector<PaneRequest>& dropped) { Failed(failed, message, dropped); };
    sinks.idle = hooks_.idle;
    feed_ = std::make_unique<PaneFeed>(std::move(sinks));
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

void DescriptionPane::Append(const Lines& lines)
{
    QStringList text;
    text.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string& line : lines) {
        text.append(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
    }
    appendPlainText(text.join(QLatin1Char('\n')));
}

void DescriptionPane::ClearPane()
{
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
