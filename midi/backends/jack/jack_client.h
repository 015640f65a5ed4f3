// The program's one client on the JACK server: the output port of an open device and the MIDI
// input's port both sit on it, so the server runs one client of ours a cycle, not one a role.
// Every request to the server is made on a thread of its own with a bounded wait (a stopped
// server blocks every request), one request at a time. A client whose server has gone is closed
// before the next one is opened: libjack deletes the clients of a dead server behind their
// owner's back at the next open, so no other code here opens a client.
#pragma once

#include <jack/jack.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "midi/backends/jack/jack_input_peers.h"
#include "midi/midi_backend.h"

namespace kalvora {

// The JACK side of an open device: fed by the client's audio thread while attached.
class JackOutputFeed {
 public:
  virtual ~JackOutputFeed() = default;
  virtual void deliver(jack_port_t* port, jack_nframes_t frames) noexcept = 0;
};

// How often a client that carries the input looks for its server once it has gone: often at first,
// as a restart takes a few seconds, then less, as each look costs a failed open. The input is back
// within the period of the server's return. A server never reached is not looked for: the next
// device switch reaches it.
inline constexpr std::chrono::milliseconds kServerReturnPoll{500};
inline constexpr std::chrono::seconds kServerReturnPollFor{30};
inline constexpr std::chrono::milliseconds kServerReturnPollLater{1500};
// How long a listing waits for the server: a start with a server that does not answer shows
// the window all the same, without the JACK devices.
inline constexpr std::chrono::milliseconds kJackListingLimit{1500};

class ForkedJackListing;

class JackClient final : public std::enable_shared_from_this<JackClient> {
 public:
  // name: how the client appears in the graph (JACK makes it unique). Silences libjack.
  static std::shared_ptr<JackClient> create(std::string name);
  ~JackClient();
  JackClient(const JackClient&) = delete;
  JackClient& operator=(const JackClient&) = delete;

  // Reaches the server (again, when its last one has gone) on a thread of its own; does not
  // wait. Nothing is done while connected.
  void connectAhead();
  // The same at the program's start, listing the ports too: the first listing takes that list.
  // The list is listing's, when it gives one (the program then never walks the server's port
  // table at its start); this client's own ports are left out of it all the same.
  void connectAndListAhead(std::shared_ptr<ForkedJackListing> listing = nullptr);

  // The MIDI input ports of the other clients, reaching the server (again, once it has gone)
  // first; empty when it could not be reached within limit.
  std::vector<std::string> otherClientsInputs(std::chrono::milliseconds limit);

  // Carries the MIDI input port from now on, on this connection and every later one; its full
  // name, also under the alias "<name>-in:in", once it is there. Does not wait. From then on a
  // server that has gone is reached again as soon as it is back, and the input wired again to the
  // ports that were wired to it, by their names, as each of them comes back.
  void carryInput();
  // Takes the input port away; waits on the server, so the caller bounds it.
  void dropInput();
  // Waits, at most limit, until the input port takes input or the server could not be reached;
  // its full name then, or "".
  std::string waitForInput(std::chrono::milliseconds limit) const;

  // An output port wired to target, a full port name, feeding from feed once wired; waits on the
  // server, so the caller bounds it.
  struct Output {
    jack_port_t* port = nullptr;
    std::uint64_t generation = 0;
  };
  OpenStatus attachOutput(JackOutputFeed* feed, const std::string& target, Output& output);
  // Stops feeding and takes the port away when its server is still the one it was made on;
  // waits on the server, so the caller bounds it.
  void detachOutput(JackOutputFeed* feed, const Output& output);
  // Whether output's server is still there: once it has gone nothing sent can leave.
  bool alive(const Output& output) const noexcept;

 private:
  static constexpr std::size_t kMostOutputs = 4;
  struct FeedSlot {
    std::atomic<JackOutputFeed*> feed{nullptr};
    std::atomic<jack_port_t*> port{nullptr};
  };

  explicit JackClient(std::string name);
  // The rest with requests_ held.
  bool connect();
  std::vector<std::string> listOthersInputs();
  // names less this client's own ports.
  std::vector<std::string> othersAmong(std::vector<std::string> names) const;
  void addInputPort();
  void removeInputPort();
  void releaseSlot(FeedSlot& slot);

  // The input's return, on a thread of its own while the input is carried.
  struct InputKeeper {
    std::mutex mutex;
    std::condition_variable wake;
    bool woken = false;
    bool running = false;
    // Set from JACK's own threads, which libjack may cancel at any instruction while it closes a
    // client: a lock taken there could be left half-released. The keeper looks at it on its polls.
    std::atomic<bool> nudged{false};
  };
  static void keepInput(const std::weak_ptr<JackClient>& client,
                        const std::shared_ptr<InputKeeper>& keeper);
  void wakeKeeper() noexcept;
  // From JACK's threads: no lock, no call; the keeper sees it within its poll.
  void nudgeKeeper() noexcept { keeper_->nudged.store(true, std::memory_order_release); }
  void rewireInput();
  void forgetClient();

  void waitOutCycle() const noexcept;
  void postInput(jack_nframes_t frames) noexcept;
  static int process(jack_nframes_t frames, void* self) noexcept;
  static void shutdown(jack_status_t code, const char* reason, void* self) noexcept;
  static void portConnected(jack_port_id_t a, jack_port_id_t b, int connect, void* self) noexcept;
  static void portRegistered(jack_port_id_t port, int registered, void* self) noexcept;

  const std::string name_;
  std::mutex requests_;  // one request to the server at a time
  jack_client_t* client_ = nullptr;
  std::atomic<std::uint64_t> generation_{0};  // a new one at each connection
  std::atomic<bool> gone_{false};             // the current connection's server has gone
  std::atomic<bool> inputWanted_{false};
  // The input has been on a server: from then on its server is looked for whenever it has gone.
  std::atomic<bool> inputReached_{false};
  std::atomic<jack_port_t*> input_{nullptr};
  std::array<FeedSlot, kMostOutputs> outputs_;
  std::optional<std::vector<std::string>> listedAhead_;
  std::atomic<bool> inCycle_{false};  // the audio thread is reading input_ or outputs_
  std::atomic<jack_client_t*> notifying_{nullptr};  // client_, for the notification thread
  std::atomic<bool> rewire_{false};                 // the input's peers are to be wired again
  JackInputPeers inputPeers_;
  const std::shared_ptr<InputKeeper> keeper_ = std::make_shared<InputKeeper>();

  mutable std::mutex inputMutex_;
  mutable std::condition_variable inputSettled_;
  bool inputTried_ = false;
  std::string inputName_;
};

}  // namespace kalvora
