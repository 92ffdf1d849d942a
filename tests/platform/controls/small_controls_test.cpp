// Trackbar and up-down ranges (also handed over upside down), the buddy edit, typing and Back in
// the edit, list box and drop-down list steps, check box, push button and static text clicks.
#include "../controls_fixture.h"

namespace lumora::plat {
namespace {

using testing::ControlsTest;
using testing::g_answer;
using testing::g_heard;

using SmallControlsTest = ControlsTest;

TEST_F(SmallControlsTest, TrackbarRangesInEitherOrderClampAndReportEachStep) {
  struct Case {
    int lo, hi, pos;
    int want_min, want_max, want_pos;
  } cases[] = {
      {-128, 128, 0, -128, 128, 0},
      {128, -128, 200, -128, 128, 128},  // upside down: the same range
      {10, 50, 1, 10, 50, 10},
  };
  for (const Case& c : cases) {
    HWND tb = child(TRACKBAR_CLASS, WS_TABSTOP, {10, 10, 230, 40});
    SendMessage(tb, TBM_SETRANGE, TRUE, MAKELPARAM(c.lo, c.hi));
    SendMessage(tb, TBM_SETPOS, TRUE, c.pos);
    EXPECT_EQ(SendMessage(tb, TBM_GETRANGEMIN, 0, 0), c.want_min);
    EXPECT_EQ(SendMessage(tb, TBM_GETRANGEMAX, 0, 0), c.want_max);
    EXPECT_EQ(SendMessage(tb, TBM_GETPOS, 0, 0), c.want_pos);
    DestroyWindow(tb);
  }
  HWND tb = child(TRACKBAR_CLASS, WS_TABSTOP, {10, 10, 230, 40});
  SendMessage(tb, TBM_SETRANGE, TRUE, MAKELPARAM(10, 50));
  SendMessage(tb, TBM_SETPOS, TRUE, 11);
  SetFocus(tb);
  g_heard.clear();
  press(VK_LEFT);
  press(VK_LEFT);  // at the minimum: nothing moves, nothing is said
  auto h = heard(WM_HSCROLL);
  ASSERT_EQ(h.size(), 2u);
  EXPECT_EQ(h[0].code, TB_LINEUP);
  EXPECT_EQ(h[1].code, TB_ENDTRACK);
  EXPECT_EQ(SendMessage(tb, TBM_GETPOS, 0, 0), 10);
  SendMessage(tb, TBM_SETPAGESIZE, 0, 4);
  press(VK_NEXT);
  EXPECT_EQ(SendMessage(tb, TBM_GETPOS, 0, 0), 14);
}

TEST_F(SmallControlsTest, UpDownKeepsItsBuddyBetweenTheBoundsHandedOverEitherWay) {
  struct Case {
    int upper, lower, start;
    std::vector<UINT> keys;
    const char* shown;
  } cases[] = {
      {5, 800, 100, {VK_RIGHT, VK_RIGHT}, "102"},  // upper below lower, as the resize dialog hands it
      {800, 5, 100, {VK_RIGHT, VK_LEFT, VK_LEFT}, "99"},
      {5, 800, 800, {VK_RIGHT}, "800"},
      {10, 100, 10, {VK_LEFT}, "10"},
      {0, 120, 120, {VK_RIGHT, VK_LEFT}, "119"},
  };
  for (const Case& c : cases) {
    HWND edit = child(WC_EDIT, WS_TABSTOP | ES_NUMBER, {10, 10, 120, 34}, 1017);
    HWND ud = child(UPDOWN_CLASS, UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS, {0, 0, 1, 1}, 1019);
    SendMessage(ud, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit), 0);
    SendMessage(ud, UDM_SETRANGE, 0, MAKELPARAM(c.upper, c.lower));
    SendMessage(ud, UDM_SETPOS, 0, MAKELPARAM(c.start, 0));
    SetFocus(edit);
    for (UINT k : c.keys) press(k);
    EXPECT_EQ(GetWindowText(edit), c.shown) << c.upper << ".." << c.lower << " from " << c.start;
    EXPECT_EQ(SendMessage(ud, UDM_GETRANGE, 0, 0), MAKELPARAM(c.upper, c.lower));
    DestroyWindow(ud);
    DestroyWindow(edit);
  }
}

TEST_F(SmallControlsTest, UpDownAsksTheParentAndReadsTypedValues) {
  HWND edit = child(WC_EDIT, WS_TABSTOP, {10, 10, 120, 34}, 1027);
  HWND ud = child(UPDOWN_CLASS, UDS_SETBUDDYINT | UDS_ALIGNRIGHT, {0, 0, 1, 1}, 1028);
  SendMessage(ud, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit), 0);
  SendMessage(ud, UDM_SETRANGE, 0, MAKELPARAM(10, 100));
  SendMessage(ud, UDM_SETPOS, 0, MAKELPARAM(75, 0));
  // The spinner sits at the buddy's right edge and the buddy gave up that room.
  RECT er, ur;
  GetWindowRect(edit, &er);
  GetWindowRect(ud, &ur);
  EXPECT_EQ(er.right, ur.left);
  EXPECT_EQ(ur.right, 120);
  SetFocus(edit);
  g_answer = [](NMHDR* h) -> LRESULT { return h->code == UDN_DELTAPOS ? TRUE : 0; };
  g_heard.clear();
  press(VK_RIGHT);
  auto notes = heard(WM_NOTIFY);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].code, UDN_DELTAPOS);
  EXPECT_EQ(notes[0].pos, 75);
  EXPECT_EQ(notes[0].delta, 1);
  EXPECT_EQ(GetWindowText(edit), "75");  // refused
  g_answer = nullptr;
  SetWindowText(edit, "42");
  EXPECT_EQ(SendMessage(ud, UDM_GETPOS, 0, 0), MAKELPARAM(42, 0));
  SetWindowText(edit, "4x");
  EXPECT_NE(HIWORD(static_cast<uintptr_t>(SendMessage(ud, UDM_GETPOS, 0, 0))), 0);
  SetWindowText(edit, "500");
  BOOL error = FALSE;
  SendMessage(ud, UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&error));
  EXPECT_TRUE(error);
}

TEST_F(SmallControlsTest, EditTypingBackspaceSelectionAndModes) {
  struct Case {
    const char* name;
    DWORD style;
    const char* start;
    bool select_all;
    const char* typed;
    int backspaces;
    const char* result;
  } cases[] = {
      {"typing appends", 0, "Holiday", false, " 2007", 0, "Holiday 2007"},
      {"backspace removes a whole character", 0, "Caf\xC3\xA9", false, "", 1, "Caf"},
      {"select all then type replaces", 0, "old name", true, "new", 0, "new"},
      {"select all then backspace empties", 0, "old name", true, "", 1, ""},
      {"read-only ignores both", ES_READONLY, "/Pictures/", false, "x", 2, "/Pictures/"},
      {"number-only drops letters", ES_NUMBER, "", false, "1a2b3", 0, "123"},
      {"backspace at the start does nothing", 0, "", false, "", 3, ""},
  };
  for (const Case& c : cases) {
    HWND e = child(WC_EDIT, WS_TABSTOP | c.style, {10, 10, 200, 34}, 1003, c.start);
    SetFocus(e);
    if (c.select_all) SendMessage(e, EM_SETSEL, 0, -1);
    g_heard.clear();
    InjectText(c.typed);
    PumpPendingMessages();
    for (int i = 0; i < c.backspaces; ++i) SendMessage(e, WM_CHAR, 8, 0);
    EXPECT_EQ(GetWindowText(e), c.result) << c.name;
    bool changed = std::string(c.start) != c.result;
    EXPECT_EQ(!heard(WM_COMMAND).empty(), changed) << c.name;
    DestroyWindow(e);
  }
}

TEST_F(SmallControlsTest, EditNotifiesUpdateThenChangeAndHonoursTheLimit) {
  HWND e = child(WC_EDIT, WS_TABSTOP, {10, 10, 200, 34}, 1020);
  SendMessage(e, EM_LIMITTEXT, 4, 0);
  SetFocus(e);
  g_heard.clear();
  SetWindowText(e, "320");
  auto c = heard(WM_COMMAND);
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].code, EN_UPDATE);
  EXPECT_EQ(c[1].code, EN_CHANGE);
  EXPECT_EQ(c[1].id, 1020u);
  InjectText("456");
  PumpPendingMessages();
  EXPECT_EQ(GetWindowText(e), "3204");
  DWORD a = 0, b = 0;
  SendMessage(e, EM_SETSEL, 1, 3);
  SendMessage(e, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
  EXPECT_EQ(a, 1u);
  EXPECT_EQ(b, 3u);
}

TEST_F(SmallControlsTest, ListBoxAndDropDownListStepAndNotify) {
  HWND lb = child(WC_LISTBOX, WS_TABSTOP | LBS_NOTIFY, {10, 10, 200, 100}, 1039);
  for (const char* s : {"None", "Auto Left", "Auto Right"}) SendMessage(lb, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
  SendMessage(lb, LB_SETCURSEL, 0, 0);
  SetFocus(lb);
  g_heard.clear();
  press(VK_DOWN);
  press(VK_DOWN);
  press(VK_DOWN);  // stays on the last
  EXPECT_EQ(SendMessage(lb, LB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(codes(WM_COMMAND), (std::vector<int>{LBN_SELCHANGE, LBN_SELCHANGE}));
  EXPECT_EQ(SendMessage(lb, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("auto left")), 1);

  HWND cb = child(WC_COMBOBOX, WS_TABSTOP | CBS_DROPDOWNLIST, {10, 120, 200, 240}, 1021);
  RECT r;
  GetWindowRect(cb, &r);
  EXPECT_LT(RectHeight(r), 60);  // closed: one line
  for (const char* s : {"JPEG Image Format", "BMP Image Format", "GIF Image Format"})
    SendMessage(cb, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
  SendMessage(cb, CB_SETCURSEL, 0, 0);
  SetFocus(cb);
  g_heard.clear();
  press(VK_RIGHT);
  press(VK_LEFT);
  press(VK_LEFT);  // already first
  EXPECT_EQ(codes(WM_COMMAND), (std::vector<int>{CBN_SELCHANGE, CBN_SELCHANGE}));
  EXPECT_EQ(GetWindowText(cb), "JPEG Image Format");
  // The action key opens the whole list; the pad and the action key choose from it.
  g_heard.clear();
  run({VK_RETURN, VK_DOWN, VK_DOWN, VK_RETURN});
  EXPECT_EQ(SendMessage(cb, CB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(codes(WM_COMMAND), (std::vector<int>{CBN_DROPDOWN, CBN_SELENDOK, CBN_SELCHANGE, CBN_CLOSEUP}));
}

TEST_F(SmallControlsTest, ButtonsAndStaticTextReportClicks) {
  HWND check = child(WC_BUTTON, WS_TABSTOP | BS_AUTOCHECKBOX, {10, 10, 200, 30}, 1034, "Save EXIF data");
  HWND push = child(WC_BUTTON, WS_TABSTOP | BS_PUSHBUTTON, {10, 40, 200, 70}, 1000, "OK");
  HWND label = child(WC_STATIC, SS_NOTIFY, {10, 80, 200, 100}, 1003, "name.jpg");
  SetFocus(check);
  g_heard.clear();
  press(VK_RETURN);
  EXPECT_EQ(SendMessage(check, BM_GETCHECK, 0, 0), BST_CHECKED);
  press(VK_RETURN);
  EXPECT_EQ(SendMessage(check, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  SetFocus(push);
  press(VK_RETURN);
  EnableWindow(push, FALSE);
  SendMessage(push, BM_CLICK, 0, 0);  // a disabled button says nothing
  SendMessage(label, WM_LBUTTONUP, 0, 0);
  std::vector<std::pair<uintptr_t, int>> got;
  for (const testing::Heard& h : heard(WM_COMMAND)) got.emplace_back(h.id, h.code);
  EXPECT_EQ(got, (std::vector<std::pair<uintptr_t, int>>{
                     {1034, BN_CLICKED}, {1034, BN_CLICKED}, {1000, BN_CLICKED}, {1003, STN_CLICKED}}));
}

}  // namespace
}  // namespace lumora::plat
