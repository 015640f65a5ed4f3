// The port layer: numbers the devices of all backends in order and keeps the open devices in a
// table keyed by never-reused handle numbers, so a stale handle reaches nothing.
#include "midi/midi_out.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "midi/bounded_call.h"
#include "midi/midi_backend.h"
#include "midi/midi_bytes.h"
#include "midi/short_message.h"

namespace kalvora {
namespace {

// A UTF-8 continuation byte is 10xxxxxx.
constexpr unsigned char kUtf8PrefixMask = 0xC0;
constexpr unsigned char kUtf8Continuation = 0x80;

struct DeviceEntry {
  MidiBackend* backend;
  std::size_t port;
  std::string name;
};

using OpenConnections = std::map<HMIDIOUT, std::unique_ptr<MidiConnection>>;

// The devices closed whose close has not ended yet: one may still be handing the messages that
// end its notes to a server that has stopped for a while. Never destroyed, as a close may end
// after the program's static objects have gone.
struct ClosingDevices {
  std::mutex mutex;
  std::condition_variable allClosed;
  std::size_t count = 0;
};

ClosingDevices& Closing() {
  static auto* const closing = new ClosingDevices;
  return *closing;
}

// A device whose server has stopped answering must not hold up a close, a switch or the exit:
// the close goes on on a thread of its own once the usual wait on a server is over.
void LetGo(std::unique_ptr<MidiConnection> connection) {
  if (!connection) return;
  ClosingDevices& closing = Closing();
  {
    const std::lock_guard lock(closing.mutex);
    ++closing.count;
  }
  RunWithin([connection = std::move(connection), &closing]() mutable {
    connection.reset();
    const std::lock_guard lock(closing.mutex);
    --closing.count;
    closing.allClosed.notify_all();
  });
}

void CloseAll(OpenConnections& open) {
  for (auto& entry : open) LetGo(std::move(entry.second));
  open.clear();
}

struct PortLayer {
  PortLayer() = default;
  PortLayer(const PortLayer&) = delete;
  PortLayer& operator=(const PortLayer&) = delete;
  ~PortLayer() { CloseAll(open); }

  MidiBackends backends;
  std::vector<DeviceEntry> devices;
  OpenConnections open;
  HMIDIOUT lastHandle = kNoMidiOut;
  std::atomic<HMIDIOUT> openNow{kNoMidiOut};
};

PortLayer& Layer() {
  static PortLayer instance;
  return instance;
}

MidiConnection* ConnectionOf(HMIDIOUT handle) {
  auto& open = Layer().open;
  const auto it = open.find(handle);
  return it == open.end() ? nullptr : it->second.get();
}

// How many bytes a short message with this status byte carries, 0 for one that is not a
// complete short message (a data byte, or the start or end of a system-exclusive message).
std::size_t ShortMessageLength(std::uint8_t status) {
  if ((status & kStatusBit) == 0 || status == kSysExStart || status == kSysExEnd) return 0;
  return 1 + static_cast<std::size_t>(DataBytesAfter(status));
}

MMRESULT ResultOf(OpenStatus status) {
  switch (status) {
    case OpenStatus::kOpened:
      return MMSYSERR_NOERROR;
    case OpenStatus::kBadDevice:
      return MMSYSERR_BADDEVICEID;
    case OpenStatus::kInUse:
      return MMSYSERR_ALLOCATED;
    case OpenStatus::kNoDriver:
      return MMSYSERR_NODRIVER;
    case OpenStatus::kNoMemory:
      return MMSYSERR_NOMEM;
    case OpenStatus::kFailed:
      break;
  }
  return MMSYSERR_ERROR;
}

// Longest prefix of name that fits in size - 1 bytes without cutting a UTF-8 character apart.
std::size_t FittingLength(const std::string& name, std::size_t size) {
  std::size_t length = std::min(name.size(), size - 1);
  if (length < name.size()) {
    while (length > 0 &&
           (static_cast<unsigned char>(name[length]) & kUtf8PrefixMask) == kUtf8Continuation)
      --length;
  }
  return length;
}

}  // namespace

void InstallMidiBackends(MidiBackends backends) {
  auto& layer = Layer();
  layer.openNow.store(kNoMidiOut);
  CloseAll(layer.open);
  layer.devices.clear();
  layer.backends = std::move(backends);
}

HMIDIOUT DeviceOpenNow() noexcept { return Layer().openNow.load(std::memory_order_acquire); }

bool WaitForClosedDevices(std::chrono::milliseconds limit) {
  ClosingDevices& closing = Closing();
  std::unique_lock lock(closing.mutex);
  return closing.allClosed.wait_for(lock, limit, [&] { return closing.count == 0; });
}

}  // namespace kalvora

using kalvora::Layer;

std::uint32_t midiOutGetNumDevs() {
  auto& layer = Layer();
  layer.devices.clear();
  for (auto& backend : layer.backends) {
    const auto names = backend->portNames();
    for (std::size_t port = 0; port < names.size(); ++port) {
      layer.devices.push_back({backend.get(), port, names[port]});
    }
  }
  return static_cast<std::uint32_t>(layer.devices.size());
}

MMRESULT midiOutGetDevCapsA(std::uintptr_t deviceId, MIDIOUTCAPSA* caps, std::uint32_t capsSize) {
  if (caps == nullptr || capsSize < sizeof(MIDIOUTCAPSA)) return MMSYSERR_INVALPARAM;
  const auto& devices = Layer().devices;
  if (deviceId >= devices.size()) return MMSYSERR_BADDEVICEID;
  *caps = MIDIOUTCAPSA{};
  const std::string& name = devices[deviceId].name;
  const std::size_t length = kalvora::FittingLength(name, sizeof caps->szPname);
  std::memcpy(caps->szPname, name.data(), length);
  caps->szPname[length] = '\0';
  caps->wChannelMask = (1u << kalvora::kChannelCount) - 1;  // every channel
  return MMSYSERR_NOERROR;
}

MMRESULT midiOutOpen(HMIDIOUT* handle, std::uint32_t deviceId, std::uintptr_t callback,
                     std::uintptr_t /*instance*/, std::uint32_t flags) {
  if (handle == nullptr) return MMSYSERR_INVALPARAM;
  *handle = kNoMidiOut;
  // Only the plain, callback-free open is offered.
  if (callback != 0 || flags != 0) return MMSYSERR_INVALFLAG;
  auto& layer = Layer();
  kalvora::OpenResult result{kalvora::OpenStatus::kBadDevice, nullptr};
  if (deviceId < layer.devices.size()) {
    const auto& device = layer.devices[deviceId];
    result = device.backend->open(device.port);
  }
  // Whatever was kept from the listing for this open has served, even when it failed; a backend
  // whose server has gone may reach it again.
  for (auto& backend : layer.backends) backend->afterOpen();
  if (result.status != kalvora::OpenStatus::kOpened || !result.connection) {
    return result.status == kalvora::OpenStatus::kOpened ? MMSYSERR_ERROR
                                                         : kalvora::ResultOf(result.status);
  }
  *handle = ++layer.lastHandle;
  layer.open.emplace(*handle, std::move(result.connection));
  layer.openNow.store(*handle, std::memory_order_release);
  return MMSYSERR_NOERROR;
}

MMRESULT midiOutClose(HMIDIOUT handle) {
  auto& layer = Layer();
  HMIDIOUT expected = handle;
  layer.openNow.compare_exchange_strong(expected, kNoMidiOut, std::memory_order_acq_rel);
  auto node = layer.open.extract(handle);
  if (node.empty()) return MMSYSERR_INVALHANDLE;
  // Gone from the table first: nothing is sent to it again, even when it does not let go.
  kalvora::LetGo(std::move(node.mapped()));
  return MMSYSERR_NOERROR;
}

MMRESULT midiOutReset(HMIDIOUT handle) {
  auto* connection = kalvora::ConnectionOf(handle);
  if (connection == nullptr) return MMSYSERR_INVALHANDLE;
  connection->reset();
  return MMSYSERR_NOERROR;
}

MMRESULT midiOutShortMsg(HMIDIOUT handle, std::uint32_t message) {
  auto* connection = kalvora::ConnectionOf(handle);
  if (connection == nullptr) return MMSYSERR_INVALHANDLE;
  const std::array<std::uint8_t, 3> bytes = kalvora::UnpackShortMessage(message);
  const std::size_t length = kalvora::ShortMessageLength(bytes[0]);
  if (length == 0) return MMSYSERR_INVALPARAM;
  return connection->sendShort(std::span(bytes.data(), length)) ? MMSYSERR_NOERROR
                                                                : MIDIERR_NOTREADY;
}

void kalvora::PrepareOnDevice(HMIDIOUT handle, std::span<const std::uint32_t> setUp) {
  if (auto* connection = ConnectionOf(handle)) connection->prepare(setUp);
}

namespace {
// The header must at least reach the fields this layer uses.
constexpr std::uint32_t kMinimumHeaderSize = offsetof(MIDIHDR, dwFlags) + sizeof(std::uint32_t);

bool HeaderUsable(const MIDIHDR* header, std::uint32_t headerSize) {
  return header != nullptr && headerSize >= kMinimumHeaderSize && header->lpData != nullptr &&
         header->dwBufferLength > 0;
}
}  // namespace

MMRESULT midiOutPrepareHeader(HMIDIOUT handle, MIDIHDR* header, std::uint32_t headerSize) {
  if (kalvora::ConnectionOf(handle) == nullptr) return MMSYSERR_INVALHANDLE;
  if (!HeaderUsable(header, headerSize)) return MMSYSERR_INVALPARAM;
  header->dwFlags |= MHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT midiOutLongMsg(HMIDIOUT handle, MIDIHDR* header, std::uint32_t headerSize) {
  auto* connection = kalvora::ConnectionOf(handle);
  if (connection == nullptr) return MMSYSERR_INVALHANDLE;
  if (!HeaderUsable(header, headerSize)) return MMSYSERR_INVALPARAM;
  if ((header->dwFlags & MHDR_PREPARED) == 0) return MIDIERR_UNPREPARED;
  const auto* data = reinterpret_cast<const std::uint8_t*>(header->lpData);
  // Sent synchronously, so the buffer is done as soon as the call returns.
  connection->sendLong(std::span(data, header->dwBufferLength));
  header->dwFlags |= MHDR_DONE;
  return MMSYSERR_NOERROR;
}
