// Sends real key and pointer input to a Wayland compositor for the end-to-end tests: evdev key
// codes through a virtual keyboard with the keymap of a named XKB layout (so a key is a position,
// whatever the layout makes of it), pointer moves and buttons through a virtual pointer, and a
// small window of its own that takes the focus away from the program under test.
//
// Usage: orvane_wayland_input LAYOUT   (an XKB layout name: us, fr, de...)
// Reads one command a line on stdin and answers "ok" (or "error: ...") once the compositor has
// seen it:
//   press CODE | release CODE     an evdev key code (16 is Q's position)
//   keymap LAYOUT                 the keys read with another layout from now on
//   move X Y                      the pointer to a point of the output, in pixels
//   button press|release left|right
//   window [tiled] | unwindow     open or close the focus-taking window (tiled: one that the
//                                 compositor tiles beside the program, which then gets narrower)
//   wait MS
#define _GNU_SOURCE
#include <errno.h>
#include <linux/input-event-codes.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

struct state {
  struct wl_display* display;
  struct wl_compositor* compositor;
  struct wl_shm* shm;
  struct wl_seat* seat;
  struct wl_output* output;
  struct xdg_wm_base* wmBase;
  struct zwp_virtual_keyboard_manager_v1* keyboardManager;
  struct zwlr_virtual_pointer_manager_v1* pointerManager;
  struct zwp_virtual_keyboard_v1* keyboard;
  struct zwlr_virtual_pointer_v1* pointer;
  // The compositor takes the modifier state of a virtual keyboard from its client: this state
  // follows every key sent and is sent on when it changes.
  struct xkb_context* xkbContext;
  struct xkb_keymap* keymap;
  struct xkb_state* xkbState;
  int32_t outputWidth;
  int32_t outputHeight;
  // The focus-taking window.
  struct wl_surface* surface;
  struct xdg_surface* xdgSurface;
  struct xdg_toplevel* toplevel;
  struct wl_buffer* buffer;
  int configured;
};

static uint32_t NowMs(void) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (uint32_t)(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

static void OutputGeometry(void* data, struct wl_output* output, int32_t x, int32_t y,
                           int32_t physicalWidth, int32_t physicalHeight, int32_t subpixel,
                           const char* make, const char* model, int32_t transform) {
  (void)data, (void)output, (void)x, (void)y, (void)physicalWidth, (void)physicalHeight;
  (void)subpixel, (void)make, (void)model, (void)transform;
}

static void OutputMode(void* data, struct wl_output* output, uint32_t flags, int32_t width,
                       int32_t height, int32_t refresh) {
  (void)output, (void)refresh;
  struct state* state = data;
  if (flags & WL_OUTPUT_MODE_CURRENT) {
    state->outputWidth = width;
    state->outputHeight = height;
  }
}

static void OutputDone(void* data, struct wl_output* output) {
  (void)data, (void)output;
}
static void OutputScale(void* data, struct wl_output* output, int32_t factor) {
  (void)data, (void)output, (void)factor;
}

// Bound at version 2: the events of later versions never come.
static const struct wl_output_listener kOutputListener = {
    .geometry = OutputGeometry, .mode = OutputMode, .done = OutputDone, .scale = OutputScale};

static void WmBasePing(void* data, struct xdg_wm_base* wmBase, uint32_t serial) {
  (void)data;
  xdg_wm_base_pong(wmBase, serial);
}

static const struct xdg_wm_base_listener kWmBaseListener = {WmBasePing};

static void Global(void* data, struct wl_registry* registry, uint32_t name, const char* interface,
                   uint32_t version) {
  (void)version;
  struct state* state = data;
  if (strcmp(interface, wl_compositor_interface.name) == 0) {
    state->compositor = wl_registry_bind(registry, name, &wl_compositor_interface, 4);
  } else if (strcmp(interface, wl_shm_interface.name) == 0) {
    state->shm = wl_registry_bind(registry, name, &wl_shm_interface, 1);
  } else if (strcmp(interface, wl_seat_interface.name) == 0 && state->seat == NULL) {
    state->seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
  } else if (strcmp(interface, wl_output_interface.name) == 0 && state->output == NULL) {
    state->output = wl_registry_bind(registry, name, &wl_output_interface, 2);
    wl_output_add_listener(state->output, &kOutputListener, state);
  } else if (strcmp(interface, xdg_wm_base_interface.name) == 0) {
    state->wmBase = wl_registry_bind(registry, name, &xdg_wm_base_interface, 1);
    xdg_wm_base_add_listener(state->wmBase, &kWmBaseListener, state);
  } else if (strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
    state->keyboardManager =
        wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1);
  } else if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
    state->pointerManager =
        wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
  }
}

static void GlobalRemove(void* data, struct wl_registry* registry, uint32_t name) {
  (void)data, (void)registry, (void)name;
}

static const struct wl_registry_listener kRegistryListener = {Global, GlobalRemove};

// The keymap of the layout as the compositor takes it: its text in a memory file. A new keymap
// starts with no modifier down or locked.
static int SendKeymap(struct state* state, const char* layout) {
  const struct xkb_rule_names names = {"evdev", "pc105", layout, "", ""};
  struct xkb_keymap* keymap =
      xkb_keymap_new_from_names(state->xkbContext, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
  if (keymap == NULL) return -1;
  char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
  const size_t size = strlen(text) + 1;
  int fd = memfd_create("keymap", MFD_CLOEXEC);
  int result = -1;
  if (fd >= 0 && write(fd, text, size) == (ssize_t)size) {
    zwp_virtual_keyboard_v1_keymap(state->keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                   (uint32_t)size);
    result = 0;
  }
  if (fd >= 0) close(fd);
  free(text);
  if (result != 0) {
    xkb_keymap_unref(keymap);
    return result;
  }
  if (state->xkbState != NULL) xkb_state_unref(state->xkbState);
  if (state->keymap != NULL) xkb_keymap_unref(state->keymap);
  state->keymap = keymap;
  state->xkbState = xkb_state_new(keymap);
  zwp_virtual_keyboard_v1_modifiers(state->keyboard, 0, 0, 0, 0);
  return 0;
}

// A key as a physical keyboard gives it: the key, then the modifier state it leaves.
static void SendKey(struct state* state, uint32_t code, int pressed) {
  zwp_virtual_keyboard_v1_key(
      state->keyboard, NowMs(), code,
      pressed ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
  const enum xkb_state_component changed =
      xkb_state_update_key(state->xkbState, code + 8, pressed ? XKB_KEY_DOWN : XKB_KEY_UP);
  if (changed != 0) {
    zwp_virtual_keyboard_v1_modifiers(
        state->keyboard, xkb_state_serialize_mods(state->xkbState, XKB_STATE_MODS_DEPRESSED),
        xkb_state_serialize_mods(state->xkbState, XKB_STATE_MODS_LATCHED),
        xkb_state_serialize_mods(state->xkbState, XKB_STATE_MODS_LOCKED),
        xkb_state_serialize_layout(state->xkbState, XKB_STATE_LAYOUT_EFFECTIVE));
  }
}

static void XdgSurfaceConfigure(void* data, struct xdg_surface* xdgSurface, uint32_t serial) {
  struct state* state = data;
  xdg_surface_ack_configure(xdgSurface, serial);
  if (!state->configured) {
    wl_surface_attach(state->surface, state->buffer, 0, 0);
    wl_surface_damage(state->surface, 0, 0, INT32_MAX, INT32_MAX);
  }
  state->configured = 1;
  wl_surface_commit(state->surface);
}

static const struct xdg_surface_listener kXdgSurfaceListener = {XdgSurfaceConfigure};

static void ToplevelConfigure(void* data, struct xdg_toplevel* toplevel, int32_t width,
                              int32_t height, struct wl_array* states) {
  (void)data, (void)toplevel, (void)width, (void)height, (void)states;
}

static void ToplevelClose(void* data, struct xdg_toplevel* toplevel) {
  (void)data, (void)toplevel;
}

static const struct xdg_toplevel_listener kToplevelListener = {.configure = ToplevelConfigure,
                                                               .close = ToplevelClose};

// A grey square of fixed size: the compositor floats it instead of tiling it beside the program,
// so the program keeps its size and only loses the focus.
static int OpenWindow(struct state* state, int tiled) {
  if (state->toplevel != NULL) return 0;
  enum { kSide = 120 };
  const int stride = kSide * 4;
  const int size = stride * kSide;
  int fd = memfd_create("window", MFD_CLOEXEC);
  if (fd < 0 || ftruncate(fd, size) != 0) return -1;
  uint32_t* pixels = mmap(NULL, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (pixels == MAP_FAILED) {
    close(fd);
    return -1;
  }
  for (int i = 0; i < kSide * kSide; ++i) pixels[i] = 0xFF808080;
  munmap(pixels, size);
  struct wl_shm_pool* pool = wl_shm_create_pool(state->shm, fd, size);
  state->buffer = wl_shm_pool_create_buffer(pool, 0, kSide, kSide, stride, WL_SHM_FORMAT_XRGB8888);
  wl_shm_pool_destroy(pool);
  close(fd);
  state->surface = wl_compositor_create_surface(state->compositor);
  state->xdgSurface = xdg_wm_base_get_xdg_surface(state->wmBase, state->surface);
  xdg_surface_add_listener(state->xdgSurface, &kXdgSurfaceListener, state);
  state->toplevel = xdg_surface_get_toplevel(state->xdgSurface);
  xdg_toplevel_add_listener(state->toplevel, &kToplevelListener, state);
  xdg_toplevel_set_app_id(state->toplevel, "orvane-test-focus");
  xdg_toplevel_set_title(state->toplevel, "focus taker");
  if (!tiled) {
    xdg_toplevel_set_min_size(state->toplevel, kSide, kSide);
    xdg_toplevel_set_max_size(state->toplevel, kSide, kSide);
  }
  state->configured = 0;
  wl_surface_commit(state->surface);
  while (!state->configured) {
    if (wl_display_dispatch(state->display) < 0) return -1;
  }
  return 0;
}

static void CloseWindow(struct state* state) {
  if (state->toplevel == NULL) return;
  xdg_toplevel_destroy(state->toplevel);
  xdg_surface_destroy(state->xdgSurface);
  wl_surface_destroy(state->surface);
  wl_buffer_destroy(state->buffer);
  state->toplevel = NULL;
  state->xdgSurface = NULL;
  state->surface = NULL;
  state->buffer = NULL;
}

static const char* RunCommand(struct state* state, const char* line) {
  char verb[32] = "";
  char word[32] = "";
  char which[32] = "";
  unsigned code = 0;
  int x = 0;
  int y = 0;
  if (sscanf(line, "%31s", verb) != 1) return "empty command";
  if (strcmp(verb, "press") == 0 || strcmp(verb, "release") == 0) {
    if (sscanf(line, "%*s %u", &code) != 1) return "no key code";
    SendKey(state, code, strcmp(verb, "press") == 0);
  } else if (strcmp(verb, "keymap") == 0) {
    if (sscanf(line, "%*s %31s", word) != 1 || SendKeymap(state, word) != 0)
      return "no such layout";
  } else if (strcmp(verb, "move") == 0) {
    if (sscanf(line, "%*s %d %d", &x, &y) != 2) return "no point";
    if (state->outputWidth <= 0) return "no output size";
    zwlr_virtual_pointer_v1_motion_absolute(state->pointer, NowMs(), (uint32_t)x, (uint32_t)y,
                                            (uint32_t)state->outputWidth,
                                            (uint32_t)state->outputHeight);
    zwlr_virtual_pointer_v1_frame(state->pointer);
  } else if (strcmp(verb, "button") == 0) {
    if (sscanf(line, "%*s %31s %31s", word, which) != 2) return "button press|release left|right";
    const uint32_t button = strcmp(which, "right") == 0 ? BTN_RIGHT : BTN_LEFT;
    const uint32_t pressed = strcmp(word, "press") == 0 ? WL_POINTER_BUTTON_STATE_PRESSED
                                                        : WL_POINTER_BUTTON_STATE_RELEASED;
    zwlr_virtual_pointer_v1_button(state->pointer, NowMs(), button, pressed);
    zwlr_virtual_pointer_v1_frame(state->pointer);
  } else if (strcmp(verb, "window") == 0) {
    const int tiled = sscanf(line, "%*s %31s", word) == 1 && strcmp(word, "tiled") == 0;
    if (OpenWindow(state, tiled) != 0) return "cannot open the window";
  } else if (strcmp(verb, "unwindow") == 0) {
    CloseWindow(state);
  } else if (strcmp(verb, "wait") == 0) {
    if (sscanf(line, "%*s %d", &x) != 1) return "no time";
    wl_display_flush(state->display);
    usleep((useconds_t)x * 1000);
  } else {
    return "unknown command";
  }
  return wl_display_roundtrip(state->display) < 0 ? "the compositor went away" : NULL;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s XKB-LAYOUT\n", argv[0]);
    return 2;
  }
  struct state state = {0};
  state.display = wl_display_connect(NULL);
  if (state.display == NULL) {
    fprintf(stderr, "cannot connect to the Wayland display\n");
    return 1;
  }
  struct wl_registry* registry = wl_display_get_registry(state.display);
  wl_registry_add_listener(registry, &kRegistryListener, &state);
  wl_display_roundtrip(state.display);
  wl_display_roundtrip(state.display);
  if (state.seat == NULL || state.keyboardManager == NULL || state.pointerManager == NULL ||
      state.compositor == NULL || state.shm == NULL || state.wmBase == NULL) {
    fprintf(stderr, "the compositor lacks a seat, a virtual keyboard or pointer, or xdg-shell\n");
    return 1;
  }
  state.keyboard =
      zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(state.keyboardManager, state.seat);
  state.pointer =
      zwlr_virtual_pointer_manager_v1_create_virtual_pointer(state.pointerManager, state.seat);
  state.xkbContext = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  if (state.xkbContext == NULL || SendKeymap(&state, argv[1]) != 0) {
    fprintf(stderr, "no keymap for the layout %s\n", argv[1]);
    return 1;
  }
  // The new devices give the seat a keyboard and a pointer: clients bind theirs in answer, and
  // a key sent before they have would reach nobody.
  if (wl_display_roundtrip(state.display) < 0) {
    fprintf(stderr, "the compositor refused the virtual devices\n");
    return 1;
  }
  usleep(300 * 1000);
  wl_display_roundtrip(state.display);
  setvbuf(stdout, NULL, _IOLBF, 0);
  printf("ready\n");
  char line[256];
  while (fgets(line, sizeof line, stdin) != NULL) {
    const char* error = RunCommand(&state, line);
    if (error != NULL) {
      printf("error: %s\n", error);
    } else {
      printf("ok\n");
    }
  }
  CloseWindow(&state);
  wl_display_disconnect(state.display);
  return 0;
}
