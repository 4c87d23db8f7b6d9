// The PAPPL system of the application: where it listens and keeps its state.
#include "app/system_setup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/admin_access.h"
#include "app/dnssd_probe.h"
#include "app/job_gate.h"
#include "app/page_printer.h"
#include "app/pdf_printer.h"
#include "app/photo_printer.h"
#include "app/printer_delete.h"
#include "app/printer_driver.h"
#include "app/server_option.h"

namespace velta {

namespace {

// The default state folder: system-wide for root, in the home folder otherwise.
std::string DefaultStateDirectory() {
  if (getuid() == 0) return "/var/lib/velta-printer-app";
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "/tmp") + "/.config/velta-printer-app";
}

// PAPPL's log level for a level name; warn for an unknown one.
pappl_loglevel_t LogLevelNamed(const std::string& name) {
  if (name == "debug") return PAPPL_LOGLEVEL_DEBUG;
  if (name == "info") return PAPPL_LOGLEVEL_INFO;
  if (name == "error") return PAPPL_LOGLEVEL_ERROR;
  if (name == "fatal") return PAPPL_LOGLEVEL_FATAL;
  return PAPPL_LOGLEVEL_WARN;
}

// Says what a missing DNS-SD daemon takes away, and keeps PAPPL from trying
// (and logging an error) when nothing could come of it. Returns whether
// printers are to be advertised.
bool CheckDnssd(pappl_system_t* system) {
  switch (ProbeDnssd()) {
    case DnssdState::Available:
      return true;
    case DnssdState::Waiting:
      papplLog(system, PAPPL_LOGLEVEL_WARN,
               "The DNS-SD daemon (avahi-daemon) is not running: printers are advertised on the local network "
               "once it starts; until then clients need a printer's URI, ipp://HOST:PORT/ipp/print/NAME.");
      return true;
    case DnssdState::Missing:
      break;
  }
  papplLog(system, PAPPL_LOGLEVEL_WARN,
           "No DNS-SD daemon (avahi-daemon on the system bus) is running: printers are not advertised on the local "
           "network, so clients do not find them by themselves; give them a printer's URI, "
           "ipp://HOST:PORT/ipp/print/NAME. Restart the server once the daemon runs.");
  return false;
}

// Clears a printer's DNS-SD name, so that it is not advertised.
void ForgetDnssdName(pappl_printer_t* printer, void*) { papplPrinterSetDNSSDName(printer, nullptr); }

// Saves the printers and settings when PAPPL reports a change, once no job
// prints. PAPPL 1.3.1 reports one for every job, and its saving takes the
// system's lock before a printer's while refusing a raster job that comes
// when the printer is busy takes them the other way round: the two at once
// hang the server. The change a job reports is saved after it, with the next.
bool SaveState(pappl_system_t* system, void* state_file) {
  return !AnyJobPrinting() && papplSystemSaveState(system, static_cast<const char*>(state_file));
}

}  // namespace

pappl_system_t* CreateVeltaSystem(int num_options, cups_option_t* options, void*) {
  const std::string state_dir = ServerOption("state-directory", num_options, options, DefaultStateDirectory());
  if (mkdir(state_dir.c_str(), 0700) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "velta-printer-app: cannot create %s: %s\n", state_dir.c_str(), std::strerror(errno));
    return nullptr;
  }
  const std::string spool_dir = state_dir + "/spool";
  mkdir(spool_dir.c_str(), 0700);
  // Jobs' documents and the saved settings are the service's alone, also in
  // a folder that existed before.
  chmod(state_dir.c_str(), 0700);
  chmod(spool_dir.c_str(), 0700);
  const std::string port_text = ServerOption("server-port", num_options, options, "8000");
  const int port = std::atoi(port_text.c_str());
  if (port < 1 || port > 65535) {
    std::fprintf(stderr, "velta-printer-app: bad server-port '%s'\n", port_text.c_str());
    return nullptr;
  }
  const std::string log_file = ServerOption("log-file", num_options, options, "-");
  const pappl_loglevel_t log_level = LogLevelNamed(ServerOption("log-level", num_options, options, "warn"));

  const AdminAccess access = AdminAccessFromOptions(num_options, options);
  const bool network = ListensOnNetwork(access);
  pappl_system_t* system = papplSystemCreate(
      static_cast<pappl_soptions_t>(PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_WEB_INTERFACE | PAPPL_SOPTIONS_WEB_LOG |
                                    (network ? 0 : PAPPL_SOPTIONS_NO_TLS)),
      "Velta Printer App", port, "_print,_universal", spool_dir.c_str(), log_file.c_str(), log_level, nullptr,
      /*tls_only=*/network);
  if (system == nullptr) return nullptr;

  if (!papplSystemAddListeners(system, ListenAddress(access))) {
    papplSystemDelete(system);
    return nullptr;
  }
  if (const char* name = cupsGetOption("server-name", num_options, options)) papplSystemSetHostName(system, name);

  // The web pages always print a footer; PAPPL 1.3 crashes on a missing one.
  papplSystemSetFooterHTML(system, "Velta thermal photo printer application");
  // The printers' set-up lives as long as the system: it is the callbacks' data.
  static PrinterSetup setup;
  setup.advertise = CheckDnssd(system);
  // Job history with documents only when the administrator asks for it.
  setup.preserved_jobs =
      std::clamp(std::atoi(ServerOption("preserved-jobs", num_options, options, "0").c_str()), 0, 1000);
  papplSystemSetPrinterDrivers(system, 1, kDrivers, nullptr, VeltaPrinterCreated, VeltaDriverCallback, &setup);
  // Photos go through the project's own decoding and placing, as in the
  // CUPS filter, in place of PAPPL's image path: one photo, one print.
  papplSystemAddMIMEFilter(system, "image/jpeg", kPrinterReadyFormat, PrintPhotoFile, nullptr);
  papplSystemAddMIMEFilter(system, "image/png", kPrinterReadyFormat, PrintPhotoFile, nullptr);
  // PDF makes the printer one that CUPS leaves the copies to.
  papplSystemAddMIMEFilter(system, "application/pdf", kPrinterReadyFormat, PrintPdfFile, nullptr);
  papplSystemSetOperationCallback(system, DeletePrinterOperation, nullptr);
  // The state file name lives as long as the system: it is the save callback's data.
  static std::string state_file;
  state_file = state_dir + "/velta-printer-app.state";
  papplSystemLoadState(system, state_file.c_str());
  // After the saved state, which holds an admin group of its own: the
  // server's options say who administers.
  ApplyAdminAccess(system, access);
  if (!setup.advertise) {
    // Names restored from the state file would have PAPPL try again.
    papplSystemSetDNSSDName(system, nullptr);
    papplSystemIteratePrinters(system, ForgetDnssdName, nullptr);
  }
  papplSystemSetSaveCallback(system, SaveState, state_file.data());
  return system;
}

}  // namespace velta
