#pragma once

#include "gui/shell/ShellListView.h"

namespace lmp::gui {

// Holds back the list's notifications while one user action changes the selection and the focus,
// so that they go out once the states are final, the focused item last. For the list's own sources.
class TShellListView::NotificationBatch {
public:
    explicit NotificationBatch(TShellListView& list, bool concernsAll = false) : list_(list)
    {
        ++list_.batchDepth_;
        list_.batchConcernsAll_ = list_.batchConcernsAll_ || concernsAll;
    }
    ~NotificationBatch()
    {
        if (--list_.batchDepth_ == 0) {
            list_.FlushNotifications();
        }
    }
    NotificationBatch(const NotificationBatch&) = delete;
    NotificationBatch& operator=(const NotificationBatch&) = delete;

private:
    TShellListView& list_;
};

} // namespace lmp::gui
