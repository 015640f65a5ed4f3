// Start-up fill of the tone table and the caption refresh that runs on every key press.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "catalogue/caption_view.h"
#include "catalogue/name_search.h"
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

// Matching a query against every entry of the search index, for each prefix of a typed query
// (argument: its length), the current map first.
void BM_FindNames(benchmark::State& state) {
  FillToneNames();
  const std::string_view query = std::string_view("electric piano").substr(0, state.range(0));
  std::vector<kalvora::FoundName> found;
  kalvora::FindNames(query, 4, found);  // the index is built at the first query
  for (auto _ : state) kalvora::FindNames(query, 4, found);
  state.counters["found"] = static_cast<double>(found.size());
}
BENCHMARK(BM_FindNames)->DenseRange(1, 14, 1);

}  // namespace

BENCHMARK_MAIN();
