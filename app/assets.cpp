#include "app/assets.h"

#include "image/image.h"

Pixel img_portrait[PORTRAIT_WIDTH * PORTRAIT_HEIGHT];
Pixel img_cap[CAP_WIDTH * CAP_HEIGHT];
Pixel img_shirt[SHIRT_WIDTH * SHIRT_HEIGHT];
Pixel img_bra_left[BRA_WIDTH * BRA_HEIGHT];
Pixel img_bra_right[BRA_WIDTH * BRA_HEIGHT];
Pixel img_trousers[TROUSERS_WIDTH * TROUSERS_HEIGHT];
Pixel img_columns[COLUMNS_WIDTH * COLUMNS_HEIGHT];
Pixel img_flicker_1[FLICKER_WIDTH * FLICKER_HEIGHT];
Pixel img_flicker_2[FLICKER_WIDTH * FLICKER_HEIGHT];
Pixel img_greetings[GREETING_COUNT * GREETING_PIXELS];
Pixel img_text[TEXT_COUNT * TEXT_PIXELS];
Pixel img_hangers[FULL_WIDTH * FULL_HEIGHT];
Pixel img_final[FULL_WIDTH * FULL_HEIGHT];
Pixel img_credit1[CREDIT_WIDTH * CREDIT_HEIGHT];
Pixel img_credit2[CREDIT_WIDTH * CREDIT_HEIGHT];
Pixel img_credit3[CREDIT_WIDTH * CREDIT_HEIGHT];
Pixel img_credit4[CREDIT_WIDTH * CREDIT_HEIGHT];
Pixel img_credit5[CREDIT_WIDTH * CREDIT_HEIGHT];
Pixel img_credit6[CREDIT_WIDTH * CREDIT_HEIGHT];
Pixel img_credit7[CREDIT_WIDTH * CREDIT_HEIGHT];

// Sorted ignoring case: the order sets the slots. Each name is the group's name
// from assets/greetings.txt, lower-cased, letters and digits only.
const char* const greeting_files[GREETING_COUNT] = {
    "gfx//saludo_agujacollective.gif", "gfx//saludo_bobbincrew.gif",    "gfx//saludo_buttonbrigade.gif",
    "gfx//saludo_cashmerecult.gif",    "gfx//saludo_corduroy.gif",      "gfx//saludo_denimdivision.gif",
    "gfx//saludo_dyehouse.gif",        "gfx//saludo_felttip.gif",       "gfx//saludo_flaxmill.gif",
    "gfx//saludo_gingham.gif",         "gfx//saludo_hemline.gif",       "gfx//saludo_houndstooth.gif",
    "gfx//saludo_indigotribe.gif",     "gfx//saludo_jacquard.gif",      "gfx//saludo_knitwork.gif",
    "gfx//saludo_laceengine.gif",      "gfx//saludo_linenloop.gif",     "gfx//saludo_loomlords.gif",
    "gfx//saludo_merino.gif",          "gfx//saludo_needlepoint.gif",   "gfx//saludo_nylonnoise.gif",
    "gfx//saludo_organza.gif",         "gfx//saludo_paisleypixels.gif", "gfx//saludo_pleatsociety.gif",
    "gfx//saludo_quilted.gif",         "gfx//saludo_rayonrebels.gif",   "gfx//saludo_satinsound.gif",
    "gfx//saludo_seamline.gif",        "gfx//saludo_selvedge.gif",      "gfx//saludo_silkroute.gif",
    "gfx//saludo_tartantech.gif",      "gfx//saludo_thimble.gif",       "gfx//saludo_tweedunit.gif",
    "gfx//saludo_velvetcore.gif",      "gfx//saludo_warpandweft.gif",   "gfx//saludo_yarnbomb.gif",
    "gfx//saludo_zipper.gif",
};

#define GREETING(k) greeting_files[k], img_greetings + (k)*GREETING_PIXELS, GREETING_WIDTH, GREETING_HEIGHT
#define TEXT(n) "gfx//text" #n ".gif", img_text + ((n)-1) * TEXT_PIXELS, TEXT_WIDTH, TEXT_HEIGHT
#define CREDIT(n) "gfx//creditos" #n ".gif", img_credit##n, CREDIT_WIDTH, CREDIT_HEIGHT

const AssetLoad asset_loads[ASSET_COUNT] = {
    {"gfx//retrato.gif", img_portrait, PORTRAIT_WIDTH, PORTRAIT_HEIGHT},
    {"gfx//cap314142.gif", img_cap, CAP_WIDTH, CAP_HEIGHT},
    {"gfx//camiseta167091.gif", img_shirt, SHIRT_WIDTH, SHIRT_HEIGHT},
    {"gfx//bra045059.gif", img_bra_left, BRA_WIDTH, BRA_HEIGHT},
    {"gfx//bradr045059.gif", img_bra_right, BRA_WIDTH, BRA_HEIGHT},
    {"gfx//pantalon163070.gif", img_trousers, TROUSERS_WIDTH, TROUSERS_HEIGHT},
    {"gfx//columnas.gif", img_columns, COLUMNS_WIDTH, COLUMNS_HEIGHT},
    {"gfx//flicker1.gif", img_flicker_1, FLICKER_WIDTH, FLICKER_HEIGHT},
    {"gfx//flicker2.gif", img_flicker_2, FLICKER_WIDTH, FLICKER_HEIGHT},
    {GREETING(0)},
    {GREETING(1)},
    {GREETING(2)},
    {GREETING(3)},
    {GREETING(4)},
    {GREETING(5)},
    {GREETING(6)},
    {GREETING(7)},
    {GREETING(8)},
    {GREETING(9)},
    {GREETING(10)},
    {GREETING(11)},
    {GREETING(12)},
    {GREETING(13)},
    {GREETING(14)},
    {GREETING(15)},
    {GREETING(16)},
    {GREETING(17)},
    {GREETING(18)},
    {GREETING(19)},
    {GREETING(20)},
    {GREETING(21)},
    {GREETING(22)},
    {GREETING(23)},
    {GREETING(24)},
    {GREETING(25)},
    {GREETING(26)},
    {GREETING(27)},
    {GREETING(28)},
    {GREETING(29)},
    {GREETING(30)},
    {GREETING(31)},
    {GREETING(32)},
    {GREETING(33)},
    {GREETING(34)},
    {GREETING(35)},
    {GREETING(36)},
    {TEXT(1)},
    {TEXT(2)},
    {TEXT(3)},
    {TEXT(4)},
    {TEXT(5)},
    {TEXT(6)},
    {TEXT(7)},
    {TEXT(8)},
    {TEXT(9)},
    {TEXT(10)},
    {TEXT(11)},
    {TEXT(12)},
    {TEXT(13)},
    {TEXT(14)},
    {TEXT(15)},
    {TEXT(16)},
    {TEXT(17)},
    {TEXT(18)},
    {TEXT(19)},
    {TEXT(20)},
    {TEXT(21)},
    {TEXT(22)},
    {TEXT(23)},
    {"gfx//perchas.gif", img_hangers, FULL_WIDTH, FULL_HEIGHT},
    {"gfx//ffinal.gif", img_final, FULL_WIDTH, FULL_HEIGHT},
    // creditosN.gif fills img_creditN; the files load in this order.
    {CREDIT(1)},
    {CREDIT(4)},
    {CREDIT(2)},
    {CREDIT(5)},
    {CREDIT(6)},
    {CREDIT(3)},
    {CREDIT(7)},
};

#undef GREETING
#undef TEXT
#undef CREDIT

int load_assets() {
  int loaded = 0;
  for (const AssetLoad& asset : asset_loads)
    if (load_image(asset.path, asset.pixels, asset.width, asset.height) == 0) ++loaded;
  return loaded;
}
