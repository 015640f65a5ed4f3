// A JACK MIDI sink for the end-to-end test: one input port; every event it receives becomes
// one line of upper-case hex bytes ("B0 0A 40"), flushed at once so a script can wait on it.
//
// Usage: kalvora_e2e_receiver --out FILE [--ready FILE] [--name CLIENT] [--wait SECONDS]
//   --out    where the event lines go ("-" for standard output)
//   --ready  created once the port is registered and active (the script waits for it)
//   --name   the client's name, default "receiver"; the port is CLIENT:in
//   --wait   how long to keep retrying while the server is still starting, default 20
// The server is the one libjack picks (JACK_DEFAULT_SERVER); none is ever started.
// Ends on SIGTERM, SIGINT or when the server goes away.
#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>
#include <semaphore.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>

namespace {

constexpr std::size_t kRingBytes = 1 << 16;
// Longer events are cut to this many bytes and marked, so the test sees them rather than a hang.
constexpr std::size_t kMaxEventBytes = 1024;
// How often the writer looks at the stop flag while no event arrives.
constexpr long kStopCheckNs = 50'000'000;
constexpr auto kRetryInterval = std::chrono::milliseconds(50);

struct Header {
  std::uint32_t size;      // bytes that follow in the ring
  std::uint32_t original;  // the event's own size
};

std::atomic<bool> StopRequested{false};
std::atomic<bool> Overflowed{false};
jack_port_t* InPort = nullptr;
jack_ringbuffer_t* Ring = nullptr;
sem_t Arrived;  // posted by the audio thread, which may not block or lock

void Wake() { sem_post(&Arrived); }

void OnSignal(int) {
  StopRequested = true;
  Wake();
}
void OnShutdown(void*) {
  StopRequested = true;
  Wake();
}
void Silent(const char*) {}

// Audio thread: copy the events out; the main thread does the slow work.
int Process(jack_nframes_t frames, void*) {
  void* buffer = jack_port_get_buffer(InPort, frames);
  const std::uint32_t count = jack_midi_get_event_count(buffer);
  for (std::uint32_t i = 0; i < count; ++i) {
    jack_midi_event_t event;
    if (jack_midi_event_get(&event, buffer, i) != 0) continue;
    const std::size_t kept = event.size < kMaxEventBytes ? event.size : kMaxEventBytes;
    const Header header{static_cast<std::uint32_t>(kept), static_cast<std::uint32_t>(event.size)};
    // One write per event, so the reader never sees a header without its bytes.
    char record[sizeof header + kMaxEventBytes];
    std::memcpy(record, &header, sizeof header);
    std::memcpy(record + sizeof header, event.buffer, kept);
    if (jack_ringbuffer_write_space(Ring) < sizeof header + kept) {
      Overflowed = true;
      continue;
    }
    jack_ringbuffer_write(Ring, record, sizeof header + kept);
  }
  if (count > 0) Wake();
  return 0;
}

void WriteEvent(std::FILE* out, const unsigned char* bytes, const Header& header) {
  for (std::uint32_t i = 0; i < header.size; ++i)
    std::fprintf(out, i == 0 ? "%02X" : " %02X", bytes[i]);
  if (header.original != header.size) std::fprintf(out, " ...(%u bytes)", header.original);
  std::fputc('\n', out);
}

void Drain(std::FILE* out) {
  bool wrote = false;
  Header header{};
  unsigned char bytes[kMaxEventBytes];
  while (jack_ringbuffer_read_space(Ring) >= sizeof header) {
    jack_ringbuffer_read(Ring, reinterpret_cast<char*>(&header), sizeof header);
    jack_ringbuffer_read(Ring, reinterpret_cast<char*>(bytes), header.size);
    WriteEvent(out, bytes, header);
    wrote = true;
  }
  if (Overflowed.exchange(false)) {
    std::fputs("OVERFLOW: events were dropped\n", out);
    wrote = true;
  }
  if (wrote) std::fflush(out);
}

void WaitForEvents() {
  timespec until{};
  clock_gettime(CLOCK_REALTIME, &until);
  until.tv_nsec += kStopCheckNs;
  if (until.tv_nsec >= 1'000'000'000) {
    until.tv_sec += 1;
    until.tv_nsec -= 1'000'000'000;
  }
  sem_timedwait(&Arrived, &until);
}

jack_client_t* OpenClient(const std::string& name, double waitSeconds) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(waitSeconds);
  for (;;) {
    jack_status_t status{};
    if (jack_client_t* client = jack_client_open(name.c_str(), JackNoStartServer, &status))
      return client;
    if (StopRequested || std::chrono::steady_clock::now() >= deadline) return nullptr;
    std::this_thread::sleep_for(kRetryInterval);
  }
}

struct Options {
  std::string out;
  std::string ready;
  std::string name = "receiver";
  double waitSeconds = 20;
};

bool Parse(int argc, char** argv, Options& options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    const char* value = argv[i + 1];
    if (flag == "--out") {
      options.out = value;
    } else if (flag == "--ready") {
      options.ready = value;
    } else if (flag == "--name") {
      options.name = value;
    } else if (flag == "--wait") {
      options.waitSeconds = std::atof(value);
    } else {
      return false;
    }
  }
  return argc % 2 == 1 && !options.out.empty();
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!Parse(argc, argv, options)) {
    std::fprintf(stderr, "usage: %s --out FILE [--ready FILE] [--name CLIENT] [--wait SECONDS]\n",
                 argv[0]);
    return 2;
  }
  sem_init(&Arrived, 0, 0);
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGINT, OnSignal);
  // While the server is starting every attempt would print "cannot connect".
  jack_set_error_function(Silent);
  jack_set_info_function(Silent);

  std::FILE* out = options.out == "-" ? stdout : std::fopen(options.out.c_str(), "w");
  if (out == nullptr) {
    std::fprintf(stderr, "receiver: cannot write %s: %s\n", options.out.c_str(),
                 std::strerror(errno));
    return 1;
  }
  jack_client_t* client = OpenClient(options.name, options.waitSeconds);
  if (client == nullptr) {
    std::fprintf(stderr, "receiver: no JACK server answered within %g s\n", options.waitSeconds);
    return 1;
  }
  Ring = jack_ringbuffer_create(kRingBytes);
  InPort = jack_port_register(client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  jack_on_shutdown(client, OnShutdown, nullptr);
  if (Ring == nullptr || InPort == nullptr ||
      jack_set_process_callback(client, Process, nullptr) != 0 || jack_activate(client) != 0) {
    std::fprintf(stderr, "receiver: cannot register and activate %s:in\n", options.name.c_str());
    jack_client_close(client);
    return 1;
  }
  if (!options.ready.empty()) {
    if (std::FILE* ready = std::fopen(options.ready.c_str(), "w")) {
      std::fprintf(ready, "%s\n", jack_port_name(InPort));
      std::fclose(ready);
    }
  }

  while (!StopRequested) {
    Drain(out);
    WaitForEvents();
  }
  jack_deactivate(client);
  Drain(out);
  jack_client_close(client);
  jack_ringbuffer_free(Ring);
  if (out != stdout) std::fclose(out);
  sem_destroy(&Arrived);
  return 0;
}
