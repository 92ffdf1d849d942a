#include "app/browser/file_ops.h"

#include "app/browser/trash.h"

namespace lumora::app {

namespace {

const char* verb(FileOperation op) {
  switch (op) {
    case FileOperation::Copy: return "copy";
    case FileOperation::Move: return "move";
    case FileOperation::Rename: return "rename";
    case FileOperation::Delete: return "delete";
  }
  return "change";
}

const char* caption(FileOperation op) {
  switch (op) {
    case FileOperation::Copy: return "Copy to";
    case FileOperation::Move: return "Move to";
    case FileOperation::Rename: return "Rename";
    case FileOperation::Delete: return "Delete";
  }
  return "";
}

const char* reason(FileOperation op, FileOpResult r) {
  switch (r) {
    case FileOpResult::Ok: return "";
    case FileOpResult::NotFound: return "the file is no longer there, or the target folder is missing";
    case FileOpResult::Exists:
      return op == FileOperation::Rename ? "a file of that name exists already"
                                         : "a file of that name is there already";
    case FileOpResult::AccessDenied: return "you have no permission to change that folder";
    case FileOpResult::NoSpace: return "the disk is full";
    case FileOpResult::IsFolder: return "it is a folder";
    case FileOpResult::Failed: break;
  }
  return "the system refused the operation";
}

std::string with_slash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

FileOpOutcome outcome(FileOperation op, const std::string& path, const std::string& target,
                      const std::string& shown_target, FileOpResult r) {
  FileOpOutcome o;
  o.ok = r == FileOpResult::Ok;
  o.target = target;
  if (!o.ok) o.message = file_op_failure_text(op, path, shown_target, r);
  return o;
}

bool report(HWND owner, FileOperation op, const FileOpOutcome& o) {
  if (!o.ok) MessageBox(owner, o.message, caption(op), MB_OK | MB_ICONERROR);
  return o.ok;
}

}  // namespace

std::string file_op_failure_text(FileOperation op, const std::string& path, const std::string& target,
                                 FileOpResult result) {
  std::string text = std::string("Could not ") + verb(op) + " \"" + PathName(path) + "\"";
  switch (op) {
    case FileOperation::Copy:
    case FileOperation::Move: text += " to " + target; break;
    case FileOperation::Rename: text += " to \"" + PathName(target) + "\""; break;
    case FileOperation::Delete: break;
  }
  return text + ": " + reason(op, result) + ".";
}

FileOpOutcome copy_file_to(const std::string& path, const std::string& folder) {
  std::string target = with_slash(folder) + PathName(path);
  return outcome(FileOperation::Copy, path, target, with_slash(folder), CopyFile(path, target));
}

FileOpOutcome move_file_to(const std::string& path, const std::string& folder) {
  std::string target = with_slash(folder) + PathName(path);
  if (target == path) return outcome(FileOperation::Move, path, target, with_slash(folder), FileOpResult::Ok);
  return outcome(FileOperation::Move, path, target, with_slash(folder), MoveFile(path, target));
}

FileOpOutcome rename_file(const std::string& path, const std::string& new_path) {
  if (new_path == path) return outcome(FileOperation::Rename, path, new_path, new_path, FileOpResult::Ok);
  if (new_path.empty() || PathName(new_path).empty())
    return outcome(FileOperation::Rename, path, new_path, new_path, FileOpResult::NotFound);
  return outcome(FileOperation::Rename, path, new_path, new_path, MoveFile(path, new_path));
}

bool copy_to(HWND owner, const std::string& path, const std::string& folder) {
  return report(owner, FileOperation::Copy, copy_file_to(path, folder));
}

bool move_to(HWND owner, const std::string& path, const std::string& folder) {
  return report(owner, FileOperation::Move, move_file_to(path, folder));
}

bool rename_to(HWND owner, const std::string& path, const std::string& new_path) {
  return report(owner, FileOperation::Rename, rename_file(path, new_path));
}

bool delete_to_trash(HWND owner, const std::string& path) {
  if (path.empty()) return false;
  TrashResult t = move_to_trash(path);
  if (t.kind == TrashResult::Trashed) return true;
  const std::string name = PathName(path);
  if (t.kind == TrashResult::Failed) {
    MessageBox(owner, "Could not move \"" + name + "\" to the trash: " + t.reason + ".", caption(FileOperation::Delete),
               MB_OK | MB_ICONERROR);
    return false;
  }
  // No trash for this file: deleting cannot be undone, so the user decides.
  std::string question = "\"" + name + "\" cannot go to the trash: " + t.reason +
                         ".\nDelete it for good? This cannot be undone.";
  if (MessageBox(owner, question, caption(FileOperation::Delete), MB_OKCANCEL | MB_ICONQUESTION) != IDOK) return false;
  FileOpOutcome o = outcome(FileOperation::Delete, path, std::string(), std::string(), DeleteFile(path));
  return report(owner, FileOperation::Delete, o);
}

}  // namespace lumora::app
