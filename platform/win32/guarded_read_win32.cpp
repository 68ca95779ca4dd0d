#include <windows.h>

#include <mutex>

#include "platform/guarded_read.h"

#if !defined(__x86_64__)
#error "the guarded read redirects an x64 thread context"
#endif

namespace dorvane {
namespace {

// A vectored handler sees an in-page error before any frame does. It cannot
// jump out itself (the system is still dispatching the exception), so it has the
// thread continue in ResumeAfterFault, which jumps back to the guard's start.
struct Guard {
  void* resume[5];  // __builtin_setjmp's buffer
  DWORD error = ERROR_SUCCESS;
};

DWORD guardSlot = TLS_OUT_OF_INDEXES;

Guard* ActiveGuard() {
  return static_cast<Guard*>(::TlsGetValue(guardSlot));
}

[[noreturn]] void ResumeAfterFault(Guard* guard) {
  __builtin_longjmp(guard->resume, 1);
}

// The status under an in-page error (a lost device, a dropped network) as the
// Win32 error the system would report for a failed read.
DWORD InPageError(const EXCEPTION_RECORD& record) {
  using StatusToError = ULONG(WINAPI*)(LONG);
  static const auto toError = reinterpret_cast<StatusToError>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlNtStatusToDosError")));
  if (record.NumberParameters >= 3 && toError != nullptr) {
    const ULONG error = toError(static_cast<LONG>(record.ExceptionInformation[2]));
    if (error != ERROR_SUCCESS && error != ERROR_MR_MID_NOT_FOUND) return error;
  }
  return ERROR_READ_FAULT;
}

LONG CALLBACK OnException(EXCEPTION_POINTERS* exception) {
  if (exception->ExceptionRecord->ExceptionCode != EXCEPTION_IN_PAGE_ERROR)
    return EXCEPTION_CONTINUE_SEARCH;
  Guard* guard = ActiveGuard();
  if (guard == nullptr) return EXCEPTION_CONTINUE_SEARCH;
  guard->error = InPageError(*exception->ExceptionRecord);
  // Below the faulting frame, 16-byte aligned as at a call, with the fault as
  // the return address, so that the stack stays walkable.
  CONTEXT& context = *exception->ContextRecord;
  const DWORD64 base = (context.Rsp - 256) & ~DWORD64{15};
  context.Rsp = base - 40;
  *reinterpret_cast<DWORD64*>(context.Rsp) = context.Rip;
  context.Rip = reinterpret_cast<DWORD64>(&ResumeAfterFault);
  context.Rcx = reinterpret_cast<DWORD64>(guard);
  return EXCEPTION_CONTINUE_EXECUTION;
}

void InstallHandlerOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    guardSlot = ::TlsAlloc();
    ::AddVectoredExceptionHandler(1, OnException);
  });
}

}  // namespace

bool ReadGuarded(void (*read)(void* context), void* context, SystemError& error) {
  InstallHandlerOnce();
  Guard guard;
  Guard* const outer = ActiveGuard();
  if (__builtin_setjmp(guard.resume) != 0) {
    ::TlsSetValue(guardSlot, outer);
    error = SystemError{guard.error};
    return false;
  }
  ::TlsSetValue(guardSlot, &guard);
  read(context);
  ::TlsSetValue(guardSlot, outer);
  return true;
}

}  // namespace dorvane
