#include "app/dialogs/mime_defaults.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

namespace lumora::app {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kDefaultGroup = "[Default Applications]";

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// The file as lines without their '\n' (a '\r' stays with its line), and whether it ended in one.
std::vector<std::string> split_lines(const std::string& text, bool* final_newline) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.emplace_back(text, start, end - start);
    start = end + 1;
  }
  *final_newline = text.empty() || text.back() == '\n';
  return lines;
}

bool is_group(const std::string& line) { return !line.empty() && line[0] == '['; }
bool is_default_group(const std::string& line) { return trim(line) == kDefaultGroup; }

// The value when the line is "type = value" (blanks around '=' allowed), else false.
bool line_value(const std::string& line, const std::string& type, std::string* value) {
  if (line.empty() || line[0] == '#') return false;
  const size_t eq = line.find('=');
  if (eq == std::string::npos || trim(std::string_view(line).substr(0, eq)) != type) return false;
  *value = std::string(trim(std::string_view(line).substr(eq + 1)));
  return true;
}

std::string env_or(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::string(v) : fallback;
}

std::string home() { return env_or("HOME", "/"); }


// Removes the group whose header is at `header` when no entry is left in it, with the blank line
// before it when it was the file's last group: the group this program added goes as it came.
void drop_empty_group(std::vector<std::string>& lines, size_t header) {
  size_t end = header + 1;
  while (end < lines.size() && !is_group(lines[end])) {
    if (!trim(lines[end]).empty()) return;
    ++end;
  }
  size_t begin = header;
  if (end == lines.size() && begin > 0 && trim(lines[begin - 1]).empty()) --begin;
  lines.erase(lines.begin() + static_cast<long>(begin), lines.begin() + static_cast<long>(end));
}

}  // namespace

std::string mimeapps_path() { return env_or("XDG_CONFIG_HOME", home() + "/.config") + "/mimeapps.list"; }

std::string mimeapps_default(const std::string& text, const std::string& type) {
  bool final_newline = true;
  bool in_default = false;
  std::string value;
  for (const std::string& line : split_lines(text, &final_newline)) {
    if (is_group(line)) in_default = is_default_group(line);
    else if (in_default && line_value(line, type, &value)) return value;
  }
  return {};
}

std::string first_desktop_id(const std::string& value) {
  std::string_view rest = value;
  while (!rest.empty()) {
    const size_t semi = rest.find(';');
    std::string_view id = trim(rest.substr(0, semi));
    if (!id.empty()) return std::string(id);
    if (semi == std::string_view::npos) break;
    rest.remove_prefix(semi + 1);
  }
  return {};
}

std::string mimeapps_with_default(const std::string& text, const std::string& type, const std::string& value) {
  bool final_newline = true;
  std::vector<std::string> lines = split_lines(text, &final_newline);
  // Lines written in the file's own line ends.
  const bool crlf = !lines.empty() && !lines[0].empty() && lines[0].back() == '\r';
  const std::string eol = crlf ? "\r" : "";
  const std::string new_line = type + "=" + value + eol;
  // The type's own line (and its group's header), and where the first default group's entries
  // end (after its last line that is not blank, so the blank line before the next group stays).
  int own = -1, own_header = -1, header = -1, first_group_end = -1;
  bool in_default = false, first_group_open = false;
  for (size_t i = 0; i < lines.size() && own < 0; ++i) {
    std::string old;
    if (is_group(lines[i])) {
      first_group_open = is_default_group(lines[i]) && first_group_end < 0;
      if (first_group_open) first_group_end = static_cast<int>(i) + 1;
      in_default = is_default_group(lines[i]);
      header = static_cast<int>(i);
    } else if (in_default && line_value(lines[i], type, &old)) {
      own = static_cast<int>(i);
      own_header = header;
    } else if (first_group_open && !trim(lines[i]).empty()) {
      first_group_end = static_cast<int>(i) + 1;
    }
  }
  if (own >= 0 && value.empty()) {
    lines.erase(lines.begin() + own);
    drop_empty_group(lines, static_cast<size_t>(own_header));
  } else if (own >= 0) {
    lines[static_cast<size_t>(own)] = new_line;
  } else if (!value.empty() && first_group_end >= 0) {
    lines.insert(lines.begin() + first_group_end, new_line);
  } else if (!value.empty()) {
    if (!lines.empty() && !trim(lines.back()).empty()) lines.push_back(eol);
    lines.push_back(std::string(kDefaultGroup) + eol);
    lines.push_back(new_line);
    final_newline = true;
  }
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    out += lines[i];
    if (i + 1 < lines.size() || final_newline) out += '\n';
  }
  return out;
}

bool read_text_file(const std::string& path, std::string* text) {
  text->clear();
  std::error_code ec;
  if (!fs::exists(path, ec)) return !ec;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  if (in.bad()) return false;
  *text = all.str();
  return true;
}

bool write_file_atomically(const std::string& path, const std::string& text) {
  std::error_code ec;
  fs::path target = path;
  if (fs::is_symlink(target, ec)) {
    fs::path resolved = fs::weakly_canonical(target, ec);
    if (ec) return false;
    target = resolved;
  }
  fs::create_directories(target.parent_path(), ec);
  mode_t mode = 0644;
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) mode = st.st_mode & 07777;

  std::string temp = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  bool ok = ::fchmod(fd, mode) == 0;
  size_t written = 0;
  while (ok && written < text.size()) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    else written += static_cast<size_t>(n);
  }
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok && ::rename(temp.c_str(), target.c_str()) == 0) return true;
  ::unlink(temp.c_str());
  return false;
}

bool desktop_entry_installed(const std::string& desktop_id) {
  std::vector<std::string> folders{env_or("XDG_DATA_HOME", home() + "/.local/share")};
  const std::string data_dirs = env_or("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
  std::string_view dirs = data_dirs;
  while (!dirs.empty()) {
    const size_t colon = dirs.find(':');
    std::string_view one = dirs.substr(0, colon);
    if (!one.empty()) folders.emplace_back(one);
    if (colon == std::string_view::npos) break;
    dirs.remove_prefix(colon + 1);
  }
  std::error_code ec;
  for (const std::string& folder : folders)
    if (fs::is_regular_file(fs::path(folder) / "applications" / desktop_id, ec)) return true;
  return false;
}

}  // namespace lumora::app
