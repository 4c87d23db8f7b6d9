// SIGTERM during a page: the handler only raises a flag that the page work polls.
#include "filter/cancel_signal.h"

#include <csignal>

namespace velta {

namespace {

volatile std::sig_atomic_t cancel_flag = 0;

// The SIGTERM handler: remembers the request, nothing else.
void CancelJobSignal(int) { cancel_flag = 1; }

// Installs handler for SIGTERM with no flags (in particular no SA_RESTART).
void SetSigterm(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

void InstallCancelHandler() { SetSigterm(CancelJobSignal); }

void IgnoreCancelSignal() { SetSigterm(SIG_IGN); }

bool CancelRequested() { return cancel_flag != 0; }

void ResetCancelRequest() { cancel_flag = 0; }

}  // namespace velta
