#pragma once

#include <filesystem>
#include <memory>
#include <set>
#include <system_error>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include "gui/main/SizeRatios.h"
#include "testkit/GameFiles.h"

class QAction;
class QFrame;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QSplitter;
class QWidget;

namespace lmp::gui {
class CopyJobs;
class TMainForm;
class TShellListView;
class TShellTreeView;
} // namespace lmp::gui

namespace lmp::guitest {

// The window's widgets and state, which TMainForm keeps to itself, for the tests to drive and check.
struct FormParts {
    explicit FormParts(gui::TMainForm& form);

    QMenuBar* MainMenu;
    QMenu* FileMenu;
    QAction* ExitItem;
    QMenu* Help1;
    QAction* About1;
    gui::TShellListView* ShellListView1;
    gui::TShellTreeView* ShellTreeView1;
    QPlainTextEdit* Memo1;
    QWidget* UpperMainPanel;
    QSplitter* VerticalSplitter;
    QWidget* LowerMainPanel;
    QSplitter* UpperHorizSplitter;
    QSplitter* LowerHorizSplitter;
    QFrame* LowerLeftPanel;
    QWidget* UpperLeftPanel;
    QWidget* UpperRightPanel;
    QMenu* View1;
    QAction* RefreshDescription;
    QAction* RefreshDirectory;
    QAction* SelectAllOriginalLMPfiles1;
    QAction* SelectAllVJEMfiles1;
    QAction* SelectAllQQfiles1;
    QAction* SelectMatchingTP4s;
    QAction* GameDetails1;
    QAction* Filter1;
    gui::CopyJobs* Copies;
    const bool& SelectionBusy;
    const gui::SizeRatioSet& SizeRatios;
    const std::set<std::filesystem::path>& DescribedItems;
};

inline FormParts Parts(gui::TMainForm& form)
{
    return FormParts(form);
}

// A temporary folder filled with files built by testkit.
class GameFolder {
public:
    GameFolder();
    // Removes what the tests put there, names that are not UTF-8 included, which Qt cannot remove.
    ~GameFolder();
    GameFolder(const GameFolder&) = delete;
    GameFolder& operator=(const GameFolder&) = delete;

    QString Path() const { return dir_.path(); }
    QString PathOf(const QString& name) const { return dir_.filePath(name); }

    void AddTrackDesign(const QString& name, const testkit::TrackDesignFields& fields,
                        std::int32_t edition) const;
    void AddFile(const QString& name, const QByteArray& bytes) const;
    void AddFolder(const QString& name) const;

private:
    QTemporaryDir dir_;
};

// Moves the machine-wide settings, and the user's, into a temporary folder of their own for the life
// of the object, so that no test sees the machine's settings or another test's.
class MachineSettings {
public:
    MachineSettings();
    ~MachineSettings();

    // Writes the game setup's record (the text of its settings file).
    void WriteSetupRecord(const QByteArray& text) const;
    QString SetupRecordPath() const;

private:
    QTemporaryDir dir_;
};

// Closes every modal message box that opens while it lives, noting its title and text.
class MessageBoxCatcher {
public:
    MessageBoxCatcher();

    QStringList titles;
    QStringList texts;

private:
    QTimer timer_;
};

// What a window test keeps around each test: machine settings of its own, a folder for its files, the
// error boxes caught (unless the test answers boxes itself), and a fresh window. A test class derives
// from it and calls InitWindow from init() and CleanupWindow from cleanup().
class WindowFixture {
public:
    enum class Boxes { Caught, AnsweredByTheTest };

    explicit WindowFixture(Boxes boxes = Boxes::Caught);
    ~WindowFixture();

protected:
    void InitWindow();
    // Closes the window and fails the test when a caught box is left unchecked: a test that expects
    // boxes compares boxes_->texts and clears it.
    void CleanupWindow();

    // A fresh window, shown and exposed.
    gui::TMainForm& OpenWindow();
    // A fresh window opened at folder through the setup record, once its list shows items.
    gui::TMainForm& OpenAt(const GameFolder& folder, int items, int timeoutMs = 5000);
    // The description pane's text, once every file queued for it has been described.
    QString Pane() const;

    std::unique_ptr<MachineSettings> settings_;
    std::unique_ptr<MessageBoxCatcher> boxes_;
    std::unique_ptr<GameFolder> folder_;
    std::unique_ptr<gui::TMainForm> form_;

private:
    bool catchBoxes_;
};

// A folder on a slow share, through the window's way of opening folders: while it lives, each reading of
// the folder at path gives its first `before` entries, then waits until Release (or the object's end),
// then gives the rest, or fails with failure when one is given, as a folder that cannot be read does.
// Other folders read as usual.
class SlowFolder {
public:
    SlowFolder(const QString& path, std::size_t before, std::error_code failure = {});
    ~SlowFolder();
    SlowFolder(const SlowFolder&) = delete;
    SlowFolder& operator=(const SlowFolder&) = delete;

    void Release();
    // Readings of the folder waiting now.
    int Waiting() const;

    struct Gate;

private:
    std::shared_ptr<Gate> gate_;
};

// Runs pending events until none is left, error boxes included.
void ProcessPendingEvents();

// Clicks the list item at row, with the keyboard modifiers of a Ctrl- or Shift-click.
void ClickItem(gui::TShellListView& list, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void DoubleClickItem(gui::TShellListView& list, int row);

// The file names of the list's items in displayed order.
QStringList ItemNames(const gui::TShellListView& list);

} // namespace lmp::guitest
