#pragma once

namespace dorvane::interrupt_cleanup {

// Temporary files to remove when the process is interrupted. Add and Remove are
// for the writers; TakeAll is for a signal handler or console control handler,
// so nothing here locks or allocates. A path is a NUL-terminated native path
// (char on POSIX systems, wchar_t on Windows).
using Path = const void*;

// A slot for `path`, or -1 when every slot is in use (the file is then just not
// removed on an interrupt).
int Add(Path path);
// Frees the slot. False when an interrupt has taken the path: its memory must
// then stay valid for the rest of the process.
bool Remove(int slot);
// Hands every registered path to `remove`, once.
void TakeAll(void (*remove)(Path path));

}  // namespace dorvane::interrupt_cleanup
