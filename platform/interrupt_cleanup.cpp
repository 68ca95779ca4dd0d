#include "platform/interrupt_cleanup.h"

#include <atomic>

namespace dorvane::interrupt_cleanup {
namespace {

enum SlotState : int { kFree, kClaimed, kLive, kTaken };

struct Slot {
  std::atomic<int> state{kFree};
  std::atomic<Action> action{nullptr};
  std::atomic<const void*> data{nullptr};
};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<Action>::is_always_lock_free &&
                  std::atomic<const void*>::is_always_lock_free,
              "signal handlers may only use lock-free atomics");

// A process writes one or two outputs at a time; this is plenty.
constexpr int kSlots = 32;
Slot slots[kSlots];

}  // namespace

int Add(Action action, const void* data) {
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!slots[i].state.compare_exchange_strong(expected, kClaimed)) continue;
    slots[i].action.store(action);
    slots[i].data.store(data);
    slots[i].state.store(kLive);
    return i;
  }
  return -1;
}

bool Remove(int slot) {
  if (slot < 0 || slot >= kSlots) return true;
  int expected = kLive;
  return slots[slot].state.compare_exchange_strong(expected, kFree);
}

void TakeAll() {
  for (Slot& slot : slots) {
    int expected = kLive;
    if (slot.state.compare_exchange_strong(expected, kTaken)) slot.action.load()(slot.data.load());
  }
}

}  // namespace dorvane::interrupt_cleanup
