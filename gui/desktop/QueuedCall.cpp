#include "gui/desktop/QueuedCall.h"

#include <QMetaObject>
#include <QObject>

namespace lmp::gui {

void QueuedCall::Post()
{
    if (!posted_.exchange(true)) {
        QMetaObject::invokeMethod(&target_, slot_, Qt::QueuedConnection);
    }
}

} // namespace lmp::gui
