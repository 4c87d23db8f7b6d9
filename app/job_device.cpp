// The device a job's bytes go to.
#include "app/job_device.h"

#include <sys/stat.h>

#include <cstring>

#include "app/job_gate.h"

namespace velta {

namespace {

// True for a file: device URI that names a folder or a regular file.
bool IsFileDevice(const char* uri) {
  char scheme[32], userpass[32], host[256], resource[1024];
  int port = 0;
  if (uri == nullptr ||
      httpSeparateURI(HTTP_URI_CODING_ALL, uri, scheme, sizeof scheme, userpass, sizeof userpass, host, sizeof host,
                      &port, resource, sizeof resource) < HTTP_URI_STATUS_OK ||
      std::strcmp(scheme, "file") != 0)
    return false;
  if (char* options = std::strchr(resource, '?')) *options = '\0';
  struct stat info {};
  return stat(resource, &info) == 0 && (S_ISDIR(info.st_mode) || S_ISREG(info.st_mode));
}

}  // namespace

JobDevice::JobDevice(pappl_job_t* job, pappl_device_t* shared) {
  pappl_printer_t* printer = papplJobGetPrinter(job);
  const char* uri = papplPrinterGetDeviceURI(printer);
  if (!IsFileDevice(uri)) {
    shared_ = shared;
    return;
  }
  own_ = papplDeviceOpen(uri, papplJobGetName(job), papplLogDevice, papplPrinterGetSystem(printer));
  if (own_ == nullptr) papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Unable to open the device %s.", uri);
}

JobDevice::~JobDevice() { papplDeviceClose(own_); }

bool RunSpooledJob(pappl_job_t* job, pappl_device_t* device, bool (*print)(pappl_job_t*, pappl_device_t*)) {
  if (EnterJob(job, true) == JobRun::End) return true;
  bool printed = false;
  {
    const JobDevice output(job, device);
    printed = output.get() != nullptr && print(job, output.get());
  }
  LeaveJob(job);
  return printed;
}

}  // namespace velta
