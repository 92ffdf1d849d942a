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
      while (LRESULT c = SendMessage(tv, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)))
        SendMessage(tv, TVM_DELETEITEM, 0, c);
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
  HTREEITEM next(UINT how, HTREEITEM item) {
    return reinterpret_cast<HTREEITEM>(SendMessage(tv_, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
  }
  std::string text(HTREEITEM item) {
    char buf[64] = {};
    TVITEM it;
    it.mask = TVIF_TEXT;
    it.hItem = item;
    it.pszText = buf;
    it.cchTextMax = sizeof buf;
    SendMessage(tv_, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&it));
    return buf;
  }
  bool is_open(HTREEITEM item) {
    TVITEM st;
    st.mask = TVIF_STATE;
    st.hItem = item;
    SendMessage(tv_, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&st));
    return (st.state & TVIS_EXPANDED) != 0;
  }
  LRESULT expand(UINT how, HTREEITEM item) { return SendMessage(tv_, TVM_EXPAND, how, reinterpret_cast<LPARAM>(item)); }
  std::vector<std::string> child_texts(HTREEITEM item) {
    std::vector<std::string> out;
    for (HTREEITEM c = next(TVGN_CHILD, item); c; c = next(TVGN_NEXT, c)) out.push_back(text(c));
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
  EXPECT_TRUE(expand(TVE_EXPAND, root_));
  std::vector<int> c = tree_codes();
  ASSERT_GE(c.size(), 2u);
  EXPECT_EQ(c.front(), TVN_ITEMEXPANDING);
  EXPECT_EQ(c.back(), TVN_ITEMEXPANDED);
  EXPECT_EQ(child_texts(root_), (std::vector<std::string>{"My Documents", "storage card", "Windows"}));
  EXPECT_TRUE(is_open(root_));

  // Expanding again re-reads the children: the same three, not six.
  expand(TVE_COLLAPSE, root_);
  expand(TVE_EXPAND, root_);
  EXPECT_EQ(child_texts(root_).size(), 3u);
  EXPECT_EQ(SendMessage(tv_, TVM_GETCOUNT, 0, 0), 4);
}

TEST_F(TreeViewTest, ARefusedExpansionLeavesTheItemClosed) {
  model_.veto = true;
  g_heard.clear();
  EXPECT_FALSE(expand(TVE_EXPAND, root_));
  EXPECT_EQ(tree_codes(), std::vector<int>{TVN_ITEMEXPANDING});
  EXPECT_TRUE(child_texts(root_).empty());
}

TEST_F(TreeViewTest, ItemsWithoutChildrenDoNotExpandAndTheCountIsAskedOnce) {
  expand(TVE_EXPAND, root_);
  HTREEITEM windows = next(TVGN_NEXT, next(TVGN_NEXT, next(TVGN_CHILD, root_)));
  ASSERT_NE(windows, nullptr);
  g_heard.clear();
  EXPECT_FALSE(expand(TVE_EXPAND, windows));
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
    std::vector<std::string> path;  // texts from the selection up to the top item
    bool root_open;
  } steps[] = {
      {VK_RIGHT, {"My Phone"}, true},                  // opens
      {VK_RIGHT, {"My Documents", "My Phone"}, true},  // enters
      {VK_DOWN, {"storage card", "My Phone"}, true},
      {VK_UP, {"My Documents", "My Phone"}, true},
      {VK_LEFT, {"My Phone"}, true},                   // to the parent
      {VK_LEFT, {"My Phone"}, false},                  // closes
  };
  for (const KeyCase& k : steps) {
    g_heard.clear();
    press(k.key);
    std::vector<std::string> path;
    for (HTREEITEM i = selected(); i; i = next(TVGN_PARENT, i)) path.push_back(text(i));
    EXPECT_EQ(path, k.path) << "key " << k.key;
    EXPECT_EQ(is_open(root_), k.root_open) << "key " << k.key;
    if (k.key == VK_DOWN) {
      EXPECT_EQ(tree_codes(), (std::vector<int>{TVN_SELCHANGING, TVN_SELCHANGED}));
      EXPECT_EQ(g_heard.back().action, TVC_BYKEYBOARD);
      EXPECT_EQ(g_heard.back().tree_item, reinterpret_cast<uintptr_t>(selected()));
    }
  }
}

TEST_F(TreeViewTest, SelectingADeepItemOpensItsParentsAndCollapsingMovesTheSelectionUp) {
  expand(TVE_EXPAND, root_);
  HTREEITEM storage = next(TVGN_NEXT, next(TVGN_CHILD, root_));  // sorted second
  ASSERT_EQ(text(storage), "storage card");
  expand(TVE_EXPAND, storage);
  HTREEITEM photos = next(TVGN_CHILD, storage);
  model_.refill = false;  // keep the items: reopening must not replace them
  expand(TVE_COLLAPSE, storage);
  expand(TVE_COLLAPSE, root_);
  EXPECT_TRUE(SendMessage(tv_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(photos)));
  EXPECT_EQ(selected(), photos);
  EXPECT_EQ(next(TVGN_NEXTVISIBLE, storage), photos);
  g_heard.clear();
  expand(TVE_COLLAPSE, storage);
  EXPECT_EQ(selected(), storage);
  EXPECT_EQ(tree_codes(), (std::vector<int>{TVN_ITEMEXPANDING, TVN_SELCHANGING, TVN_SELCHANGED, TVN_ITEMEXPANDED}));
}

TEST_F(TreeViewTest, DeletingTheSelectedItemSelectsItsParentAndStaleHandlesAreRefused) {
  expand(TVE_EXPAND, root_);
  HTREEITEM first = next(TVGN_CHILD, root_);
  SendMessage(tv_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(first));
  g_heard.clear();
  EXPECT_TRUE(SendMessage(tv_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(first)));
  EXPECT_EQ(selected(), root_);
  EXPECT_EQ(tree_codes().front(), TVN_DELETEITEM);
  TVITEM it;
  it.mask = TVIF_PARAM;
  it.hItem = first;
  EXPECT_FALSE(SendMessage(tv_, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&it)));
  EXPECT_FALSE(expand(TVE_EXPAND, first));
}

}  // namespace
}  // namespace lumora::plat
