#include "GuiTestSupport.h"

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <system_error>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include "gui/desktop/NativePath.h"
#include "gui/main/MainForm.h"
#include "gui/pane/DescriptionPane.h"
#include "gui/shell/FolderListing.h"
#include "gui/shell/ShellListView.h"

namespace lmp::guitest {

FormParts::FormParts(gui::TMainForm& form)
    : MainMenu(form.MainMenu), FileMenu(form.FileMenu), ExitItem(form.ExitItem), Help1(form.Help1),
      About1(form.About1), ShellListView1(form.ShellListView1), ShellTreeView1(form.ShellTreeView1),
      Memo1(form.Memo1), UpperMainPanel(form.UpperMainPanel), VerticalSplitter(form.VerticalSplitter),
      LowerMainPanel(form.LowerMainPanel), UpperHorizSplitter(form.UpperHorizSplitter),
      LowerHorizSplitter(form.LowerHorizSplitter), LowerLeftPanel(form.LowerLeftPanel),
      UpperLeftPanel(form.UpperLeftPanel), UpperRightPanel(form.UpperRightPanel), View1(form.View1),
      RefreshDescription(form.RefreshDescription), RefreshDirectory(form.RefreshDirectory),
      SelectAllOriginalLMPfiles1(form.SelectAllOriginalLMPfiles1),
      SelectAllVJEMfiles1(form.SelectAllVJEMfiles1), SelectAllQQfiles1(form.SelectAllQQfiles1),
      SelectMatchingTP4s(form.SelectMatchingTP4s), GameDetails1(form.GameDetails1), Filter1(form.Filter1),
      Copies(form.copies_), SelectionBusy(form.SelectionBusy), SizeRatios(form.SizeRatios),
      DescribedItems(form.Memo1->DescribedItems())
{
}

GameFolder::GameFolder()
{
    if (!dir_.isValid()) {
        throw std::runtime_error("cannot make a temporary folder");
    }
}

GameFolder::~GameFolder()
{
    std::error_code error;
    std::filesystem::remove_all(gui::NativePath(dir_.path()), error);
}

void GameFolder::AddTrackDesign(const QString& name, const testkit::TrackDesignFields& fields,
                                std::int32_t edition) const
{
    testkit::WriteFile(gui::NativePath(PathOf(name)), testkit::MakeTrackDesignFile(fields, edition));
}

void GameFolder::AddFile(const QString& name, const QByteArray& bytes) const
{
    QFile file(PathOf(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        throw std::runtime_error("cannot write " + name.toStdString());
    }
}

void GameFolder::AddFolder(const QString& name) const
{
    if (!QDir(Path()).mkpath(name)) {
        throw std::runtime_error("cannot make folder " + name.toStdString());
    }
}

MachineSettings::MachineSettings()
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, dir_.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, dir_.path());
    // The user's choices too: a test's own never reach the next test or the user.
    const QString user = dir_.filePath(QStringLiteral("user"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, user);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, user);
}

MachineSettings::~MachineSettings()
{
    // Any later QSettings must not find the folder that is about to go.
    const QString nowhere = dir_.path() + QStringLiteral("/gone");
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, nowhere);
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, nowhere);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, nowhere);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, nowhere);
}

QString MachineSettings::SetupRecordPath() const
{
    return dir_.filePath(QStringLiteral("Norrow Softworks/Lumora Parks Setup.conf"));
}

void MachineSettings::WriteSetupRecord(const QByteArray& text) const
{
    const QString path = SetupRecordPath();
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) {
        throw std::runtime_error("cannot write the setup record");
    }
}

MessageBoxCatcher::MessageBoxCatcher()
{
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) {
            return;
        }
        titles << box->windowTitle();
        texts << box->text();
        const QList<QAbstractButton*> buttons = box->buttons();
        if (buttons.isEmpty()) {
            box->reject();
        } else {
            buttons.front()->click();
        }
    });
    timer_.start(5);
}

WindowFixture::WindowFixture(Boxes boxes) : catchBoxes_(boxes == Boxes::Caught) {}

WindowFixture::~WindowFixture() = default;

void WindowFixture::InitWindow()
{
    settings_ = std::make_unique<MachineSettings>();
    if (catchBoxes_) {
        boxes_ = std::make_unique<MessageBoxCatcher>();
    }
    folder_ = std::make_unique<GameFolder>();
}

void WindowFixture::CleanupWindow()
{
    ProcessPendingEvents();
    const QStringList unchecked = boxes_ ? boxes_->texts : QStringList();
    form_.reset();
    folder_.reset();
    boxes_.reset();
    settings_.reset();
    QCOMPARE(unchecked, QStringList());
}

gui::TMainForm& WindowFixture::OpenWindow()
{
    form_ = std::make_unique<gui::TMainForm>();
    form_->show();
    [&] { QVERIFY(QTest::qWaitForWindowExposed(form_.get())); }();
    return *form_;
}

gui::TMainForm& WindowFixture::OpenAt(const GameFolder& folder, int items, int timeoutMs)
{
    settings_->WriteSetupRecord("[General]\nPath=" + folder.Path().toUtf8() + "\n");
    gui::TMainForm& form = OpenWindow();
    [&] {
        QTRY_COMPARE_WITH_TIMEOUT(Parts(form).ShellListView1->ItemCount(), items, timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(!Parts(form).ShellListView1->Listing(), timeoutMs);
    }();
    return form;
}

QString WindowFixture::Pane() const
{
    [this] { QTRY_VERIFY_WITH_TIMEOUT(!form_->DescribingPending(), 60000); }();
    return Parts(*form_).Memo1->toPlainText();
}

struct SlowFolder::Gate {
    std::mutex mutex;
    std::condition_variable opened;
    bool released = false;
    std::atomic<int> waiting{0};
    std::error_code failure;
    gui::FolderListing::Opener usual = gui::FolderListing::CurrentOpener();
};

namespace {

class GatedReader final : public sys::FolderReader {
public:
    GatedReader(std::unique_ptr<sys::FolderReader> real, std::shared_ptr<SlowFolder::Gate> gate,
                std::size_t before)
        : real_(std::move(real)), gate_(std::move(gate)), before_(before)
    {
    }

    std::optional<sys::FolderEntry> Next(sys::EntryDetails details) override
    {
        if (given_ == before_) {
            ++gate_->waiting;
            std::unique_lock lock(gate_->mutex);
            gate_->opened.wait(lock, [this] { return gate_->released; });
            --gate_->waiting;
            if (gate_->failure) {
                error_ = gate_->failure;
                return std::nullopt;
            }
        }
        std::optional<sys::FolderEntry> entry = real_->Next(details);
        given_ += entry ? 1 : 0;
        error_ = real_->Error();
        return entry;
    }

    bool Detail(sys::FolderEntry& entry) override { return real_->Detail(entry); }

private:
    std::unique_ptr<sys::FolderReader> real_;
    std::shared_ptr<SlowFolder::Gate> gate_;
    std::size_t before_;
    std::size_t given_ = 0;
};

} // namespace

SlowFolder::SlowFolder(const QString& path, std::size_t before, std::error_code failure)
    : gate_(std::make_shared<Gate>())
{
    gate_->failure = failure;
    gui::FolderListing::SetOpener([gate = gate_, slow = gui::NativePath(path),
                                   before](const std::filesystem::path& folder,
                                           std::error_code& error) -> std::unique_ptr<sys::FolderReader> {
        std::unique_ptr<sys::FolderReader> reader = gate->usual(folder, error);
        if (reader == nullptr || folder != slow) {
            return reader;
        }
        return std::make_unique<GatedReader>(std::move(reader), gate, before);
    });
}

SlowFolder::~SlowFolder()
{
    Release();
    gui::FolderListing::SetOpener(gate_->usual);
}

void SlowFolder::Release()
{
    {
        const std::lock_guard lock(gate_->mutex);
        gate_->released = true;
    }
    gate_->opened.notify_all();
}

int SlowFolder::Waiting() const
{
    return gate_->waiting;
}

void ProcessPendingEvents()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

void ClickItem(gui::TShellListView& list, int row, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex index = list.model()->index(row, 0, list.rootIndex());
    list.scrollTo(index);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, modifiers, list.visualRect(index).center());
}

void DoubleClickItem(gui::TShellListView& list, int row)
{
    const QModelIndex index = list.model()->index(row, 0, list.rootIndex());
    list.scrollTo(index);
    const QPoint where = list.visualRect(index).center();
    // What the window system delivers for a double click: a click, then the double click's press.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, where);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, where);
    QTest::mouseRelease(list.viewport(), Qt::LeftButton, Qt::NoModifier, where);
}

QStringList ItemNames(const gui::TShellListView& list)
{
    QStringList names;
    for (int row = 0; row < list.ItemCount(); ++row) {
        names << QFileInfo(list.ItemPath(row)).fileName();
    }
    return names;
}

} // namespace lmp::guitest
