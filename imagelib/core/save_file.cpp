#include "imagelib/core/save_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imagelib/core/status.h"

namespace lumora {

namespace {

// The process's file-creation mask, read without changing it (umask() would race with other
// threads). Linux reports it in /proc/self/status; 022 is the usual default elsewhere.
mode_t current_umask() {
  mode_t mask = 022;
  if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, f)) {
      if (std::strncmp(line, "Umask:", 6) == 0) {
        mask = static_cast<mode_t>(std::strtoul(line + 6, nullptr, 8));
        break;
      }
    }
    std::fclose(f);
  }
  return mask;
}

std::string folder_of(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string name_of(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

ReplacingFile::~ReplacingFile() { discard(); }

int ReplacingFile::open(const char* path) {
  discard();
  replacing_ = false;
  if (!path || !*path) return kStatusCannotCreate;
  target_ = path;
  mode_t mode = 0666 & ~current_umask();
  struct stat st;
  if (::stat(path, &st) == 0) {
    if (!S_ISREG(st.st_mode)) return kStatusCannotCreate;
    // Replace the file a symbolic link points to, not the link.
    char resolved[PATH_MAX];
    if (::realpath(path, resolved)) target_ = resolved;
    mode = st.st_mode & 07777;
    replacing_ = true;
  }
  std::string pattern = folder_of(target_) + "/." + name_of(target_) + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = ::mkstemp(name.data());
  if (fd < 0) return kStatusCannotCreate;
  temp_path_ = name.data();
  ::fchmod(fd, mode);
  file_ = ::fdopen(fd, "w+b");
  if (!file_) {
    ::close(fd);
    ::unlink(temp_path_.c_str());
    temp_path_.clear();
    return kStatusCannotCreate;
  }
  return kStatusOk;
}

int ReplacingFile::commit() {
  if (!file_) return kStatusWriteError;
  bool ok = std::fflush(file_) == 0 && (!replacing_ || ::fsync(::fileno(file_)) == 0);
  ok = (std::fclose(file_) == 0) && ok;
  file_ = nullptr;
  if (!ok) {
    discard();
    return kStatusWriteError;
  }
  if (std::rename(temp_path_.c_str(), target_.c_str()) != 0) {
    discard();
    return kStatusCannotCreate;
  }
  temp_path_.clear();
  if (!replacing_) return kStatusOk;
  // Make the rename itself durable (best effort: some file systems refuse to sync a folder).
  int dir = ::open(folder_of(target_).c_str(), O_RDONLY | O_DIRECTORY);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return kStatusOk;
}

void ReplacingFile::discard() {
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!temp_path_.empty()) {
    ::unlink(temp_path_.c_str());
    temp_path_.clear();
  }
}

}  // namespace lumora
