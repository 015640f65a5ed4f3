// The built-in synth's stream on a private sound server, driven through the real window: it is
// there while the window plays and gone once the window has been quiet for a while, however the
// presses came; on PipeWire it is the synth's own stream, which sounds, and is paused in between.
#include <functional>

#include "midi/backends/fluidsynth/fluidsynth_backend.h"
#include "play/device_state.h"
#include "support/eventually.h"
#include "support/pulse_test_server.h"
#include "window_fixture.h"

namespace {

constexpr int kStormPresses = 300;
// The stream closes 12 s after the last voice ends; a storm's last notes and their reverb take a
// few seconds more, and the server a moment to drop the stream.
constexpr std::chrono::milliseconds kCloseLimit{20000};
constexpr std::chrono::milliseconds kOpenLimit{1000};
// A held key is plainly heard: far above the null sink's one-step noise floor.
constexpr float kHeardPeak = 0.01F;
constexpr auto kListenFor = std::chrono::milliseconds(300);

// Polls until done() holds or the limit passes, letting the window run; whether it came.
template <typename Done>
bool Eventually(Done&& done, std::chrono::milliseconds limit) {
  return kalvora::test::Eventually(done, limit, [] { QTest::qWait(20); });
}

// The window started with the built-in synth as its only device, shown; whether the synth opened.
bool StartOnTheSynth(kalvora::test::WindowFixture& fx) {
  kalvora::MidiBackends backends;
  backends.push_back(std::make_unique<kalvora::FluidSynthBackend>());
  kalvora::InstallMidiBackends(std::move(backends));
  fx.form().FormCreate();
  fx.show();
  return MidiOut != kNoMidiOut;
}

}  // namespace

class WindowSynthStreamTest : public QObject {
  Q_OBJECT
 private slots:
  void cleanup() { kalvora::InstallMidiBackends({}); }
  void streamClosesAfterAStormOfKeyPresses();
  void soundsOnItsOwnStreamUnderPipeWireAndPausesItWhenIdle();
};

void WindowSynthStreamTest::streamClosesAfterAStormOfKeyPresses() {
  if (!kalvora::FindSoundFonts(kalvora::DefaultSoundFontFolders())) QSKIP("no SoundFont installed");
  kalvora::test::PulseTestServer server;
  QVERIFY2(server.start(), server.log().c_str());
  kalvora::test::WindowFixture fx({}, {}, QByteArray(), false);
  QVERIFY2(StartOnTheSynth(fx), "the synth did not open on the private server");
  TForm1& f = fx.form();
  // Every key in turn, pressed and released as fast as Qt delivers the events.
  for (int i = 0; i < kStormPresses; ++i) fx.click(f.Shape(1 + (i * 7) % TForm1::kShapes));
  QVERIFY(Eventually([&] { return server.playbackStreams() == 1; }, kOpenLimit));
  QVERIFY2(Eventually([&] { return server.playbackStreams() == 0; }, kCloseLimit),
           "the stream stayed open after the storm");
  // A later press opens it again, and it closes again after it.
  fx.click(f.Shape(30));
  QVERIFY(Eventually([&] { return server.playbackStreams() == 1; }, kOpenLimit));
  QVERIFY(Eventually([&] { return server.playbackStreams() == 0; }, kCloseLimit));
}

void WindowSynthStreamTest::soundsOnItsOwnStreamUnderPipeWireAndPausesItWhenIdle() {
  if (!kalvora::FindSoundFonts(kalvora::DefaultSoundFontFolders())) QSKIP("no SoundFont installed");
  kalvora::test::PulseTestServer server(kalvora::test::PulseTestServer::Kind::kPipeWire);
  QVERIFY2(server.start(), server.log().c_str());
  kalvora::test::WindowFixture fx({}, {}, QByteArray(), false);
  QVERIFY2(StartOnTheSynth(fx), "the synth did not open on the private server");
  const QPoint key = fx.pixelOf(fx.form().Shape(30));
  fx.press(key);
  const float peak = server.monitorPeak(kListenFor);
  const std::string streams = server.describePlaybackStreams();
  fx.release(key);
  QVERIFY2(peak > kHeardPeak, ("a held key played " + std::to_string(peak) + " at peak").c_str());
  // PipeWire's own stream, with the quantum it asks for, not one through the PulseAudio layer.
  QVERIFY2(streams.find("node.latency = \"256/48000\"") != std::string::npos, streams.c_str());
  // Put by: paused, and still there for the next note.
  QVERIFY2(Eventually([&] { return server.uncorkedPlaybackStreams() == 0; }, kCloseLimit),
           server.describePlaybackStreams().c_str());
  // The next press takes it up again rather than making a second one.
  fx.press(key);
  const float again = server.monitorPeak(kListenFor);
  const std::string streamsAgain = server.describePlaybackStreams();
  fx.release(key);
  QVERIFY2(again > kHeardPeak, ("a key after the close played " + std::to_string(again)).c_str());
  // "Sink Input #N" heads the one stream there, the same both times.
  const auto heading = [](const std::string& described) {
    return described.substr(0, described.find('\n'));
  };
  QCOMPARE(heading(streamsAgain), heading(streams));
  QCOMPARE(server.playbackStreams(), 1);
}

QTEST_MAIN(WindowSynthStreamTest)
#include "window_synth_stream_test.moc"
