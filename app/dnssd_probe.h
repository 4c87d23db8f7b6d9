// Whether printers can be advertised on the local network (DNS-SD through
// the Avahi daemon), asked before the server starts.
#pragma once

namespace velta {

enum class DnssdState {
  Available,  // the daemon answers: printers are advertised
  Waiting,    // the system bus answers but the daemon does not yet: advertised once it starts
  Missing,    // neither: nothing can be advertised while the server runs
};

// Asks the way PAPPL's own DNS-SD start-up does.
DnssdState ProbeDnssd();

}  // namespace velta
