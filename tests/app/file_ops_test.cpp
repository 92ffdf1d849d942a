// File operations: copy, move and rename never overwrite and say why they failed; delete puts the
// file in the freedesktop.org trash layout (home trash, or a top-directory trash on another file
// system) and asks before deleting for good where no trash can be used.
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "../platform/controls_fixture.h"
#include "app/browser/file_ops.h"
#include "app/browser/trash.h"
#include "temp_home.h"

namespace lumora::app {
namespace {

namespace fs = std::filesystem;
using plat::testing::ControlsTest;

std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_file(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

class FileOpsTest : public ControlsTest {
 protected:
  void SetUp() override {
    ControlsTest::SetUp();
    home_.point("XDG_DATA_HOME", "data");
    root_ = home_.dir();
    fs::create_directories(root_ / "pics");
    fs::create_directories(root_ / "other");
  }
  std::string pic(const std::string& name) const { return (root_ / "pics" / name).string(); }

  test::TempHome home_;
  fs::path root_;
};

TEST_F(FileOpsTest, CopyMoveAndRenameNeverOverwriteAndSayWhy) {
  struct Case {
    const char* what;
    FileOperation op;
    const char* target;    // folder for copy and move, new name for rename (under pics/)
    const char* existing;  // a file already at the target place, or null
    bool ok;
    const char* source_after;  // content expected at the source afterwards ("" = gone)
    const char* target_after;  // content expected at the target afterwards
    const char* words;         // part of the message on failure
  };
  const Case cases[] = {
      {"copy elsewhere", FileOperation::Copy, "other", nullptr, true, "photo", "photo", ""},
      {"copy into its own folder", FileOperation::Copy, "pics", nullptr, false, "photo", "photo",
       "a file of that name is there already"},
      {"copy over a file", FileOperation::Copy, "other", "older", false, "photo", "older", "is there already"},
      {"copy into a missing folder", FileOperation::Copy, "missing", nullptr, false, "photo", nullptr,
       "no longer there"},
      {"move elsewhere", FileOperation::Move, "other", nullptr, true, "", "photo", ""},
      {"move over a file", FileOperation::Move, "other", "older", false, "photo", "older", "is there already"},
      {"rename", FileOperation::Rename, "renamed.jpg", nullptr, true, "", "photo", ""},
      {"rename to the same name", FileOperation::Rename, "a.jpg", nullptr, true, "photo", "photo", ""},
      {"rename over a file", FileOperation::Rename, "b.jpg", "older", false, "photo", "older",
       "a file of that name exists already"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(root_ / "pics");
    fs::remove_all(root_ / "other");
    fs::create_directories(root_ / "pics");
    fs::create_directories(root_ / "other");
    write_file(pic("a.jpg"), "photo");
    fs::path target;
    FileOpOutcome o;
    if (c.op == FileOperation::Rename) {
      target = root_ / "pics" / c.target;
      if (c.existing) write_file(target, c.existing);
      o = rename_file(pic("a.jpg"), target.string());
    } else {
      target = root_ / c.target / "a.jpg";
      if (c.existing) write_file(target, c.existing);
      std::string folder = (root_ / c.target).string() + "/";
      o = c.op == FileOperation::Copy ? copy_file_to(pic("a.jpg"), folder) : move_file_to(pic("a.jpg"), folder);
    }
    EXPECT_EQ(o.ok, c.ok) << o.message;
    EXPECT_EQ(fs::exists(pic("a.jpg")) ? read_file(pic("a.jpg")) : "", c.source_after);
    if (c.target_after) EXPECT_EQ(read_file(target), c.target_after);
    else EXPECT_FALSE(fs::exists(target));
    if (c.ok) {
      EXPECT_TRUE(o.message.empty());
    } else {
      EXPECT_NE(o.message.find("a.jpg"), std::string::npos) << o.message;
      EXPECT_NE(o.message.find(c.words), std::string::npos) << o.message;
    }
  }
}

TEST_F(FileOpsTest, AFailureIsShownInAMessageBoxAndTheFilesStay) {
  write_file(pic("a.jpg"), "photo");
  bool box_seen = false;
  drive({plat::testing::Step{0, [&] {
                               HWND box = GetFocus();
                               box_seen = box != nullptr && box != parent_;
                             }},
         VK_RETURN});
  EXPECT_FALSE(copy_to(parent_, pic("a.jpg"), (root_ / "pics").string()));
  EXPECT_TRUE(box_seen);
  EXPECT_EQ(read_file(pic("a.jpg")), "photo");
  PumpPendingMessages();
  MSG m;
  while (PeekMessage(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
}

// The keys and values of a .trashinfo file.
std::map<std::string, std::string> trash_info(const std::string& path) {
  std::map<std::string, std::string> kv;
  std::istringstream in(read_file(path));
  std::string line;
  std::getline(in, line);
  kv["header"] = line;
  while (std::getline(in, line)) {
    size_t eq = line.find('=');
    if (eq != std::string::npos) kv[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return kv;
}

TEST_F(FileOpsTest, DeleteMovesToTheHomeTrashInTheSharedLayout) {
  struct Case {
    const char* folder;
    const char* name;
    const char* entry;  // name under files/
    const char* escaped_tail;
  };
  // Two files of one name from different folders: the second gets a name of its own.
  const Case cases[] = {
      {"pics", "été 1.jpg", "été 1.jpg", "/pics/%C3%A9t%C3%A9%201.jpg"},
      {"other", "été 1.jpg", "été 1.2.jpg", "/other/%C3%A9t%C3%A9%201.jpg"},
      {"pics", "100%.png", "100%.png", "/pics/100%25.png"},
  };
  // YYYY-MM-DDThh:mm:ss
  auto is_date = [](const std::string& d) {
    const std::string shape = "dddd-dd-ddTdd:dd:dd";
    if (d.size() != shape.size()) return false;
    for (size_t i = 0; i < d.size(); ++i)
      if (shape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(d[i])) : d[i] != shape[i]) return false;
    return true;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::path file = root_ / c.folder / c.name;
    write_file(file, c.entry);
    ASSERT_TRUE(delete_to_trash(parent_, file.string()));
    EXPECT_FALSE(fs::exists(file));
    fs::path trash = root_ / "data" / "Trash";
    EXPECT_EQ(read_file(trash / "files" / c.entry), c.entry);
    auto kv = trash_info((trash / "info" / (std::string(c.entry) + ".trashinfo")).string());
    EXPECT_EQ(kv["header"], "[Trash Info]");
    EXPECT_EQ(kv["Path"], trash_escape_path(root_.string()) + c.escaped_tail);
    EXPECT_TRUE(is_date(kv["DeletionDate"])) << kv["DeletionDate"];
  }
  // The desktop's own tool reads the entries back where it can reach the trash.
  if (::access("/usr/bin/gio", X_OK) == 0) {
    std::string cmd = "XDG_DATA_HOME='" + (root_ / "data").string() + "' gio trash --list 2>/dev/null";
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
      char buf[512];
      while (fgets(buf, sizeof buf, p)) out += buf;
      if (pclose(p) == 0) {
        EXPECT_NE(out.find((root_ / "pics" / "été 1.jpg").string()), std::string::npos) << out;
        EXPECT_NE(out.find((root_ / "other" / "été 1.jpg").string()), std::string::npos) << out;
      }
    }
  }
}

TEST_F(FileOpsTest, DeleteOnAnotherFileSystemUsesItsTopDirectoryTrash) {
  // /dev/shm is a memory file system of its own on most machines.
  struct stat shm, home;
  if (::stat("/dev/shm", &shm) != 0 || ::stat(root_.c_str(), &home) != 0 || shm.st_dev == home.st_dev ||
      ::access("/dev/shm", W_OK) != 0)
    GTEST_SKIP() << "no second writable file system";
  char tmpl[] = "/dev/shm/lumora-fileops-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  fs::path dir = tmpl;
  fs::path file = dir / "b.jpg";
  write_file(file, "b");
  const std::string own_trash = "/dev/shm/.Trash-" + std::to_string(::getuid());
  bool existed = fs::exists(own_trash);
  TrashResult t = move_to_trash(file.string());
  ASSERT_EQ(t.kind, TrashResult::Trashed) << t.reason;
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(fs::path(t.trashed).parent_path().parent_path().string().rfind("/dev/shm/.Trash", 0), 0u) << t.trashed;
  // The path is relative to the top directory of that file system.
  EXPECT_EQ(trash_info(t.info)["Path"], dir.filename().string() + "/b.jpg");
  fs::remove(t.trashed);
  fs::remove(t.info);
  fs::remove_all(dir);
  if (!existed) fs::remove_all(own_trash);
}

TEST_F(FileOpsTest, WithoutATrashDeleteAsksBeforeDeletingForGood) {
  // A data folder that is a plain file: no trash can be made below it.
  write_file(root_ / "data-file", "");
  setenv("XDG_DATA_HOME", (root_ / "data-file").c_str(), 1);
  struct Case {
    UINT key;
    bool deleted;
  };
  for (Case c : {Case{VK_TBACK, false}, Case{VK_RETURN, true}}) {
    write_file(pic("c.jpg"), "c");
    drive({c.key});
    EXPECT_EQ(delete_to_trash(parent_, pic("c.jpg")), c.deleted);
    EXPECT_EQ(fs::exists(pic("c.jpg")), !c.deleted);
    PumpPendingMessages();
    MSG m;
    while (PeekMessage(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
  }
}

}  // namespace
}  // namespace lumora::app
