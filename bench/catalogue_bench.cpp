// Start-up fill of the tone table and the caption refresh that runs on every key press.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string_view>

#include "catalogue/caption_view.h"
#include "catalogue/tone_captions.h"
#include "catalogue/tone_names.h"

namespace {

// Takes each caption and does nothing else with it, so only the caption work is measured.
class DiscardingView : public kalvora::CaptionView {
 public:
  void setButtonCaption(int button, std::string_view caption) override {
    benchmark::DoNotOptimize(button);
    benchmark::DoNotOptimize(caption.data());
    benchmark::DoNotOptimize(caption.size());
  }
};

void BM_FillToneNames(benchmark::State& state) {
  for (auto _ : state) {
    FillToneNames();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_FillToneNames);

// Args: program, bank, map. Start-up in the busiest map, and a press in the GM map where most
// captions are bare prefixes.
void BM_WriteToneCaptions(benchmark::State& state) {
  FillToneNames();
  DiscardingView view;
  const auto program = static_cast<std::int32_t>(state.range(0));
  const auto bank = static_cast<std::int32_t>(state.range(1));
  const auto map = static_cast<std::int32_t>(state.range(2));
  for (auto _ : state) kalvora::WriteToneCaptions(view, program, bank, map);
  state.SetItemsProcessed(state.iterations() * 256);
}
BENCHMARK(BM_WriteToneCaptions)->Args({1, 0, 4})->Args({39, 8, 4})->Args({1, 5, 0});

}  // namespace

BENCHMARK_MAIN();
