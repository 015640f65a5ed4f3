#include "midi/backends/fluidsynth/synth_engine_loader.h"

#include <dlfcn.h>

#include <system_error>

namespace kalvora {

namespace fs = std::filesystem;

std::vector<fs::path> DefaultSynthEnginePaths() {
  std::vector<fs::path> paths;
  std::error_code error;
  const fs::path program = fs::read_symlink("/proc/self/exe", error);
  if (!error) paths.push_back(program.parent_path() / KALVORA_SYNTH_ENGINE_FROM_PROGRAM);
  paths.emplace_back(KALVORA_SYNTH_ENGINE_BUILT);
  return paths;
}

fs::path FindSynthEngine(const std::vector<fs::path>& paths) {
  for (const auto& path : paths) {
    std::error_code error;
    if (fs::is_regular_file(path, error)) return path;
  }
  return {};
}

SynthEngine* LoadSynthEngine(const fs::path& path) {
  // Loading a module twice hands back the same one; it is never unloaded, since the
  // connections it makes may live to the end.
  if (path.empty()) return nullptr;  // dlopen would hand back the program itself
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) return nullptr;
  auto entry = reinterpret_cast<SynthEngineEntry>(dlsym(module, kSynthEngineEntry));
  return entry != nullptr ? entry() : nullptr;
}

}  // namespace kalvora
