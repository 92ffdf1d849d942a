// Registry: values round trip through the file, names ignore case, corrupt files are set aside,
// and a write that fails half-way leaves the previous file whole.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/registry/registry.h"
#include "platform/registry/registry_file.h"
#include "scratch.h"

namespace lumora::plat {
namespace {

namespace fs = std::filesystem;

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("lumora_reg_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    setenv("LUMORA_CONFIG_DIR", dir_.c_str(), 1);
    RegFlushCache();
  }
  void TearDown() override {
    RegFlushCache();
    unsetenv("LUMORA_CONFIG_DIR");
    fs::remove_all(dir_);
  }
  static std::string read(const fs::path& p) { return testing::read_text(p); }
  fs::path user_file() const { return dir_ / "HKEY_CURRENT_USER.json"; }
  // The file's inode: every write makes a new file and renames it over the old one.
  ino_t ino() const {
    struct stat st{};
    return ::stat(user_file().c_str(), &st) == 0 ? st.st_ino : 0;
  }
  fs::path dir_;
};

TEST_F(RegistryTest, ValuesSurviveAReloadWithTheirTypes) {
  HKEY k = nullptr;
  DWORD disp = 0;
  ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Lumora", &k, &disp), ERROR_SUCCESS);
  EXPECT_EQ(disp, REG_CREATED_NEW_KEY);
  EXPECT_EQ(RegSetDword(k, "ThumbSize", 2), ERROR_SUCCESS);
  EXPECT_EQ(RegSetDword(k, "SortBy", 0x80001003u), ERROR_SUCCESS);
  EXPECT_EQ(RegSetString(k, "Path", "/home/me/Pictures/\xC3\xA9t\xC3\xA9 \"quoted\" \\"), ERROR_SUCCESS);
  EXPECT_EQ(RegSetString(k, "", "default text"), ERROR_SUCCESS);
  HKEY assoc = nullptr;
  ASSERT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, ".jpg", &assoc), ERROR_SUCCESS);  // the other root, an empty key
  RegCloseKey(assoc);
  RegCloseKey(k);

  RegFlushCache();  // as a new process would
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "software\\LUMORA", &k), ERROR_SUCCESS);
  DWORD v = 0;
  std::string s;
  EXPECT_EQ(RegQueryDword(k, "thumbsize", &v), ERROR_SUCCESS);
  EXPECT_EQ(v, 2u);
  EXPECT_EQ(RegQueryDword(k, "SortBy", &v), ERROR_SUCCESS);
  EXPECT_EQ(v, 0x80001003u);
  EXPECT_EQ(RegQueryString(k, "Path", &s), ERROR_SUCCESS);
  EXPECT_EQ(s, "/home/me/Pictures/\xC3\xA9t\xC3\xA9 \"quoted\" \\");
  EXPECT_EQ(RegQueryString(k, "", &s), ERROR_SUCCESS);
  EXPECT_EQ(s, "default text");
  EXPECT_EQ(RegQueryString(k, "ThumbSize", &s), ERROR_UNSUPPORTED_TYPE);
  EXPECT_EQ(RegQueryDword(k, "Missing", &v), ERROR_FILE_NOT_FOUND);
  RegCloseKey(k);
  EXPECT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, ".JPG", &assoc), ERROR_SUCCESS);
  RegCloseKey(assoc);
  // The file is plain text a person can read.
  EXPECT_NE(read(user_file()).find("\"ThumbSize\": 2"), std::string::npos);
}

// Setting a value to what it holds leaves the file alone; once the file is gone from the disk, the
// same value writes it again.
TEST_F(RegistryTest, AnUnchangedValueIsNotWrittenAgainUnlessTheFileIsGone) {
  HKEY k = nullptr;
  ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Lumora", &k), ERROR_SUCCESS);
  ASSERT_EQ(RegSetDword(k, "Delay", 2), ERROR_SUCCESS);
  ASSERT_EQ(RegSetString(k, "Path", "/p"), ERROR_SUCCESS);
  const auto before = ino();
  EXPECT_EQ(RegSetDword(k, "Delay", 2), ERROR_SUCCESS);
  EXPECT_EQ(RegSetString(k, "Path", "/p"), ERROR_SUCCESS);
  EXPECT_EQ(ino(), before) << "rewritten for an unchanged value";
  EXPECT_EQ(RegSetDword(k, "Delay", 3), ERROR_SUCCESS);
  EXPECT_NE(ino(), before) << "a changed value was not written";
  fs::remove(user_file());
  EXPECT_EQ(RegSetDword(k, "Delay", 3), ERROR_SUCCESS);
  EXPECT_NE(read(user_file()).find("\"Delay\": 3"), std::string::npos);
  RegCloseKey(k);
}

TEST_F(RegistryTest, DeletingKeysAndValues) {
  HKEY k = nullptr;
  ASSERT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, "LumoraFile\\shell\\open\\command", &k), ERROR_SUCCESS);
  RegSetString(k, "", "lumora \"%1\"");
  RegCloseKey(k);
  HKEY root = nullptr;
  ASSERT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, "LumoraFile", &root), ERROR_SUCCESS);
  std::string name;
  EXPECT_EQ(RegEnumKey(root, 0, &name), ERROR_SUCCESS);
  EXPECT_EQ(name, "shell");
  EXPECT_EQ(RegEnumKey(root, 1, &name), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(RegDeleteKey(root, "shell"), ERROR_SUCCESS);  // with everything below
  EXPECT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, "LumoraFile\\shell\\open", &k), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKey(root, "shell"), ERROR_FILE_NOT_FOUND);
  RegSetDword(root, "EditFlags", 1);
  EXPECT_EQ(RegDeleteValue(root, "editflags"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValue(root, "editflags"), ERROR_FILE_NOT_FOUND);
  RegCloseKey(root);
  EXPECT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, "a\\\\b", &k), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetDword(nullptr, "x", 1), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, UnreadableFilesAreSetAsideAndDefaultsApply) {
  const char* bad[] = {"{ \"Software\": ", "[1, 2]", "{\"Software\": 5}", "{\"a\\\\\\\\b\": {}}", "\xFF\xFE garbage"};
  for (const char* text : bad) {
    SCOPED_TRACE(text);
    RegFlushCache();
    fs::create_directories(dir_);
    fs::remove(dir_ / "HKEY_CURRENT_USER.json.corrupt");
    { std::ofstream(user_file()) << text; }
    HKEY k = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software", &k), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(fs::exists(dir_ / "HKEY_CURRENT_USER.json.corrupt"));
    EXPECT_EQ(read(dir_ / "HKEY_CURRENT_USER.json.corrupt"), text);
    EXPECT_FALSE(fs::exists(user_file()));
    // Writing works again afterwards.
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software", &k), ERROR_SUCCESS);
    EXPECT_EQ(RegSetDword(k, "Mode", 3), ERROR_SUCCESS);
    RegCloseKey(k);
    EXPECT_TRUE(fs::exists(user_file()));
  }
}

TEST_F(RegistryTest, AFailedWriteLeavesTheOldFileAndTreeWhole) {
  fs::create_directories(dir_);
  std::string path = (dir_ / "reg.json").string();
  RegistryFile good(path);
  RegNode tree;
  RegNode& key = tree.keys["software"];
  key.name = "Software";
  key.values["mode"] = RegValue{"Mode", REG_DWORD, "", 1, nullptr};
  ASSERT_TRUE(good.commit(tree));
  const std::string before = read(path);

  // A writer that dies half-way through, like a process killed in the middle of the write.
  RegistryFile failing(path, [](int fd, const std::string& data) {
    (void)!::write(fd, data.data(), data.size() / 2);
    return false;
  });
  RegNode next = failing.tree();
  next.keys["software"].values["mode"].number = 2;
  next.keys["software"].values["extra"] = RegValue{"Extra", REG_SZ, std::string(10000, 'x'), 0, nullptr};
  EXPECT_FALSE(failing.commit(next));
  EXPECT_EQ(read(path), before);
  EXPECT_EQ(failing.tree().keys["software"].values["mode"].number, 1u);
  for (auto& entry : fs::directory_iterator(dir_)) EXPECT_EQ(entry.path().filename(), "reg.json");  // no temporary left
}

TEST_F(RegistryTest, ValuesOfUnknownFormAreKeptAsTheyStand) {
  fs::create_directories(dir_);
  { std::ofstream(user_file()) << R"({"Software\\Lumora": {"List": ["a", "b"], "Mode": 1}})"; }
  HKEY k = nullptr;
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Lumora", &k), ERROR_SUCCESS);
  DWORD type = 99;
  EXPECT_EQ(RegQueryValueType(k, "List", &type), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_NONE);
  EXPECT_EQ(RegSetDword(k, "Mode", 2), ERROR_SUCCESS);
  RegCloseKey(k);
  EXPECT_NE(read(user_file()).find("\"b\""), std::string::npos);
}

}  // namespace
}  // namespace lumora::plat
