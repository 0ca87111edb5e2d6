#pragma once

#include <memory>
#include <utility>

#include <QObject>
#include <QString>
#include <QTimer>

class QWidget;

namespace lmp::gui {

class DescriptionPane;
class TShellListView;

// The three "Select All ..." commands, run without holding up the window: a run goes on as the
// descriptions of its files arrive from the pane's feed and once a frame, in stretches of at most half a
// frame and one append to the pane, and the window's events are handled in between. One runs at a time.
class SelectAllCommand final : public QObject {
    Q_OBJECT

public:
    // busy is set from the start of a command to its end (the window's SelectionBusy).
    SelectAllCommand(QWidget& window, TShellListView& list, DescriptionPane& pane, bool& busy);
    // Ends the running command; the widgets must still be there.
    ~SelectAllCommand() override;
    SelectAllCommand(const SelectAllCommand&) = delete;
    SelectAllCommand& operator=(const SelectAllCommand&) = delete;

    // Starts the command for edition 0, 1 or 2, ending the one running first, and returns. While the list
    // is still reading its folder, the command waits for it with the busy cursor shown, so that it covers
    // the whole folder; another folder shown meanwhile ends it. The command ends at the list's last item,
    // when the list reads a folder or its rows move, or at a file that cannot be read, whose error then
    // goes to the error box. An edition code other than 0, 1 or 2 changes nothing but busy, which it
    // leaves clear unless a command runs.
    void Start(unsigned edition);
    // Ends the running command, if any (the window is closing).
    void Stop() noexcept;
    // A command has started and not ended.
    bool Running() const noexcept { return running_; }
    // The items of the list the running command has handled, of those it walks; 0 of 0 while it waits
    // for the list or none runs.
    std::pair<int, int> Progress() const noexcept;

private:
    struct Run;

    void OnListed();
    void Begin();
    void Step();
    void StepSoon();
    void End(const QString& error = {}) noexcept;

    QWidget& window_;
    TShellListView& list_;
    DescriptionPane& pane_;
    bool& busy_;
    std::unique_ptr<Run> run_;
    unsigned runs_ = 0; // numbers the runs, so that the feed tells their files apart
    unsigned edition_ = 0;
    bool running_ = false;
    bool waitingForListing_ = false;
    QString folder_;    // the folder the command was started on
    QTimer frameTimer_; // a stretch once a frame while the command runs
    QTimer soon_;       // the next stretch, once the events waiting have run
};

} // namespace lmp::gui
