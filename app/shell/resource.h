#pragma once
// Resource ids: menus and soft-key bars, dialog templates, strings and menu commands.
#include <cstdint>

namespace lumora::app {

// Menu resources (soft-key bars and their menus).
inline constexpr unsigned IDM_BROWSER = 130;      // browser bar: Action, File
inline constexpr unsigned IDM_PROPERTIES = 131;   // Properties dialog: Done, Action
inline constexpr unsigned IDM_CHOOSE_FOLDER = 132;  // folder chooser: Select, Cancel
inline constexpr unsigned IDM_VIEWER = 133;       // viewer bar: Action, File
inline constexpr unsigned IDI_PROGRAM = 134;      // program icon (also 135 in the About box)
inline constexpr unsigned IDI_ABOUT = 135;
inline constexpr unsigned IDM_DONE = 136;         // one key: Done (command 1)
inline constexpr unsigned IDM_DONE_CANCEL = 137;  // Done (1), Cancel (2)
inline constexpr unsigned IDM_OPTIONS = 138;      // Options list: Done (40001)
inline constexpr unsigned IDM_ADJUST = 139;       // Adjust strip: Done, Menu

// Dialog templates (registered by id and by name).
inline constexpr unsigned IDD_PROPERTIES = 107;   // "DlgProperties"
inline constexpr unsigned IDD_BROWSE = 108;       // "DlgBrowse"
inline constexpr unsigned IDD_ABOUT = 109;        // "DlgAbout"
inline constexpr unsigned IDD_RESIZE = 110;       // "DlgResize"
inline constexpr unsigned IDD_SAVEAS = 111;       // "DlgSaveas"
inline constexpr unsigned IDD_RENAME = 112;       // "DlgRename"
inline constexpr unsigned IDD_OPTION = 113;       // "DlgOption"
inline constexpr unsigned IDD_OPTION1 = 114;      // "DlgOption1"
inline constexpr unsigned IDD_OPTION2 = 115;      // "DlgOption2"
inline constexpr unsigned IDD_OPTION3 = 116;      // "DlgOption3"
inline constexpr unsigned IDD_OPTION4 = 117;      // "DlgOption4"
inline constexpr unsigned IDD_ADJUST = 118;       // "DlgAdjust"

// Strings.
inline constexpr unsigned IDS_APP_NAME = 1, IDS_APP_NAME_UPPER = 2, IDS_NAME = 3, IDS_PROPERTIES = 4, IDS_TYPE = 5,
                          IDS_SIZE = 6, IDS_DATE = 7, IDS_BYTES = 8, IDS_KB = 9, IDS_MB = 10, IDS_GB = 11,
                          IDS_ACTION = 12, IDS_FILE = 13, IDS_VIEW = 14, IDS_CANCEL = 15, IDS_MENU = 16,
                          IDS_DONE = 17, IDS_FILENAME = 18, IDS_FILELOCATION = 19, IDS_FILEDATE = 20,
                          IDS_FORMATNAME = 21, IDS_IMAGESIZE = 22, IDS_DPI = 23, IDS_BITS = 24, IDS_COMMENT = 25,
                          IDS_FILESIZE = 26, IDS_SELECT = 27, IDS_BLACK_WHITE = 28, IDS_16COLORS = 29,
                          IDS_256COLORS = 30, IDS_24BITS = 31, IDS_EXIST = 32, IDS_PROBLEM_SAVING = 33,
                          IDS_TREEROOT = 34, IDS_OPTGENERAL = 35, IDS_OPTTHUMBNAIL = 36, IDS_OPTSLIDESHOW = 37,
                          IDS_NONE = 38, IDS_AUTOLEFT = 39, IDS_AUTORIGHT = 40, IDS_LEFT = 41, IDS_RIGHT = 42,
                          IDS_OPTASSOCIATIONS = 43, IDS_REBOOT = 44, IDS_OK = 104;
// Messages of this program beyond the classic table (ids from 200 up, keys IDS_... as well).
inline constexpr unsigned IDS_ERROR = 200;           // "Error"
inline constexpr unsigned IDS_CANNOT_OPEN = 201;     // "Cannot open the picture %s: %s"
inline constexpr unsigned IDS_LOAD_NOT_PICTURE = 210;  // "not a picture Lumora can read"
inline constexpr unsigned IDS_LOAD_CANNOT_OPEN = 211;  // "the file cannot be opened"
inline constexpr unsigned IDS_LOAD_NO_MEMORY = 212;    // "too big for the memory left"
inline constexpr unsigned IDS_LOAD_DAMAGED = 213;      // "the file is damaged"
inline constexpr unsigned IDS_CANNOT_OPEN_DOCUMENT = 220;  // "Cannot open %s: %s" (document, reason)
inline constexpr unsigned IDS_NOT_INSTALLED = 221;         // "it is not installed"
inline constexpr unsigned IDS_SAVE_CANNOT_CREATE = 222;    // reasons shown under IDS_PROBLEM_SAVING
inline constexpr unsigned IDS_SAVE_WRITE_ERROR = 223;
inline constexpr unsigned IDS_SAVE_NO_MEMORY = 224;
inline constexpr unsigned IDS_SAVE_CANNOT_STORE = 225;

// Menu commands.
enum Command : unsigned {
  ID_PROPERTIES = 32774,
  ID_QUIT = 32775,
  ID_VIEW_THUMBNAILS = 32776,
  ID_VIEW_LIST = 32777,
  ID_VIEW_DETAILS = 32778,
  ID_VIEW_STRIP = 32779,
  ID_SORT_NAME = 32781,
  ID_SORT_DATE = 32782,
  ID_SORT_TYPE = 32783,
  ID_SORT_SIZE = 32784,
  ID_SORT_RESOLUTION = 32785,
  ID_SORT_ASCENDING = 32786,
  ID_SORT_DESCENDING = 32787,
  ID_SHOW_FILENAME = 32789,
  ID_OPEN_FOLDER = 32791,
  ID_THUMB_SMALL = 32793,
  ID_THUMB_NORMAL = 32794,
  ID_THUMB_LARGE = 32795,
  ID_PROP_PREVIOUS = 32801,
  ID_PROP_NEXT = 32802,
  ID_PROP_INFO = 32803,
  ID_PROP_IPTC = 32804,
  ID_PROP_EXIF = 32805,
  ID_SAVE_AS = 32806,
  ID_START_SLIDESHOW = 32807,
  ID_RESIZE = 32811,
  ID_ADJUST = 32812,
  ID_COPY_TO = 32814,
  ID_MOVE_TO = 32815,
  ID_RENAME = 32816,
  ID_DELETE = 32817,
  ID_PAGE_PREVIOUS = 32819,
  ID_PAGE_NEXT = 32820,
  ID_ROTATE_AUTO = 32823,
  ID_ROTATE_LEFT = 32824,
  ID_ROTATE_180 = 32825,
  ID_ROTATE_RIGHT = 32826,
  ID_ZOOM_FIT = 32827,
  ID_ZOOM_FILL = 32828,
  ID_ZOOM_25 = 32829,
  ID_ZOOM_50 = 32830,
  ID_ZOOM_75 = 32831,
  ID_ZOOM_100 = 32832,
  ID_ZOOM_150 = 32833,
  ID_ZOOM_200 = 32834,
  ID_ZOOM_300 = 32835,
  ID_BROWSE = 32836,
  ID_ABOUT = 32837,
  ID_SEND_IRDA = 32838,
  ID_SEND_EMAIL = 32839,
  ID_OPTIONS = 32840,
  ID_ADJUST_BRIGHTNESS = 32841,
  ID_ADJUST_CONTRAST = 32842,
  ID_ADJUST_GAMMA = 32843,
  ID_ADJUST_RESET = 32849,
  ID_ADJUST_CANCEL = 32850,
  ID_DIALOG_DONE = 40001,
};

// Application messages between the program's windows; lParam is a path allocated with new
// std::string, owned by the receiver.
inline constexpr unsigned UM_THUMB_READY = 0x0400 + 1;
inline constexpr unsigned UM_THUMBS_DONE = 0x0400 + 2;
inline constexpr unsigned UM_BROWSE_FOLDER = 0x0400 + 10;
inline constexpr unsigned UM_SHOW_FILE = 0x0400 + 11;
inline constexpr unsigned UM_OPEN_VIEWER = 0x0400 + 12;

}  // namespace lumora::app
