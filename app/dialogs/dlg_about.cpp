#include "app/dialogs/dlg_about.h"

#include <vector>

#include "app/shell/language.h"
#include "app/shell/paths.h"
#include "app/shell/resource.h"

#ifndef LUMORA_VERSION
#define LUMORA_VERSION "0"
#endif

namespace lumora::app {

namespace {

struct Link {
  int id;
  const char* document;
};
constexpr Link kLinks[] = {
    {CDlgAbout::kUserGuide, "README.md"},
    {CDlgAbout::kNotices, "THIRD-PARTY.md"},
};

}  // namespace

std::string find_document(const std::string& name) {
  std::vector<std::string> candidates;
  const std::string program = ProgramFolder();
  if (!program.empty()) candidates.push_back(absolute_path(with_trailing_slash(program) + "../share/doc/lumora/" + name));
#ifdef LUMORA_SOURCE_DIR
  candidates.push_back(with_trailing_slash(LUMORA_SOURCE_DIR) + name);
  candidates.push_back(with_trailing_slash(LUMORA_SOURCE_DIR) + "data/doc/" + name);
#endif
  for (const std::string& c : candidates)
    if (GetFileAttributes(c) != INVALID_FILE_ATTRIBUTES && !IsDirectory(c)) return c;
  return {};
}

CDlgAbout::CDlgAbout(HWND parent) : CDlgEx(parent, "DlgAbout") {}

LUMORA_BEGIN_MESSAGE_TABLE(CDlgAbout)
  ON_INITDIALOG(OnInitDialog)
  ON_COMMAND_CODE(STN_CLICKED, CDlgAbout::kUserGuide, OnLink)
  ON_COMMAND_CODE(STN_CLICKED, CDlgAbout::kNotices, OnLink)
  ON_COMMAND(IDOK, OnDone)
  ON_COMMAND(IDCANCEL, OnDone)
LUMORA_END_MESSAGE_TABLE()

LRESULT CDlgAbout::OnInitDialog(WPARAM, LPARAM) {
  dialog_menu_bar(IDM_DONE);
  SetDlgItemText(hwnd_, kNameLine, load_string(IDS_APP_NAME) + " " + LUMORA_VERSION);
  if (bold_font_) SendDlgItemMessage(hwnd_, kNameLine, WM_SETFONT, reinterpret_cast<WPARAM>(bold_font_), TRUE);
  return TRUE;
}

void CDlgAbout::OnLink(UINT id) {
  for (const Link& link : kLinks) {
    if (static_cast<int>(id) != link.id) continue;
    const std::string path = find_document(link.document);
    std::string error;
    if (path.empty()) error = load_string(IDS_NOT_INSTALLED);
    else if (ShellExecuteOpen(path, &error)) return;
    // The message names the document and the reason; a translation places them with two %s.
    std::string text = load_string(IDS_CANNOT_OPEN_DOCUMENT);
    for (const std::string& part : {std::string(link.document), error}) {
      const size_t at = text.find("%s");
      if (at == std::string::npos) text += " " + part;
      else text.replace(at, 2, part);
    }
    MessageBox(hwnd_, text, "", MB_OK | MB_ICONERROR);
  }
}

void CDlgAbout::OnDone(UINT) { end_dialog(1); }

}  // namespace lumora::app
