// Whether printers can be advertised on the local network.
#include "app/dnssd_probe.h"

#include <avahi-client/client.h>
#include <avahi-common/simple-watch.h>

namespace velta {

namespace {

// The client's state changes need no handling: only its state right after creation is read.
void IgnoreState(AvahiClient*, AvahiClientState, void*) {}

}  // namespace

DnssdState ProbeDnssd() {
  AvahiSimplePoll* poll = avahi_simple_poll_new();
  if (poll == nullptr) return DnssdState::Missing;
  int error = 0;
  // The flag PAPPL uses: creation fails only without a system bus.
  AvahiClient* client =
      avahi_client_new(avahi_simple_poll_get(poll), AVAHI_CLIENT_NO_FAIL, IgnoreState, nullptr, &error);
  DnssdState state = DnssdState::Missing;
  if (client != nullptr) {
    state = avahi_client_get_state(client) == AVAHI_CLIENT_CONNECTING ? DnssdState::Waiting : DnssdState::Available;
    avahi_client_free(client);
  }
  avahi_simple_poll_free(poll);
  return state;
}

}  // namespace velta
