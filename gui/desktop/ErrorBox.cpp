#include "gui/desktop/ErrorBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>

namespace lmp::gui {

int ShowMessage(QMessageBox::Icon icon, const QString& title, const QString& text,
                QMessageBox::StandardButtons buttons, QWidget* parent)
{
    QMessageBox box(icon, title, text, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    if (buttons.testFlag(QMessageBox::No)) {
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
    }
    return box.exec();
}

void ShowErrorBox(const QString& text)
{
    QMetaObject::invokeMethod(
        qApp,
        [text] {
            ShowMessage(QMessageBox::Critical, QString::fromLatin1(kApplicationTitle), text, QMessageBox::Ok,
                        QApplication::activeWindow());
        },
        Qt::QueuedConnection);
}

} // namespace lmp::gui
