#pragma once

#include <exception>
#include <utility>

#include <QMessageBox>
#include <QString>

namespace lmp::gui {

// The program's name, as the main window's caption and the title of its own message boxes. It is
// not the application's display name: the desktop would add that to every other window's caption.
inline constexpr char kApplicationTitle[] = "LMPexplorer";

// Shows a modal message box over parent and returns the button chosen. The text is plain text,
// whatever characters the names in it hold. With Yes and No, No is the default and Escape's answer.
int ShowMessage(QMessageBox::Icon icon, const QString& title, const QString& text,
                QMessageBox::StandardButtons buttons, QWidget* parent);

// Text fit for a box whatever a name or path put in it: each control character and line break shown as
// U+FFFD, as lmp::SafeText does for description lines.
QString SafeBoxText(const QString& text);

// Shows text in the program's error box, as SafeBoxText gives it: a modal message box with an OK button,
// titled with the application title, the text plain. The box opens once control is back in the event loop,
// after the event whose handler failed has been dispatched, so no handler is left half-way inside a nested
// loop.
void ShowErrorBox(const QString& text);

// Runs a handler. An error that leaves it ends it there and its text goes to the error box; the
// program goes on. Qt lets no exception cross its event dispatch, so every handler that can fail
// runs through here.
template <typename Handler> void RunHandler(Handler&& handler) noexcept
{
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception& error) {
        ShowErrorBox(QString::fromUtf8(error.what()));
    } catch (...) {
        ShowErrorBox(QStringLiteral("Unknown error"));
    }
}

} // namespace lmp::gui
