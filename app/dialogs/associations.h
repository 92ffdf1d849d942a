#pragma once
// File associations: which picture file types open in Lumora. A row of the Associations page
// stands for a few extensions and their MIME types. Under HKEY_CLASSES_ROOT each extension's key
// ".ext" names the program identifier "Corvalin.ext" (its former owner kept in ".ext\Lumora.bak"),
// and the identifier holds the open command and the icon; on the desktop the row's MIME types
// name lumora.desktop as their default application in the user's mimeapps.list, the former
// default kept under "Software\Lumora\MimeDefaults" to be put back.
#include <span>
#include <string>

namespace lumora::app {

struct AssociationRow {
  int check_id;              // the row's check box on the Associations page
  const char* text;
  const char* extensions[6];  // without dot; the first one names the program identifier's value
  const char* mime_types[5];
};

inline constexpr const char* kDesktopId = "lumora.desktop";

std::span<const AssociationRow> association_rows();

// The program as the open command names it (the running executable).
std::string program_path();

// An extension is associated when ".ext" names "Corvalin.ext" (ASCII case ignored) and that key
// exists; a MIME type when its default application is lumora.desktop.
bool extension_associated(const std::string& ext);
bool mime_type_associated(const std::string& type);
// A row is associated when all of its extensions and all of its MIME types are.
bool row_associated(const AssociationRow& row);

// Makes the row's files open in Lumora, keeping their former owners, or gives them back.
void associate_row(const AssociationRow& row, bool on, const std::string& program);

}  // namespace lumora::app
