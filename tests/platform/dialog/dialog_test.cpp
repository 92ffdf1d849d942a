// Template dialogs and message boxes: answers through keys, focus moving with Up and Down,
// full-screen sizing in dialog units, and a message box running inside a dialog's modal loop.
#include "../controls_fixture.h"

namespace lumora::plat {
namespace {

using testing::ControlsTest;

constexpr DialogItemTemplate kItems[] = {
    {"STATIC", "File name", 1046, 0, 4, 4, 80, 8},
    {"EDIT", "picture", 1003, WS_TABSTOP, 4, 14, 100, 12},
    {"EDIT", "jpg", 1036, WS_TABSTOP | WS_DISABLED, 4, 30, 40, 12},
    {"BUTTON", "Save EXIF data", 1034, WS_TABSTOP | BS_AUTOCHECKBOX, 4, 46, 100, 12},
    {"BUTTON", "Ask", 1040, WS_TABSTOP | BS_PUSHBUTTON, 4, 62, 50, 14},
};
constexpr DialogTemplate kDialog = {"Rename", 0, 0, 0, 140, 90, "Tahoma", 9, kItems};

struct DialogRun {
  std::vector<int> commands;
  std::vector<int> focus;  // id of the focused control before each step
  int inner = -2;           // answer of the nested message box
  RECT rect{};
  bool refuse = false;  // selection changes
};
DialogRun* g_run = nullptr;

LRESULT dlg_proc(HWND h, UINT m, WPARAM wp, LPARAM) {
  switch (m) {
    case WM_INITDIALOG: {
      SHINITDLGINFO init;
      init.dwMask = SHIDIM_FLAGS;
      init.hDlg = h;
      init.dwFlags = SHIDIF_SIZEDLGFULLSCREEN;
      SHInitDialog(&init);
      SHMENUBARINFO mb;
      mb.hwndParent = h;
      mb.nToolBarId = 137;
      SHCreateMenuBar(&mb);
      GetWindowRect(h, &g_run->rect);
      return TRUE;
    }
    case WM_COMMAND:
      if (HIWORD(wp) != BN_CLICKED) return FALSE;  // the edits' notifications
      g_run->commands.push_back(LOWORD(wp));
      if (LOWORD(wp) == 1040) g_run->inner = MessageBox(h, "File exists already, do you want to overwrite it?", "",
                                                        MB_OKCANCEL | MB_ICONQUESTION);
      if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) EndDialog(h, LOWORD(wp));
      return TRUE;
    default:
      return FALSE;
  }
}

constexpr MenuTemplateItem kDoneBar[] = {{"Done", IDOK}, {"Cancel", IDCANCEL}};

class DialogTest : public ControlsTest {
 protected:
  void SetUp() override {
    ControlsTest::SetUp();
    RegisterMenuResource(137, kDoneBar);
    RegisterDialogResource(112, &kDialog);
    g_run = &run_;
  }
  void TearDown() override {
    g_run = nullptr;
    ControlsTest::TearDown();
  }
  DialogRun run_;
};

struct BoxCase {
  UINT type;
  UINT key;
  int answer;
};

TEST_F(DialogTest, MessageBoxAnswersThroughKeys) {
  const BoxCase cases[] = {
      {MB_OKCANCEL | MB_ICONQUESTION, VK_TSOFT1, IDOK},     {MB_OKCANCEL | MB_ICONQUESTION, VK_TSOFT2, IDCANCEL},
      {MB_OKCANCEL, VK_RETURN, IDOK},                       {MB_OKCANCEL, VK_TBACK, IDCANCEL},
      {MB_OK | MB_ICONERROR, VK_TBACK, IDOK},               {MB_OK | MB_ICONEXCLAMATION, VK_TSOFT2, 0},
      {MB_YESNO, VK_TSOFT2, IDNO},                          {MB_YESNO, VK_RETURN, IDYES},
  };
  for (const BoxCase& c : cases) {
    // A plain OK box has no right soft key; the driver then ends the run, which answers 0.
    drive({c.key});
    int r = MessageBox(parent_, "Problem to save the file!", "", c.type);
    EXPECT_EQ(r, c.answer) << "type " << c.type << " key " << c.key;
    PumpPendingMessages();
    MSG m;
    while (PeekMessage(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    EXPECT_TRUE(IsWindowEnabled(parent_));
  }
}

TEST_F(DialogTest, UpAndDownMoveTheFocusOverTheControlsThatTakeIt) {
  auto note = [&] { run_.focus.push_back(GetDlgCtrlID(GetFocus())); };
  drive({{VK_DOWN, note}, {VK_DOWN, note}, {VK_DOWN, note}, {VK_UP, note}, {0, note}, {VK_TSOFT2}});
  LRESULT r = DialogBoxParam(nullptr, 112u, parent_, dlg_proc, 0);
  EXPECT_EQ(r, IDCANCEL);
  ASSERT_EQ(run_.focus.size(), 5u);
  // The disabled edit and the label are passed over; the order wraps round.
  EXPECT_EQ(run_.focus, (std::vector<int>{1003, 1034, 1040, 1003, 1040}));
}

TEST_F(DialogTest, FullScreenSizingAndDialogUnits) {
  drive({{0, [&] {
           HWND dlg = GetParent(GetFocus());
           RECT r{4, 14, 104, 26};
           MapDialogRect(dlg, &r);
           HWND edit = GetDlgItem(dlg, 1003);
           RECT er;
           GetWindowRect(edit, &er);
           // Units follow the font: an edit 12 units high is one and a half lines.
           TEXTMETRIC tm;
           HDC dc = GetDC(edit);
           SelectObject(dc, reinterpret_cast<HFONT>(SendMessage(edit, WM_GETFONT, 0, 0)));
           GetTextMetrics(dc, &tm);
           ReleaseDC(edit, dc);
           EXPECT_EQ(RectHeight(er), RectHeight(r));
           EXPECT_NEAR(RectHeight(r), tm.tmHeight * 12 / 8, 1);
           // The template's width is made the screen's width.
           RECT whole{0, 0, 140, 0};
           MapDialogRect(dlg, &whole);
           int sw = GetSystemMetrics(SM_CXSCREEN) - MulDiv(2, GetOptions().dpi, 96);
           EXPECT_NEAR(RectWidth(er), RectWidth(r) * sw / whole.right, 2);
           EXPECT_EQ(GetDlgItemText(dlg, 1003), "picture");
         }},
         {VK_TSOFT1}});
  EXPECT_EQ(DialogBoxParam(nullptr, 112u, parent_, dlg_proc, 0), IDOK);
  int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  EXPECT_EQ(run_.rect.left, 0);
  EXPECT_EQ(run_.rect.top, 0);
  EXPECT_EQ(run_.rect.right, sw);
  EXPECT_EQ(run_.rect.bottom, sh - (MulDiv(26, GetOptions().dpi, 96)));
}

TEST_F(DialogTest, ActionKeyIsTheDefaultCommandAndClicksTheFocusedButton) {
  drive({VK_DOWN, VK_RETURN, VK_RETURN, VK_UP, VK_RETURN});
  EXPECT_EQ(DialogBoxParam(nullptr, 112u, parent_, dlg_proc, 0), IDOK);
  // On the check box the action key ticks it (twice); on the edit it is the dialog's command 1.
  EXPECT_EQ(run_.commands, (std::vector<int>{1034, 1034, IDOK}));
}

TEST_F(DialogTest, MessageBoxRunsInsideTheDialogsModalLoop) {
  int inner_before_done = -3;
  drive({VK_DOWN, VK_DOWN, VK_RETURN,  // "Ask" opens the box; its right soft key answers
         VK_TSOFT2, 0, {VK_TSOFT1, [&] { inner_before_done = run_.inner; }}});
  EXPECT_EQ(DialogBoxParam(nullptr, 112u, parent_, dlg_proc, 0), IDOK);
  EXPECT_EQ(run_.inner, IDCANCEL);
  EXPECT_EQ(run_.commands, (std::vector<int>{1040, IDOK}));
  EXPECT_EQ(inner_before_done, IDCANCEL);  // the box answered before the dialog's own key came
  EXPECT_TRUE(IsWindowEnabled(parent_));
}

constexpr DialogItemTemplate kListItems[] = {{WC_LISTVIEW, "", 1035, WS_TABSTOP | LVS_REPORT | LVS_NOCOLUMNHEADER, 4, 4, 132, 80}};
constexpr DialogTemplate kListDialog = {"Settings", 0, 0, 0, 140, 90, "Tahoma", 9, kListItems};

// Refuses every selection change through the dialog's message result, counts the action key.
LRESULT list_proc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
  switch (m) {
    case WM_INITDIALOG: {
      HWND lv = GetDlgItem(h, 1035);
      LVCOLUMN col;
      col.mask = LVCF_WIDTH;
      col.cx = 100;
      SendMessage(lv, LVM_INSERTCOLUMN, 0, reinterpret_cast<LPARAM>(&col));
      for (const char* t : {"General", "Thumbnails", "SlideShow"}) {
        LVITEM it;
        it.mask = LVIF_TEXT;
        it.iItem = 99;
        it.pszText = const_cast<char*>(t);
        SendMessage(lv, LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&it));
      }
      LVITEM st;
      st.state = st.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
      SendMessage(lv, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&st));
      g_run->refuse = true;
      return TRUE;
    }
    case WM_NOTIFY:
      if (reinterpret_cast<NMHDR*>(lp)->code == LVN_ITEMCHANGING && g_run->refuse) {
        SetWindowLongPtr(h, DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      return FALSE;
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK) {
        g_run->commands.push_back(static_cast<int>(SendDlgItemMessage(h, 1035, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)));
        EndDialog(h, IDOK);
      }
      return TRUE;
    default:
      return FALSE;
  }
}

TEST_F(DialogTest, NotificationAnswersOfTheDialogProcedureReachTheControl) {
  // Down would move the selection; the refusal keeps it. The action key is the dialog's command.
  drive({VK_DOWN, VK_DOWN, VK_RETURN});
  EXPECT_EQ(DialogBoxIndirectParam(nullptr, &kListDialog, parent_, list_proc, 0), IDOK);
  EXPECT_EQ(run_.commands, std::vector<int>{0});
}

}  // namespace
}  // namespace lumora::plat
