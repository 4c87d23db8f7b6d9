// The PAPPL system of the application: where it listens and keeps its state.
#pragma once

#include <pappl/pappl.h>

namespace velta {

// Creates the system for the "server" sub-command from its -o options:
//   state-directory  folder of the state file and the spool (default
//                    /var/lib/velta-printer-app for root, else
//                    ~/.config/velta-printer-app)
//   server-port      TCP port (default 8000)
//   listen-hostname, auth-service, admin-group  where it listens and who
//                    administers from the network (see admin_access.h)
//   preserved-jobs   finished jobs kept with their documents (default 0)
//   server-name      host name in printer URIs (default: the system's)
//   log-file, log-level  PAPPL log destination ("-" is standard error, the
//                    default) and level (debug, info, warn, error; default warn)
// Restores the printers saved in the state file and saves them on change.
pappl_system_t* CreateVeltaSystem(int num_options, cups_option_t* options, void* data);

}  // namespace velta
