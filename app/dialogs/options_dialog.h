#pragma once
// Options: CDlgOpt lists four pages, each opened as a dialog of its own. The General, Thumbnails
// and Slideshow pages edit the Settings record (Done keeps the changes, Cancel drops them); the
// Associations page applies each check box at once.
#include "app/shell/framework.h"
#include "app/shell/list_ctrl.h"
#include "app/shell/settings.h"

namespace lumora::app {

// Control ids of the option templates.
enum OptionControl : int {
  IDC_OPTION_LIST = 1035,
  IDC_CHECK_FIRST = 1034,  // first check box of a page
  IDC_CHECK_SECOND = 1035,
  IDC_CHECK_THIRD = 1036,
  IDC_ROTATION_LIST = 1039,
  IDC_RESIZE_LIST = 1040,
  IDC_LANGUAGE_LIST = 1042,
  IDC_DELAY_LABEL = 1043,
  IDC_DELAY_SPIN = 1044,
  IDC_DELAY_EDIT = 1046,
  IDC_ROTATION_LABEL = 1055,
  IDC_RESIZE_LABEL = 1056,
  IDC_PAGE_TEXT = 1057,       // the General page's language label, the Associations page's text
  IDC_NO_DESKTOP_ENTRY = 1058,
};

inline constexpr uint32_t kMaxSlideDelay = 120;  // seconds

class CDlgOpt : public CDlgEx {
 public:
  CDlgOpt(HWND parent, Settings* settings) : CDlgEx(parent, "DlgOption"), settings_(settings) {}
  ~CDlgOpt() override;
  bool changed() const { return changed_; }

  LUMORA_DECLARE_MESSAGE_TABLE();
  LRESULT OnInitDialog(WPARAM, LPARAM);
  void OnOpenPage(UINT id);
  void OnDone(UINT id);

 private:
  Settings* settings_;
  CListCtrl list_;
  HFONT list_font_ = nullptr;
  bool changed_ = false;
};

// A page that edits the settings: Done (1) stores the controls into the record, Cancel (2) leaves it.
class CDlgSettingsPage : public CDlgEx {
 public:
  CDlgSettingsPage(HWND parent, const char* name, Settings* settings) : CDlgEx(parent, name), settings_(settings) {}
  bool changed() const { return changed_; }

  LUMORA_DECLARE_MESSAGE_TABLE();
  LRESULT OnInitDialog(WPARAM, LPARAM);
  void OnDone(UINT id);
  void OnCancel(UINT id);

 protected:
  virtual void load() = 0;
  // Stores the controls; true when a value changed.
  virtual bool store() = 0;
  Settings* settings_;
  bool changed_ = false;
};

class CDlgGeneralOpt : public CDlgSettingsPage {
 public:
  CDlgGeneralOpt(HWND parent, Settings* settings) : CDlgSettingsPage(parent, "DlgOption1", settings) {}
  // Whether Done changed the language (and so showed the restart message).
  bool language_changed() const { return language_changed_; }

 protected:
  void load() override;
  bool store() override;

 private:
  bool language_changed_ = false;
};

class CDlgThumbOpt : public CDlgSettingsPage {
 public:
  CDlgThumbOpt(HWND parent, Settings* settings) : CDlgSettingsPage(parent, "DlgOption2", settings) {}

 protected:
  void load() override;
  bool store() override;
};

class CDlgSlideOpt : public CDlgSettingsPage {
 public:
  CDlgSlideOpt(HWND parent, Settings* settings) : CDlgSettingsPage(parent, "DlgOption3", settings) {}

 protected:
  void load() override;
  bool store() override;
};

class CDlgAssociationOpt : public CDlgEx {
 public:
  explicit CDlgAssociationOpt(HWND parent) : CDlgEx(parent, "DlgOption4") {}

  LUMORA_DECLARE_MESSAGE_TABLE();
  LRESULT OnInitDialog(WPARAM, LPARAM);
  void OnCheck(UINT id);
  void OnClose(UINT id);

 private:
  void show_states();
  std::string program_;
};

}  // namespace lumora::app
