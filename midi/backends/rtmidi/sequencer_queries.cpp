#include "midi/backends/rtmidi/sequencer_queries.h"

#include <alsa/asoundlib.h>
#include <unistd.h>

#include <memory>

#include "midi/backends/rtmidi/stderr_muted.h"

namespace kalvora {

namespace {

struct SeqClose {
  void operator()(snd_seq_t* seq) const { snd_seq_close(seq); }
};
using Sequencer = std::unique_ptr<snd_seq_t, SeqClose>;

Sequencer OpenSequencer() {
  snd_seq_t* seq = nullptr;
  // Without a sequencer the library reports the failed open on stderr.
  StderrMuted muted;
  if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK) < 0) return nullptr;
  return Sequencer(seq);
}

}  // namespace

std::set<int> OwnSequencerClients() {
  std::set<int> own;
  const Sequencer seq = OpenSequencer();
  snd_seq_client_info_t* info = nullptr;
  if (!seq || snd_seq_client_info_malloc(&info) != 0) return own;
  const pid_t self = ::getpid();
  snd_seq_client_info_set_client(info, -1);
  while (snd_seq_query_next_client(seq.get(), info) >= 0) {
    if (snd_seq_client_info_get_pid(info) == self) own.insert(snd_seq_client_info_get_client(info));
  }
  snd_seq_client_info_free(info);
  return own;
}

bool SequencerPortHeldExclusively(int client, int port) {
  const Sequencer seq = OpenSequencer();
  snd_seq_query_subscribe_t* query = nullptr;
  if (!seq || snd_seq_query_subscribe_malloc(&query) != 0) return false;
  snd_seq_addr_t address{};
  address.client = static_cast<unsigned char>(client);
  address.port = static_cast<unsigned char>(port);
  snd_seq_query_subscribe_set_root(query, &address);
  // The connections that write to the port.
  snd_seq_query_subscribe_set_type(query, SND_SEQ_QUERY_SUBS_WRITE);
  bool held = false;
  for (int index = 0; !held; ++index) {
    snd_seq_query_subscribe_set_index(query, index);
    if (snd_seq_query_port_subscribers(seq.get(), query) < 0) break;
    held = snd_seq_query_subscribe_get_exclusive(query) != 0;
  }
  snd_seq_query_subscribe_free(query);
  return held;
}

}  // namespace kalvora
