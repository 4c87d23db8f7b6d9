// One run of one job at a time on each printer.
#include "app/job_gate.h"

#include <malloc.h>
#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

namespace velta {

namespace {

// The jobs of one printer as the gate sees them.
struct PrinterRuns {
  int printing = 0;       // the job whose run prints now, 0 for none
  std::deque<int> ended;  // the latest jobs whose run has ended
};

// Jobs a duplicate run can still come for: it comes within moments.
constexpr std::size_t kEndedKept = 64;

std::mutex gate_mutex;
std::condition_variable gate_changed;
std::map<int, PrinterRuns> printers;  // by printer-id

// True when a run of job_id has ended on the printer.
bool HasEnded(const PrinterRuns& runs, int job_id) {
  for (int id : runs.ended)
    if (id == job_id) return true;
  return false;
}

// Keeps a stray run's thread from ever reaching PAPPL's end of the job.
[[noreturn]] void Park() {
  for (;;) pause();
}

}  // namespace

JobRun EnterJob(pappl_job_t* job, bool needs_document) {
  const int job_id = papplJobGetID(job);
  const int printer_id = papplPrinterGetID(papplJobGetPrinter(job));
  const bool cancelled_before = needs_document && papplJobGetFilename(job) == nullptr;
  std::unique_lock<std::mutex> lock(gate_mutex);
  PrinterRuns& runs = printers[printer_id];
  const bool second_run = runs.printing == job_id || HasEnded(runs, job_id);
  const int other = runs.printing;
  if (second_run || cancelled_before) {
    lock.unlock();
    papplLogJob(job, PAPPL_LOGLEVEL_WARN, "%s",
                second_run ? "The job was started a second time; that run prints nothing."
                           : "The job was cancelled before its run began; it prints nothing.");
    if (other != 0) Park();
    if (cancelled_before) papplJobCancel(job);
    return JobRun::End;
  }
  if (other != 0) {
    lock.unlock();
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Started while job %d prints: waiting for it to end.", other);
    lock.lock();
    gate_changed.wait(lock, [&] { return runs.printing == 0; });
  }
  runs.printing = job_id;
  return JobRun::Print;
}

void LeaveJob(pappl_job_t* job) {
  const int job_id = papplJobGetID(job);
  {
    std::lock_guard<std::mutex> lock(gate_mutex);
    PrinterRuns& runs = printers[papplPrinterGetID(papplJobGetPrinter(job))];
    if (runs.printing == job_id) runs.printing = 0;
    runs.ended.push_back(job_id);
    if (runs.ended.size() > kEndedKept) runs.ended.pop_front();
  }
  gate_changed.notify_all();
  // The page's buffers are mapped and go back by themselves; a photo's
  // pixels and the placing's work memory stay in the heap of the thread
  // that ran the job unless they are trimmed away.
  malloc_trim(0);
}

bool AnyJobPrinting() {
  std::lock_guard<std::mutex> lock(gate_mutex);
  for (const auto& [id, runs] : printers)
    if (runs.printing != 0) return true;
  return false;
}

}  // namespace velta
