#pragma once
// CDlgAdjust: brightness, contrast and gamma of the shown picture, set on a strip at the bottom of
// the viewer while the picture shows the result. Done applies the values to the picture; Cancel
// (and Back) puts the screen back as it was.
#include "app/shell/framework.h"

namespace lumora::app {

// What the strip adjusts: the picture window, or a stand-in. Gamma is in tenths (10 = 1.0).
class ToneTarget {
 public:
  virtual ~ToneTarget() = default;
  virtual void preview_tone(int brightness, int contrast, int gamma) = 0;
  virtual void apply_tone(int brightness, int contrast, int gamma) = 0;
};

class CDlgAdjust : public CDlgEx {
 public:
  static constexpr int kValue = 1047, kTrack = 1048;
  enum Page { kBrightness = 0, kContrast = 1, kGamma = 2 };

  CDlgAdjust(HWND parent, ToneTarget* target);

  // Closes with the picture unchanged (Back, Cancel).
  void end() override;

  LUMORA_DECLARE_MESSAGE_TABLE();
  LRESULT OnInitDialog(WPARAM, LPARAM);
  void OnPage(UINT id);
  void OnReset(UINT);
  void OnDone(UINT);
  void OnCancel(UINT);
  void OnHScroll(int code, int pos, HWND bar);

  int brightness() const { return brightness_; }
  int contrast() const { return contrast_; }
  int gamma() const { return gamma_; }

 private:
  void show_page(Page page);
  void show_value();
  ToneTarget* target_;
  Page page_ = kBrightness;
  int brightness_ = 0, contrast_ = 0;
  int gamma_ = 10;  // tenths
};

}  // namespace lumora::app
