#include "midi/backends/fluidsynth/engine/fluidsynth_quiet.h"

#include <fluidsynth.h>

#include <cstdarg>
#include <mutex>

#if KALVORA_HAVE_GLIB
#include <glib.h>
#endif

#if KALVORA_HAVE_ALSA
// alsa-lib up to 1.2.8 declares this one outside its extern "C" block, so C++ cannot link
// against the header's declaration; this is the library's own signature. The handler is the
// calling thread's own and is used while no process-wide handler replaces ALSA's default.
extern "C" {
using snd_local_error_handler_t = void (*)(const char* file, int line, const char* func, int err,
                                           const char* fmt, va_list arg);
snd_local_error_handler_t snd_lib_error_set_local(snd_local_error_handler_t func);
}
#endif

namespace kalvora {

namespace {

#if KALVORA_HAVE_ALSA
void DropAlsaMessage(const char*, int, const char*, int, const char*, va_list) {}
#endif

#if KALVORA_HAVE_GLIB
void DropGlibMessage(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}
#endif

thread_local std::atomic<bool>* ErrorListener = nullptr;

void TellListener(int /*level*/, const char* /*message*/, void* /*data*/) {
  if (ErrorListener != nullptr) ErrorListener->store(true, std::memory_order_release);
}

}  // namespace

void QuietFluidSynthLog() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int level = 0; level < LAST_LOG_LEVEL; ++level) {
      const bool error = level == FLUID_PANIC || level == FLUID_ERR;
      fluid_set_log_function(level, error ? &TellListener : nullptr, nullptr);
    }
  });
}

void ListenForFluidSynthErrors(std::atomic<bool>* failed) { ErrorListener = failed; }

#if KALVORA_HAVE_ALSA
QuietAlsa::QuietAlsa()
    : previous_(reinterpret_cast<void (*)()>(snd_lib_error_set_local(DropAlsaMessage))) {}
QuietAlsa::~QuietAlsa() {
  snd_lib_error_set_local(reinterpret_cast<snd_local_error_handler_t>(previous_));
}
#else
QuietAlsa::QuietAlsa() = default;
QuietAlsa::~QuietAlsa() = default;
#endif

#if KALVORA_HAVE_GLIB
QuietGlib::QuietGlib()
    : handler_(
          g_log_set_handler(nullptr,
                            static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING |
                                                        G_LOG_LEVEL_MESSAGE),
                            DropGlibMessage, nullptr)) {}
QuietGlib::~QuietGlib() { g_log_remove_handler(nullptr, handler_); }
#else
QuietGlib::QuietGlib() = default;
QuietGlib::~QuietGlib() = default;
#endif

}  // namespace kalvora
