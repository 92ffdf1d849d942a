// List view: selection and focus under the pad with their notifications, scrolling that keeps
// the focused item visible, custom-draw stages, owner drawing, column sizing.
#include <tuple>

#include "../controls_fixture.h"

namespace lumora::plat {
namespace {

using testing::ControlsTest;
using testing::g_answer;
using testing::g_heard;
using testing::Heard;

class ListViewTest : public ControlsTest {
 protected:
  HWND make(DWORD style, int items, RECT r = {0, 0, 240, 200}) {
    HWND lv = child(WC_LISTVIEW, style | WS_TABSTOP, r, 1001);
    LVCOLUMN col;
    col.mask = LVCF_TEXT | LVCF_WIDTH;
    col.cx = 120;
    col.pszText = const_cast<char*>("Name");
    SendMessage(lv, LVM_INSERTCOLUMN, 0, reinterpret_cast<LPARAM>(&col));
    for (int i = 0; i < items; ++i) insert(lv, i, "item " + std::to_string(i), 1000 + i);
    SetFocus(lv);
    PumpPendingMessages();
    return lv;
  }
  static LRESULT insert(HWND lv, int i, std::string text, LPARAM param = 0) {
    LVITEM it;
    it.mask = LVIF_TEXT | LVIF_PARAM;
    it.iItem = i;
    it.pszText = text.data();
    it.lParam = param;
    return SendMessage(lv, LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&it));
  }
  static void select(HWND lv, int i) {
    LVITEM st;
    st.state = st.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessage(lv, LVM_SETITEMSTATE, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&st));
  }
  static std::vector<Heard> changes() {
    std::vector<Heard> out;
    for (const Heard& h : g_heard)
      if (h.code == LVN_ITEMCHANGING || h.code == LVN_ITEMCHANGED) out.push_back(h);
    return out;
  }
  static RECT item_rect(HWND lv, int i) {
    RECT r;
    r.left = LVIR_BOUNDS;
    SendMessage(lv, LVM_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r));
    return r;
  }
};

constexpr UINT kBoth = LVIS_SELECTED | LVIS_FOCUSED;

TEST_F(ListViewTest, PadMovesSelectionWithChangingAndChangedPairsStopsAtTheEndsAndActivates) {
  HWND lv = make(LVS_REPORT, 3);
  select(lv, 0);
  g_heard.clear();
  press(VK_UP);
  EXPECT_TRUE(changes().empty());
  press(VK_DOWN);
  // The old item lets go of both states first, then the new item takes them.
  using Change = std::tuple<int, uintptr_t, int, UINT, UINT>;  // code, control id, item, old and new state
  std::vector<Change> got;
  for (const Heard& h : changes()) got.emplace_back(h.code, h.id, h.item, h.old_state, h.new_state);
  EXPECT_EQ(got, (std::vector<Change>{{LVN_ITEMCHANGING, 1001, 0, kBoth, 0}, {LVN_ITEMCHANGED, 1001, 0, kBoth, 0},
                                      {LVN_ITEMCHANGING, 1001, 1, 0, kBoth}, {LVN_ITEMCHANGED, 1001, 1, 0, kBoth}}));
  EXPECT_EQ(SendMessage(lv, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 1);
  EXPECT_EQ(SendMessage(lv, LVM_GETNEXTITEM, 1, LVNI_SELECTED), -1);
  EXPECT_EQ(SendMessage(lv, LVM_GETSELECTIONMARK, 0, 0), 1);
  EXPECT_EQ(SendMessage(lv, LVM_GETSELECTEDCOUNT, 0, 0), 1);
  press(VK_DOWN);
  press(VK_DOWN);
  EXPECT_EQ(SendMessage(lv, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), 2);
  g_heard.clear();
  press(VK_RETURN);
  auto h = heard(WM_NOTIFY);
  ASSERT_FALSE(h.empty());
  EXPECT_EQ(h.back().code, LVN_ITEMACTIVATE);
  EXPECT_EQ(h.back().item, 2);
}

TEST_F(ListViewTest, RefusedChangeKeepsTheSelection) {
  HWND lv = make(LVS_REPORT, 3);
  select(lv, 0);
  g_answer = [](NMHDR* h) -> LRESULT { return h->code == LVN_ITEMCHANGING ? TRUE : 0; };
  g_heard.clear();
  press(VK_DOWN);
  g_answer = nullptr;
  EXPECT_EQ(SendMessage(lv, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 0);
  for (const Heard& h : changes()) EXPECT_NE(h.code, LVN_ITEMCHANGED);
}

TEST_F(ListViewTest, ClearingEveryItemNotifiesOnlyTheChangedOnes) {
  HWND lv = make(LVS_REPORT, 5);
  select(lv, 3);
  g_heard.clear();
  LVITEM st;
  st.stateMask = LVIS_SELECTED;
  SendMessage(lv, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&st));
  auto c = changes();
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[1].item, 3);
  EXPECT_EQ(c[1].new_state, static_cast<UINT>(LVIS_FOCUSED));
  EXPECT_EQ(SendMessage(lv, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), -1);
}

struct ScrollCase {
  const char* name;
  DWORD style;
  UINT key;
  RECT rect;
};

TEST_F(ListViewTest, ScrollingKeepsTheFocusedItemVisibleInEveryMode) {
  const ScrollCase cases[] = {
      {"report", LVS_REPORT, VK_DOWN, {0, 0, 240, 150}},
      {"owner-drawn rows", LVS_REPORT | LVS_OWNERDRAWFIXED | LVS_NOCOLUMNHEADER, VK_DOWN, {0, 0, 240, 150}},
      {"icons", LVS_ICON, VK_DOWN, {0, 0, 240, 150}},
      {"strip", LVS_ICON | LVS_ALIGNLEFT, VK_RIGHT, {0, 0, 240, 90}},
  };
  for (const ScrollCase& c : cases) {
    SCOPED_TRACE(c.name);
    HWND lv = make(c.style, 40, c.rect);
    select(lv, 0);
    for (int k = 0; k < 12; ++k) press(c.key);
    int f = static_cast<int>(SendMessage(lv, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    EXPECT_GT(f, 5);
    EXPECT_GT(SendMessage(lv, LVM_GETTOPINDEX, 0, 0), 0);
    RECT client, r = item_rect(lv, f);
    GetClientRect(lv, &client);
    EXPECT_GE(r.top, 0);
    EXPECT_GE(r.left, 0);
    EXPECT_LE(r.bottom, client.bottom);
    EXPECT_LE(r.right, client.right + (c.style & LVS_ALIGNLEFT ? 0 : 1000));
    DestroyWindow(lv);
  }
}

TEST_F(ListViewTest, IconGridMovesAlongRowsAndAcrossThem) {
  HWND lv = make(LVS_ICON, 10, {0, 0, 240, 300});
  SendMessage(lv, LVM_SETICONSPACING, 0, MAKELPARAM(70, 60));  // three to a row in 240 pixels
  struct Move {
    int from;
    UINT key;
    int to;
  } moves[] = {
      {0, VK_RIGHT, 1}, {2, VK_RIGHT, 3}, {3, VK_LEFT, 2}, {1, VK_DOWN, 4},
      {4, VK_UP, 1},    {1, VK_UP, 1},    {8, VK_DOWN, 9},  // the short last row takes its last item
      {9, VK_DOWN, 9},  {0, VK_LEFT, 0},
  };
  for (const Move& m : moves) {
    select(lv, m.from);
    press(m.key);
    EXPECT_EQ(SendMessage(lv, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), m.to)
        << "from " << m.from << " key " << m.key;
  }
}

TEST_F(ListViewTest, CustomDrawStagesComeInOrderAndTheItemColourIsUsed) {
  HWND lv = make(LVS_REPORT | LVS_NOCOLUMNHEADER, 3);
  const COLORREF grey = RGB(195, 195, 195);
  g_answer = [&](NMHDR* h) -> LRESULT {
    if (h->code != NM_CUSTOMDRAW) return 0;
    auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(h);
    if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
    if (cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT && cd->nmcd.dwItemSpec == 1) cd->clrTextBk = grey;
    return CDRF_DODEFAULT;
  };
  g_heard.clear();
  InvalidateRect(lv, nullptr, TRUE);
  UpdateWindow(lv);
  std::vector<std::pair<DWORD, int>> stages;
  for (const Heard& h : g_heard)
    if (h.code == NM_CUSTOMDRAW) stages.emplace_back(h.stage, h.item);
  std::vector<std::pair<DWORD, int>> want = {
      {CDDS_PREPAINT, -1}, {CDDS_ITEMPREPAINT, 0}, {CDDS_ITEMPREPAINT, 1}, {CDDS_ITEMPREPAINT, 2}, {CDDS_POSTPAINT, -1}};
  EXPECT_EQ(stages, want);
  RECT r = item_rect(lv, 1);
  POINT p{r.right - 3, (r.top + r.bottom) / 2};
  ClientToScreen(lv, &p);
  EXPECT_EQ(testing::screen_pixel(p.x, p.y), 0xC3C3C3u);

  // Without item notifications only the prepaint stage is asked.
  g_answer = [](NMHDR*) -> LRESULT { return CDRF_DODEFAULT; };
  g_heard.clear();
  InvalidateRect(lv, nullptr, TRUE);
  UpdateWindow(lv);
  EXPECT_EQ(codes(), std::vector<int>{NM_CUSTOMDRAW});
}

TEST_F(ListViewTest, OwnerDrawnRowsAreDrawnByTheParentAtTheMeasuredHeight) {
  testing::g_measured_height = 40;
  HWND lv = make(LVS_REPORT | LVS_OWNERDRAWFIXED | LVS_NOCOLUMNHEADER, 10, {0, 0, 240, 100});
  select(lv, 1);
  g_heard.clear();
  InvalidateRect(lv, nullptr, TRUE);
  UpdateWindow(lv);
  auto draws = heard(WM_DRAWITEM);
  ASSERT_GE(draws.size(), 3u);
  EXPECT_EQ(draws[0].code, static_cast<int>(ODT_LISTVIEW));
  EXPECT_EQ(draws[0].item, 0);
  EXPECT_EQ(draws[1].new_state, ODS_SELECTED | ODS_FOCUS);
  EXPECT_EQ(RectHeight(item_rect(lv, 0)), 40);
  EXPECT_EQ(SendMessage(lv, LVM_GETCOUNTPERPAGE, 0, 0), 2);
}

TEST_F(ListViewTest, AutoSizedColumnsFitTheirTextsAndTheLastFillsTheRest) {
  HWND lv = make(LVS_REPORT, 0);
  LVCOLUMN col;
  col.mask = LVCF_TEXT | LVCF_WIDTH;
  col.cx = 10;
  col.pszText = const_cast<char*>("Size");
  SendMessage(lv, LVM_INSERTCOLUMN, 1, reinterpret_cast<LPARAM>(&col));
  std::string longest = "picture-0001.jpeg";
  insert(lv, 0, longest);
  SendMessage(lv, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(LVSCW_AUTOSIZE, 0));
  int text_w = static_cast<int>(SendMessage(lv, LVM_GETSTRINGWIDTH, 0, reinterpret_cast<LPARAM>(longest.c_str())));
  int w0 = static_cast<int>(SendMessage(lv, LVM_GETCOLUMNWIDTH, 0, 0));
  EXPECT_GE(w0, text_w);
  EXPECT_LE(w0, text_w + 20);
  SendMessage(lv, LVM_SETCOLUMNWIDTH, 1, MAKELPARAM(LVSCW_AUTOSIZE_USEHEADER, 0));
  RECT c;
  GetClientRect(lv, &c);
  EXPECT_EQ(w0 + SendMessage(lv, LVM_GETCOLUMNWIDTH, 1, 0), c.right);
  // Sub-item texts stay with their column.
  std::string size = "12 KB";
  LVITEM sub;
  sub.iSubItem = 1;
  sub.pszText = size.data();
  SendMessage(lv, LVM_SETITEMTEXT, 0, reinterpret_cast<LPARAM>(&sub));
  char buf[32] = {};
  LVITEM get;
  get.iSubItem = 1;
  get.pszText = buf;
  get.cchTextMax = sizeof buf;
  SendMessage(lv, LVM_GETITEMTEXT, 0, reinterpret_cast<LPARAM>(&get));
  EXPECT_STREQ(buf, "12 KB");
}

TEST_F(ListViewTest, InsertAndDeleteKeepStatesAndTheSelectionMarkOnTheirItems) {
  HWND lv = make(LVS_REPORT, 4);
  select(lv, 2);
  SendMessage(lv, LVM_SETSELECTIONMARK, 0, 2);
  EXPECT_EQ(insert(lv, 0, "new first"), 0);
  EXPECT_EQ(SendMessage(lv, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 3);
  EXPECT_EQ(SendMessage(lv, LVM_GETSELECTIONMARK, 0, 0), 3);
  g_heard.clear();
  EXPECT_TRUE(SendMessage(lv, LVM_DELETEITEM, 1, 0));
  EXPECT_EQ(codes(), std::vector<int>{LVN_DELETEITEM});
  EXPECT_EQ(SendMessage(lv, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 2);
  EXPECT_FALSE(SendMessage(lv, LVM_DELETEITEM, 99, 0));
  LVITEM p;
  p.mask = LVIF_PARAM;
  p.iItem = 2;
  SendMessage(lv, LVM_GETITEM, 0, reinterpret_cast<LPARAM>(&p));
  EXPECT_EQ(p.lParam, 1002);
}

}  // namespace
}  // namespace lumora::plat
