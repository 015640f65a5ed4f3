// A keyboard for a Wayland compositor's focused window, through the compositor's virtual
// keyboard, typing keys by their place: the codes are Linux evdev codes under a US keymap, so a
// client sees them as a real keyboard's keys (the X keycode is the evdev code + 8).
//
// Usage: kalvora_wayland_keys ACTIONS   (a file or a FIFO)
// Needs WAYLAND_DISPLAY. Prints "ready" once the keyboard is there, then reads ACTIONS, one a line,
// "down CODE", "up CODE" or "sleep MS", and prints "typed ACTION" once the compositor has taken
// each key. Start it before the client that is to be typed at: a client binds a keyboard only when
// the seat has one, and a key sent before that is lost. Ends at the end of its input; exits 1 on
// any failure.
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

#include "virtual_keyboard_v1-client.h"

namespace {

constexpr std::uint32_t kKeyReleased = 0;
constexpr std::uint32_t kKeyPressed = 1;

struct Globals {
  wl_seat* seat = nullptr;
  zwp_virtual_keyboard_manager_v1* keyboards = nullptr;
};

void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t) {
  auto* globals = static_cast<Globals*>(data);
  if (std::strcmp(interface, wl_seat_interface.name) == 0 && globals->seat == nullptr) {
    globals->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  } else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
    globals->keyboards = static_cast<zwp_virtual_keyboard_manager_v1*>(
        wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
  }
}

void OnGlobalRemoved(void*, wl_registry*, std::uint32_t) {}

const wl_registry_listener kRegistryListener{OnGlobal, OnGlobalRemoved};

int Fail(const char* why) {
  std::fprintf(stderr, "kalvora_wayland_keys: %s\n", why);
  return 1;
}

// The US keymap as text in a memory file, as the protocol hands keymaps over.
int UsKeymapFile(std::uint32_t* size) {
  xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  if (context == nullptr) return -1;
  const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
  xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
  char* text = keymap ? xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1) : nullptr;
  int fd = -1;
  if (text != nullptr) {
    const std::size_t length = std::strlen(text) + 1;
    fd = memfd_create("kalvora-keymap", MFD_CLOEXEC);
    if (fd >= 0 && write(fd, text, length) != static_cast<ssize_t>(length)) {
      close(fd);
      fd = -1;
    }
    *size = static_cast<std::uint32_t>(length);
  }
  std::free(text);
  xkb_keymap_unref(keymap);
  xkb_context_unref(context);
  return fd;
}

std::uint32_t NowMs() {
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return Fail("usage: kalvora_wayland_keys ACTIONS");
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) return Fail("cannot connect to the Wayland display");
  Globals globals;
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &kRegistryListener, &globals);
  if (wl_display_roundtrip(display) < 0) return Fail("the compositor did not answer");
  if (globals.seat == nullptr || globals.keyboards == nullptr) {
    return Fail("the compositor offers no seat or no virtual keyboard");
  }
  zwp_virtual_keyboard_v1* keyboard =
      zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(globals.keyboards, globals.seat);
  std::uint32_t size = 0;
  const int keymap = UsKeymapFile(&size);
  if (keymap < 0) return Fail("cannot make the US keymap (xkb-data)");
  zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, keymap, size);
  close(keymap);
  if (wl_display_roundtrip(display) < 0) return Fail("the compositor refused the keymap");

  std::cout << "ready" << std::endl;
  std::ifstream actions(argv[1]);
  if (!actions) return Fail("cannot read the actions");
  std::string action;
  unsigned long value = 0;
  while (actions >> action >> value) {
    if (action == "sleep") {
      std::this_thread::sleep_for(std::chrono::milliseconds(value));
      continue;
    }
    if (action != "down" && action != "up") return Fail("an action is down, up or sleep");
    zwp_virtual_keyboard_v1_key(keyboard, NowMs(), static_cast<std::uint32_t>(value),
                                action == "down" ? kKeyPressed : kKeyReleased);
    if (wl_display_roundtrip(display) < 0) return Fail("the compositor refused a key");
    std::cout << "typed " << action << ' ' << value << std::endl;
  }
  zwp_virtual_keyboard_v1_destroy(keyboard);
  const bool taken = wl_display_roundtrip(display) >= 0;
  wl_display_disconnect(display);
  return taken ? 0 : Fail("the compositor refused the keyboard");
}
