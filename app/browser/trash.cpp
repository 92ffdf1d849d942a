#include "app/browser/trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace lumora::app {

namespace {

bool is_unreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
         c == '.' || c == '~' || c == '/';
}

std::string home_data_dir() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && xdg[0] == '/') return xdg;  // relative values are invalid and ignored
  const char* home = std::getenv("HOME");
  return std::string(home && home[0] ? home : "") + "/.local/share";
}

std::string parent_of(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return "/";
  return path.substr(0, slash);
}

// The device of a path, or of its nearest existing ancestor when it does not exist yet.
bool device_of(std::string path, dev_t* dev) {
  struct stat st;
  while (::stat(path.c_str(), &st) != 0) {
    if (path == "/" || path.empty()) return false;
    path = parent_of(path);
  }
  *dev = st.st_dev;
  return true;
}

// Creates a folder and its missing parents with the given mode; true when it exists as a folder.
bool make_folders(const std::string& path, mode_t mode) {
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  if (path != "/" && !make_folders(parent_of(path), 0700)) return false;
  if (::mkdir(path.c_str(), mode) == 0) return true;
  return errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A trash folder with files/ and info/ below it, created when missing.
bool prepare_trash(const std::string& dir) {
  return make_folders(dir, 0700) && make_folders(dir + "/files", 0700) && make_folders(dir + "/info", 0700);
}

// The mount point holding path: the highest ancestor on the same device.
std::string top_directory(const std::string& path, dev_t dev) {
  std::string top = parent_of(path);
  while (top != "/") {
    std::string up = parent_of(top);
    struct stat st;
    if (::stat(up.c_str(), &st) != 0 || st.st_dev != dev) break;
    top = up;
  }
  return top;
}

// $topdir/.Trash/$uid when the administrator prepared $topdir/.Trash (a real folder with the
// sticky bit, so that users cannot remove each other's entries), else $topdir/.Trash-$uid.
std::string top_trash_for(const std::string& top) {
  const std::string uid = std::to_string(::getuid());
  const std::string base = top == "/" ? "" : top;
  struct stat st;
  std::string shared = base + "/.Trash";
  if (::lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
    std::string mine = shared + "/" + uid;
    if (prepare_trash(mine)) return mine;
  }
  std::string own = base + "/.Trash-" + uid;
  if (::lstat(own.c_str(), &st) == 0 && (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid())) return {};
  return prepare_trash(own) ? own : std::string();
}

std::string deletion_date() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &local);
  return buf;
}

// Name for the n-th attempt: "photo.jpg", "photo.2.jpg", "photo.3.jpg", ...
std::string candidate_name(const std::string& name, int n) {
  if (n == 1) return name;
  size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || dot == 0) return name + "." + std::to_string(n);
  return name.substr(0, dot) + "." + std::to_string(n) + name.substr(dot);
}

bool write_all(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string reason_for(int e) {
  switch (e) {
    case EACCES:
    case EPERM: return "you have no permission to change the folder it lies in";
    case EROFS: return "the disk is read-only";
    case ENOSPC:
    case EDQUOT: return "the disk is full";
    case ENOENT: return "the file is no longer there";
    default: return std::strerror(e);
  }
}

}  // namespace

std::string trash_escape_path(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(path.size());
  for (unsigned char c : path) {
    if (is_unreserved(c)) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

TrashResult move_to_trash(const std::string& path) {
  TrashResult r;
  struct stat st;
  if (path.empty() || path[0] != '/' || ::lstat(path.c_str(), &st) != 0) {
    r.kind = TrashResult::Failed;
    r.error = path.empty() || path[0] != '/' ? ENOENT : errno;
    r.reason = reason_for(r.error);
    return r;
  }
  const std::string home_trash = home_data_dir() + "/Trash";
  dev_t home_dev{};
  bool in_home = device_of(home_trash, &home_dev) && home_dev == st.st_dev;
  std::string top;
  if (in_home) {
    r.trash_dir = prepare_trash(home_trash) ? home_trash : std::string();
  } else {
    top = top_directory(path, st.st_dev);
    r.trash_dir = top_trash_for(top);
  }
  if (r.trash_dir.empty()) {
    r.kind = TrashResult::NoTrash;
    r.reason = in_home ? "the trash folder " + home_trash + " cannot be made"
                       : "its disk has no trash folder that can be used";
    return r;
  }
  // Path= is absolute in the home trash and relative to the top directory elsewhere.
  std::string original = path;
  if (!in_home) original = path.substr(top == "/" ? 1 : top.size() + 1);
  const std::string name = path.substr(path.find_last_of('/') + 1);
  const std::string body =
      "[Trash Info]\nPath=" + trash_escape_path(original) + "\nDeletionDate=" + deletion_date() + "\n";

  for (int n = 1; n < 10000; ++n) {
    const std::string entry = candidate_name(name, n);
    const std::string info = r.trash_dir + "/info/" + entry + ".trashinfo";
    const std::string target = r.trash_dir + "/files/" + entry;
    // The info file is created first and exclusively: it reserves the name against other programs
    // trashing at the same moment.
    int fd = ::open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      r.kind = TrashResult::NoTrash;
      r.error = errno;
      r.reason = "the trash folder " + r.trash_dir + " cannot be written (" + reason_for(errno) + ")";
      return r;
    }
    bool written = write_all(fd, body);
    int close_error = ::close(fd) == 0 ? 0 : errno;
    struct stat existing;
    if (!written || close_error) {
      int e = !written ? errno : close_error;
      ::unlink(info.c_str());
      r.kind = TrashResult::NoTrash;
      r.error = e;
      r.reason = "the trash folder " + r.trash_dir + " cannot be written (" + reason_for(e) + ")";
      return r;
    }
    if (::lstat(target.c_str(), &existing) == 0) {  // a stray file without its info entry
      ::unlink(info.c_str());
      continue;
    }
    if (::rename(path.c_str(), target.c_str()) != 0) {
      int e = errno;
      ::unlink(info.c_str());
      r.kind = TrashResult::Failed;
      r.error = e;
      r.reason = reason_for(e);
      return r;
    }
    r.kind = TrashResult::Trashed;
    r.trashed = target;
    r.info = info;
    return r;
  }
  r.kind = TrashResult::NoTrash;
  r.reason = "the trash holds too many files named " + name;
  return r;
}

}  // namespace lumora::app
