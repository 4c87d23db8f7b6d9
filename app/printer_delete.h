// Deleting a printer by its name. PAPPL 1.3 gives a printer added while the
// server runs the printer-id 0 until the server restarts, and its own
// "delete" sub-command looks the printer up by that id, so it cannot find
// it. Here the request goes to the printer's own URI instead.
#pragma once

#include <pappl/pappl.h>

namespace velta {

// The "delete" sub-command, given the arguments after "delete": [-u URI]
// -d NAME. URI is the system's or the printer's; without it the local
// server is asked through its domain socket, as PAPPL's sub-commands do.
// Returns the exit status.
int DeletePrinterCommand(const char* base_name, int argc, char* argv[]);

// The server's side: Delete-Printer sent to a printer's URI deletes that
// printer, once it is not printing. PAPPL's operation callback; false for
// any other operation.
bool DeletePrinterOperation(pappl_client_t* client, void* data);

}  // namespace velta
