#pragma once

namespace dorvane::interrupt_cleanup {

// What to undo when the process is interrupted: temporary files to remove,
// destinations written in place to put back. Add and Remove are for the
// writers; TakeAll is for a signal handler or console control handler, so
// nothing here locks or allocates, and an action may only do what such a
// handler may.
using Action = void (*)(const void* data);

// A slot for `action` on `data`, or -1 when every slot is in use (the action is
// then just not taken on an interrupt).
int Add(Action action, const void* data);
// Frees the slot. False when an interrupt has taken it: `data` must then stay
// valid for the rest of the process.
bool Remove(int slot);
// Runs every registered action, once.
void TakeAll();

}  // namespace dorvane::interrupt_cleanup
