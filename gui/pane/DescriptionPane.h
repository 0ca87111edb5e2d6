#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <QPlainTextEdit>
#include <QString>

#include "core/Describe.h"
#include "gui/pane/PaneFeed.h"

namespace lmp::gui {

// The description pane: the text that descriptions are appended to, the feed that describes its files
// on worker threads, and the list items counted as described. A file that cannot be read shows the
// error box and unmarks the items that it and the requests dropped after it stood for, so that a later
// notification for them tries again.
class DescriptionPane final : public QPlainTextEdit {
    Q_OBJECT

public:
    struct Hooks {
        // The path of the list item at index while the list shows the given contents; empty once the
        // list has moved on.
        std::function<std::optional<std::filesystem::path>(int index, unsigned contents)> pathOf;
        // A file of a request that does not stop on error could not be read: the message, as box text.
        std::function<void(const QString& message)> notRead;
        // Nothing is queued any more.
        std::function<void()> idle;
    };

    explicit DescriptionPane(Hooks hooks, QWidget* parent = nullptr);
    // Stops the files being read and waits for the worker threads.
    ~DescriptionPane() override;

    // Queues a request behind the others (see PaneFeed::Queue).
    void Queue(PaneRequest request);
    // Appends the lines in one go, so that the pane is laid out once rather than once per line.
    void Append(const Lines& lines);
    // Clears the text and drops whatever is queued for it.
    void ClearPane();
    // Files queued that have not reached the pane yet.
    bool Pending() const { return feed_->Busy(); }
    // The feed, for a select-all run that takes its own results.
    PaneFeed& Feed() { return *feed_; }
    void SetDecimalMark(std::string mark) { feed_->SetDecimalMark(std::move(mark)); }

    // The list items, by their files, described since a selection change last reset the pane; a re-sort
    // of the list leaves them as they are.
    const std::set<std::filesystem::path>& DescribedItems() const { return described_; }
    void MarkDescribed(std::filesystem::path file) { described_.insert(std::move(file)); }
    void ForgetDescribed() { described_.clear(); }

private:
    void Failed(const PaneRequest& failed, const QString& message, const std::vector<PaneRequest>& dropped);

    Hooks hooks_;
    std::set<std::filesystem::path> described_;
    std::unique_ptr<PaneFeed> feed_;
};

} // namespace lmp::gui
