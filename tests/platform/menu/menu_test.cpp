// Menus and the soft-key bar: checks, radio checks and greying by command and by position; the
// bar's labels and popups chosen by pad, action key and number; submenus; Back and soft keys
// closing menus; the Back-key override.
#include "../controls_fixture.h"

namespace lumora::plat {
namespace {

using testing::ControlsTest;
using testing::g_heard;
using testing::Heard;

constexpr MenuTemplateItem kZoom[] = {
    {"Fit to Screen", 32827, MF_CHECKED | MFT_RADIOCHECK}, {"Fill the Screen", 32828}, {"", 0, MF_SEPARATOR},
    {"100%", 32832}};
constexpr MenuTemplateItem kAction[] = {
    {"Previous", 32819, MF_GRAYED}, {"Next", 32820}, {"Zoom", 0, MF_POPUP, kZoom}, {"via IrDA", 32838, MF_GRAYED},
    {"Properties", 32774}};
constexpr MenuTemplateItem kFile[] = {{"Save as", 32806}, {"Quit", 32775}};
constexpr MenuTemplateItem kBar[] = {{"Action", 0, MF_POPUP, kAction}, {"File", 0, MF_POPUP, kFile}};
constexpr MenuTemplateItem kDoneBar[] = {{"Done", 1}, {"Menu", 0, MF_POPUP, kFile}};

class MenuTest : public ControlsTest {
 protected:
  void SetUp() override {
    ControlsTest::SetUp();
    RegisterMenuResource(133, kBar);
    RegisterMenuResource(137, kDoneBar);
  }
  HWND make_bar(UINT id) {
    SHMENUBARINFO mb;
    mb.hwndParent = parent_;
    mb.nToolBarId = id;
    EXPECT_TRUE(SHCreateMenuBar(&mb));
    PumpPendingMessages();
    return mb.hwndMB;
  }
  std::vector<uintptr_t> commands() {
    std::vector<uintptr_t> out;
    for (const Heard& h : heard(WM_COMMAND)) out.push_back(h.id);
    return out;
  }
};

TEST_F(MenuTest, ChecksRadioChecksAndGreyingByCommandAndByPosition) {
  HMENU bar = LoadMenuIndirect(kBar);
  HMENU action = GetSubMenu(bar, 0);
  HMENU zoom = GetSubMenu(action, 2);
  // By command the search goes into submenus.
  EXPECT_TRUE(CheckMenuRadioItem(bar, 32827, 32835, 32832, MF_BYCOMMAND));
  EXPECT_EQ(GetMenuState(bar, 32827, MF_BYCOMMAND) & MF_CHECKED, 0u);
  EXPECT_EQ(GetMenuState(zoom, 3, MF_BYPOSITION) & (MF_CHECKED | MFT_RADIOCHECK), MF_CHECKED | MFT_RADIOCHECK);
  EXPECT_EQ(CheckMenuItem(bar, 32774, MF_CHECKED), static_cast<UINT>(MF_UNCHECKED));
  EXPECT_EQ(CheckMenuItem(bar, 32774, MF_UNCHECKED), static_cast<UINT>(MF_CHECKED));
  EXPECT_EQ(EnableMenuItem(bar, 32819, MF_ENABLED), static_cast<UINT>(MF_GRAYED));
  EXPECT_EQ(GetMenuState(action, 0, MF_BYPOSITION) & MF_GRAYED, 0u);
  EXPECT_EQ(EnableMenuItem(bar, 99999, MF_GRAYED), kMenuError);
  // Translating: texts change, ids, checks and submenus stay.
  MENUITEMINFO info;
  std::string text = "Aktion";
  info.fMask = MIIM_STRING;
  info.text = &text;
  EXPECT_TRUE(SetMenuItemInfo(bar, 0, TRUE, &info));
  EXPECT_EQ(GetMenuString(bar, 0, MF_BYPOSITION), "Aktion");
  EXPECT_EQ(GetSubMenu(bar, 0), action);
  EXPECT_TRUE(ModifyMenu(bar, 32832, MF_BYCOMMAND | MF_STRING | MF_CHECKED | MFT_RADIOCHECK, 32832, "100 %"));
  EXPECT_EQ(GetMenuString(zoom, 3, MF_BYPOSITION), "100 %");
  EXPECT_EQ(GetMenuItemID(zoom, 3), 32832u);
  EXPECT_EQ(GetMenuItemCount(action), 5);
  EXPECT_TRUE(DestroyMenu(bar));
  EXPECT_FALSE(IsMenu(zoom));
}

TEST_F(MenuTest, SoftKeyLabelsAreShownReadAndReplaced) {
  SetTextRecording(true);
  HWND bar = make_bar(133);
  UpdateWindow(bar);
  RECT br;
  GetWindowRect(bar, &br);
  bool left = false, right = false;
  for (const DrawnText& t : DrawnTexts()) {
    if (t.text == "Action") left = t.bounds.left < 40 && t.bounds.top >= br.top;
    if (t.text == "File") right = t.bounds.right > GetSystemMetrics(SM_CXSCREEN) - 40 && t.bounds.top >= br.top;
  }
  EXPECT_TRUE(left);
  EXPECT_TRUE(right);
  EXPECT_EQ(SHGetSoftKeyText(bar, 0), "Action");
  EXPECT_EQ(SHGetSoftKeyText(bar, 1), "File");
  EXPECT_TRUE(SHSetSoftKeyText(bar, 1, "Datei"));
  EXPECT_EQ(SHGetSoftKeyText(bar, 1), "Datei");
  // The key keeps its popup: it still opens the File menu.
  EXPECT_NE(GetSubMenu(static_cast<HMENU>(SendMessage(bar, SHCMBM_GETMENU, 0, 0)), 1), HMENU{0});
  // Only the two keys of a bar exist.
  EXPECT_FALSE(SHSetSoftKeyText(bar, 2, "x"));
  EXPECT_FALSE(SHSetSoftKeyText(bar, -1, "x"));
  EXPECT_FALSE(SHSetSoftKeyText(parent_, 0, "x"));
  EXPECT_EQ(SHGetSoftKeyText(parent_, 0), "");
  ClearDrawnTexts();
  UpdateWindow(bar);
  bool shown = false;
  for (const DrawnText& t : DrawnTexts()) shown = shown || t.text == "Datei";
  SetTextRecording(false);
  EXPECT_TRUE(shown);
}

struct MenuRun {
  const char* name;
  std::vector<UINT> keys;
  std::vector<uintptr_t> commands;
};

TEST_F(MenuTest, SoftKeysOpenPopupsChosenByPadActionKeyAndNumber) {
  const MenuRun runs[] = {
      {"pad and action key skip nothing but the separator", {VK_TSOFT1, VK_DOWN, VK_RETURN}, {32820}},
      {"a greyed item cannot be chosen", {VK_TSOFT1, VK_RETURN, VK_TBACK}, {}},
      {"number key", {VK_TSOFT1, '5'}, {32774}},
      {"submenu with Right, number inside it", {VK_TSOFT1, VK_DOWN, VK_DOWN, VK_RIGHT, '3'}, {32832}},
      {"Left closes the submenu only", {VK_TSOFT1, '3', VK_LEFT, VK_DOWN, VK_DOWN, VK_RETURN}, {32774}},
      {"Back closes one level at a time", {VK_TSOFT1, '3', VK_TBACK, VK_TBACK, VK_TSOFT2, VK_RETURN}, {32806}},
      {"a soft key closes every level", {VK_TSOFT1, '3', VK_TSOFT2}, {}},
      {"wrapping from the top", {VK_TSOFT2, VK_UP, VK_RETURN}, {32775}},
  };
  make_bar(133);
  SetFocus(parent_);
  for (const MenuRun& r : runs) {
    g_heard.clear();
    run({r.keys.begin(), r.keys.end()});
    EXPECT_EQ(commands(), r.commands) << r.name;
    EXPECT_EQ(ActivePopupMenu(), nullptr) << r.name;
  }
}

TEST_F(MenuTest, CommandKeysSendAtOnceAndTheBackKeyOverrideReachesTheOwner) {
  HWND bar = make_bar(137);
  SetFocus(parent_);
  g_heard.clear();
  run({VK_TSOFT1});
  EXPECT_EQ(commands(), std::vector<uintptr_t>{1});
  // Without the override Back is an ordinary key; with it, a hot key with press and release.
  g_heard.clear();
  SendMessage(bar, SHCMBM_OVERRIDEKEY, VK_TBACK, MAKELPARAM(SHMBOF_NODEFAULT | SHMBOF_NOTIFY, SHMBOF_NODEFAULT | SHMBOF_NOTIFY));
  press(VK_TBACK);
  auto hot = heard(WM_HOTKEY);
  ASSERT_EQ(hot.size(), 2u);
  EXPECT_EQ(hot[0].id, VK_TBACK);
  // A greyed soft key does nothing.
  EnableMenuItem(static_cast<HMENU>(SendMessage(bar, SHCMBM_GETMENU, 0, 0)), 0, MF_BYPOSITION | MF_GRAYED);
  g_heard.clear();
  run({VK_TSOFT1});
  EXPECT_TRUE(commands().empty());
}

// A desktop window resized by its user: the screen takes the new size, the program's window
// still reaches down to its soft-key bar, and the bar stays at the bottom across the width.
TEST_F(MenuTest, ScreenResizeKeepsTheWindowAboveItsBar) {
  HWND bar = make_bar(133);
  RECT before, bar_before;
  GetWindowRect(parent_, &before);
  GetWindowRect(bar, &bar_before);
  ASSERT_EQ(before.bottom, bar_before.top);  // the bar shortens its owner
  ASSERT_EQ(bar_before.bottom, GetSystemMetrics(SM_CYSCREEN));
  for (const SIZE size : {SIZE{480, 640}, SIZE{800, 480}, SIZE{240, 320}}) {
    ASSERT_TRUE(ResizeScreen(size.cx, size.cy));
    PumpPendingMessages();
    RECT r, b;
    GetWindowRect(parent_, &r);
    GetWindowRect(bar, &b);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), size.cx);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), size.cy);
    EXPECT_EQ(b.bottom, size.cy) << size.cx;
    EXPECT_EQ(b.right - b.left, size.cx) << size.cx;
    EXPECT_EQ(r.right, size.cx) << size.cx;
    EXPECT_EQ(r.bottom, b.top) << size.cx;
  }
}

}  // namespace
}  // namespace lumora::plat
