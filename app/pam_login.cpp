// Password checks through PAM and group membership from the user database.
#include "app/pam_login.h"

#include <grp.h>
#include <pwd.h>
#include <security/pam_appl.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace velta {

namespace {

struct Credentials {
  const char* user;
  const char* password;
};

// Answers PAM's prompts: the name where it echoes, the password where it does
// not. PAM frees the replies.
int AnswerPrompts(int count, const pam_message** messages, pam_response** replies_out, void* data) {
  if (count <= 0) return PAM_CONV_ERR;
  const auto* credentials = static_cast<const Credentials*>(data);
  auto* replies = static_cast<pam_response*>(std::calloc(static_cast<std::size_t>(count), sizeof(pam_response)));
  if (replies == nullptr) return PAM_BUF_ERR;
  for (int i = 0; i < count; ++i) {
    switch (messages[i]->msg_style) {
      case PAM_PROMPT_ECHO_ON:
        replies[i].resp = strdup(credentials->user);
        break;
      case PAM_PROMPT_ECHO_OFF:
        replies[i].resp = strdup(credentials->password);
        break;
      default:  // information and error texts need no answer
        break;
    }
  }
  *replies_out = replies;
  return PAM_SUCCESS;
}

}  // namespace

bool PamAccepts(const std::string& service, const std::string& user, const std::string& password,
                const std::string& remote_host) {
  if (service.empty() || user.empty()) return false;
  Credentials credentials{user.c_str(), password.c_str()};
  const pam_conv conversation{AnswerPrompts, &credentials};
  pam_handle_t* pam = nullptr;
  int status = pam_start(service.c_str(), user.c_str(), &conversation, &pam);
  if (status == PAM_SUCCESS) status = pam_set_item(pam, PAM_RHOST, remote_host.c_str());
  if (status == PAM_SUCCESS) status = pam_authenticate(pam, PAM_SILENT | PAM_DISALLOW_NULL_AUTHTOK);
  if (status == PAM_SUCCESS) status = pam_acct_mgmt(pam, PAM_SILENT | PAM_DISALLOW_NULL_AUTHTOK);
  if (pam != nullptr) pam_end(pam, status);
  return status == PAM_SUCCESS;
}

bool UserInGroup(const std::string& user, const std::string& group_name) {
  std::vector<char> buffer(16384);
  passwd user_entry{};
  passwd* found_user = nullptr;
  if (getpwnam_r(user.c_str(), &user_entry, buffer.data(), buffer.size(), &found_user) != 0 || found_user == nullptr)
    return false;
  const gid_t primary = found_user->pw_gid;
  std::vector<char> group_buffer(65536);
  struct group group_entry{};
  struct group* found_group = nullptr;
  if (getgrnam_r(group_name.c_str(), &group_entry, group_buffer.data(), group_buffer.size(), &found_group) != 0 ||
      found_group == nullptr)
    return false;
  if (found_group->gr_gid == primary) return true;
  // getgrouplist also finds memberships that come from NSS sources other
  // than /etc/group's member list.
  int count = 256;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  if (getgrouplist(user.c_str(), primary, groups.data(), &count) < 0) {
    groups.resize(static_cast<std::size_t>(count));
    if (getgrouplist(user.c_str(), primary, groups.data(), &count) < 0) return false;
  }
  for (int i = 0; i < count; ++i)
    if (groups[static_cast<std::size_t>(i)] == found_group->gr_gid) return true;
  return false;
}

}  // namespace velta
