// Asks the client that owns a window to answer a _NET_WM_PING, as a window manager does to see
// whether a program still responds, and prints how long the answer took in milliseconds: the
// time the program's event loop needs to get to it behind what is already queued.
//
// Usage: kalvora_vm_window_ping WINDOW_ID TIMEOUT_MS
// Exit status 0 when the answer came in time, 1 when it did not, 2 on bad use.
#include <X11/Xlib.h>
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {
using Clock = std::chrono::steady_clock;
constexpr long kStamp = 0x4B61;  // any value; the answer carries it back
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s WINDOW_ID TIMEOUT_MS\n", argv[0]);
    return 2;
  }
  const Window window = std::strtoul(argv[1], nullptr, 0);
  const auto timeout = std::chrono::milliseconds(std::strtol(argv[2], nullptr, 10));
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "window_ping: no X display\n");
    return 2;
  }
  const Window root = DefaultRootWindow(display);
  // The answer is sent to the root window, to those who listen there for structure changes (or
  // redirect them, as only a window manager may).
  XSelectInput(display, root, StructureNotifyMask);
  const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
  const Atom ping = XInternAtom(display, "_NET_WM_PING", False);

  XEvent request{};
  request.xclient.type = ClientMessage;
  request.xclient.window = window;
  request.xclient.message_type = protocols;
  request.xclient.format = 32;
  request.xclient.data.l[0] = static_cast<long>(ping);
  request.xclient.data.l[1] = kStamp;
  request.xclient.data.l[2] = static_cast<long>(window);
  const Clock::time_point sent = Clock::now();
  XSendEvent(display, window, False, NoEventMask, &request);
  XFlush(display);

  const Clock::time_point deadline = sent + timeout;
  while (Clock::now() < deadline) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == ClientMessage && event.xclient.window == root &&
          static_cast<Atom>(event.xclient.data.l[0]) == ping && event.xclient.data.l[1] == kStamp) {
        const auto took = std::chrono::duration<double, std::milli>(Clock::now() - sent);
        std::printf("%.1f\n", took.count());
        XCloseDisplay(display);
        return 0;
      }
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd fd{ConnectionNumber(display), POLLIN, 0};
    poll(&fd, 1, static_cast<int>(left.count()) + 1);
  }
  std::printf("no answer within %ld ms\n", static_cast<long>(timeout.count()));
  XCloseDisplay(display);
  return 1;
}
