// Folder listing and file operations over POSIX calls. Every descriptor is opened close-on-exec
// so that a child started by the shell services never inherits one.
#include "platform/shell/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>

namespace lumora::plat {

namespace {

DWORD attributes_of(const std::string& name, const struct stat& st) {
  DWORD a = 0;
  if (S_ISDIR(st.st_mode)) a |= FILE_ATTRIBUTE_DIRECTORY;
  if (!name.empty() && name[0] == '.') a |= FILE_ATTRIBUTE_HIDDEN;
  if ((st.st_mode & 0222) == 0) a |= FILE_ATTRIBUTE_READONLY;
  return a ? a : FILE_ATTRIBUTE_NORMAL;
}

void fill_entry(const std::string& name, const struct stat& st, FolderEntry* e) {
  e->name = name;
  e->attributes = attributes_of(name, st);
  e->size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
  e->write_time_ns = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// Follows links; a dangling link is described by the link itself.
bool stat_at(int dirfd, const char* name, struct stat* st) {
  return ::fstatat(dirfd, name, st, 0) == 0 || ::fstatat(dirfd, name, st, AT_SYMLINK_NOFOLLOW) == 0;
}

FileOpResult from_errno(int e) {
  switch (e) {
    case ENOENT:
    case ENOTDIR: return FileOpResult::NotFound;
    case EEXIST:
    case ENOTEMPTY: return FileOpResult::Exists;
    case EACCES:
    case EPERM:
    case EROFS: return FileOpResult::AccessDenied;
    case ENOSPC:
    case EDQUOT: return FileOpResult::NoSpace;
    case EISDIR: return FileOpResult::IsFolder;
    default: return FileOpResult::Failed;
  }
}

struct Fd {
  int fd = -1;
  explicit Fd(int f) : fd(f) {}
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
};

// Writes all of [p, p + n); false with errno set on failure.
bool write_all(int fd, const char* p, size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

// Renames without replacing an existing target. File systems that lack the no-replace flag get
// a check first; the short race that leaves is the file system's limit, not ours.
int rename_no_replace(const char* from, const char* to) {
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
#endif
  struct stat st;
  if (::lstat(to, &st) == 0) {
    errno = EEXIST;
    return -1;
  }
  return ::rename(from, to);
}

}  // namespace

bool ListFolder(const std::string& folder, std::vector<FolderEntry>* out, bool (*keep)(const char* name, void* ctx),
                void* ctx) {
  out->clear();
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(fd), &::closedir);
  if (!dir) {
    ::close(fd);
    return false;
  }
  while (dirent* d = ::readdir(dir.get())) {
    std::string name = d->d_name;
    if (name == "." || name == "..") continue;
    if (keep && !keep(d->d_name, ctx)) continue;
    struct stat st;
    if (!stat_at(fd, d->d_name, &st)) continue;  // removed while listing
    FolderEntry e;
    fill_entry(name, st, &e);
    out->push_back(std::move(e));
  }
  return true;
}

bool GetFileEntry(const std::string& path, FolderEntry* out) {
  struct stat st;
  if (!stat_at(AT_FDCWD, path.c_str(), &st)) return false;
  fill_entry(PathName(path), st, out);
  return true;
}

DWORD GetFileAttributes(const std::string& path) {
  FolderEntry e;
  return GetFileEntry(path, &e) ? e.attributes : INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

const char* FileOpResultText(FileOpResult r) {
  switch (r) {
    case FileOpResult::Ok: return "done";
    case FileOpResult::NotFound: return "the file does not exist";
    case FileOpResult::Exists: return "the target exists already";
    case FileOpResult::AccessDenied: return "access denied";
    case FileOpResult::NoSpace: return "no space left on the target";
    case FileOpResult::IsFolder: return "the name is a folder";
    case FileOpResult::Failed: break;
  }
  return "the operation failed";
}

FileOpResult CopyFile(const std::string& from, const std::string& to) {
  Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.fd < 0) return from_errno(errno);
  struct stat st;
  if (::fstat(in.fd, &st) != 0) return from_errno(errno);
  if (S_ISDIR(st.st_mode)) return FileOpResult::IsFolder;
  // O_EXCL: the target is created here or not at all, so an existing file is never touched.
  Fd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 0777));
  if (out.fd < 0) return from_errno(errno);
  int failure = 0;
  std::unique_ptr<char[]> buf(new (std::nothrow) char[1 << 16]);
  if (!buf) failure = ENOMEM;
  while (!failure) {
    ssize_t n = ::read(in.fd, buf.get(), 1 << 16);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) failure = errno;
    if (n <= 0) break;
    if (!write_all(out.fd, buf.get(), static_cast<size_t>(n))) failure = errno;
  }
  if (!failure) {
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out.fd, times);  // best effort, as a copy on a file system without times still is a copy
    if (::close(out.fd) != 0) failure = errno;  // delayed write errors (NFS, full disk) show here
    out.fd = -1;
  }
  if (failure) {
    ::unlink(to.c_str());
    return failure == ENOMEM ? FileOpResult::Failed : from_errno(failure);
  }
  return FileOpResult::Ok;
}

FileOpResult MoveFile(const std::string& from, const std::string& to) {
  if (rename_no_replace(from.c_str(), to.c_str()) == 0) return FileOpResult::Ok;
  if (errno != EXDEV) return from_errno(errno);
  if (IsDirectory(from)) return FileOpResult::IsFolder;  // folders move only within a file system
  FileOpResult r = CopyFile(from, to);
  if (r != FileOpResult::Ok) return r;
  if (::unlink(from.c_str()) != 0) {
    int e = errno;
    ::unlink(to.c_str());
    return from_errno(e);
  }
  return FileOpResult::Ok;
}

FileOpResult DeleteFile(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return from_errno(errno);
  if (S_ISDIR(st.st_mode)) return FileOpResult::IsFolder;
  return ::unlink(path.c_str()) == 0 ? FileOpResult::Ok : from_errno(errno);
}

std::string PathFolder(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string PathName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

}  // namespace lumora::plat
