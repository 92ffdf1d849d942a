// Tree view: items with texts, images and child counts, each given directly or asked for when
// shown (TVN_GETDISPINFO); expanding and collapsing ask the parent first (TVN_ITEMEXPANDING,
// which may refill the children); sorting of children; selection with the changing/changed
// pair. Up/Down walk the shown items, Right opens or enters, Left closes or goes to the parent.
#include <algorithm>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/controls/control_base.h"

namespace lumora::plat {
namespace {

using namespace ctl;

struct Node {
  uintptr_t id = 0;
  Node* parent = nullptr;
  std::vector<Node*> children;
  std::string text;
  bool text_callback = false;
  int image = 0, selected_image = 0;
  int child_count = 0;  // I_CHILDRENCALLBACK: ask
  UINT state = 0;       // TVIS_EXPANDED, TVIS_EXPANDEDONCE
  LPARAM param = 0;
};

struct Tree : ControlState {
  std::unordered_map<uintptr_t, std::unique_ptr<Node>> nodes;
  Node root;  // invisible parent of the top-level items
  Node* selected = nullptr;
  int top = 0;  // first shown row
  HIMAGELIST images = nullptr;
  int indent = 0;
  bool in_scrollbar = false;
};

StateMap<Tree>& states() { return StateMap<Tree>::instance(); }

uintptr_t next_id() {
  // Handles are numbers never used twice in a run, so a stale handle finds no item.
  static uintptr_t n = 0x1000;
  return n += 0x10;
}

HTREEITEM handle_of(const Node* n) { return n ? reinterpret_cast<HTREEITEM>(n->id) : nullptr; }

Node* node_of(Tree& t, HTREEITEM h) {
  if (!h) return nullptr;
  auto it = t.nodes.find(reinterpret_cast<uintptr_t>(h));
  return it == t.nodes.end() ? nullptr : it->second.get();
}

Node* parent_arg(Tree& t, HTREEITEM h) {
  if (!h || h == TVI_ROOT) return &t.root;
  return node_of(t, h);
}

// Asks the parent for the callback fields named by mask; stores them when told to.
void ask(HWND h, Tree& t, Node* n, UINT mask, std::string* text, int* image, int* children) {
  NMTVDISPINFO di;
  char buf[264] = {};
  di.item.mask = mask;
  di.item.hItem = handle_of(n);
  di.item.state = n->state | (t.selected == n ? TVIS_SELECTED : 0);
  di.item.lParam = n->param;
  di.item.pszText = buf;
  di.item.cchTextMax = static_cast<int>(sizeof buf - 1);
  di.item.iImage = n->image;
  di.item.iSelectedImage = n->selected_image;
  di.item.cChildren = n->child_count;
  uintptr_t id = n->id;
  notify_parent(h, &di.hdr, TVN_GETDISPINFO);
  if (!node_of(t, reinterpret_cast<HTREEITEM>(id))) return;  // deleted meanwhile
  std::string got = di.item.pszText && di.item.pszText != LPSTR_TEXTCALLBACK ? std::string(di.item.pszText) : std::string();
  if (text && (mask & TVIF_TEXT)) *text = got;
  if (image) *image = (mask & TVIF_SELECTEDIMAGE) ? di.item.iSelectedImage : di.item.iImage;
  if (children && (mask & TVIF_CHILDREN)) *children = di.item.cChildren;
  if (di.item.mask & TVIF_DI_SETITEM) {
    if (mask & TVIF_TEXT) {
      n->text = got;
      n->text_callback = false;
    }
    if ((mask & TVIF_IMAGE) && di.item.iImage != I_IMAGECALLBACK) n->image = di.item.iImage;
    if ((mask & TVIF_SELECTEDIMAGE) && di.item.iSelectedImage != I_IMAGECALLBACK) n->selected_image = di.item.iSelectedImage;
    if ((mask & TVIF_CHILDREN) && di.item.cChildren != I_CHILDRENCALLBACK) n->child_count = di.item.cChildren;
  }
}

std::string text_of(HWND h, Tree& t, Node* n) {
  if (!n->text_callback) return n->text;
  std::string s;
  ask(h, t, n, TVIF_TEXT, &s, nullptr, nullptr);
  return s;
}

bool has_children(HWND h, Tree& t, Node* n) {
  if (!n->children.empty()) return true;
  if (n->child_count != I_CHILDRENCALLBACK) return n->child_count > 0;
  int c = 0;
  ask(h, t, n, TVIF_CHILDREN, nullptr, nullptr, &c);
  return c > 0;
}

void flatten(Node* n, std::vector<Node*>& out) {
  for (Node* c : n->children) {
    out.push_back(c);
    if (c->state & TVIS_EXPANDED) flatten(c, out);
  }
}

std::vector<Node*> shown(Tree& t) {
  std::vector<Node*> v;
  flatten(&t.root, v);
  return v;
}

int depth(const Node* n) {
  int d = 0;
  for (const Node* p = n->parent; p && p->parent; p = p->parent) ++d;
  return d;
}

int row_height(HWND h, Tree& t) {
  int r = control_line_height(h, t.font) + ui::px(8);
  int cx = 0, cy = 0;
  if (ImageList_GetIconSize(t.images, &cx, &cy)) r = std::max(r, cy + ui::px(2));
  return r;
}

int rows_visible(HWND h, Tree& t) { return rows_in_client(h, row_height(h, t)); }

void update_scrollbar(HWND h, Tree& t) {
  if (t.in_scrollbar) return;
  t.in_scrollbar = true;
  int n = static_cast<int>(shown(t).size());
  int rows = rows_visible(h, t);
  t.top = std::clamp(t.top, 0, std::max(0, n - rows));
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMax = std::max(0, n - 1);
  si.nPage = static_cast<UINT>(rows);
  si.nPos = t.top;
  SetScrollInfo(h, SB_VERT, &si, TRUE);
  t.in_scrollbar = false;
}

void ensure_visible(HWND h, Tree& t, Node* n) {
  auto v = shown(t);
  auto it = std::find(v.begin(), v.end(), n);
  if (it == v.end()) return;
  t.top = scroll_to_show(t.top, static_cast<int>(it - v.begin()), rows_visible(h, t), static_cast<int>(v.size()));
  update_scrollbar(h, t);
  InvalidateRect(h, nullptr, TRUE);
}

void fill_item(Tree& t, const Node* n, TVITEM& out) {
  out.hItem = handle_of(n);
  out.state = n->state | (t.selected == n ? TVIS_SELECTED : 0);
  out.lParam = n->param;
  out.mask = TVIF_HANDLE | TVIF_STATE | TVIF_PARAM;
}

bool select(HWND h, Tree& t, Node* n, UINT action) {
  if (n == t.selected) return true;
  NMTREEVIEW nm;
  nm.action = action;
  if (t.selected) fill_item(t, t.selected, nm.itemOld);
  if (n) fill_item(t, n, nm.itemNew);
  uintptr_t id = n ? n->id : 0;
  if (notify_parent(h, &nm.hdr, TVN_SELCHANGING)) return false;
  Tree* again = states().get(h);
  if (!again) return false;
  n = id ? node_of(*again, reinterpret_cast<HTREEITEM>(id)) : nullptr;
  if (id && !n) return false;
  again->selected = n;
  if (n) nm.itemNew.state = n->state | TVIS_SELECTED;
  InvalidateRect(h, nullptr, TRUE);
  if (n) ensure_visible(h, *again, n);
  notify_parent(h, &nm.hdr, TVN_SELCHANGED);
  return true;
}

bool within(const Node* n, const Node* ancestor) {
  for (; n; n = n->parent)
    if (n == ancestor) return true;
  return false;
}

bool expand(HWND h, Tree& t, Node* n, UINT code) {
  if (!n || n == &t.root) return false;
  bool open = (n->state & TVIS_EXPANDED) != 0;
  if ((code & 3) == TVE_TOGGLE) code = open ? TVE_COLLAPSE : TVE_EXPAND;
  if (code == TVE_EXPAND && open) return true;
  if (code == TVE_COLLAPSE && !open) return false;
  if (code == TVE_EXPAND && !has_children(h, t, n)) return false;
  NMTREEVIEW nm;
  nm.action = code;
  fill_item(t, n, nm.itemNew);
  uintptr_t id = n->id;
  if (notify_parent(h, &nm.hdr, TVN_ITEMEXPANDING)) return false;
  Tree* tp = states().get(h);
  if (!tp || !(n = node_of(*tp, reinterpret_cast<HTREEITEM>(id)))) return false;
  if (code == TVE_EXPAND) {
    n->state |= TVIS_EXPANDED | TVIS_EXPANDEDONCE;
  } else {
    n->state &= ~TVIS_EXPANDED;
    if (tp->selected && tp->selected != n && within(tp->selected, n)) select(h, *tp, n, TVC_UNKNOWN);
  }
  if (!(tp = states().get(h)) || !(n = node_of(*tp, reinterpret_cast<HTREEITEM>(id)))) return false;
  fill_item(*tp, n, nm.itemNew);
  update_scrollbar(h, *tp);
  InvalidateRect(h, nullptr, TRUE);
  notify_parent(h, &nm.hdr, TVN_ITEMEXPANDED);
  return true;
}

void delete_node(HWND h, Tree& t, Node* n) {
  while (!n->children.empty()) delete_node(h, t, n->children.back());
  NMTREEVIEW nm;
  nm.action = TVC_UNKNOWN;
  fill_item(t, n, nm.itemOld);
  notify_parent(h, &nm.hdr, TVN_DELETEITEM);
  if (t.selected == n) t.selected = nullptr;
  Node* p = n->parent;
  if (p) p->children.erase(std::remove(p->children.begin(), p->children.end(), n), p->children.end());
  t.nodes.erase(n->id);
}

Node* insert(HWND h, Tree& t, const TVINSERTSTRUCT& in) {
  Node* parent = parent_arg(t, in.hParent);
  if (!parent) return nullptr;
  auto owned = std::make_unique<Node>();
  Node* n = owned.get();
  n->id = next_id();
  n->parent = parent;
  const TVITEM& it = in.item;
  if (it.mask & TVIF_TEXT) {
    n->text_callback = it.pszText == LPSTR_TEXTCALLBACK;
    if (!n->text_callback && it.pszText) n->text = it.pszText;
  }
  if (it.mask & TVIF_IMAGE) n->image = it.iImage;
  if (it.mask & TVIF_SELECTEDIMAGE) n->selected_image = it.iSelectedImage;
  if (it.mask & TVIF_CHILDREN) n->child_count = it.cChildren;
  if (it.mask & TVIF_PARAM) n->param = it.lParam;
  if (it.mask & TVIF_STATE) n->state = it.state & it.stateMask & (TVIS_EXPANDED | TVIS_EXPANDEDONCE);
  auto& kids = parent->children;
  auto pos = kids.end();
  if (in.hInsertAfter == TVI_FIRST) {
    pos = kids.begin();
  } else if (in.hInsertAfter == TVI_SORT) {
    std::string mine = text_of(h, t, n);
    pos = std::find_if(kids.begin(), kids.end(), [&](Node* k) {
      std::string other = text_of(h, t, k);
      return std::lexicographical_compare(mine.begin(), mine.end(), other.begin(), other.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) < std::tolower(static_cast<unsigned char>(b));
      });
    });
  } else if (in.hInsertAfter != TVI_LAST && in.hInsertAfter) {
    Node* after = node_of(t, in.hInsertAfter);
    auto at = std::find(kids.begin(), kids.end(), after);
    if (at != kids.end()) pos = at + 1;
  }
  kids.insert(pos, n);
  t.nodes.emplace(n->id, std::move(owned));
  update_scrollbar(h, t);
  InvalidateRect(h, nullptr, TRUE);
  return n;
}

void sort_children(HWND h, Tree& t, Node* n, bool recurse) {
  std::vector<std::pair<std::string, Node*>> keyed;
  for (Node* k : n->children) {
    std::string s = text_of(h, t, k);
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    keyed.emplace_back(std::move(s), k);
  }
  std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (size_t i = 0; i < keyed.size(); ++i) n->children[i] = keyed[i].second;
  if (recurse)
    for (Node* k : n->children) sort_children(h, t, k, true);
  InvalidateRect(h, nullptr, TRUE);
}

void paint(HWND h, Tree& t) {
  ControlPaint p(h);
  HDC dc = p.dc;
  const RECT& c = p.client;
  ui::fill(dc, c, ui::kWindow);
  std::vector<uintptr_t> ids;
  for (Node* n : shown(t)) ids.push_back(n->id);
  int rh = row_height(h, t);
  bool focus = p.focus;
  int indent = t.indent > 0 ? t.indent : ui::px(16);
  bool at_root = (style_of(h) & TVS_LINESATROOT) != 0;
  int icx = 0, icy = 0;
  bool images = ImageList_GetIconSize(t.images, &icx, &icy) && ImageList_GetImageCount(t.images) > 0;
  for (size_t i = static_cast<size_t>(std::max(0, t.top)), y = 0; i < ids.size() && static_cast<int>(y) < c.bottom; ++i, y += static_cast<size_t>(rh)) {
    Tree* tp = states().get(h);
    if (!tp) break;
    Node* n = node_of(*tp, reinterpret_cast<HTREEITEM>(ids[i]));
    if (!n) continue;
    int top = static_cast<int>(y);
    bool sel = tp->selected == n;
    int x = ui::px(4) + (depth(n) + (at_root ? 1 : 0)) * indent;
    if (has_children(h, *tp, n) && (at_root || n->parent != &tp->root || (style_of(h) & TVS_HASBUTTONS))) {
      int b = ui::px(9);
      RECT box{x - indent + (indent - b) / 2, top + (rh - b) / 2, 0, 0};
      box.right = box.left + b;
      box.bottom = box.top + b;
      ui::frame(dc, box, ui::kBorder, 1);
      int mid = (box.top + box.bottom) / 2;
      ui::fill(dc, RECT{box.left + 2, mid, box.right - 2, mid + 1}, ui::kText);
      if (!(n->state & TVIS_EXPANDED)) {
        int cx = (box.left + box.right) / 2;
        ui::fill(dc, RECT{cx, box.top + 2, cx + 1, box.bottom - 2}, ui::kText);
      }
    }
    if (images) {
      int index = sel ? n->selected_image : n->image;
      if (index == I_IMAGECALLBACK) ask(h, *tp, n, sel ? TVIF_SELECTEDIMAGE : TVIF_IMAGE, nullptr, &index, nullptr);
      if ((tp = states().get(h)) == nullptr || !(n = node_of(*tp, reinterpret_cast<HTREEITEM>(ids[i])))) break;
      ImageList_Draw(tp->images, index, dc, x, top + (rh - icy) / 2, ILD_TRANSPARENT);
      x += icx + ui::px(4);
    }
    std::string label = text_of(h, *tp, n);
    if (!(tp = states().get(h))) break;
    int w = ui::text_width(dc, label, control_font(tp->font)) + ui::px(8);
    RECT band{x - ui::px(3), top + 1, std::min(static_cast<int>(c.right) - 1, x + w), top + rh - 1};
    if (sel) ui::fill(dc, band, focus ? ui::kAccent : ui::kAccentLight);
    ui::text(dc, label, RECT{x + ui::px(1), top, c.right, top + rh}, DT_LEFT | DT_VCENTER,
             sel && focus ? ui::kAccentText : ui::kText, control_font(tp->font));
  }
  if (focus) ui::focus_frame(dc, c);
}

bool on_key(HWND h, Tree& t, UINT vk) {
  auto v = shown(t);
  if (v.empty()) return is_up_down(vk);
  auto it = std::find(v.begin(), v.end(), t.selected);
  int i = it == v.end() ? -1 : static_cast<int>(it - v.begin());
  switch (vk) {
    case VK_UP:
      if (i > 0) select(h, t, v[static_cast<size_t>(i - 1)], TVC_BYKEYBOARD);
      else if (i < 0) select(h, t, v.front(), TVC_BYKEYBOARD);
      return true;
    case VK_DOWN:
      if (i + 1 < static_cast<int>(v.size())) select(h, t, v[static_cast<size_t>(i + 1)], TVC_BYKEYBOARD);
      return true;
    case VK_RIGHT:
      if (!t.selected) return true;
      if (!(t.selected->state & TVIS_EXPANDED)) expand(h, t, t.selected, TVE_EXPAND);
      else if (!t.selected->children.empty()) select(h, t, t.selected->children.front(), TVC_BYKEYBOARD);
      return true;
    case VK_LEFT:
      if (!t.selected) return true;
      if (t.selected->state & TVIS_EXPANDED) expand(h, t, t.selected, TVE_COLLAPSE);
      else if (t.selected->parent && t.selected->parent != &t.root) select(h, t, t.selected->parent, TVC_BYKEYBOARD);
      return true;
    default:
      return false;
  }
}

std::optional<LRESULT> handle(HWND h, Tree& t, UINT msg, WPARAM wp, LPARAM lp) {
  Tree* tp = &t;
  switch (msg) {
    case WM_DESTROY:
      while (!t.root.children.empty()) delete_node(h, t, t.root.children.back());
      return 0;
    case WM_SIZE:
      update_scrollbar(h, t);
      return 0;
    case WM_GETDLGCODE:
      return list_dialog_code(wp);
    case WM_KEYDOWN: {
      NMHDR hdr;
      if (wp == VK_RETURN) {
        if (notify_parent(h, &hdr, NM_RETURN)) return 0;
        return {};
      }
      if (!on_key(h, t, static_cast<UINT>(wp))) return {};
      return 0;
    }
    case WM_LBUTTONDOWN: {
      SetFocus(h);
      auto v = shown(t);
      int i = t.top + GET_Y_LPARAM(lp) / row_height(h, t);
      if (i >= 0 && i < static_cast<int>(v.size())) {
        if (v[static_cast<size_t>(i)] == t.selected) expand(h, t, t.selected, TVE_TOGGLE);
        else select(h, t, v[static_cast<size_t>(i)], TVC_BYMOUSE);
      }
      return 0;
    }
    case TVM_INSERTITEM: {
      auto* in = reinterpret_cast<const TVINSERTSTRUCT*>(lp);
      return in ? reinterpret_cast<LRESULT>(handle_of(insert(h, t, *in))) : 0;
    }
    case TVM_DELETEITEM: {
      HTREEITEM item = reinterpret_cast<HTREEITEM>(lp);
      Node* had = t.selected;
      Node* n = (!item || item == TVI_ROOT) ? &t.root : node_of(t, item);
      if (!n) return FALSE;
      Node* parent = n->parent;
      bool lost_selection = had && within(had, n);
      if (n == &t.root) {
        while (!t.root.children.empty()) delete_node(h, t, t.root.children.back());
      } else {
        delete_node(h, t, n);
      }
      if (!(tp = states().get(h))) return TRUE;
      if (lost_selection) {
        tp->selected = had == n || n == &tp->root ? nullptr : tp->selected;
        if (parent && parent != &tp->root) {
          tp->selected = nullptr;
          select(h, *tp, parent, TVC_UNKNOWN);
        } else {
          tp->selected = nullptr;
        }
      }
      if ((tp = states().get(h))) update_scrollbar(h, *tp);
      InvalidateRect(h, nullptr, TRUE);
      return TRUE;
    }
    case TVM_EXPAND:
      return expand(h, t, node_of(t, reinterpret_cast<HTREEITEM>(lp)), static_cast<UINT>(wp)) ? TRUE : FALSE;
    case TVM_GETCOUNT:
      return static_cast<LRESULT>(t.nodes.size());
    case TVM_GETINDENT:
      return t.indent > 0 ? t.indent : ui::px(16);
    case TVM_SETINDENT:
      t.indent = std::max(0, static_cast<int>(wp));
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    case TVM_GETIMAGELIST:
      return reinterpret_cast<LRESULT>(t.images);
    case TVM_SETIMAGELIST: {
      HIMAGELIST old = t.images;
      t.images = reinterpret_cast<HIMAGELIST>(lp);
      InvalidateRect(h, nullptr, TRUE);
      return reinterpret_cast<LRESULT>(old);
    }
    case TVM_GETNEXTITEM: {
      Node* n = node_of(t, reinterpret_cast<HTREEITEM>(lp));
      switch (wp) {
        case TVGN_ROOT: return reinterpret_cast<LRESULT>(t.root.children.empty() ? nullptr : handle_of(t.root.children.front()));
        case TVGN_CARET: return reinterpret_cast<LRESULT>(handle_of(t.selected));
        case TVGN_PARENT: return reinterpret_cast<LRESULT>(n && n->parent != &t.root ? handle_of(n->parent) : nullptr);
        case TVGN_CHILD: {
          Node* p = lp ? n : &t.root;
          return reinterpret_cast<LRESULT>(p && !p->children.empty() ? handle_of(p->children.front()) : nullptr);
        }
        case TVGN_NEXT:
        case TVGN_PREVIOUS: {
          if (!n) return 0;
          auto& sib = n->parent->children;
          auto at = std::find(sib.begin(), sib.end(), n);
          if (wp == TVGN_NEXT) return reinterpret_cast<LRESULT>(at + 1 < sib.end() ? handle_of(*(at + 1)) : nullptr);
          return reinterpret_cast<LRESULT>(at != sib.begin() ? handle_of(*(at - 1)) : nullptr);
        }
        case TVGN_FIRSTVISIBLE: {
          auto v = shown(t);
          return reinterpret_cast<LRESULT>(t.top < static_cast<int>(v.size()) ? handle_of(v[static_cast<size_t>(t.top)]) : nullptr);
        }
        case TVGN_NEXTVISIBLE:
        case TVGN_PREVIOUSVISIBLE: {
          auto v = shown(t);
          auto at = std::find(v.begin(), v.end(), n);
          if (at == v.end()) return 0;
          if (wp == TVGN_NEXTVISIBLE) return reinterpret_cast<LRESULT>(at + 1 < v.end() ? handle_of(*(at + 1)) : nullptr);
          return reinterpret_cast<LRESULT>(at != v.begin() ? handle_of(*(at - 1)) : nullptr);
        }
        default:
          return 0;
      }
    }
    case TVM_SELECTITEM: {
      if (wp != TVGN_CARET) return FALSE;
      Node* n = node_of(t, reinterpret_cast<HTREEITEM>(lp));
      if (lp && !n) return FALSE;
      // The item's folders open so that it can be seen.
      if (n) {
        std::vector<uintptr_t> up;
        for (Node* p = n->parent; p && p != &t.root; p = p->parent) up.push_back(p->id);
        for (auto it = up.rbegin(); it != up.rend(); ++it) {
          Tree* cur = states().get(h);
          Node* p = cur ? node_of(*cur, reinterpret_cast<HTREEITEM>(*it)) : nullptr;
          if (p && !(p->state & TVIS_EXPANDED)) expand(h, *cur, p, TVE_EXPAND);
        }
        if (!(tp = states().get(h)) || !(n = node_of(*tp, reinterpret_cast<HTREEITEM>(lp)))) return FALSE;
      }
      return select(h, *tp, n, TVC_UNKNOWN) ? TRUE : FALSE;
    }
    case TVM_GETITEM: {
      auto* io = reinterpret_cast<TVITEM*>(lp);
      Node* n = io ? node_of(t, io->hItem) : nullptr;
      if (!n) return FALSE;
      if (io->mask & TVIF_TEXT) copy_to_buffer(text_of(h, t, n), io->pszText, static_cast<size_t>(std::max(0, io->cchTextMax)));
      if (io->mask & TVIF_IMAGE) io->iImage = n->image;
      if (io->mask & TVIF_SELECTEDIMAGE) io->iSelectedImage = n->selected_image;
      if (io->mask & TVIF_CHILDREN) io->cChildren = n->child_count == I_CHILDRENCALLBACK ? (has_children(h, t, n) ? 1 : 0) : n->child_count;
      if (io->mask & TVIF_PARAM) io->lParam = n->param;
      if (io->mask & TVIF_STATE) io->state = (n->state | (t.selected == n ? TVIS_SELECTED : 0)) & (io->stateMask ? io->stateMask : 0xFFFFFFFF);
      return TRUE;
    }
    case TVM_SETITEM: {
      auto* in = reinterpret_cast<const TVITEM*>(lp);
      Node* n = in ? node_of(t, in->hItem) : nullptr;
      if (!n) return FALSE;
      if (in->mask & TVIF_TEXT) {
        n->text_callback = in->pszText == LPSTR_TEXTCALLBACK;
        n->text = n->text_callback || !in->pszText ? std::string() : std::string(in->pszText);
      }
      if (in->mask & TVIF_IMAGE) n->image = in->iImage;
      if (in->mask & TVIF_SELECTEDIMAGE) n->selected_image = in->iSelectedImage;
      if (in->mask & TVIF_CHILDREN) n->child_count = in->cChildren;
      if (in->mask & TVIF_PARAM) n->param = in->lParam;
      if (in->mask & TVIF_STATE) {
        UINT m = in->stateMask & (TVIS_EXPANDED | TVIS_EXPANDEDONCE);
        n->state = (n->state & ~m) | (in->state & m);
      }
      InvalidateRect(h, nullptr, TRUE);
      return TRUE;
    }
    case TVM_SORTCHILDREN: {
      Node* n = (!lp || reinterpret_cast<HTREEITEM>(lp) == TVI_ROOT) ? &t.root : node_of(t, reinterpret_cast<HTREEITEM>(lp));
      if (!n) return FALSE;
      sort_children(h, t, n, wp != 0);
      return TRUE;
    }
    case TVM_ENSUREVISIBLE: {
      Node* n = node_of(t, reinterpret_cast<HTREEITEM>(lp));
      if (!n) return FALSE;
      ensure_visible(h, t, n);
      return TRUE;
    }
    case TVM_GETVISIBLECOUNT:
      return rows_visible(h, t);
    case TVM_GETITEMRECT: {
      auto* r = reinterpret_cast<RECT*>(lp);
      if (!r) return FALSE;
      Node* n = node_of(t, *reinterpret_cast<HTREEITEM*>(lp));
      auto v = shown(t);
      auto at = std::find(v.begin(), v.end(), n);
      if (!n || at == v.end()) return FALSE;
      RECT c;
      GetClientRect(h, &c);
      int rh = row_height(h, t);
      int y = (static_cast<int>(at - v.begin()) - t.top) * rh;
      *r = RECT{0, y, c.right, y + rh};
      return TRUE;
    }
    default:
      return {};
  }
}

constexpr ControlClass<Tree> kTree{
    WC_TREEVIEW, kKeepsFont | kRedrawsOnFocus | kNotifiesFocus | kPassesKeys, paint, handle};

}  // namespace

void ctl::register_treeview() { register_control<kTree>(); }

}  // namespace lumora::plat
