// The live picture on a desktop: an SDL window, fullscreen or resizable, with the canvas
// converted into a streaming texture of the deepest format the renderer takes.
#include <SDL.h>

#include <initializer_list>

#include "display/window.h"
#include "platform/platform.h"

namespace {
DisplaySettings settings;

// The live display: one per process.
struct LiveDisplay {
  int width = 0;
  int height = 0;
  int active = 0;  // frames are presented only while nonzero
  bool video_started = false;
  bool saver_off = false;
  bool texture_lost = false;
  bool end_requested = false;  // Escape or a close request came
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  // SDL's software renderer scales a texture in one of its own 16-bit formats pixel by
  // pixel, several times slower than a 32-bit one: such a texture is copied 1:1 into
  // this 32-bit one first when the picture is scaled.
  bool scale_through_stage = false;
  SDL_Texture* stage = nullptr;
  Uint32 format = SDL_PIXELFORMAT_UNKNOWN;
  PixelConverter converter = nullptr;
  int depth = 0;
  bool log_silenced = false;
  SDL_LogOutputFunction saved_log = nullptr;
  void* saved_log_data = nullptr;
};
LiveDisplay live;

void log_nothing(void*, int, SDL_LogPriority, const char*) {}

// SDL's own log stays silent while the display is open; the previous output returns
// at close.
void silence_sdl_log() {
  if (live.log_silenced) return;
  SDL_LogGetOutputFunction(&live.saved_log, &live.saved_log_data);
  SDL_LogSetOutputFunction(log_nothing, nullptr);
  live.log_silenced = true;
}

void restore_sdl_log() {
  if (live.log_silenced) SDL_LogSetOutputFunction(live.saved_log, live.saved_log_data);
}

// SDL's stand-ins that show no picture: used only when SDL_VIDEODRIVER names them.
bool shows_no_picture(const char* driver) {
  for (const char* name : {"offscreen", "dummy", "evdev"})
    if (SDL_strcasecmp(driver, name) == 0) return true;
  return false;
}

// With no driver named, SDL would fall back to its offscreen driver and play the
// whole show where nobody sees it: only the drivers that show a picture are tried.
bool start_video() {
  const char* named = SDL_GetHint(SDL_HINT_VIDEODRIVER);
  if (named != nullptr && named[0] != '\0') return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
  for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
    const char* driver = SDL_GetVideoDriver(i);
    if (driver == nullptr || shows_no_picture(driver)) continue;
    SDL_SetHint(SDL_HINT_VIDEODRIVER, driver);
    const bool started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    SDL_ResetHint(SDL_HINT_VIDEODRIVER);
    if (started) return true;
  }
  return false;
}

// Bits per pixel as storage: SDL calls its XRGB formats 24-bit and 5-5-5 15-bit.
int storage_bits(Uint32 format) { return SDL_BYTESPERPIXEL(format) * 8; }

PixelConverter converter_for(Uint32 format) {
  if (SDL_ISPIXELFORMAT_FOURCC(format) || SDL_ISPIXELFORMAT_INDEXED(format)) return nullptr;
  int bpp = 0;
  Uint32 red = 0, green = 0, blue = 0, alpha = 0;
  if (!SDL_PixelFormatEnumToMasks(format, &bpp, &red, &green, &blue, &alpha)) return nullptr;
  return select_converter(storage_bits(format), red, green, blue);
}

SDL_Texture* create_texture(Uint32 format, int access = SDL_TEXTUREACCESS_STREAMING) {
  SDL_Texture* texture = SDL_CreateTexture(live.renderer, format, access, live.width, live.height);
  // The canvases' top byte is a flag, not opacity: an ARGB texture must not blend.
  if (texture != nullptr) SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_NONE);
  return texture;
}

bool lists(const SDL_RendererInfo& info, Uint32 format) {
  for (Uint32 i = 0; i < info.num_texture_formats; ++i)
    if (info.texture_formats[i] == format) return true;
  return false;
}

// The layouts of the eight converters, deepest first. SDL's renderers list few of them
// but accept them all as streaming textures, converting on upload where they must.
constexpr Uint32 LAYOUTS[] = {
    SDL_PIXELFORMAT_XRGB8888, SDL_PIXELFORMAT_XBGR8888, SDL_PIXELFORMAT_BGR24,    SDL_PIXELFORMAT_RGB24,
    SDL_PIXELFORMAT_RGB565,   SDL_PIXELFORMAT_BGR565,   SDL_PIXELFORMAT_XRGB1555, SDL_PIXELFORMAT_XBGR1555,
};

bool try_texture(Uint32 format, int depth) {
  if (storage_bits(format) != depth) return false;
  const PixelConverter converter = converter_for(format);
  if (converter == nullptr || (settings.layout != nullptr && converter != settings.layout)) return false;
  SDL_Texture* texture = create_texture(format);
  if (texture == nullptr) return false;
  live.texture = texture;
  live.format = format;
  live.converter = converter;
  live.depth = depth;
  return true;
}

// A texture of this depth: the renderer's own formats first (those without alpha
// before those with), as they need no conversion on upload; then every layout of
// the depth.
bool open_texture_of_depth(const SDL_RendererInfo& info, int depth) {
  for (int pass = 0; pass < 2; ++pass) {
    for (Uint32 i = 0; i < info.num_texture_formats; ++i) {
      const Uint32 format = info.texture_formats[i];
      if (!SDL_ISPIXELFORMAT_FOURCC(format) && SDL_ISPIXELFORMAT_ALPHA(format) == (pass == 1) &&
          try_texture(format, depth))
        return true;
    }
  }
  for (const Uint32 format : LAYOUTS)
    if (try_texture(format, depth)) return true;
  return false;
}

// Whether the window's pixels are more or fewer than the canvas's.
bool scaled() {
  int width = 0, height = 0;
  return SDL_GetRendererOutputSize(live.renderer, &width, &height) == 0 &&
         (width != live.width || height != live.height);
}

bool has_exact_mode(int width, int height) {
  const int modes = SDL_GetNumDisplayModes(0);
  for (int i = 0; i < modes; ++i) {
    SDL_DisplayMode mode;
    if (SDL_GetDisplayMode(0, i, &mode) == 0 && mode.w == width && mode.h == height) return true;
  }
  return false;
}

int open_live(const char* title, int width, int height) {
  const int depth = settings.depth;
  if (depth != 0 && depth != 32 && depth != 24 && depth != 16) return 0;
  silence_sdl_log();
  if (!start_video()) return 0;
  live.video_started = true;
  live.width = width;
  live.height = height;

  // Fullscreen in a 512x384 mode where the display has one, else at the desktop's
  // mode with the picture scaled to fit.
  Uint32 flags = SDL_WINDOW_RESIZABLE;
  int window_width = width, window_height = height;
  if (!settings.windowed) {
    flags = SDL_WINDOW_FULLSCREEN;
    SDL_Rect desktop;
    if (!has_exact_mode(width, height) && SDL_GetDisplayBounds(0, &desktop) == 0) {
      // Made at the desktop's size from the start: with no window manager to grant
      // the fullscreen state, the window still covers the screen.
      flags = SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS;
      window_width = desktop.w;
      window_height = desktop.h;
    }
  }
  live.window = SDL_CreateWindow(title != nullptr ? title : "", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                 window_width, window_height, flags);
  if (live.window == nullptr) return 0;
  SDL_ShowCursor(SDL_DISABLE);

  live.renderer = SDL_CreateRenderer(live.window, -1, SDL_RENDERER_PRESENTVSYNC);
  if (live.renderer == nullptr) live.renderer = SDL_CreateRenderer(live.window, -1, 0);
  if (live.renderer == nullptr) return 0;
  // Scaled to fit with 4:3 kept; the bars stay black.
  SDL_RenderSetLogicalSize(live.renderer, width, height);
  SDL_SetRenderDrawColor(live.renderer, 0, 0, 0, 255);

  SDL_RendererInfo info;
  if (SDL_GetRendererInfo(live.renderer, &info) != 0) return 0;
  bool found = false;
  for (const int candidate : {32, 24, 16}) {
    if (depth != 0 && candidate != depth) continue;
    if (open_texture_of_depth(info, candidate)) {
      found = true;
      break;
    }
  }
  if (!found) return 0;
  live.scale_through_stage = (info.flags & SDL_RENDERER_SOFTWARE) && live.depth < 32 && lists(info, live.format);

  SDL_DisableScreenSaver();
  live.saver_off = true;
  // Under a bare X server no focus event may ever come: a window that is on screen
  // at open counts as active until the window system says otherwise.
  const Uint32 state = SDL_GetWindowFlags(live.window);
  live.active = (state & SDL_WINDOW_SHOWN) && !(state & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED));
  return 1;
}

}  // namespace

int window_open(const char* title, int width, int height, const DisplaySettings& s) {
  if (live.window != nullptr || live.video_started) return 0;  // already open
  settings = s;
  const QuietOutput quiet(true);
  if (open_live(title, width, height)) return 1;
  window_close();
  return 0;
}

// The window system's messages: focus and minimise set whether frames are shown; Escape
// and a close request end the show.
static void take_event(const SDL_Event* event) {
  switch (event->type) {
    case SDL_QUIT:
      live.end_requested = true;
      break;
    case SDL_KEYDOWN:
      if (event->key.keysym.sym == SDLK_ESCAPE || event->key.keysym.scancode == SDL_SCANCODE_ESCAPE)
        live.end_requested = true;
      break;
    case SDL_WINDOWEVENT:
      if (live.window == nullptr || event->window.windowID != SDL_GetWindowID(live.window)) break;
      switch (event->window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          live.end_requested = true;
          break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_SHOWN:
          live.active = 1;
          break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
        case SDL_WINDOWEVENT_MINIMIZED:
        case SDL_WINDOWEVENT_HIDDEN:
          live.active = 0;
          break;
        default:
          break;
      }
      break;
    case SDL_RENDER_TARGETS_RESET:
    case SDL_RENDER_DEVICE_RESET:
      live.texture_lost = true;
      break;
    default:
      break;
  }
}

int window_update(const Pixel* canvas) {
  if (live.window == nullptr) return 0;

  SDL_Event event;
  while (SDL_PollEvent(&event)) take_event(&event);

  if (!live.active) {
    SDL_Delay(1);
    return 1;
  }
  if (live.texture_lost || live.texture == nullptr) {
    // The renderer's textures are gone with its device: make ours anew.
    if (live.texture != nullptr) SDL_DestroyTexture(live.texture);
    if (live.stage != nullptr) SDL_DestroyTexture(live.stage);
    live.stage = nullptr;
    live.texture = create_texture(live.format);
    live.texture_lost = false;
  }
  if (canvas == nullptr || live.texture == nullptr) return 0;

  void* pixels = nullptr;
  int pitch = 0;
  if (SDL_LockTexture(live.texture, nullptr, &pixels, &pitch) != 0) return 0;
  uint8_t* row = static_cast<uint8_t*>(pixels);
  for (int y = 0; y < live.height; ++y) live.converter(canvas + y * live.width, row + y * pitch, live.width);
  SDL_UnlockTexture(live.texture);

  SDL_Texture* shown = live.texture;
  if (live.scale_through_stage && scaled()) {
    if (live.stage == nullptr) live.stage = create_texture(SDL_PIXELFORMAT_XRGB8888, SDL_TEXTUREACCESS_TARGET);
    if (live.stage != nullptr && SDL_SetRenderTarget(live.renderer, live.stage) == 0) {
      SDL_RenderCopy(live.renderer, live.texture, nullptr, nullptr);
      SDL_SetRenderTarget(live.renderer, nullptr);
      shown = live.stage;
    }
  }
  SDL_RenderClear(live.renderer);
  SDL_RenderCopy(live.renderer, shown, nullptr, nullptr);
  SDL_RenderPresent(live.renderer);
  SDL_Delay(0);
  return 1;
}

void window_close() {
  if (live.video_started) {
    const QuietOutput quiet(true);
    if (live.stage != nullptr) SDL_DestroyTexture(live.stage);
    if (live.texture != nullptr) SDL_DestroyTexture(live.texture);
    if (live.renderer != nullptr) SDL_DestroyRenderer(live.renderer);
    if (live.window != nullptr) {
      SDL_ShowCursor(SDL_ENABLE);
      SDL_DestroyWindow(live.window);
    }
    if (live.saver_off) SDL_EnableScreenSaver();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
  restore_sdl_log();
  live = LiveDisplay{};
}

bool window_end_requested() { return live.end_requested; }

int window_depth() { return live.window != nullptr ? live.depth : 0; }

PixelConverter window_converter() { return live.window != nullptr ? live.converter : nullptr; }

uint32_t window_format() { return live.window != nullptr ? live.format : 0; }

void window_offline_frame() {}
