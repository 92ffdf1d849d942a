#include "app/shell/paths.h"

#include <unistd.h>

#include <vector>

#include "app/shell/language.h"
#include "app/shell/resource.h"
#include "imagelib/core/status.h"

namespace lumora::app {

std::string absolute_path(const std::string& path, const std::string& base) {
  std::string joined;
  if (!path.empty() && path[0] == '/') {
    joined = path;
  } else {
    std::string from = base;
    if (from.empty()) {
      char buf[4096];
      from = ::getcwd(buf, sizeof buf) ? buf : "/";
    }
    joined = with_trailing_slash(from) + path;
  }
  std::vector<std::string> parts;
  size_t i = 0;
  while (i <= joined.size()) {
    size_t j = joined.find('/', i);
    if (j == std::string::npos) j = joined.size();
    std::string part = joined.substr(i, j - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(std::move(part));
    }
    i = j + 1;
  }
  std::string out;
  for (const std::string& p : parts) out += "/" + p;
  return out.empty() ? "/" : out;
}

std::string folder_of(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string name_of(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string with_trailing_slash(const std::string& folder) {
  if (folder.empty() || folder.back() == '/') return folder.empty() ? "/" : folder;
  return folder + "/";
}

std::string describe_load_failure(const std::string& path, int status) {
  unsigned reason;
  switch (status & 0xFFFF) {
    case kStatusNotRecognised: reason = IDS_LOAD_NOT_PICTURE; break;
    case kStatusCannotOpen: reason = IDS_LOAD_CANNOT_OPEN; break;
    case kStatusNoMemory: reason = IDS_LOAD_NO_MEMORY; break;
    default: reason = IDS_LOAD_DAMAGED; break;
  }
  return name_of(path) + ": " + load_string(reason);
}

}  // namespace lumora::app
