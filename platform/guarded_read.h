#pragma once

#include <memory>
#include <type_traits>

#include "platform/system_error.h"

namespace dorvane {

// Runs `read`, which reads the content of a MappedFile. Mapped memory can fail
// where a read call would return an error: the file was truncated by another
// program (SIGBUS), its medium was removed or its network share dropped (an
// in-page error on Windows). Such a failure abandons `read` where it stands and
// returns false with the system's error; the process goes on. Thread-safe; calls
// may nest. `read` is abandoned without unwinding, so the frames it leaves must
// not own anything with a destructor or hold a lock (the reader and plain loops
// over bytes do not).
bool ReadGuarded(void (*read)(void* context), void* context, SystemError& error);

template <typename Read>
bool ReadGuarded(Read&& read, SystemError& error) {
  using Callable = std::remove_reference_t<Read>;
  return ReadGuarded([](void* context) { (*static_cast<Callable*>(context))(); },
                     const_cast<void*>(static_cast<const void*>(std::addressof(read))), error);
}

}  // namespace dorvane
