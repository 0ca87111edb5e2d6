#pragma once

#include <atomic>

class QObject;

namespace lmp::gui {

// A call of one of an object's slots, posted from any thread to run on the object's thread, with at
// most one call waiting at a time: results that become ready while it waits are taken by that call.
class QueuedCall {
public:
    // slot: the name of a slot of target that takes no arguments.
    QueuedCall(QObject& target, const char* slot) noexcept : target_(target), slot_(slot) {}

    // Any thread: posts the call unless one is waiting. Posted by the slot's name, so that the call
    // event is made and freed inside Qt alone, with nothing of this program's code sharing memory with
    // it across the threads.
    void Post();
    // On the target's thread, first thing in the slot, whether the call or something else ran it: a
    // later Post posts another call.
    void Arrived() noexcept { posted_ = false; }

private:
    QObject& target_;
    const char* slot_;
    std::atomic<bool> posted_{false};
};

} // namespace lmp::gui
