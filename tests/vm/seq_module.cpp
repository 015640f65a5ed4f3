// A software sound module on the ALSA sequencer, for the guest tests: one client with one
// writable port. Every MIDI message that reaches the port is written to a file as one line of
// hex bytes, whole (no running status), as soon as it arrives.
//
// Usage: kalvora_vm_seq_module --client NAME --port NAME --out FILE --ready FILE
// Once the port exists, "CLIENT:PORT" (its address) is written to the ready file. Ends on
// SIGTERM or SIGINT.
#include <alsa/asoundlib.h>
#include <poll.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

volatile std::sig_atomic_t StopRequested = 0;
void RequestStop(int) { StopRequested = 1; }

constexpr int kPollMs = 50;
constexpr std::size_t kLongestMessage = 1024;

struct Options {
  std::string client, port, out, ready;
};

bool ReadOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string_view flag = argv[i];
    std::string* value = flag == "--client"  ? &options.client
                         : flag == "--port"  ? &options.port
                         : flag == "--out"   ? &options.out
                         : flag == "--ready" ? &options.ready
                                             : nullptr;
    if (value == nullptr) return false;
    *value = argv[i + 1];
  }
  return !options.client.empty() && !options.port.empty() && !options.out.empty() &&
         !options.ready.empty();
}

bool WriteWholeFile(const std::string& path, const std::string& text) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) return false;
  const bool written = std::fputs(text.c_str(), file) >= 0;
  return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ReadOptions(argc, argv, options)) {
    std::fprintf(stderr, "usage: %s --client NAME --port NAME --out FILE --ready FILE\n", argv[0]);
    return 2;
  }
  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);

  snd_seq_t* seq = nullptr;
  if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK) < 0) {
    std::fprintf(stderr, "seq_module: no ALSA sequencer\n");
    return 1;
  }
  snd_seq_set_client_name(seq, options.client.c_str());
  const int port = snd_seq_create_simple_port(
      seq, options.port.c_str(), SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
      SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
  snd_midi_event_t* decoder = nullptr;
  std::FILE* out = std::fopen(options.out.c_str(), "w");
  if (port < 0 || snd_midi_event_new(kLongestMessage, &decoder) < 0 || out == nullptr) {
    std::fprintf(stderr, "seq_module: cannot create the port or the output file\n");
    return 1;
  }
  snd_midi_event_no_status(decoder, 1);
  const std::string address = std::to_string(snd_seq_client_id(seq)) + ":" + std::to_string(port);
  if (!WriteWholeFile(options.ready, address + "\n")) return 1;

  std::vector<pollfd> fds(static_cast<std::size_t>(snd_seq_poll_descriptors_count(seq, POLLIN)));
  snd_seq_poll_descriptors(seq, fds.data(), static_cast<unsigned>(fds.size()), POLLIN);
  unsigned char bytes[kLongestMessage];
  while (StopRequested == 0) {
    if (poll(fds.data(), fds.size(), kPollMs) <= 0) continue;
    snd_seq_event_t* event = nullptr;
    while (snd_seq_event_input(seq, &event) >= 0 && event != nullptr) {
      // Subscription notices and other sequencer events are no MIDI bytes and decode to none.
      const long length = snd_midi_event_decode(decoder, bytes, sizeof bytes, event);
      if (length <= 0) continue;
      for (long i = 0; i < length; ++i) std::fprintf(out, i == 0 ? "%02X" : " %02X", bytes[i]);
      std::fputc('\n', out);
      std::fflush(out);
    }
  }
  std::fclose(out);
  snd_midi_event_free(decoder);
  snd_seq_close(seq);
  return 0;
}
