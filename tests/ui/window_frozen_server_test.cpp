// A sound server that stops answering (SIGSTOP) while the window uses it: closing the window and
// pressing the switch button still return at once, and the settings are written.
#include <QElapsedTimer>
#include <QTest>
#include <algorithm>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "midi/backends/fluidsynth/fluidsynth_backend.h"
#include "midi/backends/jack/jack_backend.h"
#include "midi/midi_out.h"
#include "play/device_state.h"
#include "support/jack_midi_receiver.h"
#include "support/jack_test_server.h"
#include "support/pulse_test_server.h"
#include "window_fixture.h"

using kalvora::test::WindowFixture;

namespace {

// Generous against the 100 ms a close may wait; the fault it guards against took 20 s and more.
constexpr qint64 kReturnLimitMs = 200;
constexpr int kStartKey = 31;  // the key beside "C4"
constexpr int kStallAfterCloseMs = 500;
constexpr int kArrivalLimitMs = 10'000;

// Stops a server while it lives, and resumes it after a few seconds at the latest, so that code
// which does wait on the server fails the test instead of hanging it.
template <typename Server>
class Frozen {
 public:
  explicit Frozen(Server& server) : server_(server) {
    server_.freeze();
    watchdog_ = std::thread([this] {
      std::unique_lock lock(mutex_);
      ended_.wait_for(lock, std::chrono::seconds(3), [this] { return done_; });
      server_.thaw();
    });
  }
  ~Frozen() {
    {
      const std::lock_guard lock(mutex_);
      done_ = true;
    }
    ended_.notify_all();
    watchdog_.join();
  }
  Frozen(const Frozen&) = delete;
  Frozen& operator=(const Frozen&) = delete;

 private:
  Server& server_;
  std::mutex mutex_;
  std::condition_variable ended_;
  bool done_ = false;
  std::thread watchdog_;
};

qint64 MillisecondsOf(const std::function<void()>& action) {
  QElapsedTimer timer;
  timer.start();
  action();
  return timer.elapsed();
}

// The window on whatever backend, its device open and a note sounding on it.
std::unique_ptr<WindowFixture> WindowOn(std::unique_ptr<kalvora::MidiBackend> backend) {
  auto window = std::make_unique<WindowFixture>(
      std::vector<std::string>{}, std::vector<kalvora::OpenStatus>{}, QByteArray(), false);
  kalvora::MidiBackends backends;
  backends.push_back(std::move(backend));
  kalvora::InstallMidiBackends(std::move(backends));
  window->form().FormCreate();
  window->form().ShapeMouseDown(kStartKey);
  return window;
}

void CloseReturnsAndWritesSettings(WindowFixture& window) {
  const qint64 closing = MillisecondsOf([&] { window.form().FormClose(); });
  QVERIFY2(closing <= kReturnLimitMs, qPrintable(QString("close took %1 ms").arg(closing)));
  QVERIFY(window.settingsFileBytes().contains("dev_num=0"));
}

// The release opens the next device, which may wait openLimitMs on its server.
void SwitchReturns(WindowFixture& window, qint64 openLimitMs = 0) {
  const qint64 press = MillisecondsOf([&] { window.form().Button257MouseDown(); });
  QVERIFY2(press <= kReturnLimitMs, qPrintable(QString("press took %1 ms").arg(press)));
  const qint64 release = MillisecondsOf([&] { window.form().Button257MouseUp(); });
  QVERIFY2(release <= openLimitMs + kReturnLimitMs,
           qPrintable(QString("release took %1 ms").arg(release)));
}

}  // namespace

class WindowFrozenServerTest : public QObject {
  Q_OBJECT
 private slots:
  void cleanup() { kalvora::InstallMidiBackends({}); }

  void stoppedJackServer();
  void stoppedPulseAudioBehindTheSynth();
  void synthClosedRightAfterItsOpen();
};

// The switch's release opens the JACK device anew, which asks the stopped server: that open is
// given up within the time a busy server is given to answer. The key let go while the server
// stands still ends its note once the server runs again, however long that takes.
void WindowFrozenServerTest::stoppedJackServer() {
  kalvora::test::JackTestServer server;
  const auto started = server.start();
  QVERIFY2(started, started.message());
  kalvora::test::JackMidiReceiver receiver;
  QVERIFY(receiver.open());
  for (const bool viaSwitch : {false, true}) {
    auto window = WindowOn(std::make_unique<kalvora::JackBackend>(
        kalvora::test::ClientName(viaSwitch ? "kalvora-switch" : "kalvora-close")));
    QVERIFY(MidiOut != kNoMidiOut);
    const auto noteOn = receiver.waitForLast([](const auto& m) { return m[0] == 0x90; }).back();
    const std::size_t before = receiver.messages().size();
    {
      const Frozen frozen(server);
      window->form().ShapeMouseUp(kStartKey);
      if (viaSwitch) SwitchReturns(*window, kalvora::kJackOpenLimit.count());
      CloseReturnsAndWritesSettings(*window);
      // Well past the wait a close once gave the server before it dropped what was queued.
      QTest::qWait(kStallAfterCloseMs);
    }
    const kalvora::test::Message noteOff = {0x80, noteOn[1], 0x7F};
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                   const auto heard = receiver.messages();
                   return std::find(heard.begin() + before, heard.end(), noteOff) != heard.end();
                 },
                 kArrivalLimitMs),
             "the note-off was lost");
    QVERIFY(kalvora::WaitForClosedDevices(std::chrono::seconds(5)));
    // Left to itself, the connection lets go once the server is back.
    QVERIFY(receiver.waitUntilUnwired());
  }
  // Once stopped and resumed, jackd may take seconds to end cleanly; the slot it holds is taken
  // back as after any kill.
  receiver.close();
  server.kill();
}

void WindowFrozenServerTest::stoppedPulseAudioBehindTheSynth() {
  if (!kalvora::FindSoundFonts(kalvora::DefaultSoundFontFolders())) QSKIP("no SoundFont installed");
  kalvora::test::PulseTestServer server;
  QVERIFY2(server.start(), server.log().c_str());
  for (const bool viaSwitch : {false, true}) {
    auto window = WindowOn(std::make_unique<kalvora::FluidSynthBackend>());
    QVERIFY2(MidiOut != kNoMidiOut, "the synth did not open on the private server");
    const Frozen frozen(server);
    if (viaSwitch) SwitchReturns(*window);
    CloseReturnsAndWritesSettings(*window);
  }
}

void WindowFrozenServerTest::synthClosedRightAfterItsOpen() {
  if (!kalvora::FindSoundFonts(kalvora::DefaultSoundFontFolders())) QSKIP("no SoundFont installed");
  kalvora::test::PulseTestServer server;
  QVERIFY2(server.start(), server.log().c_str());
  auto window = WindowOn(std::make_unique<kalvora::FluidSynthBackend>());
  QVERIFY(MidiOut != kNoMidiOut);
  CloseReturnsAndWritesSettings(*window);
}

QTEST_MAIN(WindowFrozenServerTest)
#include "window_frozen_server_test.moc"
