#include "midi/backends/rtmidi/rtmidi_own_clients.h"

#include <alsa/asoundlib.h>
#include <unistd.h>

#include "midi/backends/rtmidi/stderr_muted.h"

namespace kalvora {

std::set<int> OwnSequencerClients() {
  std::set<int> own;
  snd_seq_t* seq = nullptr;
  {
    // Without a sequencer the library reports the failed open on stderr.
    StderrMuted muted;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK) < 0) return own;
  }
  const pid_t self = ::getpid();
  snd_seq_client_info_t* info = nullptr;
  if (snd_seq_client_info_malloc(&info) == 0) {
    snd_seq_client_info_set_client(info, -1);
    while (snd_seq_query_next_client(seq, info) >= 0) {
      if (snd_seq_client_info_get_pid(info) == self)
        own.insert(snd_seq_client_info_get_client(info));
    }
    snd_seq_client_info_free(info);
  }
  snd_seq_close(seq);
  return own;
}

}  // namespace kalvora
