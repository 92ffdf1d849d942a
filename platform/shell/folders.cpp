// Special folders from the XDG base directory and user-dirs conventions.
#include "platform/shell/folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/shell/files.h"

namespace lumora::plat {

namespace {

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

// XDG variables count only when they hold an absolute path.
std::string xdg_env(const char* name) {
  std::string v = env(name);
  return !v.empty() && v[0] == '/' ? v : std::string();
}

std::string strip_trailing_slashes(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

}  // namespace

std::string HomeFolder() {
  std::string h = env("HOME");
  if (!h.empty()) return strip_trailing_slashes(h);
  struct passwd pw, *found = nullptr;
  char buf[4096];
  if (::getpwuid_r(::getuid(), &pw, buf, sizeof buf, &found) == 0 && found && found->pw_dir)
    return strip_trailing_slashes(found->pw_dir);
  return "/";
}

std::string ParseUserDirsValue(const std::string& text, const std::string& key, const std::string& home) {
  std::istringstream in(text);
  std::string line;
  std::string result;
  while (std::getline(in, line)) {
    size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line[i] == '#') continue;
    if (line.compare(i, key.size(), key) != 0) continue;
    i += key.size();
    if (i >= line.size() || line[i] != '=') continue;
    ++i;
    if (i >= line.size() || line[i] != '"') continue;
    ++i;
    std::string value;
    bool closed = false;
    for (; i < line.size(); ++i) {
      char c = line[i];
      if (c == '\\' && i + 1 < line.size()) {
        value += line[++i];
      } else if (c == '"') {
        closed = true;
        break;
      } else {
        value += c;
      }
    }
    if (!closed) continue;
    // The format allows only "$HOME/..." or an absolute path.
    if (value == "$HOME") value = home;
    else if (value.rfind("$HOME/", 0) == 0) value = JoinPath(home, value.substr(6));
    else if (value.empty() || value[0] != '/') continue;
    result = strip_trailing_slashes(value);  // the last line of a key wins, as the shell would read it
  }
  return result;
}

std::string PicturesFolder() {
  std::string home = HomeFolder();
  std::string direct = xdg_env("XDG_PICTURES_DIR");
  if (!direct.empty()) return strip_trailing_slashes(direct);
  std::string config = xdg_env("XDG_CONFIG_HOME");
  if (config.empty()) config = JoinPath(home, ".config");
  std::ifstream in(JoinPath(config, "user-dirs.dirs"));
  if (in) {
    std::stringstream ss;
    ss << in.rdbuf();
    std::string v = ParseUserDirsValue(ss.str(), "XDG_PICTURES_DIR", home);
    if (!v.empty()) return v;
  }
  return JoinPath(home, "Pictures");
}

std::string ProgramFolder() {
  std::string buf(4096, '\0');
  ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
  if (n <= 0 || static_cast<size_t>(n) >= buf.size()) return {};
  buf.resize(static_cast<size_t>(n));
  return PathFolder(buf);
}

std::vector<std::string> DataFolders() {
  std::vector<std::string> candidates;
  std::string prog = ProgramFolder();
  if (!prog.empty()) candidates.push_back(JoinPath(PathFolder(prog), "share/lumora"));
  std::string dirs = env("XDG_DATA_DIRS");
  if (dirs.empty()) dirs = "/usr/local/share:/usr/share";
  std::istringstream in(dirs);
  std::string d;
  while (std::getline(in, d, ':'))
    if (!d.empty() && d[0] == '/') candidates.push_back(JoinPath(strip_trailing_slashes(d), "lumora"));
  std::vector<std::string> out;
  for (const std::string& c : candidates) {
    bool seen = false;
    for (const std::string& o : out) seen = seen || o == c;
    if (!seen && IsDirectory(c)) out.push_back(c);
  }
  return out;
}

std::vector<std::string> LanguageFolders() {
  std::vector<std::string> out;
  std::string prog = ProgramFolder();
  if (!prog.empty()) out.push_back(prog);
  for (std::string& d : DataFolders())
    if (d != prog) out.push_back(std::move(d));
  return out;
}

std::string DataHomeFolder() {
  std::string d = xdg_env("XDG_DATA_HOME");
  return d.empty() ? JoinPath(HomeFolder(), ".local/share") : strip_trailing_slashes(d);
}

std::string RuntimeFolder() {
  std::string d = xdg_env("XDG_RUNTIME_DIR");
  if (!d.empty() && IsDirectory(d)) return strip_trailing_slashes(d);
  std::string own = "/tmp/lumora-" + std::to_string(::getuid());
  ::mkdir(own.c_str(), 0700);
  struct stat st;
  // Somebody else's folder (or a link) under that name could read our socket: refuse it.
  if (::lstat(own.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0)
    return {};
  return own;
}

}  // namespace lumora::plat
