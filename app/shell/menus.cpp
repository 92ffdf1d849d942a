// The soft-key bars and their menus. Each bar's first item belongs to the left soft key and its
// second to the right one. Every command is reachable within two levels: what shapes the view
// (view mode, sort, thumbnail size, zoom, rotation, pages) and what changes the picture (resize,
// adjust, save) is under the left key, what acts on the file (properties, copy, move, rename,
// delete, send, quit) under the right one.
#include "app/shell/resources.h"

#include "app/shell/resource.h"
#include "platform/platform.h"

namespace lumora::app {

using namespace lumora::plat;

namespace {

constexpr UINT R = MF_STRING | MFT_RADIOCHECK;
constexpr UINT SEP = MF_SEPARATOR;

// ---- Browser (130) ----
constexpr MenuTemplateItem kBrowserView[] = {
    {"Thumbnails", ID_VIEW_THUMBNAILS, R | MF_CHECKED},
    {"Strip", ID_VIEW_STRIP, R},
    {"List", ID_VIEW_LIST, R},
    {"Details", ID_VIEW_DETAILS, R},
};
constexpr MenuTemplateItem kBrowserSort[] = {
    {"Name", ID_SORT_NAME, R | MF_CHECKED},
    {"Date", ID_SORT_DATE, R},
    {"Type", ID_SORT_TYPE, R},
    {"Size", ID_SORT_SIZE, R},
    {"Image resolution", ID_SORT_RESOLUTION, R},
    {"", 0, SEP},
    {"Ascending", ID_SORT_ASCENDING, R | MF_CHECKED},
    {"Descending", ID_SORT_DESCENDING, R},
};
constexpr MenuTemplateItem kBrowserThumbSize[] = {
    {"Small", ID_THUMB_SMALL, R},
    {"Normal", ID_THUMB_NORMAL, R | MF_CHECKED},
    {"Large", ID_THUMB_LARGE, R},
};
constexpr MenuTemplateItem kBrowserAction[] = {
    {"View", 0, MF_POPUP, kBrowserView},
    {"Sort", 0, MF_POPUP, kBrowserSort},
    {"Thumbnail size", 0, MF_POPUP, kBrowserThumbSize},
    {"Show Filename", ID_SHOW_FILENAME, MF_STRING | MF_CHECKED},
    {"", 0, SEP},
    {"Open folder...", ID_OPEN_FOLDER},
    {"Start Slideshow", ID_START_SLIDESHOW},
    {"", 0, SEP},
    {"Options", ID_OPTIONS},
    {"About", ID_ABOUT},
};
constexpr MenuTemplateItem kSendTo[] = {
    {"as EMail", ID_SEND_EMAIL},
    {"via IrDA", ID_SEND_IRDA, MF_GRAYED},
};
constexpr MenuTemplateItem kFileMenu[] = {
    {"Properties", ID_PROPERTIES},
    {"", 0, SEP},
    {"Copy to", ID_COPY_TO},
    {"Move to", ID_MOVE_TO},
    {"Rename", ID_RENAME},
    {"Delete", ID_DELETE},
    {"Send to", 0, MF_POPUP, kSendTo},
    {"", 0, SEP},
    {"Quit", ID_QUIT},
};
constexpr MenuTemplateItem kBrowserBar[] = {
    {"Action", 0, MF_POPUP, kBrowserAction},
    {"File", 0, MF_POPUP, kFileMenu},
};

// ---- Viewer (133) ----
constexpr MenuTemplateItem kViewerZoom[] = {
    {"Fit to Screen", ID_ZOOM_FIT, R},
    {"Fill the Screen", ID_ZOOM_FILL, R | MF_CHECKED},
    {"", 0, SEP},
    {"25%", ID_ZOOM_25, R},
    {"50%", ID_ZOOM_50, R},
    {"75%", ID_ZOOM_75, R},
    {"100%", ID_ZOOM_100, R},
    {"150%", ID_ZOOM_150, R},
    {"200%", ID_ZOOM_200, R},
    {"300%", ID_ZOOM_300, R},
};
constexpr MenuTemplateItem kViewerRotation[] = {
    {"Automatic", ID_ROTATE_AUTO, MF_STRING | MF_CHECKED},
    {"", 0, SEP},
    {"Left", ID_ROTATE_LEFT},
    {"180", ID_ROTATE_180},
    {"Right", ID_ROTATE_RIGHT},
};
constexpr MenuTemplateItem kViewerPage[] = {
    {"Previous", ID_PAGE_PREVIOUS, MF_GRAYED},
    {"Next", ID_PAGE_NEXT, MF_GRAYED},
};
constexpr MenuTemplateItem kViewerAction[] = {
    {"Zoom", 0, MF_POPUP, kViewerZoom},
    {"Rotation", 0, MF_POPUP, kViewerRotation},
    {"Page", 0, MF_POPUP, kViewerPage},
    {"", 0, SEP},
    {"Resize", ID_RESIZE},
    {"Adjust", ID_ADJUST},
    {"Save as", ID_SAVE_AS},
    {"", 0, SEP},
    {"Start Slideshow", ID_START_SLIDESHOW},
    {"Browse", ID_BROWSE},
};
constexpr MenuTemplateItem kViewerBar[] = {
    {"Action", 0, MF_POPUP, kViewerAction},
    {"File", 0, MF_POPUP, kFileMenu},
};

// ---- Dialog bars ----
constexpr MenuTemplateItem kPropertiesAction[] = {
    {"Previous", ID_PROP_PREVIOUS},
    {"Next", ID_PROP_NEXT},
    {"", 0, SEP},
    {"Info", ID_PROP_INFO, R | MF_CHECKED},
    {"IPTC", ID_PROP_IPTC, R},
    {"EXIF", ID_PROP_EXIF, R},
};
constexpr MenuTemplateItem kPropertiesBar[] = {
    {"Done", 2},
    {"Action", 0, MF_POPUP, kPropertiesAction},
};
constexpr MenuTemplateItem kChooseFolderBar[] = {
    {"Select", ID_DIALOG_DONE},
    {"Cancel", 2},
};
constexpr MenuTemplateItem kDoneBar[] = {
    {"Done", 1},
};
constexpr MenuTemplateItem kDoneCancelBar[] = {
    {"Done", 1},
    {"Cancel", 2},
};
constexpr MenuTemplateItem kOptionsBar[] = {
    {"Done", ID_DIALOG_DONE},
};
constexpr MenuTemplateItem kAdjustMenu[] = {
    {"Brightness", ID_ADJUST_BRIGHTNESS, R | MF_CHECKED},
    {"Contrast", ID_ADJUST_CONTRAST, R},
    {"Gamma", ID_ADJUST_GAMMA, R},
    {"", 0, SEP},
    {"Reset", ID_ADJUST_RESET},
    {"Cancel", ID_ADJUST_CANCEL},
};
constexpr MenuTemplateItem kAdjustBar[] = {
    {"Done", 1},
    {"Menu", 0, MF_POPUP, kAdjustMenu},
};

}  // namespace

void register_menu_resources() {
  RegisterMenuResource(IDM_BROWSER, kBrowserBar);
  RegisterMenuResource(IDM_VIEWER, kViewerBar);
  RegisterMenuResource(IDM_PROPERTIES, kPropertiesBar);
  RegisterMenuResource(IDM_CHOOSE_FOLDER, kChooseFolderBar);
  RegisterMenuResource(IDM_DONE, kDoneBar);
  RegisterMenuResource(IDM_DONE_CANCEL, kDoneCancelBar);
  RegisterMenuResource(IDM_OPTIONS, kOptionsBar);
  RegisterMenuResource(IDM_ADJUST, kAdjustBar);
}

}  // namespace lumora::app
