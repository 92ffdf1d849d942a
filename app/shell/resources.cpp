#include "app/shell/resources.h"

#include "app/dialogs/dialogs.h"

namespace lumora::app {

void register_resources() {
  register_menu_resources();
  register_dialog_resources();
}

}  // namespace lumora::app
