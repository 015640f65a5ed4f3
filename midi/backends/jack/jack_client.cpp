#include "midi/backends/jack/jack_client.h"

#include <jack/midiport.h>

#include <cerrno>
#include <new>
#include <optional>
#include <span>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "midi/backends/jack/jack_forked_listing.h"
#include "midi/backends/jack/jack_graph_pages.h"
#include "midi/backends/jack/jack_quiet.h"
#include "midi/bounded_call.h"
#include "midi/input/input_inbox.h"

namespace kalvora {

namespace {

constexpr const char* kInputPortName = "in";
// The input's name before it shared the client: what users connect their keyboards to.
constexpr const char* kInputAliasSuffix = "-in:in";
constexpr const char* kOutputPortName = "out";

std::string OutputPortName(std::size_t slot) {
  return slot == 0 ? kOutputPortName
                   : std::string(kOutputPortName) + "-" + std::to_string(slot + 1);
}

}  // namespace

std::shared_ptr<JackClient> JackClient::create(std::string name) {
  QuietJack();
  return std::shared_ptr<JackClient>(new JackClient(std::move(name)));
}

JackClient::JackClient(std::string name) : name_(std::move(name)) {}

JackClient::~JackClient() {
  // Every request ran with a reference to this object, so none is left running.
  if (client_ != nullptr) forgetClient();
}

void JackClient::forgetClient() {
  notifying_.store(nullptr, std::memory_order_seq_cst);
  jack_client_close(std::exchange(client_, nullptr));
}

void JackClient::connectAhead() {
  RunWithin(
      [self = shared_from_this()] {
        const std::lock_guard lock(self->requests_);
        self->connect();
      },
      std::chrono::milliseconds(0));
}

bool JackClient::connect() {
  if (client_ != nullptr && !gone_.load(std::memory_order_acquire)) return true;
  if (client_ != nullptr) {
    // Its server has gone: nothing of it is fed again, and it is closed before the next open.
    for (FeedSlot& slot : outputs_) {
      slot.feed.store(nullptr, std::memory_order_seq_cst);
      slot.port.store(nullptr, std::memory_order_seq_cst);
    }
    input_.store(nullptr, std::memory_order_seq_cst);
    waitOutCycle();
    forgetClient();
    // Its outputs stay dead even when no server answers the open below, which clears gone_.
    generation_.fetch_add(1, std::memory_order_acq_rel);
  }
  // Cleared before the open: a server that goes while this client is still being set up tells
  // it so at once, and that must not be forgotten.
  gone_.store(false, std::memory_order_release);
  jack_status_t status{};
  jack_client_t* client = jack_client_open(name_.c_str(), JackNoStartServer, &status);
  if (client != nullptr &&
      (jack_set_process_callback(client, &JackClient::process, this) != 0 ||
       jack_set_port_connect_callback(client, &JackClient::portConnected, this) != 0 ||
       jack_set_port_registration_callback(client, &JackClient::portRegistered, this) != 0)) {
    jack_client_close(std::exchange(client, nullptr));
  }
  if (client != nullptr) {
    jack_on_info_shutdown(client, &JackClient::shutdown, this);
    client_ = client;
    notifying_.store(client, std::memory_order_seq_cst);
    generation_.fetch_add(1, std::memory_order_acq_rel);
    // There from the first cycle on, so nothing played meanwhile is lost.
    if (inputWanted_.load(std::memory_order_acquire)) addInputPort();
    if (jack_activate(client_) != 0) {
      input_.store(nullptr, std::memory_order_seq_cst);
      forgetClient();
    } else if (input_.load(std::memory_order_acquire) != nullptr) {
      // Wired as it was before the server went, by the keeper, which may wait on the server.
      rewire_.store(true, std::memory_order_release);
      wakeKeeper();
    }
  }
  if (client_ == nullptr || input_.load(std::memory_order_acquire) == nullptr) {
    const std::lock_guard lock(inputMutex_);
    inputTried_ = true;
    inputName_.clear();
    inputSettled_.notify_all();
  }
  return client_ != nullptr;
}

std::vector<std::string> JackClient::otherClientsInputs(std::chrono::milliseconds limit) {
  std::optional<std::vector<std::string>> listed = CallWithin<std::vector<std::string>>(
      [self = shared_from_this()] {
        const std::lock_guard lock(self->requests_);
        if (self->listedAhead_) return *std::exchange(self->listedAhead_, std::nullopt);
        return self->listOthersInputs();
      },
      limit);
  return listed ? std::move(*listed) : std::vector<std::string>{};
}

void JackClient::connectAndListAhead(std::shared_ptr<ForkedJackListing> listing) {
  RunWithin(
      [self = shared_from_this(), listing = std::move(listing)] {
        const std::lock_guard lock(self->requests_);
        // Waited for even when no server answered here, which a lister finds as quickly: one
        // killed while libjack sets up its metadata store leaves a broken store behind, and every
        // later client on the machine complains of it on stderr. A lister setting the store up
        // is waited for before this client opens; otherwise both open at once.
        const bool listFirst = listing && listing->setsUpMetadataStore();
        auto listed = listFirst ? listing->take(kJackListingLimit) : std::nullopt;
        const bool connected = self->connect();
        if (listing && !listFirst) listed = listing->take(kJackListingLimit);
        // Only a list from a server that answered: a failed connect is tried again at the
        // listing, which costs next to nothing when no server runs.
        if (!connected) return;
        self->listedAhead_ =
            listed ? self->othersAmong(std::move(*listed)) : self->listOthersInputs();
      },
      std::chrono::milliseconds(0));
}

std::vector<std::string> JackClient::listOthersInputs() {
  std::vector<std::string> ports;
  if (!connect()) return ports;
  if (const char** names =
          jack_get_ports(client_, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput)) {
    for (const char** name = names; *name != nullptr; ++name) ports.emplace_back(*name);
    jack_free(static_cast<void*>(names));
  }
  ReleaseJackGraphPages();
  return othersAmong(std::move(ports));
}

std::vector<std::string> JackClient::othersAmong(std::vector<std::string> names) const {
  // The program's own input is no sound module.
  const std::string own = std::string(jack_get_client_name(client_)) + ":";
  std::erase_if(names, [&](const std::string& name) { return name.starts_with(own); });
  return names;
}

void JackClient::carryInput() {
  {
    const std::lock_guard lock(keeper_->mutex);
    inputWanted_.store(true, std::memory_order_release);
    if (!keeper_->running) {
      try {
        std::thread(&JackClient::keepInput, weak_from_this(), keeper_).detach();
        keeper_->running = true;
      } catch (const std::system_error&) {
        // Without it the input comes back at the next device switch.
      }
    }
  }
  RunWithin(
      [self = shared_from_this()] {
        {
          const std::lock_guard lock(self->requests_);
          if (self->connect() && self->inputWanted_.load(std::memory_order_acquire)) {
            self->addInputPort();
          }
        }
        // The keeper learns that the input is on a server, which it looks for once it goes.
        self->wakeKeeper();
      },
      std::chrono::milliseconds(0));
}

void JackClient::dropInput() {
  {
    const std::lock_guard lock(keeper_->mutex);
    inputWanted_.store(false, std::memory_order_release);
  }
  wakeKeeper();
  const std::lock_guard lock(requests_);
  removeInputPort();
}

void JackClient::keepInput(const std::weak_ptr<JackClient>& client,
                           const std::shared_ptr<InputKeeper>& keeper) {
  using Clock = std::chrono::steady_clock;
  bool busy = false;                        // another request held the server at the last look
  std::optional<Clock::time_point> lostAt;  // since when the server reached before is not
  for (;;) {
    {
      std::unique_lock lock(keeper->mutex);
      // While the server is there only its leaving, or a port of the input's coming back, has
      // anything for this to do; JACK's threads only nudge, so that is looked at every poll.
      const auto poll = !lostAt || Clock::now() - *lostAt < kServerReturnPollFor
                            ? kServerReturnPoll
                            : kServerReturnPollLater;
      const auto called = [&] {
        return keeper->woken || keeper->nudged.exchange(false, std::memory_order_acq_rel);
      };
      const bool woken = keeper->wake.wait_for(lock, poll, called);
      keeper->woken = false;
      if (!woken && !busy && !lostAt) continue;
    }
    const std::shared_ptr<JackClient> self = client.lock();
    {
      const std::lock_guard lock(keeper->mutex);
      if (!self || !self->inputWanted_.load(std::memory_order_acquire)) {
        keeper->running = false;
        return;
      }
    }
    // A server that has just gone removes its files as it ends, the metadata store's among them;
    // a client opening meanwhile finds them half gone (and libdb says so on stderr). The first
    // look for its return comes a poll later.
    const bool justGone = self->gone_.load(std::memory_order_acquire) && !lostAt;
    if (justGone) lostAt = Clock::now();
    // Another request may be waiting on a stopped server: this looks again at the next poll.
    std::unique_lock requests(self->requests_, std::try_to_lock);
    busy = !requests.owns_lock();
    if (busy) continue;
    const bool connected = !justGone && self->connect();
    if (connected && self->inputWanted_.load(std::memory_order_acquire) &&
        self->input_.load(std::memory_order_acquire) == nullptr) {
      // Its port was refused by a server still starting or already stopping: asked again.
      self->addInputPort();
      if (self->input_.load(std::memory_order_acquire) != nullptr) {
        self->rewire_.store(true, std::memory_order_release);
      }
    }
    const bool there = connected && self->input_.load(std::memory_order_acquire) != nullptr;
    if (there) {
      lostAt.reset();
      if (self->rewire_.exchange(false, std::memory_order_acq_rel)) self->rewireInput();
    } else if ((self->inputReached_.load(std::memory_order_acquire) || connected) && !lostAt) {
      // Looked for again at every poll: the server, or the input's port on a server reached.
      // Known from the port itself, not from this thread's looks: when another request held the
      // server at each look until it had gone, the input was never seen here, and its return was
      // never looked for.
      lostAt = Clock::now();
    }
  }
}

void JackClient::wakeKeeper() noexcept {
  const std::lock_guard lock(keeper_->mutex);
  keeper_->woken = true;
  keeper_->wake.notify_all();
}

void JackClient::rewireInput() {
  jack_port_t* input = input_.load(std::memory_order_acquire);
  if (input == nullptr) return;
  const char* own = jack_port_name(input);
  // A port that is not there yet is wired when it comes (portRegistered).
  for (const std::string& peer : inputPeers_.all()) jack_connect(client_, peer.c_str(), own);
}

void JackClient::addInputPort() {
  if (input_.load(std::memory_order_acquire) != nullptr) return;
  jack_port_t* port =
      jack_port_register(client_, kInputPortName, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  std::string name;
  if (port != nullptr) {
    const std::string client = jack_get_client_name(client_);
    jack_port_set_alias(port, (client + kInputAliasSuffix).c_str());
    name = client + ":" + kInputPortName;
    input_.store(port, std::memory_order_release);
    inputReached_.store(true, std::memory_order_release);
  }
  const std::lock_guard lock(inputMutex_);
  inputTried_ = true;
  inputName_ = name;
  inputSettled_.notify_all();
}

void JackClient::removeInputPort() {
  jack_port_t* port = input_.exchange(nullptr, std::memory_order_seq_cst);
  if (port == nullptr) return;
  waitOutCycle();
  if (!gone_.load(std::memory_order_acquire)) jack_port_unregister(client_, port);
  const std::lock_guard lock(inputMutex_);
  inputName_.clear();
}

std::string JackClient::waitForInput(std::chrono::milliseconds limit) const {
  std::unique_lock lock(inputMutex_);
  inputSettled_.wait_for(lock, limit, [this] { return inputTried_; });
  return inputName_;
}

OpenStatus JackClient::attachOutput(JackOutputFeed* feed, const std::string& target,
                                    Output& output) {
  const std::lock_guard lock(requests_);
  if (!connect()) return OpenStatus::kNoDriver;
  std::size_t free = 0;
  while (free < kMostOutputs && outputs_[free].port.load(std::memory_order_acquire) != nullptr) {
    ++free;
  }
  if (free == kMostOutputs) return OpenStatus::kInUse;
  jack_port_t* port = jack_port_register(client_, OutputPortName(free).c_str(),
                                         JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  if (port == nullptr) return gone_.load() ? OpenStatus::kNoDriver : OpenStatus::kFailed;
  FeedSlot& slot = outputs_[free];
  slot.port.store(port, std::memory_order_seq_cst);
  slot.feed.store(feed, std::memory_order_seq_cst);
  output = Output{port, generation_.load(std::memory_order_acquire)};
  // Asked of the server, which knows whether the port has gone since the list was made (the
  // device is no longer there); a lookup here would walk the whole port table.
  const int connected = jack_connect(client_, jack_port_name(port), target.c_str());
  if (connected != 0 && connected != EEXIST) {
    releaseSlot(slot);
    return OpenStatus::kNoDriver;
  }
  return OpenStatus::kOpened;
}

void JackClient::detachOutput(JackOutputFeed* feed, const Output& output) {
  // Stopped at once, whatever the server does: feed may be gone as soon as this returns.
  for (FeedSlot& slot : outputs_) {
    JackOutputFeed* expected = feed;
    if (slot.feed.compare_exchange_strong(expected, nullptr, std::memory_order_seq_cst)) {
      waitOutCycle();
    }
  }
  const std::lock_guard lock(requests_);
  if (output.generation != generation_.load(std::memory_order_acquire)) return;
  for (FeedSlot& slot : outputs_) {
    if (slot.port.load(std::memory_order_acquire) == output.port) releaseSlot(slot);
  }
}

void JackClient::releaseSlot(FeedSlot& slot) {
  slot.feed.store(nullptr, std::memory_order_seq_cst);
  jack_port_t* port = slot.port.exchange(nullptr, std::memory_order_seq_cst);
  waitOutCycle();
  if (port != nullptr && !gone_.load(std::memory_order_acquire)) {
    jack_port_unregister(client_, port);
  }
}

bool JackClient::alive(const Output& output) const noexcept {
  return !gone_.load(std::memory_order_acquire) &&
         generation_.load(std::memory_order_acquire) == output.generation;
}

void JackClient::waitOutCycle() const noexcept {
  // A cycle that read the old value has set inCycle_ before reading it, so it is seen here.
  while (inCycle_.load(std::memory_order_seq_cst)) std::this_thread::yield();
}

int JackClient::process(jack_nframes_t frames, void* self) noexcept {
  auto& client = *static_cast<JackClient*>(self);
  client.inCycle_.store(true, std::memory_order_seq_cst);
  client.postInput(frames);
  for (FeedSlot& slot : client.outputs_) {
    jack_port_t* port = slot.port.load(std::memory_order_seq_cst);
    if (port == nullptr) continue;
    if (JackOutputFeed* feed = slot.feed.load(std::memory_order_seq_cst)) {
      feed->deliver(port, frames);
    } else {
      // Between a feed and its port's end: the last cycle's events must not go out again.
      jack_midi_clear_buffer(jack_port_get_buffer(port, frames));
    }
  }
  client.inCycle_.store(false, std::memory_order_seq_cst);
  return 0;
}

void JackClient::postInput(jack_nframes_t frames) noexcept {
  jack_port_t* port = input_.load(std::memory_order_seq_cst);
  if (port == nullptr) return;
  void* buffer = jack_port_get_buffer(port, frames);
  const jack_nframes_t events = jack_midi_get_event_count(buffer);
  for (jack_nframes_t i = 0; i < events; ++i) {
    jack_midi_event_t event;
    if (jack_midi_event_get(&event, buffer, i) == 0) {
      PostMidiInput(InputSource::kJack, std::span(event.buffer, event.size));
    }
  }
}

void JackClient::shutdown(jack_status_t, const char*, void* self) noexcept {
  auto& client = *static_cast<JackClient*>(self);
  client.gone_.store(true, std::memory_order_release);
  client.nudgeKeeper();
}

// Notification thread: remembers who the user wires to the input and unwires from it.
void JackClient::portConnected(jack_port_id_t a, jack_port_id_t b, int connect,
                               void* self) noexcept {
  auto& client = *static_cast<JackClient*>(self);
  jack_client_t* jack = client.notifying_.load(std::memory_order_acquire);
  jack_port_t* input = client.input_.load(std::memory_order_acquire);
  if (jack == nullptr || input == nullptr) return;
  jack_port_t* first = jack_port_by_id(jack, a);
  jack_port_t* second = jack_port_by_id(jack, b);
  jack_port_t* peer = first == input ? second : second == input ? first : nullptr;
  if (peer == nullptr) return;
  try {
    const std::string name = jack_port_name(peer);
    if (connect != 0) {
      client.inputPeers_.wired(name);
    } else {
      client.inputPeers_.unwired(name);
    }
  } catch (const std::bad_alloc&) {
    // Not remembered: that wire is not made again after the server's return.
  }
}

// Notification thread: a port that was wired to the input is back (its client came back after
// the server did).
void JackClient::portRegistered(jack_port_id_t port, int registered, void* self) noexcept {
  auto& client = *static_cast<JackClient*>(self);
  jack_client_t* jack = client.notifying_.load(std::memory_order_acquire);
  if (registered == 0 || jack == nullptr ||
      client.input_.load(std::memory_order_acquire) == nullptr) {
    return;
  }
  jack_port_t* added = jack_port_by_id(jack, port);
  try {
    if (added == nullptr || !client.inputPeers_.has(jack_port_name(added))) return;
  } catch (const std::bad_alloc&) {
    return;
  }
  client.rewire_.store(true, std::memory_order_release);
  client.nudgeKeeper();
}

}  // namespace kalvora
