#pragma once
// CDlgResize: a new size for the picture as a percentage, a width, a height or one of the usual
// screen sizes; the three edits follow each other, keeping the picture's proportions.
#include "app/shell/framework.h"

namespace lumora::app {

class CDlgResize : public CDlgEx {
 public:
  static constexpr int kPercent = 1017, kPercentSpin = 1019, kWidth = 1020, kWidthSpin = 1021, kHeight = 1022,
                       kHeightSpin = 1023, kPredefined = 1024;

  // width, height: the picture's size; the chosen size on Done.
  CDlgResize(HWND parent, int* width, int* height);

  LUMORA_DECLARE_MESSAGE_TABLE();
  LRESULT OnInitDialog(WPARAM, LPARAM);
  void OnPercentChanged(UINT);
  void OnWidthChanged(UINT);
  void OnHeightChanged(UINT);
  void OnPredefined(UINT);
  void OnDone(UINT);
  void OnCancel(UINT);

 private:
  // Sets an edit without its change notification running the arithmetic again.
  void set_value(int id, long long value);
  void changed_by_user();
  int* width_;
  int* height_;
  int W_, H_;              // the picture's size on entry
  bool updating_ = false;  // the dialog itself is setting the edits
  bool from_list_ = false; // the change comes from the predefined list
};

}  // namespace lumora::app
