#include "gui/desktop/ErrorBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>

#include "core/Utf8.h"

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

QString SafeBoxText(const QString& text)
{
    return QString::fromStdString(SafeText(text.toStdString()));
}

void ShowErrorBox(const QString& text)
{
    QMetaObject::invokeMethod(
        qApp,
        [text = SafeBoxText(text)] {
            ShowMessage(QMessageBox::Critical, QString::fromLatin1(kApplicationTitle), text, QMessageBox::Ok,
                        QApplication::activeWindow());
        },
        Qt::QueuedConnection);
}

} // namespace lmp::gui
