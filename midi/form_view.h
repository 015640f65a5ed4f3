// The parts of the main window that note playing and device switching write to.
#pragma once

#include <string_view>

#include "catalogue/caption_view.h"

namespace kalvora {

class FormView : public CaptionView {
 public:
  virtual void setProgramLabel(std::string_view text) = 0;  // Label10
  virtual void setBankLabel(std::string_view text) = 0;     // Label12
  virtual void setDeviceLabel(std::string_view text) = 0;   // Label8
};

// The main window's view; set before its creation handler runs. May be null in tests that
// only look at what was sent.
extern FormView* MainView;

}  // namespace kalvora
