// Checks a user's password through a PAM service, as a login would.
#pragma once

#include <string>

namespace velta {

// True when PAM service `service` accepts user with password and lets the
// account in (authentication and account management both succeed). remote_host
// is handed to PAM as the host the user connects from.
bool PamAccepts(const std::string& service, const std::string& user, const std::string& password,
                const std::string& remote_host);

// True when user is a member of the group named group_name, as primary group or
// supplementary one.
bool UserInGroup(const std::string& user, const std::string& group_name);

}  // namespace velta
