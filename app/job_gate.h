// One run of one job at a time on each printer, whatever PAPPL 1.3.1's
// scheduling does. PAPPL marks a job as printing only once the thread it
// starts for the job runs, so in that moment a second job can start beside
// it (two checks for work at once, or a raster stream), the same job can be
// started twice, and a job cancelled then still runs. Two runs at once would
// interleave their bytes on the device; a run that ends twice leaves the job
// twice in PAPPL's list of finished jobs. The gate lets one job print at a
// time, the others wait their turn; a second run of a job ends without
// touching the device, and one that cannot end safely is parked for good.
#pragma once

#include <pappl/pappl.h>

namespace velta {

// What a run of a job is to do.
enum class JobRun {
  Print,  // print the job, then call LeaveJob
  End,    // end at once and report success: the job was printed, or cancelled, already
};

// Enters a run of job, waiting while another job prints. needs_document is
// true for a spooled job, whose document PAPPL removes when the job is
// cancelled before its run. Never returns for a stray run while another job
// prints: ending it would reset PAPPL's note of the job it is printing.
JobRun EnterJob(pappl_job_t* job, bool needs_document);

// Ends the run that EnterJob let print, and gives the job's freed memory
// back to the system.
void LeaveJob(pappl_job_t* job);

// True while a job prints on any printer.
bool AnyJobPrinting();

}  // namespace velta
