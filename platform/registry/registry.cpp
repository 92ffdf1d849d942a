#include "platform/registry/registry.h"

#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "platform/registry/registry_file.h"
#include "platform/system/system.h"

struct lumora::plat::RegistryKey {
  static constexpr uint32_t kMagic = 0x52454B59;
  uint32_t magic = kMagic;
  int root = 0;  // 0 classes root, 1 current user
  std::vector<std::string> path;
};

namespace lumora::plat {

namespace {

struct Registry {
  std::mutex m;
  std::unique_ptr<RegistryFile> files[2];
};

Registry& registry() {
  static Registry r;
  return r;
}

const char* kFileNames[2] = {"HKEY_CLASSES_ROOT.json", "HKEY_CURRENT_USER.json"};

RegistryFile& file_locked(int root) {
  auto& f = registry().files[root];
  if (!f) f = std::make_unique<RegistryFile>(ConfigDir() + "/" + kFileNames[root]);
  return *f;
}

// Resolves a handle to (root, path); false for an invalid handle.
bool resolve(HKEY key, int* root, std::vector<std::string>* path) {
  if (key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER) {
    *root = key == HKEY_CLASSES_ROOT ? 0 : 1;
    path->clear();
    return true;
  }
  if (!key || key->magic != RegistryKey::kMagic) return false;
  *root = key->root;
  *path = key->path;
  return true;
}

bool split(std::string_view sub, std::vector<std::string>* parts) {
  size_t start = 0;
  while (start < sub.size()) {
    size_t end = sub.find('\\', start);
    if (end == std::string_view::npos) end = sub.size();
    if (end == start) return false;  // empty name
    parts->emplace_back(sub.substr(start, end - start));
    start = end + 1;
  }
  return true;
}

RegNode* find(RegNode& root, const std::vector<std::string>& path) {
  RegNode* n = &root;
  for (const std::string& p : path) {
    auto it = n->keys.find(reg_fold(p));
    if (it == n->keys.end()) return nullptr;
    n = &it->second;
  }
  return n;
}

// What a change answers when the tree already holds what it would write.
constexpr LONG kUnchanged = -1;

// Runs a change on a copy of the tree and commits it; the tree stays as it was on failure. A
// value set to what it already is costs no write (a program writing all its settings at close
// would otherwise flush the file once a value), unless the file has gone from the disk.
template <class Fn>
LONG change(HKEY key, Fn fn) {
  int root;
  std::vector<std::string> path;
  if (!resolve(key, &root, &path)) return ERROR_INVALID_HANDLE;
  std::lock_guard lock(registry().m);
  RegistryFile& f = file_locked(root);
  RegNode next = f.tree();
  RegNode* node = find(next, path);
  if (!node) return ERROR_FILE_NOT_FOUND;  // deleted meanwhile
  LONG r = fn(*node);
  if (r == kUnchanged && f.on_disk()) return ERROR_SUCCESS;
  if (r != ERROR_SUCCESS && r != kUnchanged) return r;
  return f.commit(next) ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

template <class Fn>
LONG read(HKEY key, Fn fn) {
  int root;
  std::vector<std::string> path;
  if (!resolve(key, &root, &path)) return ERROR_INVALID_HANDLE;
  std::lock_guard lock(registry().m);
  RegNode* node = find(file_locked(root).tree(), path);
  if (!node) return ERROR_FILE_NOT_FOUND;
  return fn(*node);
}

LONG make_handle(int root, std::vector<std::string> path, HKEY* out) {
  auto* k = new (std::nothrow) RegistryKey();
  if (!k) return ERROR_NOT_ENOUGH_MEMORY;
  k->root = root;
  k->path = std::move(path);
  *out = k;
  return ERROR_SUCCESS;
}

}  // namespace

LONG RegCreateKeyEx(HKEY parent, std::string_view subkey, HKEY* out, DWORD* disposition) {
  if (!out) return ERROR_INVALID_PARAMETER;
  *out = nullptr;
  std::vector<std::string> parts;
  if (!split(subkey, &parts)) return ERROR_INVALID_PARAMETER;
  int root;
  std::vector<std::string> path;
  if (!resolve(parent, &root, &path)) return ERROR_INVALID_HANDLE;
  bool created = false;
  LONG r;
  {
    std::lock_guard lock(registry().m);
    RegistryFile& f = file_locked(root);
    RegNode next = f.tree();
    RegNode* node = find(next, path);
    if (!node) return ERROR_FILE_NOT_FOUND;
    for (const std::string& p : parts) {
      RegNode& child = node->keys[reg_fold(p)];
      if (child.name.empty()) child.name = p, created = true;
      node = &child;
    }
    r = created && !f.commit(next) ? ERROR_WRITE_FAULT : ERROR_SUCCESS;
  }
  if (r != ERROR_SUCCESS) return r;
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  path.insert(path.end(), parts.begin(), parts.end());
  return make_handle(root, std::move(path), out);
}

LONG RegOpenKeyEx(HKEY parent, std::string_view subkey, HKEY* out) {
  if (!out) return ERROR_INVALID_PARAMETER;
  *out = nullptr;
  std::vector<std::string> parts;
  if (!split(subkey, &parts)) return ERROR_INVALID_PARAMETER;
  int root;
  std::vector<std::string> path;
  if (!resolve(parent, &root, &path)) return ERROR_INVALID_HANDLE;
  path.insert(path.end(), parts.begin(), parts.end());
  {
    std::lock_guard lock(registry().m);
    if (!find(file_locked(root).tree(), path)) return ERROR_FILE_NOT_FOUND;
  }
  return make_handle(root, std::move(path), out);
}

LONG RegCloseKey(HKEY key) {
  if (key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER) return ERROR_SUCCESS;
  if (!key || key->magic != RegistryKey::kMagic) return ERROR_INVALID_HANDLE;
  key->magic = 0;
  delete key;
  return ERROR_SUCCESS;
}

LONG RegDeleteKey(HKEY parent, std::string_view subkey) {
  std::vector<std::string> parts;
  if (!split(subkey, &parts) || parts.empty()) return ERROR_INVALID_PARAMETER;
  return change(parent, [&](RegNode& node) -> LONG {
    RegNode* n = &node;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
      auto it = n->keys.find(reg_fold(parts[i]));
      if (it == n->keys.end()) return ERROR_FILE_NOT_FOUND;
      n = &it->second;
    }
    return n->keys.erase(reg_fold(parts.back())) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
}

LONG RegDeleteValue(HKEY key, std::string_view name) {
  return change(key, [&](RegNode& node) -> LONG {
    return node.values.erase(reg_fold(name)) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
}

LONG RegSetString(HKEY key, std::string_view name, std::string_view value) {
  return change(key, [&](RegNode& node) -> LONG {
    RegValue& v = node.values[reg_fold(name)];
    if (v.type == REG_SZ && v.text == value && !v.name.empty()) return kUnchanged;
    if (v.name.empty()) v.name = std::string(name);
    v.type = REG_SZ;
    v.text = std::string(value);
    v.raw = nullptr;
    return ERROR_SUCCESS;
  });
}

LONG RegSetDword(HKEY key, std::string_view name, DWORD value) {
  return change(key, [&](RegNode& node) -> LONG {
    RegValue& v = node.values[reg_fold(name)];
    if (v.type == REG_DWORD && v.number == value && !v.name.empty()) return kUnchanged;
    if (v.name.empty()) v.name = std::string(name);
    v.type = REG_DWORD;
    v.number = value;
    v.text.clear();
    v.raw = nullptr;
    return ERROR_SUCCESS;
  });
}

LONG RegQueryString(HKEY key, std::string_view name, std::string* out) {
  return read(key, [&](RegNode& node) -> LONG {
    auto it = node.values.find(reg_fold(name));
    if (it == node.values.end()) return ERROR_FILE_NOT_FOUND;
    if (it->second.type != REG_SZ) return ERROR_UNSUPPORTED_TYPE;
    if (out) *out = it->second.text;
    return ERROR_SUCCESS;
  });
}

LONG RegQueryDword(HKEY key, std::string_view name, DWORD* out) {
  return read(key, [&](RegNode& node) -> LONG {
    auto it = node.values.find(reg_fold(name));
    if (it == node.values.end()) return ERROR_FILE_NOT_FOUND;
    if (it->second.type != REG_DWORD) return ERROR_UNSUPPORTED_TYPE;
    if (out) *out = it->second.number;
    return ERROR_SUCCESS;
  });
}

LONG RegQueryValueType(HKEY key, std::string_view name, DWORD* type) {
  return read(key, [&](RegNode& node) -> LONG {
    auto it = node.values.find(reg_fold(name));
    if (it == node.values.end()) return ERROR_FILE_NOT_FOUND;
    if (type) *type = it->second.type;
    return ERROR_SUCCESS;
  });
}

LONG RegEnumKey(HKEY key, DWORD index, std::string* name) {
  return read(key, [&](RegNode& node) -> LONG {
    if (index >= node.keys.size()) return ERROR_NO_MORE_ITEMS;
    auto it = node.keys.begin();
    std::advance(it, index);
    if (name) *name = it->second.name;
    return ERROR_SUCCESS;
  });
}

LONG RegEnumValue(HKEY key, DWORD index, std::string* name, DWORD* type) {
  return read(key, [&](RegNode& node) -> LONG {
    if (index >= node.values.size()) return ERROR_NO_MORE_ITEMS;
    auto it = node.values.begin();
    std::advance(it, index);
    if (name) *name = it->second.name;
    if (type) *type = it->second.type;
    return ERROR_SUCCESS;
  });
}

void RegFlushCache() {
  std::lock_guard lock(registry().m);
  registry().files[0].reset();
  registry().files[1].reset();
}

}  // namespace lumora::plat
