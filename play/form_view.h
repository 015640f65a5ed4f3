// The parts of the main window that note playing and device switching write to.
#pragma once

#include <string_view>

#include "catalogue/caption_view.h"
#include "catalogue/drum_sets.h"

namespace kalvora {

class FormView : public CaptionView {
 public:
  // The status line: the program and bank numbers of the last note, the device in use.
  virtual void setProgramLabel(std::string_view text) = 0;
  virtual void setBankLabel(std::string_view text) = 0;
  virtual void setDeviceLabel(std::string_view text) = 0;
  // The drum page: the sets of map on its buttons, and set as the one a press plays (its label
  // and its keys' names). Runs at every press; what has not changed is not written again.
  virtual void showDrumSets(int map, const DrumSet& set) = 0;
};

// The main window's view; set before its creation handler runs. May be null in tests that
// only look at what was sent.
extern FormView* MainView;

}  // namespace kalvora
