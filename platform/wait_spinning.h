#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace dorvane {

// Waits under `lock` until `ready()`, looking again for a while (longer than a
// batch takes to come, a millisecond or so) before it sleeps: threads that hand
// batches to each other thousands of times a second otherwise sleep and are
// woken on the core of the thread that woke them, and then share that core
// while the other stands idle. Each look gives the core to whatever waits for it.
template <typename Ready>
void WaitSpinning(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                  Ready ready) {
  for (int look = 0; look < 2000 && !ready(); ++look) {
    lock.unlock();
    std::this_thread::yield();
    lock.lock();
  }
  changed.wait(lock, ready);
}

}  // namespace dorvane
