// The "as EMail" command: a message with the picture in the account's Outbox, submitted there, or
// the desktop's mail composer when no account is set up, and a short word to the user either way.
#include "app/dialogs/mail/send_mail.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "app/dialogs/mail/mail_strings.h"
#include "app/shell/debug.h"
#include "platform/mail/mail_store.h"
#include "platform/shell/files.h"

extern char** environ;

namespace lumora::app {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

bool same_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// Debug line of a failing step, so that a failure the user was told about can be traced.
int failed(int status, const char* step) {
  debug_line("mail: FAILED(%d: %s) at %s\n", status, plat::MailStatusText(status), step);
  return status;
}

// The first attachment that cannot be opened as a regular file for reading.
std::string unreadable_attachment(const std::vector<plat::MailAttachment>& attachments) {
  for (const plat::MailAttachment& a : attachments) {
    int fd = ::open(a.path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    bool ok = fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (fd >= 0) ::close(fd);
    if (!ok) return a.path;
  }
  return attachments.empty() ? std::string() : attachments.front().path;
}

// The last line a command wrote, shortened for a message box.
std::string last_line(const std::string& output) {
  size_t end = output.find_last_not_of(" \t\r\n");
  if (end == std::string::npos) return {};
  size_t newline = output.find_last_of('\n', end);
  size_t start = newline == std::string::npos ? 0 : newline + 1;
  std::string line = output.substr(start, end + 1 - start);
  if (line.size() > 200) line = line.substr(0, 200) + "...";
  return line;
}

std::string status_detail(int exit_status, const std::string& output) {
  std::string detail = exit_status < 0 ? mail_text(IDS_MAIL_NOT_STARTED)
                                       : fill_text(mail_text(IDS_MAIL_EXIT_STATUS), {std::to_string(exit_status)});
  std::string line = last_line(output);
  return line.empty() ? detail : detail + ", " + line;
}

MailNotice notice(unsigned type, std::string text) {
  return MailNotice{true, plat::MB_OK | type, mail_text(IDS_MAIL_CAPTION), std::move(text)};
}

MailNotice no_account_notice(const std::string& prefix) {
  const std::string example = plat::JoinPath(plat::MailRoot(), "Mail");
  std::string text =
      fill_text(mail_text(IDS_MAIL_NO_ACCOUNT), {example, plat::JoinPath(example, "account.conf")});
  return notice(plat::MB_ICONEXCLAMATION, prefix.empty() ? text : prefix + "\n\n" + text);
}

}  // namespace

int mail_list_accounts(std::vector<std::string>* names) {
  names->clear();
  std::vector<plat::MailAccount> accounts;
  int rc = plat::MailListAccounts(plat::MailRoot(), &accounts);
  if (rc != plat::MAIL_OK) return failed(rc, "list accounts");
  for (const plat::MailAccount& a : accounts) names->push_back(a.name);
  return plat::MAIL_OK;
}

std::string mail_choose_account(const std::vector<std::string>& names) {
  std::string chosen;
  for (const std::string& n : names)
    if (n != "MMS" && n != "SMS" && n != "ActiveSync") chosen = n;
  return chosen;
}

std::vector<std::string> mail_split_recipients(std::string_view to) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < to.size()) {
    while (i < to.size() && is_blank(to[i])) ++i;
    size_t start = i;
    while (i < to.size() && !is_blank(to[i]) && to[i] != ';') ++i;
    if (i > start) out.emplace_back(to.substr(start, i - start));
    if (i < to.size()) ++i;  // the blank or ';' that ended it
  }
  return out;
}

std::string mail_attachment_name(std::string_view name_source) {
  size_t slash = name_source.find_last_of("\\/");
  return std::string(slash == std::string_view::npos ? name_source : name_source.substr(slash + 1));
}

int mail_send(const MailRequest& request, MailSendResult* result) {
  *result = MailSendResult{};
  // The account: its exact name, else the first that differs only in case.
  std::vector<plat::MailAccount> accounts;
  int rc = plat::MailListAccounts(plat::MailRoot(), &accounts);
  if (rc != plat::MAIL_OK) return result->status = failed(rc, "list accounts");
  const plat::MailAccount* account = nullptr;
  if (!request.account.empty()) {
    for (const plat::MailAccount& a : accounts)
      if (a.name == request.account) account = &a;
    for (size_t i = 0; !account && i < accounts.size(); ++i)
      if (same_ignoring_case(accounts[i].name, request.account)) account = &accounts[i];
  }
  if (!account) return result->status = failed(plat::MAIL_NO_ACCOUNT, "find account");
  result->account_found = true;
  result->account = account->name;
  if (!account->config_error.empty()) {
    result->config_error = account->config_error;
    result->config_path = plat::JoinPath(account->folder, "account.conf");
    return result->status = failed(plat::MAIL_BAD_CONFIG, "account settings");
  }

  // The message: attachments, recipients (the account's own when the request has none),
  // subject and body; then it is written into the Outbox and submitted.
  plat::MailMessage message;
  for (const MailAttachmentRequest& a : request.attachments)
    message.attachments.push_back(plat::MailAttachment{a.path, mail_attachment_name(a.name_source)});
  message.to = mail_split_recipients(request.to);
  if (message.to.empty()) message.to = account->default_to;
  message.subject = request.subject;
  message.body = request.body;
  std::string draft;
  rc = plat::MailCreateMessage(*account, message, &draft);
  if (rc == plat::MAIL_CANNOT_READ) result->failed_file = unreadable_attachment(message.attachments);
  if (rc != plat::MAIL_OK) return result->status = failed(rc, "create message");

  plat::MailSubmitResult submitted;
  rc = plat::MailSubmitMessage(*account, draft, &submitted);
  result->maildir_path = submitted.maildir_path;
  result->command_run = submitted.command_run;
  result->command_status = submitted.command_status;
  result->command_output = submitted.command_output;
  if (rc != plat::MAIL_OK) return result->status = failed(rc, "submit message");
  return result->status = plat::MAIL_OK;
}

std::string desktop_composer() {
  const char* path = std::getenv("PATH");
  std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    std::string folder = folders.substr(start, end - start);
    start = end + 1;
    if (folder.empty() || folder[0] != '/') continue;  // never the current folder
    std::string candidate = plat::JoinPath(folder, "xdg-email");
    struct stat st;
    if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
      return candidate;
  }
  return {};
}

int desktop_compose(const std::string& composer, const std::string& file, int timeout_ms, std::string* error) {
  // A relative name starting with '-' would read as an option.
  std::string attach = !file.empty() && file[0] == '-' ? "./" + file : file;
  char* argv[] = {const_cast<char*>("xdg-email"), const_cast<char*>("--attach"), attach.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, composer.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    *error = std::strerror(rc);
    return -1;
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    int status = 0;
    pid_t w = ::waitpid(pid, &status, WNOHANG);
    if (w == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (w < 0 && errno != EINTR) return -1;
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  // Still running: some desktops keep the composer in the foreground until the user closes it.
  // It is left to the user and reaped whenever it ends.
  std::thread([pid] {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return 0;
}

MailNotice send_file_by_mail_notice(const std::string& path) {
  if (path.empty()) return {};
  MailRequest request;
  request.attachments.push_back(MailAttachmentRequest{path, path});
  std::vector<std::string> names;
  mail_list_accounts(&names);
  request.account = mail_choose_account(names);
  MailSendResult r;
  mail_send(request, &r);
  const std::string name = plat::PathName(path);

  if (!r.account_found) {
    std::string composer = desktop_composer();
    if (composer.empty()) return no_account_notice({});
    std::string error;
    int rc = desktop_compose(composer, path, kComposerWaitMs, &error);
    if (rc == 0) return {};  // the composer has the picture; the user goes on there
    debug_line("mail: xdg-email gave %d %s\n", rc, error.c_str());
    std::string detail = rc < 0 ? error : fill_text(mail_text(IDS_MAIL_EXIT_STATUS), {std::to_string(rc)});
    return no_account_notice(fill_text(mail_text(IDS_MAIL_COMPOSER_FAILED), {name, detail}));
  }
  switch (r.status) {
    case plat::MAIL_OK:
      return notice(plat::MB_ICONINFORMATION,
                    fill_text(mail_text(r.command_run ? IDS_MAIL_SUBMITTED : IDS_MAIL_SENT), {name, r.account}));
    case plat::MAIL_SUBMIT_FAILED:
      return notice(plat::MB_ICONEXCLAMATION, fill_text(mail_text(IDS_MAIL_SUBMIT_FAILED),
                                                        {name, r.account, status_detail(r.command_status, r.command_output)}));
    case plat::MAIL_CANNOT_READ:
      return notice(plat::MB_ICONERROR, fill_text(mail_text(IDS_MAIL_CANNOT_READ), {r.failed_file}));
    case plat::MAIL_BAD_CONFIG:
      return notice(plat::MB_ICONERROR,
                    fill_text(mail_text(IDS_MAIL_BAD_CONFIG), {r.config_path, r.account, r.config_error}));
    case plat::MAIL_BAD_ADDRESS:
      return notice(plat::MB_ICONERROR, fill_text(mail_text(IDS_MAIL_BAD_ADDRESS), {r.account}));
    case plat::MAIL_CANNOT_WRITE:
      return notice(plat::MB_ICONERROR, fill_text(mail_text(IDS_MAIL_CANNOT_WRITE), {r.account}));
    default:
      return notice(plat::MB_ICONERROR, fill_text(mail_text(IDS_MAIL_FAILED), {name, plat::MailStatusText(r.status)}));
  }
}

void send_file_by_mail(plat::HWND owner, const std::string& path) {
  MailNotice n = send_file_by_mail_notice(path);
  if (n.shown) plat::MessageBox(owner, n.text, n.caption, n.type);
}

}  // namespace lumora::app
