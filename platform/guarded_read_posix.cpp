#include <cerrno>
#include <csetjmp>
#include <csignal>
#include <mutex>

#include "platform/guarded_read.h"

namespace dorvane {
namespace {

struct Guard {
  sigjmp_buf resume;
};

constinit thread_local Guard* activeGuard = nullptr;
struct sigaction previousAction {};

void OnBusError(int signal, siginfo_t* info, void*) {
  if (Guard* guard = activeGuard) siglongjmp(guard->resume, 1);
  // Not a guarded read: the fault ends the process as it would without us. A
  // fault repeats when the handler returns; a sent signal has to be raised again.
  ::sigaction(SIGBUS, &previousAction, nullptr);
  if (info == nullptr || info->si_code <= 0) ::raise(signal);
}

void InstallHandlerOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &previousAction);
  });
}

}  // namespace

bool ReadGuarded(void (*read)(void* context), void* context, SystemError& error) {
  InstallHandlerOnce();
  Guard guard;
  Guard* const outer = activeGuard;
  // The mask is saved so that SIGBUS, blocked while its handler runs, is
  // unblocked again after the jump out of it.
  if (sigsetjmp(guard.resume, 1) != 0) {
    activeGuard = outer;
    error = SystemError{EIO};
    return false;
  }
  activeGuard = &guard;
  read(context);
  activeGuard = outer;
  return true;
}

}  // namespace dorvane
