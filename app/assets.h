// The image assets: every picture slot with its one shape, and the start-up list that
// decodes the files into them.
#pragma once
#include "raster/raster.h"

// The pictures decoded once at start-up, each into its own buffer, rows packed
// (stride = width). Every slot has one width and one height, kept only here: the
// loader takes a picture of exactly that shape or none (the buffer then stays zero),
// and the scenes and the picture maker read the sizes from here.
constexpr int PORTRAIT_WIDTH = 361;
constexpr int PORTRAIT_HEIGHT = 300;
constexpr int CAP_WIDTH = 314;
constexpr int CAP_HEIGHT = 142;
constexpr int SHIRT_WIDTH = 167;
constexpr int SHIRT_HEIGHT = 91;
constexpr int BRA_WIDTH = 45;  // left and right
constexpr int BRA_HEIGHT = 59;
constexpr int TROUSERS_WIDTH = 163;
constexpr int TROUSERS_HEIGHT = 70;
constexpr int COLUMNS_WIDTH = 94;
constexpr int COLUMNS_HEIGHT = 480;
constexpr int FLICKER_WIDTH = 200;  // both
constexpr int FLICKER_HEIGHT = 384;
constexpr int GREETING_COUNT = 37;
constexpr int GREETING_WIDTH = 400;
constexpr int GREETING_HEIGHT = 384;
constexpr int GREETING_PIXELS = GREETING_WIDTH * GREETING_HEIGHT;
constexpr int TEXT_COUNT = 23;
constexpr int TEXT_WIDTH = 512;
constexpr int TEXT_HEIGHT = 28;
constexpr int TEXT_PIXELS = TEXT_WIDTH * TEXT_HEIGHT;
constexpr int FULL_WIDTH = SCREEN_WIDTH;  // the hangers and the final picture
constexpr int FULL_HEIGHT = SCREEN_HEIGHT;
constexpr int CREDIT_WIDTH = 334;
constexpr int CREDIT_HEIGHT = 100;

extern Pixel img_portrait[PORTRAIT_WIDTH * PORTRAIT_HEIGHT];
extern Pixel img_cap[CAP_WIDTH * CAP_HEIGHT];
extern Pixel img_shirt[SHIRT_WIDTH * SHIRT_HEIGHT];
extern Pixel img_bra_left[BRA_WIDTH * BRA_HEIGHT];
extern Pixel img_bra_right[BRA_WIDTH * BRA_HEIGHT];
extern Pixel img_trousers[TROUSERS_WIDTH * TROUSERS_HEIGHT];
extern Pixel img_columns[COLUMNS_WIDTH * COLUMNS_HEIGHT];
extern Pixel img_flicker_1[FLICKER_WIDTH * FLICKER_HEIGHT];
extern Pixel img_flicker_2[FLICKER_WIDTH * FLICKER_HEIGHT];
// Slot k starts k × GREETING_PIXELS in; slots follow the file names sorted ignoring case.
extern Pixel img_greetings[GREETING_COUNT * GREETING_PIXELS];
// Slot k holds "gfx//text<k + 1>.gif": text strip k + 1.
extern Pixel img_text[TEXT_COUNT * TEXT_PIXELS];
extern Pixel img_hangers[FULL_WIDTH * FULL_HEIGHT];
extern Pixel img_final[FULL_WIDTH * FULL_HEIGHT];
extern Pixel img_credit1[CREDIT_WIDTH * CREDIT_HEIGHT];
extern Pixel img_credit2[CREDIT_WIDTH * CREDIT_HEIGHT];
extern Pixel img_credit3[CREDIT_WIDTH * CREDIT_HEIGHT];
extern Pixel img_credit4[CREDIT_WIDTH * CREDIT_HEIGHT];
extern Pixel img_credit5[CREDIT_WIDTH * CREDIT_HEIGHT];
extern Pixel img_credit6[CREDIT_WIDTH * CREDIT_HEIGHT];
extern Pixel img_credit7[CREDIT_WIDTH * CREDIT_HEIGHT];

// The single pictures as the effects take them.
inline constexpr Image portrait_image{img_portrait, PORTRAIT_WIDTH, PORTRAIT_HEIGHT};
inline constexpr Image cap_image{img_cap, CAP_WIDTH, CAP_HEIGHT};
inline constexpr Image shirt_image{img_shirt, SHIRT_WIDTH, SHIRT_HEIGHT};
inline constexpr Image bra_left_image{img_bra_left, BRA_WIDTH, BRA_HEIGHT};
inline constexpr Image bra_right_image{img_bra_right, BRA_WIDTH, BRA_HEIGHT};
inline constexpr Image trousers_image{img_trousers, TROUSERS_WIDTH, TROUSERS_HEIGHT};
inline constexpr Image columns_image{img_columns, COLUMNS_WIDTH, COLUMNS_HEIGHT};
inline constexpr Image flicker_1_image{img_flicker_1, FLICKER_WIDTH, FLICKER_HEIGHT};
inline constexpr Image flicker_2_image{img_flicker_2, FLICKER_WIDTH, FLICKER_HEIGHT};

// The greeting logos' files, in slot order.
extern const char* const greeting_files[GREETING_COUNT];

// One load of the start-up list: the file, its buffer and the buffer's shape.
struct AssetLoad {
  const char* path;
  Pixel* pixels;
  int width;
  int height;
};
constexpr int ASSET_COUNT = 78;
extern const AssetLoad asset_loads[ASSET_COUNT];

// Decodes every asset in the start-up order; returns how many loaded.
int load_assets();
