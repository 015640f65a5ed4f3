// Times a program's start-up in an X session: from the spawn of the process to the X server's
// MapNotify for its main window, event-driven (no polling of the window list), so the figure's
// resolution is that of the X round trip, well under a millisecond. Message boxes the program
// shows before the window are dismissed with Return (through xdotool) and the time they stood
// on screen is reported apart, so it can be taken out.
//
// Usage: startup_probe [--title TITLE] [--settle-ms N] [--deadline-ms N] -- PROGRAM [ARGS...]
// Prints one line:
//   map_ms=<ms> boxes=<n> box_ms=<ms> hwm_kb=<peak RSS> rss_kb=<RSS> shm_kb=<RSS of shared memory>
//   lck_kb=<locked memory> exit=<status>
// Memory is read from /proc/<pid>/status --settle-ms after the map (the first paint done), just
// before the program is sent SIGTERM; shm_kb is the part of the resident set that is shared
// memory mapped from elsewhere (a sound server's buffers, say). Exits 1 when no main window
// appears in time.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kBoxRetry = std::chrono::milliseconds(1000);
constexpr auto kExitGrace = std::chrono::milliseconds(5000);
constexpr auto kReapPoll = std::chrono::milliseconds(5);
constexpr int kEventWaitMs = 20;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Options {
  std::string title = "Kalvora";
  int settleMs = 300;
  int deadlineMs = 30000;
  std::vector<char*> command;
};

std::optional<Options> Parse(int argc, char** argv) {
  Options options;
  int i = 1;
  for (; i < argc && std::strcmp(argv[i], "--") != 0; i += 2) {
    if (i + 1 >= argc) return std::nullopt;
    const std::string flag = argv[i];
    if (flag == "--title") {
      options.title = argv[i + 1];
    } else if (flag == "--settle-ms") {
      options.settleMs = std::atoi(argv[i + 1]);
    } else if (flag == "--deadline-ms") {
      options.deadlineMs = std::atoi(argv[i + 1]);
    } else {
      return std::nullopt;
    }
  }
  for (++i; i < argc; ++i) options.command.push_back(argv[i]);
  if (options.command.empty()) return std::nullopt;
  options.command.push_back(nullptr);
  return options;
}

std::optional<std::string> TextProperty(Display* display, Window window, Atom property) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, property, 0, 1024, False, AnyPropertyType, &type, &format,
                         &count, &after, &data) != Success ||
      data == nullptr) {
    return std::nullopt;
  }
  std::optional<std::string> text;
  if (format == 8) text = std::string(reinterpret_cast<char*>(data), count);
  XFree(data);
  return text;
}

std::optional<long> WindowPid(Display* display, Window window) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
  if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count,
                         &after, &data) != Success ||
      data == nullptr) {
    return std::nullopt;
  }
  std::optional<long> pid;
  if (format == 32 && count == 1) pid = *reinterpret_cast<long*>(data);
  XFree(data);
  return pid;
}

std::string Title(Display* display, Window window) {
  if (auto name = TextProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False)))
    return *name;
  return TextProperty(display, window, XA_WM_NAME).value_or("");
}

long StatusField(pid_t pid, const std::string& field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) return std::atol(line.c_str() + field.size() + 1);
  }
  return -1;
}

pid_t Spawn(char* const* command, bool searchPath) {
  pid_t pid = -1;
  const int error = searchPath ? posix_spawnp(&pid, command[0], nullptr, nullptr, command, environ)
                               : posix_spawn(&pid, command[0], nullptr, nullptr, command, environ);
  return error == 0 ? pid : -1;
}

// Return to the box, as a user would press it; xdotool gives the box the focus first.
pid_t PressReturnOn(Window box) {
  std::string id = std::to_string(box);
  std::vector<std::string> words{"xdotool", "windowfocus", "--sync", id, "key", "Return"};
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  return Spawn(argv.data(), true);
}

struct Ended {
  int status = 0;
  double cpuMs = 0;  // user and system time over the whole run
};

// Ends the program: SIGTERM, then SIGKILL after a grace period.
Ended Stop(pid_t pid) {
  kill(pid, SIGTERM);
  const auto deadline = Clock::now() + kExitGrace;
  Ended ended;
  rusage usage{};
  while (wait4(pid, &ended.status, WNOHANG, &usage) == 0) {
    if (Clock::now() >= deadline) {
      kill(pid, SIGKILL);
      wait4(pid, &ended.status, 0, &usage);
      break;
    }
    std::this_thread::sleep_for(kReapPoll);
  }
  const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
  ended.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
  return ended;
}

// A window may be gone by the time its properties are asked for; that is no reason to stop.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

struct Box {
  Clock::time_point shown;
  Clock::time_point lastPress;
};

}  // namespace

int main(int argc, char** argv) {
  const auto options = Parse(argc, argv);
  if (!options) {
    std::fprintf(
        stderr,
        "usage: %s [--title TITLE] [--settle-ms N] [--deadline-ms N] -- PROGRAM [ARGS...]\n",
        argv[0]);
    return 2;
  }
  // On a loaded machine a connection now and then fails right after the last run's program
  // left the server; this is before the clock starts, so a few more tries cost nothing.
  constexpr int kConnectTries = 20;
  constexpr auto kConnectPause = std::chrono::milliseconds(50);
  Display* display = XOpenDisplay(nullptr);
  for (int tries = 1; display == nullptr && tries < kConnectTries; ++tries) {
    std::this_thread::sleep_for(kConnectPause);
    display = XOpenDisplay(nullptr);
  }
  if (display == nullptr) {
    std::fprintf(stderr, "startup_probe: no X display\n");
    return 2;
  }
  XSetErrorHandler(IgnoreXError);
  const Window root = DefaultRootWindow(display);
  XSelectInput(display, root, SubstructureNotifyMask);
  XSync(display, False);

  const auto start = Clock::now();
  const pid_t child = Spawn(options->command.data(), false);
  if (child < 0) {
    std::fprintf(stderr, "startup_probe: cannot start %s\n", options->command[0]);
    return 2;
  }

  const auto deadline = start + std::chrono::milliseconds(options->deadlineMs);
  std::map<Window, Box> boxes;
  std::vector<pid_t> helpers;
  int boxCount = 0;
  Clock::duration boxTime{};
  std::optional<Clock::time_point> mapped;
  pollfd connection{ConnectionNumber(display), POLLIN, 0};

  while (!mapped && Clock::now() < deadline) {
    while (!mapped && XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      const auto now = Clock::now();
      if (event.type == MapNotify) {
        const Window window = event.xmap.window;
        if (WindowPid(display, window).value_or(-1) != child) continue;
        if (Title(display, window) == options->title) {
          mapped = now;
        } else {
          boxes[window] = Box{now, now};
          ++boxCount;
          helpers.push_back(PressReturnOn(window));
        }
      } else if (event.type == UnmapNotify) {
        if (const auto box = boxes.find(event.xunmap.window); box != boxes.end()) {
          boxTime += now - box->second.shown;
          boxes.erase(box);
        }
      }
    }
    if (mapped) break;
    for (auto& [window, box] : boxes) {
      if (Clock::now() - box.lastPress >= kBoxRetry) {
        box.lastPress = Clock::now();
        helpers.push_back(PressReturnOn(window));
      }
    }
    int status = 0;
    if (waitpid(child, &status, WNOHANG) == child) {
      std::fprintf(stderr, "startup_probe: the program ended before its window appeared\n");
      return 1;
    }
    poll(&connection, 1, kEventWaitMs);
  }
  for (const pid_t helper : helpers) {
    if (helper <= 0) continue;
    kill(helper, SIGKILL);  // one still waiting for a box that has gone
    waitpid(helper, nullptr, 0);
  }
  if (!mapped) {
    Stop(child);
    std::fprintf(stderr, "startup_probe: no window titled \"%s\" within %d ms\n",
                 options->title.c_str(), options->deadlineMs);
    return 1;
  }

  std::this_thread::sleep_for(std::chrono::milliseconds(options->settleMs));
  const long hwm = StatusField(child, "VmHWM");
  const long rss = StatusField(child, "VmRSS");
  const long shm = StatusField(child, "RssShmem");
  const long locked = StatusField(child, "VmLck");
  const Ended ended = Stop(child);
  const int exitCode =
      WIFEXITED(ended.status) ? WEXITSTATUS(ended.status) : 128 + WTERMSIG(ended.status);
  std::printf(
      "map_ms=%.3f boxes=%d box_ms=%.3f hwm_kb=%ld rss_kb=%ld shm_kb=%ld lck_kb=%ld exit=%d "
      "cpu_ms=%.1f\n",
      Ms(*mapped - start), boxCount, Ms(boxTime), hwm, rss, shm, locked, exitCode, ended.cpuMs);
  XCloseDisplay(display);
  return 0;
}
