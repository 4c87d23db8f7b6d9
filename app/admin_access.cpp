// Who may administer the application.
#include "app/admin_access.h"

#include <cstring>
#include <string>

#include "app/pam_login.h"
#include "app/server_option.h"

namespace velta {

namespace {

// The user and password of a "Basic" Authorization field; false when the field
// holds none.
bool BasicCredentials(const char* field, std::string& user, std::string& password) {
  if (field == nullptr || std::strncmp(field, "Basic ", 6) != 0) return false;
  char decoded[512];
  int length = sizeof(decoded);
  httpDecode64_2(decoded, &length, field + 6);
  const std::string text(decoded, static_cast<std::size_t>(length > 0 ? length : 0));
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos || colon == 0) return false;
  user = text.substr(0, colon);
  password = text.substr(colon + 1);
  return true;
}

// PAPPL's check before every administrative web page and IPP operation, and
// before printing. Its own local socket never gets here, and remote clients
// get here only once they encrypt. group is the group the request needs:
// none for printing (unless the administrator names a print group), the
// administrators' group for the rest.
http_status_t AuthorizeRequest(pappl_client_t* client, const char* group, gid_t, void* data) {
  const auto& access = *static_cast<const AdminAccess*>(data);
  http_t* http = papplClientGetHTTP(client);
  if (httpAddrLocalhost(httpGetAddress(http))) return HTTP_STATUS_CONTINUE;  // this machine
  if (group == nullptr || *group == '\0' || std::strcmp(group, "none") == 0) return HTTP_STATUS_CONTINUE;
  if (access.auth_service.empty()) {
    papplLogClient(client, PAPPL_LOGLEVEL_WARN,
                   "Refused administration from the network: the server names no auth-service.");
    return HTTP_STATUS_FORBIDDEN;
  }
  std::string user, password;
  if (!BasicCredentials(httpGetField(http, HTTP_FIELD_AUTHORIZATION), user, password)) return HTTP_STATUS_UNAUTHORIZED;
  if (!PamAccepts(access.auth_service, user, password, papplClientGetHostName(client))) {
    papplLogClient(client, PAPPL_LOGLEVEL_WARN, "Authentication of \"%s\" failed.", user.c_str());
    return HTTP_STATUS_UNAUTHORIZED;
  }
  if (!UserInGroup(user, group)) {
    papplLogClient(client, PAPPL_LOGLEVEL_WARN, "\"%s\" is not in the group \"%s\".", user.c_str(), group);
    return HTTP_STATUS_FORBIDDEN;
  }
  papplClientSetUsername(client, user.c_str());
  papplLogClient(client, PAPPL_LOGLEVEL_INFO, "Authenticated \"%s\" of \"%s\".", user.c_str(), group);
  return HTTP_STATUS_CONTINUE;
}

}  // namespace

AdminAccess AdminAccessFromOptions(int num_options, cups_option_t* options) {
  AdminAccess access;
  access.listen = ServerOption("listen-hostname", num_options, options, "localhost");
  access.auth_service = ServerOption("auth-service", num_options, options, "");
  access.admin_group = ServerOption("admin-group", num_options, options, "lpadmin");
  return access;
}

const char* ListenAddress(const AdminAccess& access) { return access.listen == "*" ? nullptr : access.listen.c_str(); }

bool ListensOnNetwork(const AdminAccess& access) {
  for (const char* loopback : {"localhost", "127.0.0.1", "::1", "[::1]"})
    if (access.listen == loopback) return false;
  return true;
}

void ApplyAdminAccess(pappl_system_t* system, const AdminAccess& access) {
  // The callback's data lives as long as the system.
  static AdminAccess kept;
  kept = access;
  // Administrative checks carry the group's name, print checks carry none:
  // that is how the callback tells them apart.
  papplSystemSetAdminGroup(system, kept.admin_group.c_str());
  papplSystemSetAuthCallback(system, "Basic", AuthorizeRequest, &kept);
}

}  // namespace velta
