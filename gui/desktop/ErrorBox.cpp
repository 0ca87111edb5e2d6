#include "gui/desktop/ErrorBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>

namespace lmp::gui {

void ShowErrorBox(const QString& text)
{
    QMetaObject::invokeMethod(
        qApp,
        [text] {
            QMessageBox box(QMessageBox::Critical, QGuiApplication::applicationDisplayName(), text,
                            QMessageBox::Ok, QApplication::activeWindow());
            box.exec();
        },
        Qt::QueuedConnection);
}

} // namespace lmp::gui
