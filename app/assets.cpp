#include "app/app.h"
#include "image/image.h"

Pixel img_portrait[361 * 300];
Pixel img_cap[314 * 142];
Pixel img_shirt[167 * 91];
Pixel img_bra_left[45 * 59];
Pixel img_bra_right[45 * 59];
Pixel img_trousers[163 * 70];
Pixel img_columns[94 * 480];
Pixel img_flicker_1[200 * 384];
Pixel img_flicker_2[200 * 384];
Pixel img_greetings[GREETING_COUNT * GREETING_PIXELS];
Pixel img_text[TEXT_COUNT * TEXT_PIXELS];
Pixel img_hangers[512 * 384];
Pixel img_final[512 * 384];
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

#define WHOLE(buffer) buffer, static_cast<int>(sizeof(buffer) / sizeof(Pixel))
#define GREETING(k) greeting_files[k], img_greetings + (k)*GREETING_PIXELS, GREETING_PIXELS
#define TEXT(n) "gfx//text" #n ".gif", img_text + ((n)-1) * TEXT_PIXELS, TEXT_PIXELS

const AssetLoad asset_loads[ASSET_COUNT] = {
    {"gfx//retrato.gif", WHOLE(img_portrait)},
    {"gfx//cap314142.gif", WHOLE(img_cap)},
    {"gfx//camiseta167091.gif", WHOLE(img_shirt)},
    {"gfx//bra045059.gif", WHOLE(img_bra_left)},
    {"gfx//bradr045059.gif", WHOLE(img_bra_right)},
    {"gfx//pantalon163070.gif", WHOLE(img_trousers)},
    {"gfx//columnas.gif", WHOLE(img_columns)},
    {"gfx//flicker1.gif", WHOLE(img_flicker_1)},
    {"gfx//flicker2.gif", WHOLE(img_flicker_2)},
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
    {"gfx//perchas.gif", WHOLE(img_hangers)},
    {"gfx//ffinal.gif", WHOLE(img_final)},
    // File N fills img_creditN; they are loaded in this order of buffers.
    {"gfx//creditos1.gif", WHOLE(img_credit1)},
    {"gfx//creditos4.gif", WHOLE(img_credit4)},
    {"gfx//creditos2.gif", WHOLE(img_credit2)},
    {"gfx//creditos5.gif", WHOLE(img_credit5)},
    {"gfx//creditos6.gif", WHOLE(img_credit6)},
    {"gfx//creditos3.gif", WHOLE(img_credit3)},
    {"gfx//creditos7.gif", WHOLE(img_credit7)},
};

#undef WHOLE
#undef GREETING
#undef TEXT

int load_assets() {
  int loaded = 0;
  for (const AssetLoad& asset : asset_loads)
    if (load_image(asset.path, asset.pixels, asset.capacity) == 0) ++loaded;
  return loaded;
}
