#pragma once
// The messaging store: e-mail accounts as folders, each with an Outbox in Maildir layout. A mail
// client that reads Maildir (mutt, aerc, Thunderbird) can open and send what lands there.
//
//   <root>/<account>/Outbox/{tmp,new,cur}/   one file per message, RFC 5322 with MIME
//   <root>/<account>/account.conf            optional lines "key = value":
//       from = Ann Example <ann@example.org>     the sender (default: login name @ host name)
//       submit = msmtp -t                        a command run with the message on its standard
//                                                input after each submit (through /bin/sh -c)
//       to = bob@example.org, Carol <c@x.net>    recipients used when a request names none
//   Blank lines and lines starting with '#' are comments; unknown keys are ignored. A file that
//   cannot be read, is larger than 64 KiB, or has a line without '=' or with control characters
//   makes the account unusable (config_error says why) until it is mended.
//
// The root is $XDG_DATA_HOME/lumora/mail (default ~/.local/share/lumora/mail). A folder whose
// name begins with a dot is not an account.
#include <string>
#include <vector>

namespace lumora::plat {

enum MailStatus : int {
  MAIL_OK = 0,
  MAIL_NO_MEMORY = 1,
  MAIL_NO_ACCOUNT = 2,         // the account folder does not exist
  MAIL_BAD_ADDRESS = 3,        // a recipient or the sender is empty or holds control characters
  MAIL_CANNOT_READ = 4,        // an attachment cannot be read
  MAIL_CANNOT_WRITE = 5,       // the Maildir folders or the message file cannot be written
  MAIL_SUBMIT_FAILED = 6,      // the submit command failed; the message stays in Outbox/new
  MAIL_NOT_A_DRAFT = 7,        // submit of a message that is not in Outbox/tmp
  MAIL_BAD_CONFIG = 8,         // the account's account.conf is not usable (see config_error)
};
const char* MailStatusText(int status);

struct MailAccount {
  std::string name;            // the folder's name, shown as the account's name
  std::string folder;          // full path of the account folder
  std::string from;            // from account.conf, may be empty
  std::string submit_command;  // from account.conf, may be empty
  std::vector<std::string> default_to;  // "to" of account.conf: addresses separated by ',' or ';'
  std::string config_error;    // what is wrong with account.conf ("line 3: ..."); empty when usable
};

struct MailAttachment {
  std::string path;  // the file to read
  std::string name;  // file name given to the recipient; empty: the last component of path
};

struct MailMessage {
  std::vector<std::string> to;  // addresses, each "addr@host" or "Name <addr@host>"
  std::string subject;          // left out of the message when empty
  std::string body;             // plain text, UTF-8
  std::vector<MailAttachment> attachments;
};

// What a submit did.
struct MailSubmitResult {
  std::string maildir_path;  // the message in Outbox/new (kept whatever the command did)
  bool command_run = false;
  int command_status = 0;    // exit status of the command; -1 when it could not run or was killed
  std::string command_output;  // the end of what the command wrote to its standard error
};

// $XDG_DATA_HOME/lumora/mail.
std::string MailRoot();
// The accounts under root, sorted by name. A missing root is a store without accounts (MAIL_OK).
int MailListAccounts(const std::string& root, std::vector<MailAccount>* out);
// Reads one account; MAIL_NO_ACCOUNT when its folder does not exist.
int MailOpenAccount(const std::string& root, const std::string& name, MailAccount* out);
// Creates an account folder with its Outbox (for set-up and tests).
int MailCreateAccount(const std::string& root, const std::string& name, MailAccount* out);

// Writes the message into Outbox/tmp and gives its path. Nothing is left behind on failure.
// An account with a config_error gives MAIL_BAD_CONFIG.
int MailCreateMessage(const MailAccount& account, const MailMessage& message, std::string* draft_path);
// Moves a created message into Outbox/new, then runs the account's submit command on it
// (MAIL_BAD_CONFIG, with nothing moved, for an account with a config_error).
int MailSubmitMessage(const MailAccount& account, const std::string& draft_path, MailSubmitResult* result);

// Longest time the submit command may take, in seconds; then it is stopped and counts as failed.
inline constexpr int kMailSubmitTimeoutSeconds = 60;

}  // namespace lumora::plat
