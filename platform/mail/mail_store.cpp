// Accounts, the Maildir Outbox and the submit command.
//
// Maildir (https://cr.yp.to/proto/maildir.html): a message is written under a unique name into
// tmp/, flushed to disk, and only then moved into new/, so that a reader never sees half a
// message. Names are "<seconds>.M<microseconds>P<pid>Q<count>.<host>".
#include "platform/mail/mail_store.h"

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "platform/mail/mime_writer.h"
#include "platform/shell/files.h"
#include "platform/shell/folders.h"

extern char** environ;

namespace lumora::plat {

namespace {

constexpr const char* kOutbox = "Outbox";
constexpr size_t kMaxCommandOutput = 2048;  // bytes of the command's messages kept for the report

std::string host_name() {
  char buf[256] = {};
  if (::gethostname(buf, sizeof buf - 1) != 0 || !buf[0]) return "localhost";
  return buf;
}

std::string login_name() {
  struct passwd pw, *found = nullptr;
  char buf[4096];
  if (::getpwuid_r(::getuid(), &pw, buf, sizeof buf, &found) == 0 && found && found->pw_name) return found->pw_name;
  return "user";
}

bool valid_account_name(const std::string& n) {
  return !n.empty() && n[0] != '.' && n.find('/') == std::string::npos;
}

std::string trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return {};
  size_t b = s.find_last_not_of(" \t\r\n");
  return s.substr(a, b - a + 1);
}

constexpr size_t kMaxConfigBytes = 64 * 1024;

// Splits "a@x, B <b@y>; c@z" at ',' and ';' into trimmed, non-empty addresses.
std::vector<std::string> split_addresses(const std::string& value) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= value.size()) {
    size_t end = value.find_first_of(",;", start);
    if (end == std::string::npos) end = value.size();
    std::string one = trim(value.substr(start, end - start));
    if (!one.empty()) out.push_back(one);
    start = end + 1;
  }
  return out;
}

// Reads account.conf; a missing file is an account with default settings. Whatever is wrong with
// the file goes into config_error, which makes the account refuse messages until it is mended.
void read_config(MailAccount* a) {
  const std::string path = JoinPath(a->folder, "account.conf");
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    if (errno != ENOENT) a->config_error = std::string("cannot be read: ") + std::strerror(errno);
    return;
  }
  if (!S_ISREG(st.st_mode)) {
    a->config_error = "is not a file";
    return;
  }
  if (static_cast<unsigned long long>(st.st_size) > kMaxConfigBytes) {
    a->config_error = "is larger than 64 KiB";
    return;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    a->config_error = "cannot be read";
    return;
  }
  std::string text(std::istreambuf_iterator<char>(in), {});
  if (text.size() > kMaxConfigBytes) {  // grew since stat
    a->config_error = "is larger than 64 KiB";
    return;
  }
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    std::string t = trim(line);
    if (t.empty() || t[0] == '#') continue;
    const std::string where = "line " + std::to_string(number) + ": ";
    if (std::any_of(t.begin(), t.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\t'; })) {
      a->config_error = where + "control characters";
      return;
    }
    size_t eq = t.find('=');
    if (eq == std::string::npos) {
      a->config_error = where + "expected \"key = value\"";
      return;
    }
    std::string key = trim(t.substr(0, eq)), value = trim(t.substr(eq + 1));
    if (key == "from") a->from = value;
    else if (key == "submit") a->submit_command = value;
    else if (key == "to") a->default_to = split_addresses(value);
  }
}

bool make_folder(const std::string& path) { return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST; }

bool make_maildir(const std::string& account_folder) {
  std::string box = JoinPath(account_folder, kOutbox);
  return make_folder(box) && make_folder(JoinPath(box, "tmp")) && make_folder(JoinPath(box, "new")) &&
         make_folder(JoinPath(box, "cur"));
}

// Maildir names may not hold '/' or ':'; the convention writes them as octal escapes.
std::string unique_name() {
  static std::atomic<unsigned> counter{0};
  timeval tv{};
  ::gettimeofday(&tv, nullptr);
  std::string host;
  for (char c : host_name()) {
    if (c == '/') host += "\\057";
    else if (c == ':') host += "\\072";
    else host += c;
  }
  return std::to_string(tv.tv_sec) + ".M" + std::to_string(tv.tv_usec) + "P" + std::to_string(::getpid()) + "Q" +
         std::to_string(++counter) + "." + host;
}

bool write_file_synced(const std::string& path, const std::string& data) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const char* p = data.data();
  size_t n = data.size();
  bool ok = true;
  while (ok && n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) ok = false;
    else p += w, n -= static_cast<size_t>(w);
  }
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (!ok) ::unlink(path.c_str());
  return ok;
}

bool read_whole_file(const std::string& path, std::vector<unsigned char>* out) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (ok) {
    out->clear();
    out->reserve(static_cast<size_t>(st.st_size));
    unsigned char buf[1 << 16];
    for (;;) {
      ssize_t n = ::read(fd, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) ok = false;
      if (n <= 0) break;
      out->insert(out->end(), buf, buf + n);
    }
  }
  ::close(fd);
  return ok;
}

// Runs command through the shell with the file at stdin_path as its standard input; its standard
// output and error are collected (the end of them is kept). Returns the exit status, or -1 when it
// could not start or ran longer than the timeout (then its process group is killed).
int run_with_input(const std::string& command, const std::string& stdin_path, std::string* output) {
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, stdin_path.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 2);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);  // its own group, so a timeout stops all of it
  posix_spawnattr_setpgroup(&attr, 0);
  char* argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"), const_cast<char*>(command.c_str()), nullptr};
  pid_t pid = 0;
  int rc = posix_spawn(&pid, "/bin/sh", &actions, &attr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  ::close(pipe_fds[1]);
  if (rc != 0) {
    ::close(pipe_fds[0]);
    *output = std::string("cannot start /bin/sh: ") + std::strerror(rc);
    return -1;
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kMailSubmitTimeoutSeconds);
  auto ms_left = [&] {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<int64_t>(0, left.count()));
  };
  bool timed_out = false;
  char buf[4096];
  for (;;) {
    pollfd pf{pipe_fds[0], POLLIN, 0};
    int r = ::poll(&pf, 1, ms_left());
    if (r < 0 && errno == EINTR) continue;
    if (r == 0) {
      timed_out = true;
      break;
    }
    ssize_t n = r > 0 ? ::read(pipe_fds[0], buf, sizeof buf) : -1;
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // end of output: the command (and all that shares the pipe) is done
    output->append(buf, static_cast<size_t>(n));
    if (output->size() > kMaxCommandOutput) output->erase(0, output->size() - kMaxCommandOutput);
  }
  ::close(pipe_fds[0]);
  int status = 0;
  for (;;) {
    pid_t w = ::waitpid(pid, &status, timed_out ? WNOHANG : 0);
    if (w == pid) break;
    if (w < 0 && errno == EINTR) continue;
    if (w < 0) return -1;
    if (timed_out) {
      ::kill(-pid, SIGKILL);
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      output->append("\n(stopped after " + std::to_string(kMailSubmitTimeoutSeconds) + " s)");
      return -1;
    }
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

const char* MailStatusText(int status) {
  switch (status) {
    case MAIL_OK: return "done";
    case MAIL_NO_MEMORY: return "out of memory";
    case MAIL_NO_ACCOUNT: return "the account does not exist";
    case MAIL_BAD_ADDRESS: return "an address or the subject is not usable";
    case MAIL_CANNOT_READ: return "an attachment cannot be read";
    case MAIL_CANNOT_WRITE: return "the message cannot be written into the Outbox";
    case MAIL_SUBMIT_FAILED: return "the submit command failed; the message stays in the Outbox";
    case MAIL_NOT_A_DRAFT: return "the message is not a created message of this account";
    case MAIL_BAD_CONFIG: return "the account's account.conf is not usable";
    default: return "unknown status";
  }
}

std::string MailRoot() { return JoinPath(DataHomeFolder(), "lumora/mail"); }

int MailOpenAccount(const std::string& root, const std::string& name, MailAccount* out) {
  if (!valid_account_name(name)) return MAIL_NO_ACCOUNT;
  std::string folder = JoinPath(root, name);
  if (!IsDirectory(folder)) return MAIL_NO_ACCOUNT;
  try {
    *out = MailAccount{};
    out->name = name;
    out->folder = folder;
    read_config(out);
  } catch (const std::bad_alloc&) {
    return MAIL_NO_MEMORY;
  }
  return MAIL_OK;
}

int MailListAccounts(const std::string& root, std::vector<MailAccount>* out) {
  try {
    out->clear();
    std::vector<FolderEntry> entries;
    if (!ListFolder(root, &entries)) return MAIL_OK;  // no store yet: no accounts
    for (const FolderEntry& e : entries) {
      if (!(e.attributes & FILE_ATTRIBUTE_DIRECTORY) || !valid_account_name(e.name)) continue;
      MailAccount a;
      if (MailOpenAccount(root, e.name, &a) == MAIL_OK) out->push_back(std::move(a));
    }
    std::sort(out->begin(), out->end(), [](const MailAccount& a, const MailAccount& b) { return a.name < b.name; });
  } catch (const std::bad_alloc&) {
    return MAIL_NO_MEMORY;
  }
  return MAIL_OK;
}

int MailCreateAccount(const std::string& root, const std::string& name, MailAccount* out) {
  if (!valid_account_name(name)) return MAIL_NO_ACCOUNT;
  std::string folder = JoinPath(root, name);
  // The root's parents are made as needed; every folder of the store is private to the user.
  std::string partial;
  std::istringstream parts(folder);
  std::string part;
  while (std::getline(parts, part, '/')) {
    if (part.empty()) continue;
    partial += "/" + part;
    if (!make_folder(partial)) return MAIL_CANNOT_WRITE;
  }
  if (!make_maildir(folder)) return MAIL_CANNOT_WRITE;
  return MailOpenAccount(root, name, out);
}

int MailCreateMessage(const MailAccount& account, const MailMessage& message, std::string* draft_path) {
  try {
    if (!IsDirectory(account.folder)) return MAIL_NO_ACCOUNT;
    if (!account.config_error.empty()) return MAIL_BAD_CONFIG;
    std::vector<MimeAttachmentData> data(message.attachments.size());
    for (size_t i = 0; i < message.attachments.size(); ++i) {
      const MailAttachment& a = message.attachments[i];
      data[i].name = a.name.empty() ? PathName(a.path) : a.name;
      // An attachment that cannot be read makes the whole message fail: sending the picture
      // without its bytes would look like success to the user.
      if (!read_whole_file(a.path, &data[i].bytes)) return MAIL_CANNOT_READ;
    }
    std::string host = host_name();
    std::string from = account.from.empty() ? login_name() + "@" + host : account.from;
    std::string text;
    int rc = WriteMimeMessage(from, message, data, host, &text);
    if (rc != MAIL_OK) return rc;
    if (!make_maildir(account.folder)) return MAIL_CANNOT_WRITE;
    std::string path = JoinPath(JoinPath(JoinPath(account.folder, kOutbox), "tmp"), unique_name());
    if (!write_file_synced(path, text)) return MAIL_CANNOT_WRITE;
    *draft_path = path;
  } catch (const std::bad_alloc&) {
    return MAIL_NO_MEMORY;
  }
  return MAIL_OK;
}

int MailSubmitMessage(const MailAccount& account, const std::string& draft_path, MailSubmitResult* result) {
  try {
    *result = MailSubmitResult{};
    if (!account.config_error.empty()) return MAIL_BAD_CONFIG;
    const std::string box = JoinPath(account.folder, kOutbox);
    const std::string name = PathName(draft_path);
    if (PathFolder(draft_path) != JoinPath(box, "tmp") || !valid_account_name(name)) return MAIL_NOT_A_DRAFT;
    const std::string target = JoinPath(JoinPath(box, "new"), name);
    FileOpResult moved = MoveFile(draft_path, target);
    if (moved == FileOpResult::NotFound) return MAIL_NOT_A_DRAFT;
    if (moved != FileOpResult::Ok) return MAIL_CANNOT_WRITE;
    result->maildir_path = target;
    if (account.submit_command.empty()) return MAIL_OK;
    result->command_run = true;
    result->command_status = run_with_input(account.submit_command, target, &result->command_output);
    return result->command_status == 0 ? MAIL_OK : MAIL_SUBMIT_FAILED;
  } catch (const std::bad_alloc&) {
    return MAIL_NO_MEMORY;
  }
}

}  // namespace lumora::plat
