#pragma once
// Sending a picture by e-mail: the "as EMail" command of the browser and the viewer.
//
// The picture goes into a new message in the Outbox of an account of the messaging store
// (platform/mail/mail_store.h) and is submitted there. The account is the last one whose name is
// not "MMS", "SMS" or "ActiveSync". Without such an account the picture is handed to the
// desktop's mail composer (xdg-email) when one is installed; otherwise the user is told where an
// account is set up.
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace lumora::app {

struct MailAttachmentRequest {
  std::string path;         // the file to read
  std::string name_source;  // its part after the last '\' or '/' names the attachment
};

struct MailRequest {
  std::string to;       // addresses separated by ';' or blanks; empty: the account's default "to"
  std::string subject;  // left out of the message when empty
  std::string body;
  std::string account;  // name of the account (the store's folder name)
  std::vector<MailAttachmentRequest> attachments;
};

// What mail_send did, for the messages to the user.
struct MailSendResult {
  int status = 0;                // a plat::MailStatus
  bool account_found = false;    // an account matched the request
  std::string account;           // its name
  std::string failed_file;       // with MAIL_CANNOT_READ: the attachment that cannot be read
  std::string config_error;      // with MAIL_BAD_CONFIG: what is wrong with account.conf
  std::string config_path;       // with MAIL_BAD_CONFIG: the account.conf
  std::string maildir_path;      // the message in Outbox/new once submitted
  bool command_run = false;      // the account's submit command ran
  int command_status = 0;        // its exit status (-1: did not start or was stopped)
  std::string command_output;    // the end of what it wrote
};

// The names of the store's accounts, in the store's order. A plat::MailStatus.
int mail_list_accounts(std::vector<std::string>* names);
// The last name that is not "MMS", "SMS" or "ActiveSync"; empty when there is none.
std::string mail_choose_account(const std::vector<std::string>& names);
// Splits a recipient list: blanks before an address are skipped, an address ends at a blank, a
// ';' or the end; empty addresses are dropped.
std::vector<std::string> mail_split_recipients(std::string_view to);
// The attachment's file name: the part after the last '\' or '/' (or the whole string).
std::string mail_attachment_name(std::string_view name_source);

// Builds the message of the request in the named account's Outbox and submits it. The account
// is found by its exact name, else by its name without regard to case. No matching account gives
// MAIL_NO_ACCOUNT with account_found false; nothing is written when an attachment cannot be read.
int mail_send(const MailRequest& request, MailSendResult* result);

// The desktop's mail composer: the full path of xdg-email on PATH, or empty.
std::string desktop_composer();
// Runs `composer --attach file` without a shell and waits at most timeout_ms for it. Returns its
// exit status, or 0 when it is still running then (it has the user's composer window open and is
// left to finish on its own), or -1 when it cannot start (error says why).
int desktop_compose(const std::string& composer, const std::string& file, int timeout_ms, std::string* error);
inline constexpr int kComposerWaitMs = 10000;

// What the "as EMail" command tells the user.
struct MailNotice {
  bool shown = false;  // false: nothing to tell (no file, or the composer took the picture)
  unsigned type = 0;   // MB_OK | MB_ICON...
  std::string caption;
  std::string text;
};
// The whole command without the message box: sends the file (or hands it to the composer) and
// gives what the user is to be told.
MailNotice send_file_by_mail_notice(const std::string& path);
// The "as EMail" command on the current file: sends it and tells the user how it went.
void send_file_by_mail(plat::HWND owner, const std::string& path);

}  // namespace lumora::app
