// Tree view: texts and child counts asked for through display information, expansion with the
// expanding notification first (the parent fills the children there), selection by keys, sorting.
#include <map>

#include "../controls_fixture.h"

namespace lumora::plat {
namespace {

using testing::ControlsTest;
using testing::g_answer;
using testing::g_heard;
using testing::Heard;

// A folder-like tree the parent knows: names by item parameter, children filled on expansion.
struct Model {
  std::map<LPARAM, std::vector<std::string>> children;  // parameter -> child names
  std::map<LPARAM, std::string> names;
  int text_asks = 0, child_asks = 0;
  LPARAM next = 1;
  bool veto = false;
  bool refill = true;
};
Model* g_model = nullptr;

HTREEITEM add(HWND tv, HTREEITEM parent, const std::string& name) {
  LPARAM p = g_model->next++;
  g_model->names[p] = name;
  TVINSERTSTRUCT in;
  in.hParent = parent;
  in.item.mask = TVIF_TEXT | TVIF_CHILDREN | TVIF_PARAM;
  in.item.pszText = LPSTR_TEXTCALLBACK;
  in.item.cChildren = I_CHILDRENCALLBACK;
  in.item.lParam = p;
  return reinterpret_cast<HTREEITEM>(SendMessage(tv, TVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&in)));
}

LRESULT answer(NMHDR* h) {
  if (h->code == TVN_GETDISPINFO) {
    auto* di = reinterpret_cast<NMTVDISPINFO*>(h);
    const std::string& name = g_model->names[di->item.lParam];
    if (di->item.mask & TVIF_TEXT) {
      ++g_model->text_asks;
      snprintf(di->item.pszText, static_cast<size_t>(di->item.cchTextMax), "%s", name.c_str());
    }
    if (di->item.mask & TVIF_CHILDREN) {
      ++g_model->child_asks;
      di->item.cChildren = g_model->children.count(di->item.lParam) ? 1 : 0;
      di->item.mask |= TVIF_DI_SETITEM;  // asked once
    }
    return 0;
  }
  if (h->code == TVN_ITEMEXPANDING) {
    auto* nm = reinterpret_cast<NMTREEVIEW*>(h);
    if (g_model->veto) return TRUE;
    if (nm->action == TVE_EXPAND && g_model->refill) {
      // Refill from the model each time, as a folder is read again when it opens.
      HWND tv = h->hwndFrom;
      HTREEITEM item = nm->itemNew.hItem;
      while (HTREEITEM c = reinterpret_cast<HTREEITEM>(SendMessage(tv, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item))))
        SendMessage(tv, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(c));
      for (const std::string& n : g_model->children[nm->itemNew.lParam]) add(tv, item, n);
      SendMessage(tv, TVM_SORTCHILDREN, 0, reinterpret_cast<LPARAM>(item));
    }
  }
  return 0;
}

class TreeViewTest : public ControlsTest {
 protected:
  void SetUp() override {
    ControlsTest::SetUp();
    g_model = &model_;
    g_answer = answer;
    tv_ = child(WC_TREEVIEW, TVS_HASBUTTONS | TVS_LINESATROOT | WS_TABSTOP, {0, 0, 240, 200}, 1009);
    root_ = add(tv_, TVI_ROOT, "My Phone");
    model_.children[1] = {"storage card", "My Documents", "Windows"};
    model_.children[2] = {"Photos"};
    SetFocus(tv_);
    PumpPendingMessages();
  }
  void TearDown() override {
    g_model = nullptr;
    ControlsTest::TearDown();
  }
  std::vector<std::string> child_texts(HTREEITEM item) {
    std::vector<std::string> out;
    for (auto c = reinterpret_cast<HTREEITEM>(SendMessage(tv_, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
         c; c = reinterpret_cast<HTREEITEM>(SendMessage(tv_, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(c)))) {
      char buf[64] = {};
      TVITEM it;
      it.mask = TVIF_TEXT;
      it.hItem = c;
      it.pszText = buf;
      it.cchTextMax = sizeof buf;
      SendMessage(tv_, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&it));
      out.push_back(buf);
    }
    return out;
  }
  HTREEITEM selected() { return reinterpret_cast<HTREEITEM>(SendMessage(tv_, TVM_GETNEXTITEM, TVGN_CARET, 0)); }
  std::vector<int> tree_codes() {
    std::vector<int> out;
    for (const Heard& h : g_heard)
      if (h.msg == WM_NOTIFY && h.code <= TVN_FIRST && h.code > TVN_FIRST - 20) out.push_back(h.code);
    return out;
  }
  Model model_;
  HWND tv_ = nullptr;
  HTREEITEM root_ = nullptr;
};

TEST_F(TreeViewTest, ExpandingAsksFirstThenShowsTheSortedChildrenTheParentFilled) {
  g_heard.clear();
  EXPECT_TRUE(SendMessage(tv_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root_)));
  std::vector<int> c = tree_codes();
  ASSERT_GE(c.size(), 2u);
  EXPECT_EQ(c.front(), TVN_ITEMEXPANDING);
  EXPECT_EQ(c.back(), TVN_ITEMEXPANDED);
  EXPECT_EQ(child_texts(root_), (std::vector<std::string>{"My Documents", "storage card", "Windows"}));
  TVITEM st;
  st.mask = TVIF_STATE;
  st.hItem = root_;
  SendMessage(tv_, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&st));
  EXPECT_TRUE(st.state & TVIS_EXPANDED);

  // Expanding again re-reads the children: the same three, not six.
  SendMessage(tv_, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(root_));
  SendMessage(tv_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root_));
  EXPECT_EQ(child_texts(root_).size(), 3u);
  EXPECT_EQ(SendMessage(tv_, TVM_GETCOUNT, 0, 0), 4);
}

TEST_F(TreeViewTest, ARefusedExpansionLeavesTheItemClosed) {
  model_.veto = true;
  g_heard.clear();
  EXPECT_FALSE(SendMessage(tv_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root_)));
  EXPECT_EQ(tree_codes(), std::vector<int>{TVN_ITEMEXPANDING});
  EXPECT_TRUE(child_texts(root_).empty());
}

TEST_F(TreeViewTest, ItemsWithoutChildrenDoNotExpandAndTheCountIsAskedOnce) {
  SendMessage(tv_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root_));
  auto windows = reinterpret_cast<HTREEITEM>(SendMessage(tv_, TVM_GETNEXTITEM, TVGN_NEXT,
      SendMessage(tv_, TVM_GETNEXTITEM, TVGN_NEXT, SendMessage(tv_, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(root_)))));
  ASSERT_NE(windows, nullptr);
  g_heard.clear();
  EXPECT_FALSE(SendMessage(tv_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(windows)));
  EXPECT_TRUE(tree_codes().empty());
  InvalidateRect(tv_, nullptr, TRUE);
  UpdateWindow(tv_);
  int asks = model_.child_asks;
  InvalidateRect(tv_, nullptr, TRUE);
  UpdateWindow(tv_);
  EXPECT_EQ(model_.child_asks, asks);  // kept with TVIF_DI_SETITEM
  EXPECT_GT(model_.text_asks, 0);
}

TEST_F(TreeViewTest, PadWalksOpensClosesAndClimbsWithSelectionNotifications) {
  SendMessage(tv_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(root_));
  struct KeyCase {
    UINT key;
    std::vector<std::string> path;  // texts from the top item down to the selection
    bool root_open;
  } steps[] = {
      {VK_RIGHT, {"My Phone"}, true},                     // opens
      {VK_RIGHT, {"My Phone", "My Documents"}, true},     // enters
      {VK_DOWN, {"My Phone", "storage card"}, true},
      {VK_UP, {"My Phone", "My Documents"}, true},
      {VK_LEFT, {"My Phone"}, true},                      // to the parent
      {VK_LEFT, {"My Phone"}, false},                     // closes
  };
  for (const KeyCase& k : steps) {
    g_heard.clear();
    press(k.key);
    std::vector<std::string> path;
    for (HTREEITEM i = selected(); i; i = reinterpret_cast<HTREEITEM>(SendMessage(tv_, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(i)))) {
      char buf[64] = {};
      TVITEM it;
      it.mask = TVIF_TEXT;
      it.hItem = i;
      it.pszText = buf;
      it.cchTextMax = sizeof buf;
      SendMessage(tv_, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&it));
      path.insert(path.begin(), buf);
    }
    EXPECT_EQ(path, k.path) << "key " << k.key;
    TVITEM st;
    st.mask = TVIF_STATE;
    st.hItem = root_;
    SendMessage(tv_, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&st));
    EXPECT_EQ((st.state & TVIS_EXPANDED) != 0, k.root_open) << "key " << k.key;
    if (k.key == VK_DOWN) {
      EXPECT_EQ(tree_codes(), (std::vector<int>{TVN_SELCHANGING, TVN_SELCHANGED}));
      EXPECT_EQ(g_heard.back().action, TVC_BYKEYBOARD);
      EXPECT_EQ(g_heard.back().tree_item, reinterpret_cast<uintptr_t>(selected()));
    }
  }
}

TEST_F(TreeViewTest, SelectingADeepItemOpensItsParentsAndCollapsingMovesTheSelectionUp) {
  SendMessage(tv_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root_));
  HTREEITEM storage = nullptr;
  for (auto c = reinterpret_cast<HTREEITEM>(SendMessage(tv_, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(root_))); c;
       c = reinterpret_cast<HTREEITEM>(SendMessage(tv_, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(c)))) {
    TVITEM it;
    it.mask = TVIF_PARAM;
    it.hItem = c;
    SendMessage(tv_, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&it));
    if (it.lParam == 2) storage = c;
  }
  ASSERT_NE(storage, nullptr);
  SendMessage(tv_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(storage));
  auto photos = reinterpret_cast<HTREEITEM>(SendMessage(tv_, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(storage)));
  model_.refill = false;  // keep the items: reopening must not replace them
  SendMessage(tv_, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(storage));
  SendMessage(tv_, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(root_));
  EXPECT_TRUE(SendMessage(tv_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(photos)));
  EXPECT_EQ(selected(), photos);
  EXPECT_EQ(SendMessage(tv_, TVM_GETNEXTITEM, TVGN_NEXTVISIBLE, reinterpret_cast<LPARAM>(storage)), reinterpret_cast<LRESULT>(photos));
  g_heard.clear();
  SendMessage(tv_, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(storage));
  EXPECT_EQ(selected(), storage);
  EXPECT_EQ(tree_codes(), (std::vector<int>{TVN_ITEMEXPANDING, TVN_SELCHANGING, TVN_SELCHANGED, TVN_ITEMEXPANDED}));
}

TEST_F(TreeViewTest, DeletingTheSelectedItemSelectsItsParentAndStaleHandlesAreRefused) {
  SendMessage(tv_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root_));
  auto first = reinterpret_cast<HTREEITEM>(SendMessage(tv_, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(root_)));
  SendMessage(tv_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(first));
  g_heard.clear();
  EXPECT_TRUE(SendMessage(tv_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(first)));
  EXPECT_EQ(selected(), root_);
  EXPECT_EQ(tree_codes().front(), TVN_DELETEITEM);
  TVITEM it;
  it.mask = TVIF_PARAM;
  it.hItem = first;
  EXPECT_FALSE(SendMessage(tv_, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&it)));
  EXPECT_FALSE(SendMessage(tv_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(first)));
}

}  // namespace
}  // namespace lumora::plat
