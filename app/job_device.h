// The device a job's bytes go to. PAPPL 1.3.1 closes a file device at the end
// of every job, even while another job's run is writing to it (the runs its
// scheduling lets meet, see job_gate.h), so a job that prints to a folder or
// a file writes through a handle of its own, opened as PAPPL opens it. Any
// other device PAPPL keeps open while a job is active, and the job uses it.
#pragma once

#include <pappl/pappl.h>

namespace velta {

class JobDevice {
 public:
  // Opens the job's own handle for a folder or file device, else takes shared.
  JobDevice(pappl_job_t* job, pappl_device_t* shared);
  // Closes the job's own handle.
  ~JobDevice();
  JobDevice(const JobDevice&) = delete;
  JobDevice& operator=(const JobDevice&) = delete;

  // The device to write to; nullptr when the job's own handle could not be opened.
  pappl_device_t* get() const { return own_ ? own_ : shared_; }

 private:
  pappl_device_t* own_ = nullptr;
  pappl_device_t* shared_ = nullptr;
};

// Runs a spooled job (a file PAPPL has stored) through the job gate on the
// job's own device: print writes the job; returns what it returns, or true
// for a run that the gate ends because the job was printed or cancelled
// already.
bool RunSpooledJob(pappl_job_t* job, pappl_device_t* device, bool (*print)(pappl_job_t*, pappl_device_t*));

}  // namespace velta
