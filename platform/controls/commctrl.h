#pragma once
// The common controls: class names, messages, styles, notification codes and records. Strings are
// UTF-8. Values follow the classic control library so that packed parameters look familiar.
// InitCommonControls registers every control class; Startup does not, so that a program (or test)
// that needs no controls pays nothing for them.
#include <string>

#include "platform/base/messages.h"
#include "platform/gdi/gdi.h"
#include "platform/window/window.h"

namespace lumora::plat {

// Registers the window classes of this header (idempotent). Also installs the soft-key hook.
BOOL InitCommonControls();

// Class names.
inline constexpr const char* WC_LISTVIEW = "SysListView32";
inline constexpr const char* WC_TREEVIEW = "SysTreeView32";
inline constexpr const char* TRACKBAR_CLASS = "msctls_trackbar32";
inline constexpr const char* UPDOWN_CLASS = "msctls_updown32";
inline constexpr const char* WC_EDIT = "Edit";
inline constexpr const char* WC_BUTTON = "Button";
inline constexpr const char* WC_STATIC = "Static";
inline constexpr const char* WC_LISTBOX = "ListBox";
inline constexpr const char* WC_COMBOBOX = "ComboBox";

// Dialog codes answered to WM_GETDLGCODE. The dialog manager passes the key (VK_ code) of the
// message in wParam, so a control may claim only the keys it uses.
inline constexpr LRESULT DLGC_WANTARROWS = 0x0001;
inline constexpr LRESULT DLGC_WANTALLKEYS = 0x0004;
inline constexpr LRESULT DLGC_WANTCHARS = 0x0080;
inline constexpr LRESULT DLGC_STATIC = 0x0100;
inline constexpr LRESULT DLGC_BUTTON = 0x2000;

// Owner drawing.
inline constexpr UINT ODT_MENU = 1, ODT_LISTBOX = 2, ODT_COMBOBOX = 3, ODT_BUTTON = 4, ODT_LISTVIEW = 102;
inline constexpr UINT ODA_DRAWENTIRE = 1, ODA_SELECT = 2, ODA_FOCUS = 4;
inline constexpr UINT ODS_SELECTED = 0x0001, ODS_GRAYED = 0x0002, ODS_DISABLED = 0x0004, ODS_CHECKED = 0x0008,
                      ODS_FOCUS = 0x0010;
struct DRAWITEMSTRUCT {
  UINT CtlType = 0;
  UINT CtlID = 0;
  UINT itemID = 0;
  UINT itemAction = 0;
  UINT itemState = 0;
  HWND hwndItem = nullptr;
  HDC hDC = nullptr;
  RECT rcItem{};
  uintptr_t itemData = 0;
};
struct MEASUREITEMSTRUCT {
  UINT CtlType = 0;
  UINT CtlID = 0;
  UINT itemID = 0;
  UINT itemWidth = 0;
  UINT itemHeight = 0;
  uintptr_t itemData = 0;
};

// Custom draw (NM_CUSTOMDRAW).
inline constexpr DWORD CDDS_PREPAINT = 0x00000001;
inline constexpr DWORD CDDS_POSTPAINT = 0x00000002;
inline constexpr DWORD CDDS_ITEM = 0x00010000;
inline constexpr DWORD CDDS_ITEMPREPAINT = CDDS_ITEM | CDDS_PREPAINT;
inline constexpr DWORD CDDS_ITEMPOSTPAINT = CDDS_ITEM | CDDS_POSTPAINT;
inline constexpr DWORD CDDS_SUBITEM = 0x00020000;
inline constexpr LRESULT CDRF_DODEFAULT = 0x00;
inline constexpr LRESULT CDRF_NEWFONT = 0x02;
inline constexpr LRESULT CDRF_SKIPDEFAULT = 0x04;
inline constexpr LRESULT CDRF_NOTIFYPOSTPAINT = 0x10;
inline constexpr LRESULT CDRF_NOTIFYITEMDRAW = 0x20;
inline constexpr UINT CDIS_SELECTED = 0x0001, CDIS_GRAYED = 0x0002, CDIS_DISABLED = 0x0004, CDIS_FOCUS = 0x0010;
inline constexpr COLORREF CLR_NONE = 0xFFFFFFFF;
inline constexpr COLORREF CLR_DEFAULT = 0xFF000000;
struct NMCUSTOMDRAW {
  NMHDR hdr;
  DWORD dwDrawStage = 0;
  HDC hdc = nullptr;
  RECT rc{};
  uintptr_t dwItemSpec = 0;
  UINT uItemState = 0;
  LPARAM lItemlParam = 0;
};
struct NMLVCUSTOMDRAW {
  NMCUSTOMDRAW nmcd;
  COLORREF clrText = CLR_DEFAULT;
  COLORREF clrTextBk = CLR_DEFAULT;
  int iSubItem = 0;
};

// Image lists: sizes (and optionally pictures) of the images a list or tree shows.
struct ImageListTag;
using HIMAGELIST = ImageListTag*;
inline constexpr UINT ILC_MASK = 0x0001, ILC_COLOR = 0x0000, ILC_COLOR16 = 0x0010, ILC_COLOR24 = 0x0018,
                      ILC_COLOR32 = 0x0020;
inline constexpr UINT ILD_NORMAL = 0x0000, ILD_TRANSPARENT = 0x0001;
HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int grow);
BOOL ImageList_Destroy(HIMAGELIST il);
BOOL ImageList_GetIconSize(HIMAGELIST il, int* cx, int* cy);
BOOL ImageList_SetIconSize(HIMAGELIST il, int cx, int cy);  // removes every image
int ImageList_GetImageCount(HIMAGELIST il);
// Copies the picture (and a monochrome mask, white = transparent) of one or more images laid side
// by side; returns the index of the first, -1 on failure.
int ImageList_Add(HIMAGELIST il, HBITMAP image, HBITMAP mask);
BOOL ImageList_Draw(HIMAGELIST il, int index, HDC dc, int x, int y, UINT style);
BOOL ImageList_Remove(HIMAGELIST il, int index);  // -1: all

// ---------------------------------------------------------------------------------------------
// List view.
inline constexpr DWORD LVS_ICON = 0x0000, LVS_REPORT = 0x0001, LVS_SMALLICON = 0x0002, LVS_LIST = 0x0003,
                       LVS_TYPEMASK = 0x0003, LVS_SINGLESEL = 0x0004, LVS_SHOWSELALWAYS = 0x0008,
                       LVS_OWNERDRAWFIXED = 0x0400, LVS_ALIGNLEFT = 0x0800, LVS_NOSCROLL = 0x2000,
                       LVS_NOCOLUMNHEADER = 0x4000;
inline constexpr DWORD LVS_EX_GRIDLINES = 0x0001, LVS_EX_FULLROWSELECT = 0x0020;

inline constexpr UINT LVM_FIRST = 0x1000;
inline constexpr UINT LVM_GETBKCOLOR = LVM_FIRST + 0, LVM_SETBKCOLOR = LVM_FIRST + 1,
                      LVM_GETIMAGELIST = LVM_FIRST + 2, LVM_SETIMAGELIST = LVM_FIRST + 3,
                      LVM_GETITEMCOUNT = LVM_FIRST + 4, LVM_GETITEM = LVM_FIRST + 5, LVM_SETITEM = LVM_FIRST + 6,
                      LVM_INSERTITEM = LVM_FIRST + 7, LVM_DELETEITEM = LVM_FIRST + 8,
                      LVM_DELETEALLITEMS = LVM_FIRST + 9, LVM_GETNEXTITEM = LVM_FIRST + 12,
                      LVM_GETITEMRECT = LVM_FIRST + 14, LVM_GETSTRINGWIDTH = LVM_FIRST + 17,
                      LVM_ENSUREVISIBLE = LVM_FIRST + 19, LVM_SCROLL = LVM_FIRST + 20,
                      LVM_REDRAWITEMS = LVM_FIRST + 21, LVM_GETCOLUMN = LVM_FIRST + 25,
                      LVM_SETCOLUMN = LVM_FIRST + 26, LVM_INSERTCOLUMN = LVM_FIRST + 27,
                      LVM_DELETECOLUMN = LVM_FIRST + 28, LVM_GETCOLUMNWIDTH = LVM_FIRST + 29,
                      LVM_SETCOLUMNWIDTH = LVM_FIRST + 30, LVM_SETTEXTCOLOR = LVM_FIRST + 36,
                      LVM_SETTEXTBKCOLOR = LVM_FIRST + 38, LVM_GETTOPINDEX = LVM_FIRST + 39,
                      LVM_GETCOUNTPERPAGE = LVM_FIRST + 40, LVM_UPDATE = LVM_FIRST + 42,
                      LVM_SETITEMSTATE = LVM_FIRST + 43, LVM_GETITEMSTATE = LVM_FIRST + 44,
                      LVM_GETITEMTEXT = LVM_FIRST + 45, LVM_SETITEMTEXT = LVM_FIRST + 46,
                      LVM_SETITEMCOUNT = LVM_FIRST + 47, LVM_GETSELECTEDCOUNT = LVM_FIRST + 50,
                      LVM_GETITEMSPACING = LVM_FIRST + 51, LVM_SETICONSPACING = LVM_FIRST + 53,
                      LVM_SETEXTENDEDLISTVIEWSTYLE = LVM_FIRST + 54, LVM_GETEXTENDEDLISTVIEWSTYLE = LVM_FIRST + 55,
                      LVM_GETSELECTIONMARK = LVM_FIRST + 66, LVM_SETSELECTIONMARK = LVM_FIRST + 67;

inline constexpr UINT LVIF_TEXT = 0x0001, LVIF_IMAGE = 0x0002, LVIF_PARAM = 0x0004, LVIF_STATE = 0x0008;
inline constexpr UINT LVIS_FOCUSED = 0x0001, LVIS_SELECTED = 0x0002;
inline constexpr UINT LVNI_ALL = 0x0000, LVNI_FOCUSED = 0x0001, LVNI_SELECTED = 0x0002;
inline constexpr int LVSIL_NORMAL = 0, LVSIL_SMALL = 1;
inline constexpr int LVIR_BOUNDS = 0, LVIR_ICON = 1, LVIR_LABEL = 2;
inline constexpr int LVSCW_AUTOSIZE = -1, LVSCW_AUTOSIZE_USEHEADER = -2;
inline constexpr UINT LVCF_FMT = 0x0001, LVCF_WIDTH = 0x0002, LVCF_TEXT = 0x0004, LVCF_SUBITEM = 0x0008;
inline constexpr int LVCFMT_LEFT = 0, LVCFMT_RIGHT = 1, LVCFMT_CENTER = 2;

struct LVITEM {
  UINT mask = 0;
  int iItem = 0;
  int iSubItem = 0;
  UINT state = 0;
  UINT stateMask = 0;
  char* pszText = nullptr;  // set: a NUL-terminated text; get: a buffer of cchTextMax bytes
  int cchTextMax = 0;
  int iImage = 0;
  LPARAM lParam = 0;
};
struct LVCOLUMN {
  UINT mask = 0;
  int fmt = LVCFMT_LEFT;
  int cx = 0;
  char* pszText = nullptr;
  int cchTextMax = 0;
  int iSubItem = 0;
};

inline constexpr int LVN_FIRST = -100;
inline constexpr int LVN_ITEMCHANGING = LVN_FIRST - 0, LVN_ITEMCHANGED = LVN_FIRST - 1,
                     LVN_INSERTITEM = LVN_FIRST - 2, LVN_DELETEITEM = LVN_FIRST - 3,
                     LVN_DELETEALLITEMS = LVN_FIRST - 4, LVN_ITEMACTIVATE = LVN_FIRST - 14,
                     LVN_KEYDOWN = LVN_FIRST - 55;
struct NMLISTVIEW {
  NMHDR hdr;
  int iItem = -1;
  int iSubItem = 0;
  UINT uNewState = 0;
  UINT uOldState = 0;
  UINT uChanged = 0;
  POINT ptAction{};
  LPARAM lParam = 0;
};
struct NMITEMACTIVATE {
  NMHDR hdr;
  int iItem = -1;
  int iSubItem = 0;
  UINT uNewState = 0;
  UINT uOldState = 0;
  UINT uChanged = 0;
  POINT ptAction{};
  LPARAM lParam = 0;
  UINT uKeyFlags = 0;
};
struct NMLVKEYDOWN {
  NMHDR hdr;
  WORD wVKey = 0;
  UINT flags = 0;
};

// ---------------------------------------------------------------------------------------------
// Tree view.
struct TreeItemTag;
using HTREEITEM = TreeItemTag*;
inline const HTREEITEM TVI_ROOT = reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(-0x10000));
inline const HTREEITEM TVI_FIRST = reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(-0x0FFFF));
inline const HTREEITEM TVI_LAST = reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(-0x0FFFE));
inline const HTREEITEM TVI_SORT = reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(-0x0FFFD));
inline char* const LPSTR_TEXTCALLBACK = reinterpret_cast<char*>(static_cast<intptr_t>(-1));
inline constexpr int I_IMAGECALLBACK = -1;
inline constexpr int I_CHILDRENCALLBACK = -1;

inline constexpr DWORD TVS_HASBUTTONS = 0x0001, TVS_HASLINES = 0x0002, TVS_LINESATROOT = 0x0004,
                       TVS_SHOWSELALWAYS = 0x0020;
inline constexpr UINT TVIF_TEXT = 0x0001, TVIF_IMAGE = 0x0002, TVIF_PARAM = 0x0004, TVIF_STATE = 0x0008,
                      TVIF_HANDLE = 0x0010, TVIF_SELECTEDIMAGE = 0x0020, TVIF_CHILDREN = 0x0040,
                      TVIF_DI_SETITEM = 0x1000;
inline constexpr UINT TVIS_SELECTED = 0x0002, TVIS_EXPANDED = 0x0020, TVIS_EXPANDEDONCE = 0x0040;
inline constexpr UINT TVE_COLLAPSE = 0x0001, TVE_EXPAND = 0x0002, TVE_TOGGLE = 0x0003;
inline constexpr UINT TVGN_ROOT = 0x0, TVGN_NEXT = 0x1, TVGN_PREVIOUS = 0x2, TVGN_PARENT = 0x3, TVGN_CHILD = 0x4,
                      TVGN_FIRSTVISIBLE = 0x5, TVGN_NEXTVISIBLE = 0x6, TVGN_PREVIOUSVISIBLE = 0x7,
                      TVGN_CARET = 0x9;
inline constexpr UINT TVC_UNKNOWN = 0x0, TVC_BYMOUSE = 0x1, TVC_BYKEYBOARD = 0x2;
inline constexpr int TVSIL_NORMAL = 0;

inline constexpr UINT TV_FIRST = 0x1100;
inline constexpr UINT TVM_INSERTITEM = TV_FIRST + 0, TVM_DELETEITEM = TV_FIRST + 1, TVM_EXPAND = TV_FIRST + 2,
                      TVM_GETITEMRECT = TV_FIRST + 4, TVM_GETCOUNT = TV_FIRST + 5, TVM_GETINDENT = TV_FIRST + 6,
                      TVM_SETINDENT = TV_FIRST + 7, TVM_GETIMAGELIST = TV_FIRST + 8,
                      TVM_SETIMAGELIST = TV_FIRST + 9, TVM_GETNEXTITEM = TV_FIRST + 10,
                      TVM_SELECTITEM = TV_FIRST + 11, TVM_GETITEM = TV_FIRST + 12, TVM_SETITEM = TV_FIRST + 13,
                      TVM_GETVISIBLECOUNT = TV_FIRST + 16, TVM_SORTCHILDREN = TV_FIRST + 19,
                      TVM_ENSUREVISIBLE = TV_FIRST + 20;

struct TVITEM {
  UINT mask = 0;
  HTREEITEM hItem = nullptr;
  UINT state = 0;
  UINT stateMask = 0;
  char* pszText = nullptr;  // LPSTR_TEXTCALLBACK: asked for with TVN_GETDISPINFO
  int cchTextMax = 0;
  int iImage = 0;
  int iSelectedImage = 0;
  int cChildren = 0;  // I_CHILDRENCALLBACK: asked for with TVN_GETDISPINFO
  LPARAM lParam = 0;
};
struct TVINSERTSTRUCT {
  HTREEITEM hParent = TVI_ROOT;
  HTREEITEM hInsertAfter = TVI_LAST;
  TVITEM item;
};

inline constexpr int TVN_FIRST = -400;
inline constexpr int TVN_SELCHANGING = TVN_FIRST - 1, TVN_SELCHANGED = TVN_FIRST - 2,
                     TVN_GETDISPINFO = TVN_FIRST - 3, TVN_ITEMEXPANDING = TVN_FIRST - 5,
                     TVN_ITEMEXPANDED = TVN_FIRST - 6, TVN_DELETEITEM = TVN_FIRST - 9,
                     TVN_KEYDOWN = TVN_FIRST - 12;
struct NMTREEVIEW {
  NMHDR hdr;
  UINT action = 0;
  TVITEM itemOld;
  TVITEM itemNew;
  POINT ptDrag{};
};
// TVN_GETDISPINFO: item.mask says what is asked; pszText points at a buffer of cchTextMax bytes.
struct NMTVDISPINFO {
  NMHDR hdr;
  TVITEM item;
};

// ---------------------------------------------------------------------------------------------
// Trackbar. Scroll codes go to the parent as WM_HSCROLL (WM_VSCROLL with TBS_VERT), lParam the
// trackbar's handle.
inline constexpr DWORD TBS_HORZ = 0x0000, TBS_VERT = 0x0002, TBS_NOTICKS = 0x0010;
inline constexpr UINT TBM_GETPOS = WM_USER + 0, TBM_GETRANGEMIN = WM_USER + 1, TBM_GETRANGEMAX = WM_USER + 2,
                      TBM_SETPOS = WM_USER + 5, TBM_SETRANGE = WM_USER + 6, TBM_SETRANGEMIN = WM_USER + 7,
                      TBM_SETRANGEMAX = WM_USER + 8, TBM_SETPAGESIZE = WM_USER + 21,
                      TBM_GETPAGESIZE = WM_USER + 22, TBM_SETLINESIZE = WM_USER + 23,
                      TBM_GETLINESIZE = WM_USER + 24;
inline constexpr int TB_LINEUP = 0, TB_LINEDOWN = 1, TB_PAGEUP = 2, TB_PAGEDOWN = 3, TB_THUMBPOSITION = 4,
                     TB_THUMBTRACK = 5, TB_TOP = 6, TB_BOTTOM = 7, TB_ENDTRACK = 8;

// ---------------------------------------------------------------------------------------------
// Up-down spinner. The range may be handed over either way round (upper below lower); the value
// always stays between the two bounds, and Right/Up step it towards the larger one.
inline constexpr DWORD UDS_WRAP = 0x0001, UDS_SETBUDDYINT = 0x0002, UDS_ALIGNRIGHT = 0x0004,
                       UDS_ALIGNLEFT = 0x0008, UDS_AUTOBUDDY = 0x0010, UDS_ARROWKEYS = 0x0020,
                       UDS_HORZ = 0x0040, UDS_NOTHOUSANDS = 0x0080;
inline constexpr UINT UDM_SETRANGE = WM_USER + 101, UDM_GETRANGE = WM_USER + 102, UDM_SETPOS = WM_USER + 103,
                      UDM_GETPOS = WM_USER + 104, UDM_SETBUDDY = WM_USER + 105, UDM_GETBUDDY = WM_USER + 106,
                      UDM_SETRANGE32 = WM_USER + 111, UDM_GETRANGE32 = WM_USER + 112,
                      UDM_SETPOS32 = WM_USER + 113, UDM_GETPOS32 = WM_USER + 114;
inline constexpr int UDN_FIRST = -721;
inline constexpr int UDN_DELTAPOS = UDN_FIRST - 1;
struct NMUPDOWN {
  NMHDR hdr;
  int iPos = 0;
  int iDelta = 0;
};

// ---------------------------------------------------------------------------------------------
// Edit (single line). Notifications come as WM_COMMAND with the code in the high word.
inline constexpr DWORD ES_LEFT = 0x0000, ES_CENTER = 0x0001, ES_RIGHT = 0x0002, ES_MULTILINE = 0x0004,
                       ES_UPPERCASE = 0x0008, ES_LOWERCASE = 0x0010, ES_PASSWORD = 0x0020,
                       ES_AUTOHSCROLL = 0x0080, ES_READONLY = 0x0800, ES_NUMBER = 0x2000;
inline constexpr UINT EM_GETSEL = 0x00B0, EM_SETSEL = 0x00B1, EM_REPLACESEL = 0x00C2, EM_LIMITTEXT = 0x00C5,
                      EM_SETLIMITTEXT = EM_LIMITTEXT, EM_SETREADONLY = 0x00CF, EM_GETLIMITTEXT = 0x00D5;
inline constexpr WORD EN_SETFOCUS = 0x0100, EN_KILLFOCUS = 0x0200, EN_CHANGE = 0x0300, EN_UPDATE = 0x0400,
                      EN_MAXTEXT = 0x0501;

// ---------------------------------------------------------------------------------------------
// Buttons: push button and check box.
inline constexpr DWORD BS_PUSHBUTTON = 0x0, BS_DEFPUSHBUTTON = 0x1, BS_CHECKBOX = 0x2, BS_AUTOCHECKBOX = 0x3,
                       BS_RADIOBUTTON = 0x4, BS_AUTORADIOBUTTON = 0x9, BS_OWNERDRAW = 0xB, BS_TYPEMASK = 0xF;
inline constexpr UINT BM_GETCHECK = 0x00F0, BM_SETCHECK = 0x00F1, BM_GETSTATE = 0x00F2, BM_SETSTATE = 0x00F3,
                      BM_CLICK = 0x00F5;
inline constexpr LRESULT BST_UNCHECKED = 0, BST_CHECKED = 1;
inline constexpr WORD BN_CLICKED = 0;

// Static text.
inline constexpr DWORD SS_LEFT = 0x0, SS_CENTER = 0x1, SS_RIGHT = 0x2, SS_TYPEMASK = 0x1F, SS_NOPREFIX = 0x80,
                       SS_NOTIFY = 0x100, SS_CENTERIMAGE = 0x200;
inline constexpr WORD STN_CLICKED = 0;

// ---------------------------------------------------------------------------------------------
// List box and drop-down list (combo box).
inline constexpr DWORD LBS_NOTIFY = 0x0001, LBS_SORT = 0x0002;
inline constexpr UINT LB_ADDSTRING = 0x0180, LB_INSERTSTRING = 0x0181, LB_DELETESTRING = 0x0182,
                      LB_RESETCONTENT = 0x0184, LB_SETCURSEL = 0x0186, LB_GETCURSEL = 0x0188,
                      LB_GETTEXT = 0x0189, LB_GETTEXTLEN = 0x018A, LB_GETCOUNT = 0x018B,
                      LB_GETTOPINDEX = 0x018E, LB_GETITEMDATA = 0x0199, LB_SETITEMDATA = 0x019A,
                      LB_SETTOPINDEX = 0x0197, LB_FINDSTRINGEXACT = 0x01A2;
inline constexpr LRESULT LB_ERR = -1;
inline constexpr WORD LBN_SELCHANGE = 1, LBN_DBLCLK = 2;

inline constexpr DWORD CBS_SIMPLE = 0x1, CBS_DROPDOWN = 0x2, CBS_DROPDOWNLIST = 0x3, CBS_SORT = 0x100;
inline constexpr UINT CB_ADDSTRING = 0x0143, CB_DELETESTRING = 0x0144, CB_GETCOUNT = 0x0146,
                      CB_GETCURSEL = 0x0147, CB_GETLBTEXT = 0x0148, CB_GETLBTEXTLEN = 0x0149,
                      CB_INSERTSTRING = 0x014A, CB_RESETCONTENT = 0x014B, CB_SETCURSEL = 0x014E,
                      CB_SHOWDROPDOWN = 0x014F, CB_GETITEMDATA = 0x0150, CB_SETITEMDATA = 0x0151,
                      CB_GETDROPPEDSTATE = 0x0157, CB_FINDSTRINGEXACT = 0x0158;
inline constexpr LRESULT CB_ERR = -1;
inline constexpr WORD CBN_SELCHANGE = 1, CBN_DROPDOWN = 7, CBN_CLOSEUP = 8, CBN_SELENDOK = 9,
                      CBN_SELENDCANCEL = 10;

}  // namespace lumora::plat
