#include "gui/main/LocationBar.h"

#include <QAction>
#include <QCompleter>
#include <QDir>
#include <QFileSystemModel>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>

#include "gui/main/FolderHistory.h"

namespace lmp::gui {

namespace {

QAction* Command(QToolBar& bar, const char* name, const QString& text, const char* theme,
                 QStyle::StandardPixmap standard, QKeyCombination key)
{
    QAction* action =
        bar.addAction(QIcon::fromTheme(QLatin1StringView(theme), bar.style()->standardIcon(standard)), text);
    action->setObjectName(QLatin1StringView(name));
    action->setShortcut(QKeySequence(key));
    action->setToolTip(
        QStringLiteral("%1 (%2)").arg(text, action->shortcut().toString(QKeySequence::NativeText)));
    return action;
}

} // namespace

LocationBar::LocationBar(QWidget& window)
    : QToolBar(QStringLiteral("Location"), &window),
      back_(Command(*this, "BackAction", QStringLiteral("Back"), "go-previous", QStyle::SP_ArrowBack,
                    Qt::ALT | Qt::Key_Left)),
      forward_(Command(*this, "ForwardAction", QStringLiteral("Forward"), "go-next", QStyle::SP_ArrowForward,
                       Qt::ALT | Qt::Key_Right)),
      up_(Command(*this, "UpAction", QStringLiteral("Up"), "go-up", QStyle::SP_FileDialogToParent,
                  Qt::ALT | Qt::Key_Up)),
      edit_(new QLineEdit(this)), problem_(new QLabel(this))
{
    setObjectName(QStringLiteral("LocationBar"));
    setMovable(false);
    edit_->setObjectName(QStringLiteral("LocationEdit"));
    problem_->setObjectName(QStringLiteral("LocationProblem"));
    problem_->setTextFormat(Qt::PlainText);
    addWidget(edit_);
    addWidget(problem_);

    // Folders only, read as the completion needs them.
    auto* folders = new QFileSystemModel(this);
    folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    folders->setRootPath(QString());
    auto* completer = new QCompleter(folders, this);
    completer->setCaseSensitivity(Qt::CaseSensitive);
    edit_->setCompleter(completer);

    // What was said of the last location typed goes once it is edited.
    connect(edit_, &QLineEdit::textEdited, problem_, &QLabel::clear);
    connect(edit_, &QLineEdit::returnPressed, this,
            [this] { emit OpenTyped(TypedLocation(edit_->text(), folder_, QDir::homePath())); });
    auto* focus = new QAction(QStringLiteral("Location"), &window);
    focus->setObjectName(QStringLiteral("FocusLocation"));
    focus->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    focus->setShortcutContext(Qt::WindowShortcut);
    window.addAction(focus);
    connect(focus, &QAction::triggered, this, &LocationBar::FocusLocation);
}

void LocationBar::ShowFolder(const QString& folder)
{
    folder_ = folder;
    edit_->setText(LocationText(folder));
    problem_->clear();
}

void LocationBar::SayProblem(const QString& text)
{
    problem_->setText(text);
}

void LocationBar::FocusLocation()
{
    edit_->setFocus(Qt::ShortcutFocusReason);
    edit_->selectAll();
}

void LocationBar::SetHistoryState(bool canGoBack, bool canGoForward, bool canGoUp)
{
    back_->setEnabled(canGoBack);
    forward_->setEnabled(canGoForward);
    up_->setEnabled(canGoUp);
}

} // namespace lmp::gui
