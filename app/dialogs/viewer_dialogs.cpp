// The dialogs that work on the picture window: Adjust previews on it and applies to it, Save as
// saves its working picture.
#include "app/dialogs/dialogs.h"
#include "app/dialogs/dlg_adjust.h"
#include "app/dialogs/dlg_saveas.h"
#include "app/viewer/picture_window.h"

namespace lumora::app {

namespace {

class PictureTone : public ToneTarget {
 public:
  explicit PictureTone(CBmp* picture) : picture_(picture) {}
  void preview_tone(int brightness, int contrast, int gamma) override { picture_->preview_tone(brightness, contrast, gamma); }
  void apply_tone(int brightness, int contrast, int gamma) override { picture_->apply_tone(brightness, contrast, gamma); }

 private:
  CBmp* picture_;
};

}  // namespace

void run_adjust_dialog(HWND owner, CBmp* picture) {
  if (!picture || !picture->picture()) return;
  PictureTone tone(picture);
  CDlgAdjust dlg(owner, &tone);
  dlg.run();
}

void run_save_as(HWND owner, const std::string& path, CBmp* picture, SaveOptions* options) {
  if (!picture || !picture->picture() || !options) return;
  save_picture_as(owner, path, picture->picture(), options);
}

}  // namespace lumora::app
