// A stand-in for the main window that keeps what was written to it.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "play/form_view.h"

namespace kalvora::test {

class FakeFormView : public FormView {
 public:
  FakeFormView() { MainView = this; }
  ~FakeFormView() override {
    if (MainView == this) MainView = nullptr;
  }

  void setButtonCaption(int button, std::string_view caption) override {
    captions.at(button - 1) = caption;
    ++captionWrites;
    if (onCaption) onCaption(button);
  }
  void setProgramLabel(std::string_view text) override { programLabel = text; }
  void setBankLabel(std::string_view text) override { bankLabel = text; }
  void setDeviceLabel(std::string_view text) override { deviceLabel = text; }
  void showDrumSets(int map, const DrumSet& set) override {
    drumMap = map;
    drumSet = &set;
  }

  std::array<std::string, 256> captions;
  int captionWrites = 0;
  std::function<void(int)> onCaption;
  std::string programLabel;
  std::string bankLabel;
  std::string deviceLabel;
  int drumMap = -1;
  const DrumSet* drumSet = nullptr;
};

}  // namespace kalvora::test
