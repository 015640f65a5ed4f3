// The JACK backend end to end: a private server, a receiver client, and the bytes it records.
#include "midi/backends/jack/jack_backend.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <iostream>
#include <limits>
#include <thread>

#include "midi/backends/jack/jack_forked_listing.h"
#include "midi/backends/jack/jack_input.h"
#include "midi/input/input_inbox.h"
#include "midi/midi_bytes.h"
#include "support/eventually.h"
#include "support/jack_midi_receiver.h"
#include "support/jack_test_server.h"
#include "support/press_messages.h"
#include "support/stderr_capture.h"

namespace kalvora {
namespace {

using test::JackMidiReceiver;
using test::JackTestServer;
using test::Message;
using namespace std::chrono_literals;

const Message kGsReset(GsResetMessage.begin(), GsResetMessage.end());
const Message kNoteOn = {0x90, 0x3C, 0x64};
const Message kNoteOff = {0x80, 0x3C, 0x00};

std::size_t TotalBytes(const std::vector<Message>& messages) {
  std::size_t total = 0;
  for (const Message& message : messages) total += message.size();
  return total;
}

// Runs work on its own thread; a hang is a failure that ends the test program, since the stuck
// thread cannot be taken back.
void FinishesWithin(std::chrono::seconds limit, const std::function<void()>& work) {
  std::packaged_task<void()> task(work);
  std::future<void> done = task.get_future();
  std::thread runner(std::move(task));
  if (done.wait_for(limit) == std::future_status::timeout) {
    std::fprintf(stdout, "FAILED: still running after %lld s\n",
                 static_cast<long long>(limit.count()));
    std::fflush(stdout);
    std::_Exit(EXIT_FAILURE);
  }
  runner.join();
  done.get();
}

class JackBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.start());
    ASSERT_TRUE(receiver_.open());
  }
  void TearDown() override {
    if (HasFailure()) std::cout << "jackd said:\n" << server_.log() << std::endl;
  }

  // Lists the ports and opens the receiver's.
  std::unique_ptr<MidiConnection> openReceiver() {
    const std::vector<std::string> names = backend_.portNames();
    const auto found = std::find(names.begin(), names.end(), receiver_.portName());
    EXPECT_NE(found, names.end()) << "the receiver is not listed";
    if (found == names.end()) return nullptr;
    OpenResult opened = backend_.open(static_cast<std::size_t>(found - names.begin()));
    EXPECT_EQ(opened.status, OpenStatus::kOpened);
    return std::move(opened.connection);
  }

  JackTestServer server_;
  JackMidiReceiver receiver_;
  JackBackend backend_{test::ClientName("kalvora")};
};

TEST_F(JackBackendTest, ListsOtherClientsMidiInputsOnly) {
  // Our own output and the server's audio ports must not appear.
  const std::unique_ptr<MidiConnection> connection = openReceiver();
  ASSERT_NE(connection, nullptr);
  EXPECT_EQ(receiver_.portName(), test::ClientName("receiver") + ":in");
  EXPECT_EQ(backend_.portNames(), std::vector<std::string>{receiver_.portName()});
}

TEST_F(JackBackendTest, ShortMessagesAndSysExArriveByteExactInOrder) {
  struct Send {
    bool isLong;
    Message bytes;
  };
  const std::vector<Send> sends = {
      {false, {0xB0, 0x00, 0x10}},
      {false, {0xB0, 0x20, 0x03}},
      {false, {0xC0, 0x05}},
      {true, kGsReset},
      {false, kNoteOn},
      {false, {0xFE}},
      {false, kNoteOff},
  };
  const std::unique_ptr<MidiConnection> connection = openReceiver();
  ASSERT_NE(connection, nullptr);
  std::vector<Message> expected;
  for (const Send& send : sends) {
    if (send.isLong) {
      connection->sendLong(send.bytes);
    } else {
      connection->sendShort(send.bytes);
    }
    expected.push_back(send.bytes);
  }
  EXPECT_EQ(receiver_.waitForBytes(TotalBytes(expected)), expected);
}

TEST_F(JackBackendTest, BurstLongerThanOneCycleKeepsItsOrder) {
  constexpr int kNotes = 4000;  // more than one cycle's port buffer holds
  const std::unique_ptr<MidiConnection> connection = openReceiver();
  ASSERT_NE(connection, nullptr);
  connection->reset();
  std::vector<Message> expected = test::ResetBytes();
  for (int i = 0; i < kNotes; ++i) {
    const Message note = {0x90, static_cast<std::uint8_t>(i % 128),
                          static_cast<std::uint8_t>(i / 128 + 1)};
    connection->sendShort(note);
    expected.push_back(note);
  }
  EXPECT_EQ(receiver_.waitForBytes(TotalBytes(expected)), expected);
}

TEST_F(JackBackendTest, SysExTooLargeForAnyCycleIsDroppedNotHoldingBackLaterMessages) {
  Message huge(48 * 1024, 0x00);  // beyond a port buffer, within the ring
  huge.front() = 0xF0;
  huge.back() = 0xF7;
  const std::unique_ptr<MidiConnection> connection = openReceiver();
  ASSERT_NE(connection, nullptr);
  connection->sendLong(huge);
  connection->sendShort(kNoteOn);
  EXPECT_EQ(receiver_.waitForBytes(kNoteOn.size()), std::vector<Message>{kNoteOn});
}

TEST_F(JackBackendTest, NumberOutsideTheListIsBadDeviceId) {
  EXPECT_EQ(JackBackend(test::ClientName("other")).open(0).status, OpenStatus::kBadDevice)
      << "nothing listed yet";
  const std::size_t count = backend_.portNames().size();
  for (const std::size_t port : {count, count + 1, std::numeric_limits<std::size_t>::max()}) {
    const OpenResult opened = backend_.open(port);
    EXPECT_EQ(opened.status, OpenStatus::kBadDevice) << port;
    EXPECT_EQ(opened.connection, nullptr);
  }
}

TEST_F(JackBackendTest, PortGoneSinceTheListIsNoDriver) {
  ASSERT_EQ(backend_.portNames().size(), 1u);
  receiver_.close();
  const OpenResult opened = backend_.open(0);
  EXPECT_EQ(opened.status, OpenStatus::kNoDriver);
  EXPECT_EQ(opened.connection, nullptr);
}

TEST_F(JackBackendTest, CloseDeliversWhatWasSentAndReopenStartsClean) {
  const Message before = {0xC0, 0x10};
  const Message after = {0xC0, 0x20};
  std::unique_ptr<MidiConnection> first = openReceiver();
  ASSERT_NE(first, nullptr);
  first->sendShort(before);
  first.reset();  // at once: the note-off just before a close must not be lost
  const std::unique_ptr<MidiConnection> second = openReceiver();
  ASSERT_NE(second, nullptr);
  second->sendShort(after);
  EXPECT_EQ(receiver_.waitForBytes(before.size() + after.size()),
            (std::vector<Message>{before, after}));
}

// The port is wired on a thread of its own after the open returns: a close at once, before that
// is done, neither hangs nor loses what was sent, time after time.
TEST_F(JackBackendTest, CloseRightAfterOpenWaitsForTheWiring) {
  std::vector<Message> sent;
  FinishesWithin(60s, [&] {
    for (int i = 0; i < 10; ++i) {
      std::unique_ptr<MidiConnection> connection = openReceiver();
      ASSERT_NE(connection, nullptr);
      if (i % 2 == 0) continue;  // closed with nothing sent
      sent.push_back({0xC0, static_cast<std::uint8_t>(i)});
      connection->sendShort(sent.back());
    }
  });
  EXPECT_EQ(receiver_.waitForBytes(TotalBytes(sent)), sent);
}

TEST_F(JackBackendTest, KilledServerNeitherHangsNorCrashesTheSender) {
  constexpr int kSendsAfterKill = 5000;
  std::unique_ptr<MidiConnection> connection = openReceiver();
  ASSERT_NE(connection, nullptr);
  connection->sendShort(kNoteOn);
  ASSERT_EQ(receiver_.waitForBytes(kNoteOn.size()), std::vector<Message>{kNoteOn});

  server_.kill();
  FinishesWithin(20s, [&] {
    auto slowest = std::chrono::steady_clock::duration::zero();
    for (int i = 0; i < kSendsAfterKill; ++i) {
      const auto start = std::chrono::steady_clock::now();
      connection->sendShort(kNoteOff);
      connection->sendLong(kGsReset);
      slowest = std::max(slowest, std::chrono::steady_clock::now() - start);
    }
    EXPECT_LT(slowest, 1s) << "a send waited on the dead server";
    connection->reset();
    connection.reset();
    receiver_.close();
  });
  EXPECT_TRUE(backend_.portNames().empty());
  EXPECT_EQ(backend_.open(0).status, OpenStatus::kBadDevice);
}

TEST_F(JackBackendTest, OpenAfterTheServerDiedIsNoDriver) {
  ASSERT_EQ(backend_.portNames().size(), 1u);
  server_.kill();
  FinishesWithin(20s, [&] {
    receiver_.close();
    EXPECT_EQ(backend_.open(0).status, OpenStatus::kNoDriver);
  });
}

TEST_F(JackBackendTest, NothingSentOnADeadConnectionArrivesAfterARestart) {
  const Message lost = {0xC0, 0x30};
  const Message fresh = {0xC0, 0x40};
  std::unique_ptr<MidiConnection> connection = openReceiver();
  ASSERT_NE(connection, nullptr);
  server_.kill();
  FinishesWithin(20s, [&] {
    for (int i = 0; i < 100; ++i) connection->sendShort(lost);
    ASSERT_TRUE(test::Eventually([&] { return !connection->sendShort(lost); }, 10s));
    receiver_.close();  // libjack's own clients in this process go before ours reconnects
    // The switch made while the server is away lets go of the client it had; the connection
    // made on it stays dead, and its close does not wait for anything.
    EXPECT_TRUE(backend_.portNames().empty());
    EXPECT_FALSE(connection->sendShort(lost));
    connection.reset();
  });

  ASSERT_TRUE(server_.start());
  JackMidiReceiver receiver;
  ASSERT_TRUE(receiver.open());
  const std::vector<std::string> names = backend_.portNames();
  ASSERT_EQ(names, std::vector<std::string>{receiver.portName()});
  OpenResult reopened = backend_.open(0);
  ASSERT_EQ(reopened.status, OpenStatus::kOpened);
  reopened.connection->sendShort(fresh);
  EXPECT_EQ(receiver.waitForBytes(fresh.size()), std::vector<Message>{fresh});
}

// Connected ahead or at the listing: both end in the same open.
TEST_F(JackBackendTest, EveryWayToTheServerOpensTheSamePort) {
  std::vector<Message> expected;
  for (const bool ahead : {true, false}) {
    SCOPED_TRACE(testing::Message() << "ahead " << ahead);
    std::shared_ptr<JackClient> client = JackClient::create(test::ClientName("kalvora"));
    if (ahead) client->connectAhead();
    JackBackend backend(client);
    ASSERT_EQ(backend.portNames(), std::vector<std::string>{receiver_.portName()});
    OpenResult opened = backend.open(0);
    ASSERT_EQ(opened.status, OpenStatus::kOpened);
    const Message change = {0xC0, static_cast<std::uint8_t>(expected.size())};
    opened.connection->sendShort(change);
    expected.push_back(change);
    EXPECT_EQ(receiver_.waitForBytes(TotalBytes(expected)), expected);
  }
  // Connected ahead and never listed: the backend goes without waiting on anything, and the
  // client goes by itself once its connection is made.
  std::weak_ptr<JackClient> left;
  FinishesWithin(20s, [&left] {
    std::shared_ptr<JackClient> client = JackClient::create(test::ClientName("kalvora"));
    client->connectAhead();
    left = client;
    JackBackend backend(std::move(client));
  });
  EXPECT_TRUE(test::Eventually([&left] { return left.expired(); }, 10s));
}

// A server that answers late (stopped, and resumed 300 ms later, as a busy machine may hold it)
// still opens; one that stays stopped is given up on within the open's bound, and a listing
// meanwhile finds nothing, quickly and silently.
TEST_F(JackBackendTest, LateServerOpensAndStoppedServerIsGivenUp) {
  std::shared_ptr<JackClient> client = JackClient::create(test::ClientName("kalvora-late"));
  const std::weak_ptr<JackClient> left = client;
  auto backend = std::make_unique<JackBackend>(std::move(client));
  ASSERT_EQ(backend->portNames(), std::vector<std::string>{receiver_.portName()});
  server_.freeze();
  std::thread resume([this] {
    std::this_thread::sleep_for(300ms);
    server_.thaw();
  });
  OpenResult late = backend->open(0);
  resume.join();
  ASSERT_EQ(late.status, OpenStatus::kOpened);
  late.connection->sendShort(kNoteOn);
  EXPECT_EQ(receiver_.waitForBytes(kNoteOn.size()), std::vector<Message>{kNoteOn});
  late.connection.reset();

  server_.freeze();
  FinishesWithin(10s, [&] {
    test::StderrCapture capture;
    EXPECT_EQ(backend->open(0).status, OpenStatus::kFailed);
    EXPECT_TRUE(backend->portNames().empty());
    EXPECT_EQ(capture.finish(), "");
  });
  server_.thaw();
  // Once it answers again, so do the requests given up on, and the device is listed again.
  std::vector<std::string> names;
  for (int look = 0; look < 10 && names.empty(); ++look) names = backend->portNames();
  EXPECT_EQ(names, std::vector<std::string>{receiver_.portName()});
  // The requests given up on finish on their own threads, on the server that answers again;
  // one still walking the port table when its server dies would take the process with it.
  backend.reset();
  EXPECT_TRUE(test::Eventually([&left] { return left.expired(); }, 10s));
  server_.kill();  // once stopped and resumed, jackd may take seconds to end cleanly
}

void PrintJackMessage(const char* text) { std::fprintf(stderr, "%s\n", text); }

// The program's exit with its server stopped: the JACK input lets go in time all the same.
TEST_F(JackBackendTest, StoppedServerDoesNotHoldTheInputsAtExit) {
  auto input = std::make_unique<JackInput>(JackClient::create(test::ClientName("kalvora-in")));
  ASSERT_FALSE(input->waitForPort(10s).empty());
  MidiInputPorts inputs;
  inputs.push_back(std::move(input));
  server_.freeze();
  const auto start = std::chrono::steady_clock::now();
  FinishesWithin(5s, [&] { StopMidiInputs(inputs, 200ms); });
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  EXPECT_TRUE(inputs.empty());
  server_.thaw();
  server_.kill();  // once stopped and resumed, jackd may take seconds to end cleanly
}

TEST(JackBackendWithoutServer, ListsNothingQuicklyAndSilently) {
  test::UseServerThatDoesNotRun();
  // Undo whatever an earlier test in this process did, so the backend has to silence libjack.
  jack_set_error_function(&PrintJackMessage);
  jack_set_info_function(&PrintJackMessage);

  // The start's listing in a child forked before any thread runs: no list, and not a word.
  {
    test::StderrCapture capture;
    const auto listing = ForkedJackListing::start();
    ASSERT_NE(listing, nullptr) << "a thread ran before the test";
    EXPECT_EQ(listing->take(5s), std::nullopt);
    // Its client left libjack's metadata store set up: the next start's own client need not wait.
    const auto next = ForkedJackListing::start();
    ASSERT_NE(next, nullptr);
    EXPECT_FALSE(next->setsUpMetadataStore()) << "libjack's store is not where it is looked for";
    EXPECT_EQ(next->take(5s), std::nullopt);
    EXPECT_EQ(capture.finish(), "");
  }
  // With a thread running, no child is forked.
  {
    std::promise<void> done;
    std::thread other([finished = done.get_future()] { finished.wait(); });
    EXPECT_EQ(ForkedJackListing::start(), nullptr);
    done.set_value();
    other.join();
  }

  for (const bool ahead : {false, true}) {
    test::StderrCapture capture;
    std::shared_ptr<JackClient> client = JackClient::create(test::ClientName("kalvora"));
    if (ahead) client->connectAhead();
    JackBackend backend(client);
    const auto start = std::chrono::steady_clock::now();
    const std::vector<std::string> names = backend.portNames();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const OpenResult opened = backend.open(0);
    const std::string printed = capture.finish();

    EXPECT_TRUE(names.empty());
    EXPECT_LT(elapsed, 5s) << "listing waited for a server";
    EXPECT_EQ(opened.status, OpenStatus::kBadDevice);
    EXPECT_EQ(printed, "");
  }
}

}  // namespace
}  // namespace kalvora
