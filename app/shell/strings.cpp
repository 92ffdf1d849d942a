// The string table. Rows with a key can be replaced by a language file; messages added later by
// the dialogs take ids from 200 up, each with its own IDS_ key.
#include "app/shell/strings.h"

#include <span>

#include "app/dialogs/mail/mail_strings.h"
#include "app/shell/resource.h"

namespace lumora::app {

namespace {

struct StringRow {
  unsigned id;
  const char* key;  // null: never translated
  const char* text;
};

constexpr StringRow kStrings[] = {
    {IDS_APP_NAME, nullptr, "Lumora"},
    {IDS_APP_NAME_UPPER, nullptr, "LUMORA"},
    {IDS_NAME, "IDS_NAME", "Name"},
    {IDS_PROPERTIES, "IDS_PROPERTIES", "Properties"},
    {IDS_TYPE, "IDS_TYPE", "Type"},
    {IDS_SIZE, "IDS_SIZE", "Size"},
    {IDS_DATE, "IDS_DATE", "Date"},
    {IDS_BYTES, "IDS_BYTES", "Bytes"},
    {IDS_KB, "IDS_KB", "Kb"},
    {IDS_MB, "IDS_MB", "Mb"},
    {IDS_GB, "IDS_GB", "Gb"},
    {IDS_ACTION, "IDS_ACTION", "Action"},
    {IDS_FILE, nullptr, "File"},
    {IDS_VIEW, "IDS_VIEW", "View"},
    {IDS_CANCEL, "IDS_CANCEL", "Cancel"},
    {IDS_MENU, nullptr, "Menu"},
    {IDS_DONE, nullptr, "Done"},
    {IDS_FILENAME, "IDS_FILENAME", "Filename"},
    {IDS_FILELOCATION, "IDS_FILELOCATION", "File location"},
    {IDS_FILEDATE, "IDS_FILEDATE", "File date"},
    {IDS_FORMATNAME, "IDS_FORMATNAME", "Format name"},
    {IDS_IMAGESIZE, "IDS_IMAGESIZE", "Image size"},
    {IDS_DPI, "IDS_DPI", "DPI"},
    {IDS_BITS, "IDS_BITS", "# Bits"},
    {IDS_COMMENT, "IDS_COMMENT", "Comment"},
    {IDS_FILESIZE, "IDS_FILESIZE", "File size"},
    {IDS_SELECT, "IDS_SELECT", "Select"},
    {IDS_BLACK_WHITE, "IDS_BLACK_WHITE", "Black&White"},
    {IDS_16COLORS, "IDS_16COLORS", "16 colors"},
    {IDS_256COLORS, "IDS_256COLORS", "256 colors"},
    {IDS_24BITS, "IDS_24BITS", "24 Bits"},
    {IDS_EXIST, "IDS_EXIST", "File exists already, do you want to overwrite it?"},
    {IDS_PROBLEM_SAVING, "IDS_PROBLEM_SAVING", "Problem to save the file!"},
    {IDS_TREEROOT, "IDS_TREEROOT", "This device"},
    {IDS_OPTGENERAL, "IDS_OPTGENERAL", "General"},
    {IDS_OPTTHUMBNAIL, "IDS_OPTTHUMBNAIL", "Thumbnails"},
    {IDS_OPTSLIDESHOW, "IDS_OPTSLIDESHOW", "SlideShow"},
    {IDS_NONE, "IDS_NONE", "None"},
    {IDS_AUTOLEFT, "IDS_AUTOLEFT", "Auto Left"},
    {IDS_AUTORIGHT, "IDS_AUTORIGHT", "Auto Right"},
    {IDS_LEFT, "IDS_LEFT", "Left"},
    {IDS_RIGHT, "IDS_RIGHT", "Right"},
    {IDS_OPTASSOCIATIONS, "IDS_OPTASSOCIATIONS", "Associations"},
    {IDS_REBOOT, "IDS_REBOOT", "You must restart Lumora to apply changes."},
    {IDS_OK, "IDS_OK", "Ok"},
    // Messages of this program (printf formats where noted).
    {IDS_ERROR, "IDS_ERROR", "Error"},
    {IDS_CANNOT_OPEN, "IDS_CANNOT_OPEN", "Cannot open the picture %s: %s"},  // file name, reason
    // Why a picture cannot be shown (after its file name and a colon).
    {IDS_LOAD_NOT_PICTURE, "IDS_LOAD_NOT_PICTURE", "not a picture Lumora can read"},
    {IDS_LOAD_CANNOT_OPEN, "IDS_LOAD_CANNOT_OPEN", "the file cannot be opened"},
    {IDS_LOAD_NO_MEMORY, "IDS_LOAD_NO_MEMORY", "too big for the memory left"},
    {IDS_LOAD_DAMAGED, "IDS_LOAD_DAMAGED", "the file is damaged"},
    {IDS_CANNOT_OPEN_DOCUMENT, "IDS_CANNOT_OPEN_DOCUMENT", "Cannot open %s: %s"},  // document, reason
    {IDS_NOT_INSTALLED, "IDS_NOT_INSTALLED", "it is not installed"},
    {IDS_SAVE_CANNOT_CREATE, "IDS_SAVE_CANNOT_CREATE", "The folder cannot be written to, or is not there."},
    {IDS_SAVE_WRITE_ERROR, "IDS_SAVE_WRITE_ERROR", "Writing failed; the storage may be full."},
    {IDS_SAVE_NO_MEMORY, "IDS_SAVE_NO_MEMORY", "There is not enough memory."},
    {IDS_SAVE_CANNOT_STORE, "IDS_SAVE_CANNOT_STORE", "This format cannot store the picture."},
};

// The tables of the modules that keep their own messages: (id, key, English text).
template <class Row>
const StringRow* find_in(std::span<const Row> rows, unsigned id, StringRow* out) {
  for (const Row& r : rows)
    if (r.id == id) {
      *out = StringRow{r.id, r.key, r.english};
      return out;
    }
  return nullptr;
}

const StringRow* find(unsigned id) {
  for (const StringRow& r : kStrings)
    if (r.id == id) return &r;
  thread_local StringRow module_row;
  if (const StringRow* r = find_in(mail_strings(), id, &module_row)) return r;
  return nullptr;
}

}  // namespace

const char* builtin_string(unsigned id) {
  const StringRow* r = find(id);
  return r ? r->text : nullptr;
}

const char* string_key(unsigned id) {
  const StringRow* r = find(id);
  return r ? r->key : nullptr;
}

}  // namespace lumora::app
