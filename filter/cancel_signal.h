// SIGTERM during a page: the handler only raises a flag that the page work polls.
#pragma once

namespace velta {

// Makes SIGTERM raise the cancel flag. Installed without SA_RESTART so that a
// blocked read or write returns to a point where the flag is looked at.
void InstallCancelHandler();

// Makes SIGTERM ignored: between pages and after the last page it has no effect.
void IgnoreCancelSignal();

// True once SIGTERM has arrived while a page was in progress.
bool CancelRequested();

// Forgets an earlier request, so that a job run in-process after a cancelled one starts afresh.
void ResetCancelRequest();

}  // namespace velta
