#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <span>
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
    void Append(std::span<const std::string> lines);
    // The lines that one append takes about two thirds of a frame for, as measured on the appends so
    // far: what is appended at once at most, so that the window still paints and takes input in between.
    std::size_t LinesPerAppend() const noexcept { return linesPerAppend_; }
    // Clears the text and drops whatever is queued for it.
    void ClearPane();
    // Changes with every ClearPane, so that lines held back for the pane can be told to be out of date.
    unsigned Clears() const noexcept { return clears_; }
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

protected:
    // What Copy and a drag of the selection carry: the selected text as plain text, lines ended as
    // lmpinfo ends them, characters as they are. Made from the text at once, however long the selection.
    QMimeData* createMimeDataFromSelection() const override;

private:
    void Failed(const PaneRequest& failed, const QString& message, const std::vector<PaneRequest>& dropped);

    Hooks hooks_;
    std::set<std::filesystem::path> described_;
    unsigned clears_ = 0;
    double appendNsPerLine_ = 0; // an average over the appends so far
    std::size_t linesPerAppend_;
    std::unique_ptr<PaneFeed> feed_;
};

} // namespace lmp::gui
