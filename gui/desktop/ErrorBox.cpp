#include "gui/desktop/ErrorBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>

#include "core/Utf8.h"

namespace lmp::gui {

QString SafeBoxText(const QString& text)
{
    return QString::fromStdString(SafeText(text.toStdString()));
}

void ShowErrorBox(const QString& text)
{
    QMetaObject::invokeMethod(
        qApp,
        [text = SafeBoxText(text)] {
            QMessageBox box(QMessageBox::Critical, QGuiApplication::applicationDisplayName(), text,
                            QMessageBox::Ok, QApplication::activeWindow());
            // A path such as "<b>x</b>.SV4" is text to show, not markup.
            box.setTextFormat(Qt::PlainText);
            box.exec();
        },
        Qt::QueuedConnection);
}

} // namespace lmp::gui
