// Who may administer the application: this machine always; from the network
// only a member of the administrators' group whose password the system's PAM
// service accepts, and nobody when no service is named. Printing and looking
// at status stay open to the network, as for any shared printer.
#pragma once

#include <string>

#include <cups/cups.h>
#include <pappl/pappl.h>

namespace velta {

// The server options that set administration up.
struct AdminAccess {
  std::string listen;        // listen-hostname: where the server listens; "localhost" unless told, "*" for all
  std::string auth_service;  // auth-service: the PAM service; empty: no administration from the network
  std::string admin_group;   // admin-group: whose members administer ("lpadmin" unless told)
};

// Reads listen-hostname, auth-service and admin-group from the server options.
AdminAccess AdminAccessFromOptions(int num_options, cups_option_t* options);

// The address to hand papplSystemAddListeners: null for every address.
const char* ListenAddress(const AdminAccess& access);

// True when the server listens beyond this machine's loopback addresses.
// Only then does it speak TLS: PAPPL asks every client from the network to
// encrypt before it checks who it is, and administrators send passwords.
// It then offers its printers as ipps: alone, which is what PAPPL serves
// them as; PAPPL 1.3.1 would otherwise describe ipp: and ipps: to clients
// on this machine in lists of different lengths.
bool ListensOnNetwork(const AdminAccess& access);

// Makes system check every request that needs authorisation against access.
// PAPPL asks remote clients to encrypt first (they upgrade to TLS, or use
// ipps: and https:), then the check lets print and status requests through
// and wants Basic credentials of an administrator for everything else.
void ApplyAdminAccess(pappl_system_t* system, const AdminAccess& access);

}  // namespace velta
