#include "platform/registry/registry_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace lumora::plat {

namespace {

bool write_all(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Creates the folder and its parents.
bool make_dirs(const std::string& dir) {
  if (dir.empty()) return true;
  struct stat st;
  if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  size_t slash = dir.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !make_dirs(dir.substr(0, slash))) return false;
  return ::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

std::string folder_of(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

void add_keys(const RegNode& node, const std::string& prefix, nlohmann::ordered_json& out) {
  for (const auto& [k, child] : node.keys) {
    std::string path = prefix.empty() ? child.name : prefix + "\\" + child.name;
    nlohmann::ordered_json values = nlohmann::ordered_json::object();
    for (const auto& [vk, v] : child.values) {
      if (v.type == REG_DWORD) values[v.name] = v.number;
      else if (v.type == REG_SZ) values[v.name] = v.text;
      else values[v.name] = v.raw;
    }
    out[path] = std::move(values);
    add_keys(child, path, out);
  }
}

}  // namespace

std::string reg_fold(std::string_view name) {
  std::string out(name);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

RegistryFile::RegistryFile(std::string path, Writer writer) : path_(std::move(path)), writer_(std::move(writer)) {
  if (!writer_) writer_ = write_all;
}

std::string RegistryFile::serialise(const RegNode& root) {
  nlohmann::ordered_json out = nlohmann::ordered_json::object();
  add_keys(root, "", out);
  return out.dump(2) + "\n";
}

bool RegistryFile::parse(const std::string& text, RegNode* root) {
  nlohmann::json doc = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (doc.is_discarded() || !doc.is_object()) return false;
  RegNode tree;
  for (auto& [path, values] : doc.items()) {
    if (!values.is_object() || path.empty()) return false;
    RegNode* node = &tree;
    size_t start = 0;
    while (start <= path.size()) {
      size_t end = path.find('\\', start);
      if (end == std::string::npos) end = path.size();
      std::string part = path.substr(start, end - start);
      if (part.empty()) return false;
      RegNode& child = node->keys[reg_fold(part)];
      if (child.name.empty()) child.name = part;
      node = &child;
      start = end + 1;
    }
    for (auto& [name, v] : values.items()) {
      RegValue rv;
      rv.name = name;
      if (v.is_number_unsigned() && v.get<uint64_t>() <= 0xFFFFFFFFull) {
        rv.type = REG_DWORD;
        rv.number = static_cast<DWORD>(v.get<uint64_t>());
      } else if (v.is_number_integer() && v.get<int64_t>() >= INT32_MIN && v.get<int64_t>() < 0) {
        // A negative number written by hand stands for its 32-bit two's complement.
        rv.type = REG_DWORD;
        rv.number = static_cast<DWORD>(static_cast<int32_t>(v.get<int64_t>()));
      } else if (v.is_string()) {
        rv.type = REG_SZ;
        rv.text = v.get<std::string>();
      } else {
        rv.type = REG_NONE;
        rv.raw = v;
      }
      node->values[reg_fold(name)] = std::move(rv);
    }
  }
  *root = std::move(tree);
  return true;
}

RegNode& RegistryFile::tree() {
  if (loaded_) return root_;
  loaded_ = true;
  std::ifstream in(path_, std::ios::binary);
  if (!in) return root_;  // no file yet: the defaults apply
  std::stringstream ss;
  ss << in.rdbuf();
  in.close();
  if (!parse(ss.str(), &root_)) {
    root_ = RegNode{};
    std::string aside = path_ + ".corrupt";
    if (std::rename(path_.c_str(), aside.c_str()) != 0)
      std::fprintf(stderr, "lumora: cannot set aside the unreadable registry file %s\n", path_.c_str());
    else
      std::fprintf(stderr, "lumora: the registry file %s could not be read; it was renamed to %s\n", path_.c_str(),
                   aside.c_str());
  }
  return root_;
}

bool RegistryFile::on_disk() const { return ::access(path_.c_str(), F_OK) == 0; }

bool RegistryFile::commit(const RegNode& next) {
  std::string data;
  try {
    data = serialise(next);
  } catch (...) {
    return false;  // a string that is not UTF-8 cannot be stored in JSON
  }
  if (!make_dirs(folder_of(path_))) return false;
  std::string tmp = path_ + ".tmp" + std::to_string(::getpid());
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  bool ok = writer_(fd, data) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = std::rename(tmp.c_str(), path_.c_str()) == 0;
  if (!ok) {
    ::unlink(tmp.c_str());
    return false;
  }
  // The rename is durable once the folder itself is flushed.
  int dfd = ::open(folder_of(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  root_ = next;
  loaded_ = true;
  return true;
}

}  // namespace lumora::plat
