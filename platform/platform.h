#pragma once
// The platform layer in one include: window system, drawing and text, controls, menus and dialogs,
// threads, registry, shell services, the messaging store and start-up. Application code usually
// says `using namespace lumora::plat;`.
#include "platform/base/geometry.h"
#include "platform/base/messages.h"
#include "platform/base/types.h"
#include "platform/controls/commctrl.h"
#include "platform/dialog/dialog.h"
#include "platform/gdi/gdi.h"
#include "platform/menu/menu.h"
#include "platform/menu/menubar.h"
#include "platform/mail/mail_store.h"
#include "platform/registry/registry.h"
#include "platform/shell/shell.h"
#include "platform/system/system.h"
#include "platform/system/threads.h"
#include "platform/window/window.h"
