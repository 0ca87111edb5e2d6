#pragma once

#include <QString>
#include <QToolBar>

class QAction;
class QLabel;
class QLineEdit;

namespace lmp::gui {

// The toolbar above the views: Back, Forward and Up (Alt+Left, Alt+Right, Alt+Up), with the desktop
// theme's icons or else Qt's own, and the location bar: the folder shown, editable, completing folder
// names. Ctrl+L in the window puts the cursor in it with the path selected; Enter asks for the typed
// location to be opened; what cannot be opened is said in a label beside it.
class LocationBar : public QToolBar {
    Q_OBJECT

public:
    explicit LocationBar(QWidget& window);

    // Shows the folder's path text (see LocationText) and clears what was said.
    void ShowFolder(const QString& folder);
    // Says why the location typed was not opened.
    void SayProblem(const QString& text);
    void FocusLocation();
    void SetHistoryState(bool canGoBack, bool canGoForward, bool canGoUp);

    QAction* BackAction() const { return back_; }
    QAction* ForwardAction() const { return forward_; }
    QAction* UpAction() const { return up_; }

signals:
    // Enter was pressed in the location bar: the path text it names (see TypedLocation).
    void OpenTyped(const QString& path);

private:
    QAction* back_;
    QAction* forward_;
    QAction* up_;
    QLineEdit* edit_;
    QLabel* problem_;
    QString folder_;
};

} // namespace lmp::gui
