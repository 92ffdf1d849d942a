// Screens of every control, the soft-key menus, a dialog and a message box, at the phone's
// 240 x 320 / 96 dpi and at larger screens and dpi settings. The PNG files go to the folder named
// by LUMORA_GALLERY_DIR (else a folder in the temporary directory) for people to look at; the
// checks here are the facts that must hold on every screen: the focus mark, the title band and the
// soft-key bar are where they belong and scale with the dpi.
#include <cstdlib>
#include <filesystem>

#include "controls_fixture.h"

namespace lumora::plat {
namespace {

using testing::g_steps;
using testing::screen_pixel;
using testing::Step;

struct Screen {
  int w, h, dpi;
};

class GalleryTest : public ::testing::TestWithParam<Screen> {
 protected:
  void SetUp() override {
    Options o;
    o.headless = true;
    o.screen_width = GetParam().w;
    o.screen_height = GetParam().h;
    o.dpi = GetParam().dpi;
    std::string err;
    ASSERT_TRUE(Startup(o, &err)) << err;
    InitCommonControls();
    WNDCLASS wc;
    wc.lpfnWndProc = testing::parent_proc;
    wc.lpszClassName = "TestParent";
    RegisterClass(&wc);
    WNDCLASS dc;
    dc.lpfnWndProc = testing::driver_proc;
    dc.lpszClassName = "TestDriver";
    RegisterClass(&dc);
    testing::g_answer = nullptr;
    main_ = CreateWindowEx(0, "TestParent", "Lumora", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, nullptr, 0, nullptr, nullptr);
    driver_ = CreateWindowEx(0, "TestDriver", "", 0, 0, 0, 1, 1, nullptr, 0, nullptr, nullptr);
    const char* env = std::getenv("LUMORA_GALLERY_DIR");
    dir_ = env && *env ? std::filesystem::path(env) : std::filesystem::temp_directory_path() / "lumora-gallery";
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    testing::g_answer = nullptr;
    g_steps.clear();
    Shutdown();
  }
  std::string shot(const char* name) {
    PumpPendingMessages();
    std::string file = (dir_ / (std::string(name) + "_" + std::to_string(GetParam().w) + "x" +
                                std::to_string(GetParam().h) + "_" + std::to_string(GetParam().dpi) + ".png"))
                           .string();
    EXPECT_TRUE(SaveScreenshot(file)) << file;
    return file;
  }
  void run(std::vector<Step> steps) {
    steps.push_back(Step{0, [] { PostQuitMessage(0); }});
    g_steps = std::move(steps);
    PostMessage(driver_, testing::WM_DRIVE, 0, 0);
    MSG m;
    while (GetMessage(&m, nullptr, 0, 0)) {
      TranslateMessage(&m);
      DispatchMessage(&m);
    }
  }
  HWND add(const char* cls, DWORD style, RECT r, const char* text = "", int id = 100) {
    return CreateWindowEx(0, cls, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right - r.left,
                          r.bottom - r.top, main_, static_cast<HMENU>(id), nullptr, nullptr);
  }
  int px(int v) const { return MulDiv(v, GetParam().dpi, 96); }
  HWND main_ = nullptr, driver_ = nullptr;
  std::filesystem::path dir_;
};

constexpr MenuTemplateItem kSort[] = {{"Name", 32781, MF_CHECKED | MFT_RADIOCHECK}, {"Date", 32782}, {"Type", 32783},
                                      {"Size", 32784}, {"", 0, MF_SEPARATOR}, {"Ascending", 32786, MF_CHECKED | MFT_RADIOCHECK},
                                      {"Descending", 32787}};
constexpr MenuTemplateItem kAction[] = {{"Thumbnails", 32776, MF_CHECKED | MFT_RADIOCHECK}, {"List", 32777}, {"Details", 32778},
                                        {"Strip", 32779}, {"", 0, MF_SEPARATOR}, {"Sort by", 0, MF_POPUP, kSort},
                                        {"Show Filename", 32789, MF_CHECKED}, {"Open folder...", 32791}, {"via IrDA", 32838, MF_GRAYED},
                                        {"Start Slideshow", 32807}};
constexpr MenuTemplateItem kFile[] = {{"Properties", 32774}, {"About", 32837}, {"Quit", 32775}};
constexpr MenuTemplateItem kBar[] = {{"Action", 0, MF_POPUP, kAction}, {"File", 0, MF_POPUP, kFile}};

TEST_P(GalleryTest, ListsTreeAndMenus) {
  RegisterMenuResource(130, kBar);
  SHMENUBARINFO mb;
  mb.hwndParent = main_;
  mb.nToolBarId = 130;
  ASSERT_TRUE(SHCreateMenuBar(&mb));
  RECT c;
  GetClientRect(main_, &c);

  // Report list with a header and striped rows, the focus on the fourth row.
  HWND lv = add(WC_LISTVIEW, LVS_REPORT | WS_TABSTOP, c, "", 1001);
  const char* heads[] = {"Name", "Size", "Date"};
  int widths[] = {px(110), px(55), px(70)};
  for (int i = 0; i < 3; ++i) {
    LVCOLUMN col;
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    col.fmt = i ? LVCFMT_RIGHT : LVCFMT_LEFT;
    col.cx = widths[i];
    col.pszText = const_cast<char*>(heads[i]);
    SendMessage(lv, LVM_INSERTCOLUMN, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&col));
  }
  for (int i = 0; i < 30; ++i) {
    std::string name = "IMG_" + std::to_string(4200 + i) + ".JPG", size = std::to_string(200 + i * 37) + " KB",
                date = "12/0" + std::to_string(1 + i % 9) + "/07";
    LVITEM it;
    it.mask = LVIF_TEXT;
    it.iItem = i;
    it.pszText = name.data();
    SendMessage(lv, LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&it));
    it.iSubItem = 1;
    it.pszText = size.data();
    SendMessage(lv, LVM_SETITEMTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&it));
    it.iSubItem = 2;
    it.pszText = date.data();
    SendMessage(lv, LVM_SETITEMTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&it));
  }
  testing::g_answer = [](NMHDR* h) -> LRESULT {
    if (h->code != NM_CUSTOMDRAW) return 0;
    auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(h);
    if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
    if (cd->nmcd.dwItemSpec & 1) cd->clrTextBk = RGB(195, 195, 195);
    return CDRF_DODEFAULT;
  };
  SetFocus(lv);
  LVITEM st;
  st.state = st.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessage(lv, LVM_SETITEMSTATE, 3, reinterpret_cast<LPARAM>(&st));
  shot("listview_report");
  // The soft-key bar ends the screen; its band is a dark colour.
  uint32_t bar = screen_pixel(GetParam().w / 2 - px(30), GetParam().h - px(13));
  EXPECT_LT((bar & 0xFF) + ((bar >> 8) & 0xFF) + ((bar >> 16) & 0xFF), 3u * 80);

  // Icons sized by an image list, as the thumbnail view does.
  SetWindowLongPtr(lv, GWL_STYLE, (GetWindowLongPtr(lv, GWL_STYLE) & ~static_cast<LONG_PTR>(LVS_TYPEMASK)) | LVS_ICON);
  HIMAGELIST il = ImageList_Create(px(46), px(46), ILC_COLOR24, 1, 1);
  SendMessage(lv, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(il));
  testing::g_answer = nullptr;
  InvalidateRect(lv, nullptr, TRUE);
  shot("listview_icons");
  SendMessage(lv, LVM_SETIMAGELIST, LVSIL_NORMAL, 0);
  ImageList_Destroy(il);
  DestroyWindow(lv);

  // A folder tree.
  HWND tv = add(WC_TREEVIEW, TVS_HASBUTTONS | TVS_LINESATROOT | WS_TABSTOP, c, "", 1009);
  auto insert = [&](HTREEITEM parent, const char* text, int children) {
    TVINSERTSTRUCT in;
    in.hParent = parent;
    in.item.mask = TVIF_TEXT | TVIF_CHILDREN;
    in.item.pszText = const_cast<char*>(text);
    in.item.cChildren = children;
    return reinterpret_cast<HTREEITEM>(SendMessage(tv, TVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&in)));
  };
  HTREEITEM root = insert(TVI_ROOT, "My Phone", 1);
  HTREEITEM card = insert(root, "Storage Card", 1);
  insert(root, "My Documents", 1);
  insert(root, "Windows", 1);
  HTREEITEM photos = insert(card, "Photos", 1);
  insert(card, "Music", 0);
  insert(photos, "2007", 0);
  insert(photos, "Holiday", 0);
  SendMessage(tv, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
  SendMessage(tv, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(card));
  SendMessage(tv, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(photos));
  SetFocus(tv);
  shot("treeview");

  // The Action menu with its Sort submenu open.
  run({VK_TSOFT1, {'5', [&] { shot("menu_popup"); }}, {VK_TBACK, [&] { shot("menu_submenu"); }}, VK_TBACK});
  EXPECT_EQ(ActivePopupMenu(), nullptr);
}

constexpr DialogItemTemplate kItems[] = {
    {"STATIC", "Folder", 1045, 0, 4, 2, 132, 9},
    {"EDIT", "/home/user/Pictures/Holiday", 1008, WS_TABSTOP | ES_READONLY, 4, 11, 132, 12},
    {"STATIC", "File name", 1046, 0, 4, 25, 132, 9},
    {"EDIT", "IMG_4203", 1003, WS_TABSTOP, 4, 34, 132, 12},
    {"STATIC", "Format", 1052, 0, 4, 48, 132, 9},
    {"COMBOBOX", "", 1021, WS_TABSTOP | CBS_DROPDOWNLIST, 4, 57, 132, 60},
    {"STATIC", "Quality", 1053, 0, 4, 72, 60, 9},
    {"EDIT", "85", 1027, WS_TABSTOP | ES_NUMBER, 70, 70, 66, 12},
    {"msctls_updown32", "", 1028, UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY, 0, 0, 0, 0},
    {"BUTTON", "Save EXIF data", 1034, WS_TABSTOP | BS_AUTOCHECKBOX, 4, 85, 132, 12},
    {"msctls_trackbar32", "", 1048, WS_TABSTOP, 4, 99, 132, 14},
    {"BUTTON", "Associations...", 1040, WS_TABSTOP, 4, 116, 80, 14},
    {"STATIC", "Select formats that you want to associate with Lumora", 1057, SS_NOTIFY | WS_TABSTOP, 4, 133, 132, 18},
};
constexpr DialogTemplate kSaveas = {"Save as", 0, 0, 0, 140, 153, "Tahoma", 9, kItems};
constexpr MenuTemplateItem kDone[] = {{"Done", 1}, {"Cancel", 2}};

LRESULT saveas_proc(HWND h, UINT m, WPARAM wp, LPARAM) {
  if (m == WM_INITDIALOG) {
    SHINITDLGINFO init;
    init.dwMask = SHIDIM_FLAGS;
    init.hDlg = h;
    init.dwFlags = SHIDIF_SIZEDLGFULLSCREEN;
    SHInitDialog(&init);
    SHMENUBARINFO mb;
    mb.hwndParent = h;
    mb.nToolBarId = 137;
    SHCreateMenuBar(&mb);
    for (const char* f : {"JPEG Image Format", "BMP Image Format", "GIF Image Format", "PNG Image Format"})
      SendDlgItemMessage(h, 1021, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(f));
    SendDlgItemMessage(h, 1021, CB_SETCURSEL, 0, 0);
    SendDlgItemMessage(h, 1028, UDM_SETRANGE, 0, MAKELPARAM(10, 100));
    SendDlgItemMessage(h, 1028, UDM_SETPOS, 0, MAKELPARAM(85, 0));
    CheckDlgButton(h, 1034, BST_CHECKED);
    SendDlgItemMessage(h, 1048, TBM_SETRANGE, TRUE, MAKELPARAM(-128, 128));
    SendDlgItemMessage(h, 1048, TBM_SETPOS, TRUE, 40);
    return TRUE;
  }
  if (m == WM_COMMAND && HIWORD(wp) == BN_CLICKED && (LOWORD(wp) == 1 || LOWORD(wp) == 2)) {
    EndDialog(h, LOWORD(wp));
    return TRUE;
  }
  return FALSE;
}

TEST_P(GalleryTest, TemplateDialogWithEveryControl) {
  RegisterMenuResource(137, kDone);
  // The focus mark: the accent colour along the left edge of the focused control.
  auto marked = [](HWND h) {
    RECT r;
    GetWindowRect(h, &r);
    return screen_pixel(r.left, (r.top + r.bottom) / 2) == 0x2860B8u;
  };
  std::vector<int> focus;
  std::vector<bool> marks;
  auto note = [&] {
    PumpPendingMessages();
    focus.push_back(GetDlgCtrlID(GetFocus()));
    marks.push_back(marked(GetFocus()));
  };
  g_steps = {Step{0, [&] { shot("dialog_top"); note(); }},
             VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN,
             Step{0, [&] { shot("dialog_scrolled"); note(); }},
             VK_UP, VK_UP, VK_UP, VK_UP, VK_UP,
             Step{VK_RETURN, [&] { note(); }},
             Step{0, [&] { shot("dropdown_open"); }},
             VK_TBACK, VK_TSOFT1, Step{0, [] { PostQuitMessage(0); }}};
  PostMessage(driver_, testing::WM_DRIVE, 0, 0);
  EXPECT_EQ(DialogBoxIndirectParam(nullptr, &kSaveas, main_, saveas_proc, 0), 1);
  EXPECT_EQ(focus, (std::vector<int>{1008, 1057, 1021}));
  EXPECT_EQ(marks, (std::vector<bool>{true, true, true}));
}

TEST_P(GalleryTest, MessageBoxesWithTheirIcons) {
  struct Box {
    const char* name;
    UINT type;
    const char* text;
  } boxes[] = {
      {"messagebox_question", MB_OKCANCEL | MB_ICONQUESTION, "File exists already, do you want to overwrite it?"},
      {"messagebox_error", MB_OK | MB_ICONERROR, "Problem to save the file!"},
      {"messagebox_exclamation", MB_OK | MB_ICONEXCLAMATION, "You must restart Lumora to apply changes."},
  };
  for (const Box& b : boxes) {
    g_steps = {Step{0, [&] {
                 shot(b.name);
                 // The title band is the accent colour; the icon sits below it at the left.
                 EXPECT_EQ(screen_pixel(px(4), px(4)), 0x2860B8u);
               }},
               Step{VK_RETURN}};
    PostMessage(driver_, testing::WM_DRIVE, 0, 0);
    EXPECT_EQ(MessageBox(main_, b.text, "", b.type), IDOK);
    // The driver ends with a quit request; it is not meant for the next box.
    PumpPendingMessages();
    MSG m;
    while (PeekMessage(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Screens, GalleryTest,
                         ::testing::Values(Screen{240, 320, 96}, Screen{480, 640, 192}, Screen{480, 800, 96}),
                         [](const ::testing::TestParamInfo<Screen>& i) {
                           return std::to_string(i.param.w) + "x" + std::to_string(i.param.h) + "_" +
                                  std::to_string(i.param.dpi) + "dpi";
                         });

}  // namespace
}  // namespace lumora::plat
