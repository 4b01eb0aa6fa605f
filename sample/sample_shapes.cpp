// SPDX-License-Identifier: MIT
// The 64 tile shapes of the sample world, drawn in code: terrain from small patterns on a
// base colour, everything else from 16 x 16 character pictures. Also the CGA colour
// reduction and the encoders that pack a sheet into the executables' shape blocks.
#include "sample.h"

#include <cstring>

namespace {

constexpr int tile = exe_tile_size; // 16 pixels a side

// EGA palette indices by name.
enum Colour : uint8_t {
    black = 0,
    blue = 1,
    green = 2,
    cyan = 3,
    red = 4,
    magenta = 5,
    brown = 6,
    light_grey = 7,
    dark_grey = 8,
    light_blue = 9,
    light_green = 10,
    light_cyan = 11,
    light_red = 12,
    light_magenta = 13,
    yellow = 14,
    white = 15,
};

// A 16 x 16 picture, one character a pixel (see colour_of); '.' leaves the pixel as it is.
struct TileArt {
    char rows[tile][tile + 1];
};

constexpr bool art_is_complete(const TileArt& art) {
    for (const auto& row : art.rows) {
        for (int x = 0; x < tile; ++x) {
            if (row[x] == '\0') {
                return false;
            }
        }
    }
    return true;
}

// Picture characters: one letter a colour; digits 1..5 stand for the colours a person
// template gets from its outfit (hair or hat, skin, tunic, legs, feet or hem).
int colour_of(char c, const char* outfit) {
    switch (c) {
    case 'k':
        return black;
    case 'b':
        return blue;
    case 'g':
        return green;
    case 'c':
        return cyan;
    case 'r':
        return red;
    case 'm':
        return magenta;
    case 'n':
        return brown;
    case 'l':
        return light_grey;
    case 'd':
        return dark_grey;
    case 'B':
        return light_blue;
    case 'G':
        return light_green;
    case 'C':
        return light_cyan;
    case 'R':
        return light_red;
    case 'M':
        return light_magenta;
    case 'y':
        return yellow;
    case 'w':
        return white;
    default:
        break;
    }
    if (outfit != nullptr && c >= '1' && c <= '5') {
        return colour_of(outfit[c - '1'], nullptr);
    }
    return -1; // transparent
}

uint8_t* pixel(uint8_t* sheet, int shape, int x, int y) {
    const int row = (shape / sheet_tiles_across) * tile + y;
    const int column = (shape % sheet_tiles_across) * tile + x;
    return sheet + static_cast<size_t>(row) * exe_sheet_width + column;
}

void fill(uint8_t* sheet, int shape, uint8_t colour) {
    for (int y = 0; y < tile; ++y) {
        std::memset(pixel(sheet, shape, 0, y), colour, tile);
    }
}

void paint(uint8_t* sheet, int shape, const TileArt& art, const char* outfit = nullptr) {
    for (int y = 0; y < tile; ++y) {
        for (int x = 0; x < tile; ++x) {
            const int colour = colour_of(art.rows[y][x], outfit);
            if (colour >= 0) {
                *pixel(sheet, shape, x, y) = static_cast<uint8_t>(colour);
            }
        }
    }
}

// Paints every drawn pixel of `art` in one colour: one pattern serves several tiles.
void paint_in(uint8_t* sheet, int shape, const TileArt& art, uint8_t colour) {
    for (int y = 0; y < tile; ++y) {
        for (int x = 0; x < tile; ++x) {
            if (art.rows[y][x] != '.') {
                *pixel(sheet, shape, x, y) = colour;
            }
        }
    }
}

// ---- patterns shared by several tiles ----

constexpr TileArt waves = {{
    "................",
    "..BBB...........",
    ".B...B..........",
    "..........BBB...",
    ".........B...B..",
    "................",
    "................",
    "....BBB.........",
    "...B...B........",
    "............BBB.",
    "...........B...B",
    "................",
    "................",
    ".......BBB......",
    "......B...B.....",
    "................",
}};

constexpr TileArt speckles = {{
    "................",
    "...n.......n....",
    "..........n.....",
    ".n..............",
    "......n.........",
    "............n...",
    "..n.............",
    ".........n......",
    "....n...........",
    "..............n.",
    "......n..n......",
    ".n..............",
    "..........n.....",
    "....n.........n.",
    "................",
    "........n.......",
}};

constexpr TileArt grass_tufts = {{
    "................",
    "..G.G...........",
    "...G.......G.G..",
    "............G...",
    "................",
    "......G.G.......",
    ".......G........",
    "................",
    ".............G.G",
    ".G.G..........G.",
    "..G.............",
    "........G.G.....",
    ".........G......",
    "...G.G......G.G.",
    "....G........G..",
    "................",
}};

// ---- terrain and buildings: (shape, picture) painted over the shape's base ----

struct ShapeArt {
    int shape;
    TileArt art;
};

constexpr ShapeArt pictures[] = {
    {shape_scrub,
     {{
         "................",
         "..GG.......n....",
         ".GGGG...........",
         ".GnGG.....y.....",
         "...n..........n.",
         "........GG......",
         ".n.....GGGG.....",
         ".......GGnG.....",
         ".........n...y..",
         "..y.............",
         "............GG..",
         "....n......GGGG.",
         "...........GGnG.",
         "..GG........n...",
         ".GGGG...y.......",
         "..n.............",
     }}},
    {shape_forest,
     {{
         ".........kGggggk",
         "...kkk....kgggk.",
         "..kGGgk....knk..",
         ".kGGgggk....n...",
         ".kGggggk........",
         "..kgggk....kkk..",
         "...knk....kGGgk.",
         "....n....kGGgggk",
         ".........kGggggk",
         "...kkk....kgggk.",
         "..kGGgk....knk..",
         ".kGGgggk....n...",
         ".kGggggk........",
         "..kgggk....kkk..",
         "...knk....kGGgk.",
         "....n....kGGgggk",
     }}},
    {shape_hills,
     {{
         "................",
         "................",
         "....nnnn........",
         "..nnGGGGnn......",
         ".nGGGGGGGGn.....",
         "nGGGGGGGGGGn....",
         "................",
         "................",
         "................",
         "........nnnn....",
         "......nnGGGGnn..",
         ".....nGGGGGGGGn.",
         "....nGGGGGGGGGGn",
         "................",
         "................",
         "................",
     }}},
    {shape_mountains,
     {{
         "................",
         ".......w........",
         "......www.......",
         ".....wwwdd......",
         "....lwlldd......",
         "...lllllddd.....",
         "...llllldddd.w..",
         "..lllllldddwwd..",
         ".llllllldddlldd.",
         ".lllllllddllldd.",
         "lllllllddllllldd",
         "llllllldlllllldd",
         "lllllldllllllddd",
         "................",
         "................",
         "................",
     }}},
    {shape_swamp,
     {{
         "................",
         "..bbbb.....n....",
         ".bbcbbb...n.n...",
         "..bbbb..........",
         "........n.......",
         "...n...n.n..bbb.",
         "..n.n......bbcbb",
         "............bbb.",
         ".bbb............",
         "bbbcb....n......",
         ".bbb....n.n.....",
         "............bb..",
         "....n......bbbb.",
         "...n.n......bb..",
         "........bb......",
         ".......bbbb.....",
     }}},
    {shape_lava,
     {{
         "RR......yy......",
         ".RRR...yRRy.....",
         "...RR.RR..RR....",
         "....RRR....RR...",
         "...........RRR..",
         "..yy.........RRR",
         ".yRRy..........R",
         "..yy...RRR......",
         ".....RRR.RRR....",
         "...RRR.....RR...",
         "RRRR........RR..",
         "..........yy.RRR",
         ".........yRRy...",
         "..RR......yy....",
         "...RRR.......RR.",
         ".....RRRRRRRRR..",
     }}},
    {shape_town,
     {{
         "................",
         "...rr...........",
         "..rrrr.....rr...",
         ".rrrrrr...rrrr..",
         "rrrrrrrr.rrrrrr.",
         ".wwwwww...wwww..",
         ".wwkkww...wkww..",
         ".wwkkww...wkww..",
         "................",
         ".......rr.......",
         "......rrrr......",
         ".....rrrrrr.....",
         "....rrrrrrrr....",
         ".....wwwwww.....",
         ".....wwkkww.....",
         ".....wwkkww.....",
     }}},
    {shape_castle,
     {{
         ".......wRRR.....",
         ".......wRR......",
         "l.l....w.....l.l",
         "lll...l.l.l..lll",
         "lll...lllll..lll",
         "lkl...lkllk..lkl",
         "lll...lllll..lll",
         "llll.llllll.llll",
         "llllllllllllllll",
         "lldllllllllldlll",
         "llllllkkkkllllll",
         "lllllkkkkkklllll",
         "lllllkkkkkklllll",
         "lllllkkkkkklllll",
         "................",
         "................",
     }}},
    {shape_cave,
     {{
         "................",
         "................",
         "................",
         ".....nnnnnn.....",
         "...nnnnnnnnnn...",
         "..nnnnnnnnnnnn..",
         ".nnnnnkkkknnnnn.",
         ".nnnnkkkkkknnnn.",
         "nnnnnkkkkkknnnnn",
         "nnnnnkkkkkknnnnn",
         "nnnnnkkkkkknnnnn",
         "................",
         "................",
         "................",
         "................",
         "................",
     }}},
    {shape_door,
     {{
         "dddddddddddddddd",
         "dddnnknnnnknnddd",
         "ddnnnknnnnknnndd",
         "dnnnnknnnnknnnnd",
         "dlllllllllllllld",
         "dnnnnknnnnknnnnd",
         "dnnnnknnnnknnnnd",
         "dnnnnknnnnknnnnd",
         "dnnnnknnnnknyynd",
         "dnnnnknnnnknnnnd",
         "dnnnnknnnnknnnnd",
         "dlllllllllllllld",
         "dnnnnknnnnknnnnd",
         "dnnnnknnnnknnnnd",
         "dnnnnknnnnknnnnd",
         "dddddddddddddddd",
     }}},
    {shape_window,
     {{
         "................",
         "................",
         "................",
         "...nnnnnnnnnn...",
         "...nwCCnnwCCn...",
         "...nCCCnnCCCn...",
         "...nCCCnnCCCn...",
         "...nnnnnnnnnn...",
         "...nCCCnnCCCn...",
         "...nCCCnnCCCn...",
         "...nCCCnnCCCn...",
         "...nnnnnnnnnn...",
         "................",
         "................",
         "................",
         "................",
     }}},
    {shape_counter,
     {{
         "nnnnnnnnnnnnnnnn",
         "nyyyyyyyyyyyyyyn",
         "nyyyyyyyyyywwyyn",
         "nyyyyyyyyyywwyyn",
         "nyyyyyyyyyyyyyyn",
         "nnnnnnnnnnnnnnnn",
         "nnnnnnnnnnnnnnnn",
         "nkkkkkknnkkkkkkn",
         "nknnnnknnknnnnkn",
         "nknnnnknnknnnnkn",
         "nknnnnknnknnnnkn",
         "nknnnnknnknnnnkn",
         "nkkkkkknnkkkkkkn",
         "nnnnnnnnnnnnnnnn",
         "nnnnnnnnnnnnnnnn",
         "kkkkkkkkkkkkkkkk",
     }}},
    {shape_table,
     {{
         "................",
         "................",
         "...kkkkkkkkkk...",
         "..kyyyyyyyyyyk..",
         "..kyyyyywwyyyk..",
         "..kyyyyywwyyyk..",
         "..kyyyyyyyyyyk..",
         "..kyywwyyyyyyk..",
         "..kyyyyyyyyyyk..",
         "...kkkkkkkkkk...",
         "...kn......nk...",
         "...kn......nk...",
         "...kk......kk...",
         "................",
         "................",
         "................",
     }}},
    {shape_bed,
     {{
         "................",
         "..kkkkkkkkkkkk..",
         "..knnnnnnnnnnk..",
         "..kwwwwwwwwwwk..",
         "..kwwwwwwwwwwk..",
         "..krrrrrrrrrrk..",
         "..kRRRRRRRRRRk..",
         "..kRRRRRRRRRRk..",
         "..kRRRRRRRRRRk..",
         "..kRRRRRRRRRRk..",
         "..kRRRRRRRRRRk..",
         "..kRRRRRRRRRRk..",
         "..kRRRRRRRRRRk..",
         "..knnnnnnnnnnk..",
         "..kkkkkkkkkkkk..",
         "................",
     }}},
    {shape_chest,
     {{
         "................",
         "................",
         "................",
         "................",
         "...kkkkkkkkkk...",
         "..knnnnnnnnnnk..",
         "..knnnnnnnnnnk..",
         "..kyyyyyyyyyyk..",
         "..knnnnyynnnnk..",
         "..knnnnkknnnnk..",
         "..knnnnnnnnnnk..",
         "..kyyyyyyyyyyk..",
         "..knnnnnnnnnnk..",
         "...kkkkkkkkkk...",
         "................",
         "................",
     }}},
    {shape_fountain,
     {{
         "................",
         "................",
         ".....llllll.....",
         "...llBBBBBBll...",
         "..lBBBBBBBBBBl..",
         ".lBBBBBwwBBBBBl.",
         ".lBBBBwCCwBBBBl.",
         ".lBBBwCwwCwBBBl.",
         ".lBBBwCwwCwBBBl.",
         ".lBBBBwCCwBBBBl.",
         ".lBBBBBwwBBBBBl.",
         "..lBBBBBBBBBBl..",
         "...llBBBBBBll...",
         ".....llllll.....",
         "................",
         "................",
     }}},
    {shape_throne,
     {{
         "................",
         "....y..yy..y....",
         "....yyyyyyyy....",
         "....yrrrrrry....",
         "....yrrrrrry....",
         "....yrrrrrry....",
         "....yrrrrrry....",
         "..yyyrrrrrryyy..",
         "..yyyyyyyyyyyy..",
         "..yyRRRRRRRRyy..",
         "..yyRRRRRRRRyy..",
         "..yyyyyyyyyyyy..",
         "..yy........yy..",
         "..yy........yy..",
         "................",
         "................",
     }}},
    {shape_shop_sign,
     {{
         "................",
         "..dddddddddddd..",
         "....d......d....",
         "...nnnnnnnnnn...",
         "...nyyyykyyyn...",
         "...nyyykkkkyn...",
         "...nyykykyyyn...",
         "...nyyykkkyyn...",
         "...nyyyykykyn...",
         "...nyykkkkyyn...",
         "...nyyyykyyyn...",
         "...nnnnnnnnnn...",
         "................",
         "................",
         "................",
         "................",
     }}},
    {shape_tent,
     {{
         "................",
         "................",
         ".......wl.......",
         "......wwll......",
         ".....wwwlll.....",
         ".....wwwlll.....",
         "....wwwkklll....",
         "....wwwkklll....",
         "...wwwkkkklll...",
         "...wwwkkkklll...",
         "..wwwkkkkkklll..",
         "..wwwkkkkkklll..",
         ".wwwwkkkkkkllll.",
         "n..............n",
         "................",
         "................",
     }}},
    {shape_flowers,
     {{
         "................",
         "..R.......M.....",
         ".RyR.....MyM....",
         "..R.......M.....",
         "..G.......G.....",
         "................",
         "......w.........",
         ".....wyw.....y..",
         "......w.....yny.",
         "......G......y..",
         "...M.........G..",
         "..MyM...........",
         "...M......R.....",
         "...G.....RyR....",
         "..........R.....",
         "..........G.....",
     }}},
    {shape_time_door,
     {{
         "......bbbb......",
         "....bbBBBBbb....",
         "...bBBCCCCBBb...",
         "...bBCCwwCCBb...",
         "..bBCCwwwwCCBb..",
         "..bBCwwwwwwCBb..",
         "..bBCwwwwwwCBb..",
         "..bBCwwwwwwCBb..",
         "..bBCwwwwwwCBb..",
         "..bBCwwwwwwCBb..",
         "..bBCwwwwwwCBb..",
         "..bBCCwwwwCCBb..",
         "...bBCCwwCCBb...",
         "...bBBCCCCBBb...",
         "....bbBBBBbb....",
         "......bbbb......",
     }}},
    {shape_horse,
     {{
         "................",
         "................",
         "...........n.n..",
         "..........dnnn..",
         ".........ddnknn.",
         ".........dnnnnnn",
         "........ddnn..nn",
         "..d.....dnnn....",
         ".dd.nnnnnnnn....",
         ".d.nnnnnnnnn....",
         ".d.nnnnnnnnn....",
         "...nnnnnnnnn....",
         "...n.n....n.n...",
         "...n.n....n.n...",
         "...n.n....n.n...",
         "...d.d....d.d...",
     }}},
    {shape_skeleton,
     {{
         "................",
         "......wwww......",
         ".....wwwwww.....",
         ".....wkwwkw.....",
         ".....wwwwww.....",
         "......wkwk......",
         ".......ww.......",
         "....wwwwwwww....",
         "...w.w.ww.w.w...",
         "...w.wwwwww.w...",
         "...w.w.ww.w.w...",
         "..w....ww....w..",
         "......wwww......",
         "......w..w......",
         "......w..w......",
         ".....ww..ww.....",
     }}},
    {shape_rat,
     {{
         "................",
         "................",
         "................",
         "................",
         "................",
         "..........nn....",
         ".....nnnnnnRn...",
         "...nnnnnnnnnnn..",
         "..nnnnnnnnnnrnn.",
         "..nnnnnnnnnnnnnR",
         ".M.nnnnnnnnnn...",
         "M...n.n...n.n...",
         "M...n.n...n.n...",
         ".M..............",
         "..MM............",
         "................",
     }}},
    {shape_snake,
     {{
         "................",
         "................",
         "..........GGG...",
         ".........GkGGG..",
         ".........GGGGGrr",
         "..........GGG...",
         "...........GG...",
         "......GGGGGG....",
         "....GGGGGGG.....",
         "...GGG..........",
         "...GGG..........",
         "....GGGGGGGG....",
         ".........GGGG...",
         "..........GGG...",
         ".....GGGGGGG....",
         "..GGGGGGGG......",
     }}},
    {shape_dragon,
     {{
         "..........r.....",
         ".........rr....r",
         "........rrr...rr",
         ".......rrrr..rrr",
         ".RR....rrrrrrrr.",
         "RyRR...rrrrrrr..",
         "RRRRR..RRRrrr...",
         ".kRRRRRRRRRR....",
         "y.w..RRRRRRRR...",
         "yy...RRRRRRRRR..",
         "......RRRRRRRRR.",
         ".....RR.RR.RRRRR",
         ".....R..R....RR.",
         "....RR.RR.....R.",
         "..............RR",
         "................",
     }}},
    {shape_ghost,
     {{
         "................",
         ".....wwwwww.....",
         "....wwwwwwww....",
         "...wwwwwwwwwl...",
         "...wwkkwwkkwl...",
         "...wwkkwwkkwl...",
         "...wwwwwwwwwl...",
         "...wwwwkkwwwl...",
         ".wwwwwwkkwwwlll.",
         "ww.wwwwwwwwwl.ll",
         "...wwwwwwwwwl...",
         "...wwwwwwwwwl...",
         "...wwwwwwwwwl...",
         "...wwwwwwwwwl...",
         "....w.ww.ww.l...",
         "................",
     }}},
    {shape_slime,
     {{
         "................",
         "................",
         "................",
         "................",
         "................",
         "................",
         "................",
         "................",
         "......GGGG......",
         "....GGGGGGGG....",
         "...GGwkGGwkGG...",
         "..GGGwkGGwkGGG..",
         ".GGGGGGGGGGGGGG.",
         ".GGGGGkkkkGGGGG.",
         "GGgGGGGGGGGGgGGG",
         ".gggggggggggggg.",
     }}},
    {shape_bat,
     {{
         "................",
         "................",
         "................",
         "................",
         "................",
         "m..............m",
         "mm....m..m....mm",
         "mmm...mmmm...mmm",
         "mmmm.mrmmrm.mmmm",
         "mmmmmmmmmmmmmmmm",
         ".mmmmmmmmmmmmmm.",
         ".m.mm.mmmm.mm.m.",
         "......mwwm......",
         "................",
         "................",
         "................",
     }}},
    {shape_spider,
     {{
         "................",
         "................",
         ".l............l.",
         "..l..........l..",
         "...l..dddd..l...",
         "l...lddddddl...l",
         ".l..ldrrrrdl..l.",
         "..lldddrrdddll..",
         "....dddddddd....",
         "..llddddddddll..",
         "..l..dddddd..l..",
         ".l...RddddR...l.",
         "l.....dddd.....l",
         "................",
         "................",
         "................",
     }}},
    {shape_wolf,
     {{
         "................",
         "................",
         "................",
         "................",
         "................",
         "...........l.l..",
         "..........lllll.",
         "..........llyll.",
         ".l.lllllllllllll",
         "l..lllllllllllk.",
         "l..llllllllll...",
         ".l.lllllllll....",
         "...ll.l...ll.l..",
         "...l..l...l..l..",
         "...d..d...d..d..",
         "................",
     }}},
    {shape_sea_serpent,
     {{
         "................",
         "................",
         "..........GGGG..",
         ".........GGGyGG.",
         ".........GGG..rr",
         ".........GG.....",
         "...GGG...GG.....",
         "..GGGGG..GG.....",
         ".GGG.GGG.GG.....",
         "CGG...GGGGGC....",
         "CC.....CCCC.....",
         "................",
         "................",
         "................",
         "................",
         "................",
     }}},
    {shape_pirate_ship,
     {{
         ".......d........",
         ".......dkk......",
         ".......dkk......",
         "....wwwdwww.....",
         "...wwwwdwwww....",
         "...wwwwdwwww....",
         "...wwwwdwwww....",
         "....wwwdwww.....",
         ".......d........",
         "nnnnnnnnnnnnnnnn",
         ".nnknnknnknnknn.",
         "..nnnnnnnnnnnn..",
         "...nnnnnnnnnn...",
         "..CCC......CCC..",
         "................",
         "................",
     }}},
    {shape_whirlpool,
     {{
         "................",
         "................",
         ".....BBBBBB.....",
         "...BB......BB...",
         "..B...CCCC...B..",
         ".B...C....C...B.",
         ".B..C..ww..C..B.",
         "B...C.w..w.C...B",
         "B...C.w.kw.C...B",
         ".B..C..ww..C..B.",
         ".B...C....C...B.",
         "..B...CCCC...B..",
         "...BB......BB...",
         ".....BBBBBB.....",
         "................",
         "................",
     }}},
    {shape_campfire,
     {{
         "................",
         "................",
         ".......r........",
         "......rR.r......",
         "......RRrR......",
         ".....rRyRRr.....",
         ".....RyyyRR.....",
         "....rRyywyRr....",
         "....RRywwyRR....",
         "....rRyyyyRr....",
         "..dnnnRRRRnnnd..",
         "..dd.nnnnnn.dd..",
         "...dd......dd...",
         "................",
         "................",
         "................",
     }}},
};

constexpr bool pictures_are_complete() {
    for (const ShapeArt& picture : pictures) {
        if (!art_is_complete(picture.art)) {
            return false;
        }
    }
    return art_is_complete(waves) && art_is_complete(speckles) && art_is_complete(grass_tufts);
}
static_assert(pictures_are_complete(), "every picture row holds 16 pixels");

// ---- people: a body template in the colours of an outfit, and a picture on top ----

constexpr TileArt body_in_trousers = {{
    "................",
    "......1111......",
    ".....111111.....",
    ".....122221.....",
    ".....2k22k2.....",
    ".....222222.....",
    "......2222......",
    ".....333333.....",
    "....33333333....",
    "...3333333333...",
    "...33.3333.33...",
    "...22.3333.22...",
    ".....444444.....",
    ".....44..44.....",
    ".....44..44.....",
    "....555..555....",
}};

constexpr TileArt body_in_robe = {{
    "................",
    "......1111......",
    ".....111111.....",
    ".....122221.....",
    ".....2k22k2.....",
    ".....222222.....",
    "......2222......",
    ".....333333.....",
    "....33333333....",
    "...3333333333...",
    "...33.3333.33...",
    "...22.3333.22...",
    "....33333333....",
    "....33333333....",
    "...3333333333...",
    "...5555555555...",
}};

constexpr TileArt body_of_child = {{
    "................",
    "................",
    "................",
    "................",
    "................",
    "......1111......",
    ".....122221.....",
    ".....2k22k2.....",
    "......2222......",
    ".....333333.....",
    "....33333333....",
    "....2.3333.2....",
    "......4444......",
    "......4..4......",
    "......4..4......",
    ".....55..55.....",
}};

enum Body { trousers, robe, child };

struct Person {
    int shape;
    Body body;
    char outfit[6]; // hair or hat, skin, tunic, legs, feet or hem
    TileArt extras; // drawn over the body
};

constexpr TileArt no_extras = {{
    "................",
    "................",
    "................",
    "................",
    "................",
    "................",
    "................",
    "................",
    "................",
    "................",
    "................",
    "................",
    "................",
    "................",
    "................",
    "................",
}};

constexpr Person people[] = {
    {shape_peasant,
     trousers,
     "nRgnd",
     {{
         "................",
         "............l.l.",
         "............l.l.",
         "............lll.",
         ".............n..",
         ".............n..",
         ".............n..",
         ".............n..",
         ".............n..",
         ".............n..",
         ".............n..",
         ".............n..",
         ".............n..",
         ".............n..",
         ".............n..",
         ".............n..",
     }}},
    {shape_townswoman,
     robe,
     "yRMxm",
     {{
         "................",
         "................",
         "................",
         "....y......y....",
         "....y......y....",
         "....y......y....",
         "....y......y....",
         "....y......y....",
         "................",
         "................",
         "................",
         "................",
         "................",
         "................",
         "................",
         "................",
     }}},
    {shape_sailor,
     trousers,
     "wRwBn",
     {{
         "................",
         "................",
         ".....bbbbbb.....",
         "................",
         "................",
         "................",
         "................",
         "................",
         "....bbbbbbbb....",
         "................",
         "...bb.bbbb.bb...",
         "................",
         "................",
         "................",
         "................",
         "................",
     }}},
    {shape_guard,
     trousers,
     "lRrdd",
     {{
         ".............w..",
         "............www.",
         ".............n..",
         ".............n..",
         ".......ll....n..",
         ".............n..",
         ".............n..",
         ".............n..",
         ".yyyy........n..",
         ".yrry........n..",
         ".yrry........n..",
         ".yyyy.yyyy...n..",
         "..yy.........n..",
         ".............n..",
         ".............n..",
         ".............n..",
     }}},
    {shape_merchant,
     robe,
     "nRmxy",
     {{
         ".....rrrrrr.....",
         "....rrrrrrrr....",
         "................",
         "................",
         "................",
         "................",
         "................",
         "......yyyy......",
         "................",
         "................",
         "................",
         ".............y..",
         "............yyy.",
         "............yyy.",
         ".............y..",
         "................",
     }}},
    {shape_bard,
     trousers,
     "rRcyn",
     {{
         "..........ww....",
         "...........w....",
         "................",
         "................",
         "................",
         "................",
         "...........n....",
         "..........n.....",
         ".........n......",
         "...nnnn.n.......",
         "..nyyyynn.......",
         "..nyykyn........",
         "..nyyyyn........",
         "...nnnn.........",
         "................",
         "................",
     }}},
    {shape_mage,
     robe,
     "bRBxy",
     {{
         ".......bb.......",
         ".......y.....C..",
         "....bbbbbbbbCwC.",
         ".............C..",
         ".............n..",
         ".....w....w..n..",
         "......wwww...n..",
         ".......ww....n..",
         ".............n..",
         ".............n..",
         ".............n..",
         ".............n..",
         ".............n..",
         ".............n..",
         ".............n..",
         ".............n..",
     }}},
    {shape_regent,
     robe,
     "yRrxw",
     {{
         ".....y.yy.y.....",
         ".......R.....R..",
         "............RRR.",
         ".....n....n..y..",
         ".............y..",
         ".............y..",
         ".............y..",
         ".....wwwwww..y..",
         ".............y..",
         ".............y..",
         ".............y..",
         ".............y..",
         ".............y..",
         "................",
         "................",
         "................",
     }}},
    {shape_healer,
     robe,
     "wRwxl",
     {{
         "................",
         "................",
         "................",
         "................",
         "................",
         "................",
         "................",
         "................",
         ".......rr.......",
         "......rrrr......",
         ".......rr.......",
         "................",
         "................",
         "................",
         "................",
         "................",
     }}},
    {shape_smith,
     trousers,
     "dRndn",
     {{
         "................",
         "................",
         "................",
         "................",
         "................",
         "............llll",
         "............llll",
         ".............n..",
         ".............n..",
         "......dddd...n..",
         "......dddd...n..",
         "......dddd......",
         "................",
         "................",
         "................",
         "................",
     }}},
    {shape_jester,
     trousers,
     "MRryr",
     {{
         "...y........y...",
         "....MM....MM....",
         "................",
         "................",
         "................",
         "................",
         "................",
         ".....yyy........",
         "....yyyy........",
         "...yyyyy........",
         "...yy.yy........",
         "......yy........",
         ".....rrr........",
         ".....rr.........",
         ".....rr.........",
         "................",
     }}},
    {shape_beggar,
     trousers,
     "dRdnR",
     {{
         "................",
         "................",
         "................",
         "................",
         "................",
         "................",
         "................",
         "................",
         ".....n..........",
         ".nnn............",
         "..n.....n.......",
         "..n.............",
         "..n.........lll.",
         "..n..........l..",
         "..n.............",
         "..n.............",
     }}},
    {shape_ranger,
     trousers,
     "gRgnn",
     {{
         "................",
         "................",
         "................",
         "..n.............",
         ".nl.............",
         "n.l.............",
         "n.l.............",
         "n.l.............",
         "n.l.............",
         "n.l.............",
         "n.l.............",
         "n.l.............",
         ".nl.............",
         "..n.............",
         "................",
         "................",
     }}},
    {shape_child,
     child,
     "yRGBn",
     {{
         "................",
         "................",
         "................",
         "................",
         "................",
         "................",
         "................",
         "................",
         "................",
         "................",
         "................",
         "................",
         "................",
         "............RR..",
         "............RR..",
         "................",
     }}},
    {shape_hero,
     trousers,
     "yRBln",
     {{
         ".............w..",
         ".............w..",
         ".............w..",
         ".............w..",
         ".............w..",
         ".............w..",
         ".............w..",
         ".............w..",
         ".............w..",
         "............yyy.",
         ".............n..",
         "................",
         "................",
         "................",
         "................",
         "................",
     }}},
    {shape_orc,
     trousers,
     "dgndd",
     {{
         "................",
         "................",
         "................",
         "............nnn.",
         "......r..r..nnn.",
         "............nnn.",
         "......w..w...n..",
         ".............n..",
         ".............n..",
         ".............n..",
         ".............n..",
         ".............n..",
         "................",
         "................",
         "................",
         "................",
     }}},
    {shape_demon,
     trousers,
     "rRrrd",
     {{
         "....y......y....",
         ".....y....y.....",
         "................",
         "................",
         "......y..y......",
         "................",
         "dd............dd",
         "ddd..........ddd",
         "dddd........dddd",
         "ddd..........ddd",
         "dd............dd",
         "................",
         "................",
         "...........RR...",
         ".............R..",
         "................",
     }}},
};

constexpr bool people_are_complete() {
    for (const Person& person : people) {
        if (!art_is_complete(person.extras)) {
            return false;
        }
    }
    return art_is_complete(body_in_trousers) && art_is_complete(body_in_robe) &&
           art_is_complete(body_of_child) && art_is_complete(no_extras);
}
static_assert(people_are_complete(), "every person picture row holds 16 pixels");

// ---- procedural bases ----

void draw_water(uint8_t* sheet, int shape) {
    fill(sheet, shape, blue);
    paint_in(sheet, shape, waves, light_blue);
}

void draw_grass(uint8_t* sheet, int shape) {
    fill(sheet, shape, green);
    paint_in(sheet, shape, grass_tufts, light_green);
}

// Courses of bricks `course` pixels high and `length` long, every other course shifted
// by half a brick, with one-pixel mortar lines.
void draw_bricks(uint8_t* sheet, int shape, int course, int length, uint8_t brick, uint8_t mortar,
                 uint8_t top) {
    for (int y = 0; y < tile; ++y) {
        const int shift = (y / course) % 2 == 0 ? 0 : length / 2;
        for (int x = 0; x < tile; ++x) {
            uint8_t colour = brick;
            if (y % course == course - 1 || (x + shift) % length == length - 1) {
                colour = mortar;
            } else if (y % course == 0) {
                colour = top;
            }
            *pixel(sheet, shape, x, y) = colour;
        }
    }
}

void draw_flagstones(uint8_t* sheet, int shape) {
    for (int y = 0; y < tile; ++y) {
        for (int x = 0; x < tile; ++x) {
            const bool light = ((x / 8) + (y / 8)) % 2 == 0;
            uint8_t colour = light ? light_grey : dark_grey;
            if (x % 8 == 7 || y % 8 == 7) {
                colour = black;
            }
            *pixel(sheet, shape, x, y) = colour;
        }
    }
}

void draw_planks(uint8_t* sheet, int shape) {
    for (int y = 0; y < tile; ++y) {
        const int joint = ((y / 4) * 5 + 3) % tile; // staggered plank ends
        for (int x = 0; x < tile; ++x) {
            const bool gap = y % 4 == 3 || x == joint;
            *pixel(sheet, shape, x, y) = gap ? black : brown;
        }
    }
}

// Small stones 3 x 3 with a light top-left corner, in courses shifted by half a stone.
void draw_cobbles(uint8_t* sheet, int shape) {
    for (int y = 0; y < tile; ++y) {
        const int shift = (y / 4) % 2 == 0 ? 0 : 2;
        for (int x = 0; x < tile; ++x) {
            const int stone_x = (x + shift) % 4;
            const int stone_y = y % 4;
            uint8_t colour = dark_grey;
            if (stone_x == 3 || stone_y == 3) {
                colour = black;
            } else if (stone_x == 0 && stone_y == 0) {
                colour = light_grey;
            }
            *pixel(sheet, shape, x, y) = colour;
        }
    }
}

// A north-south wooden bridge: water at both sides, rails, planks across.
void draw_bridge(uint8_t* sheet, int shape) {
    for (int y = 0; y < tile; ++y) {
        for (int x = 0; x < tile; ++x) {
            uint8_t colour = brown;
            if (x == 0 || x == tile - 1) {
                colour = blue;
            } else if (x == 1 || x == tile - 2) {
                colour = y % 4 == 0 ? light_grey : dark_grey;
            } else if (y % 4 == 3) {
                colour = black;
            }
            *pixel(sheet, shape, x, y) = colour;
        }
    }
}

// The ground each shape is drawn on before its picture.
void draw_base(uint8_t* sheet, int shape) {
    switch (shape) {
    case shape_water:
    case shape_sea_serpent:
    case shape_pirate_ship:
    case shape_whirlpool:
        draw_water(sheet, shape);
        return;
    case shape_shallows:
        fill(sheet, shape, light_blue);
        paint_in(sheet, shape, waves, light_cyan);
        return;
    case shape_grass:
    case shape_scrub:
    case shape_hills:
    case shape_mountains:
    case shape_town:
    case shape_castle:
    case shape_cave:
    case shape_tent:
    case shape_flowers:
    case shape_campfire:
        draw_grass(sheet, shape);
        return;
    case shape_swamp:
    case shape_forest:
        fill(sheet, shape, green);
        return;
    case shape_sand:
        fill(sheet, shape, yellow);
        paint(sheet, shape, speckles);
        return;
    case shape_lava:
        fill(sheet, shape, red);
        return;
    case shape_snow:
        fill(sheet, shape, white);
        paint_in(sheet, shape, speckles, light_grey);
        return;
    case shape_road:
        fill(sheet, shape, brown);
        paint_in(sheet, shape, speckles, dark_grey);
        return;
    case shape_bridge:
        draw_bridge(sheet, shape);
        return;
    case shape_brick_wall:
    case shape_window:
    case shape_shop_sign:
        draw_bricks(sheet, shape, 4, 8, red, light_grey, red);
        return;
    case shape_stone_wall:
        draw_bricks(sheet, shape, 4, 8, light_grey, dark_grey, white);
        return;
    case shape_stone_floor:
    case shape_throne:
        draw_flagstones(sheet, shape);
        return;
    case shape_wood_floor:
    case shape_table:
    case shape_bed:
    case shape_chest:
        draw_planks(sheet, shape);
        return;
    case shape_street:
    case shape_fountain:
        draw_cobbles(sheet, shape);
        return;
    default:
        fill(sheet, shape, black); // people, monsters, the time door
        return;
    }
}

// A CGA colour pair for each of the 16 colours: pixels with x + y even take the first,
// odd ones the second, so 16 colours become four solid ones and six checkerboards.
// 0 black, 1 cyan, 2 magenta, 3 light grey.
constexpr uint8_t cga_pairs[exe_palette_entries][2] = {
    {0, 0}, // black
    {0, 1}, // blue: dark cyan
    {1, 1}, // green: cyan
    {1, 1}, // cyan
    {2, 2}, // red: magenta
    {2, 2}, // magenta
    {0, 2}, // brown: dark magenta
    {3, 3}, // light grey
    {0, 3}, // dark grey
    {1, 3}, // light blue: pale cyan
    {1, 3}, // light green: pale cyan
    {1, 3}, // light cyan
    {2, 3}, // light red: pale magenta
    {2, 3}, // light magenta
    {3, 2}, // yellow: pale magenta
    {3, 3}, // white
};

} // namespace

void draw_sample_shapes(uint8_t* sheet) noexcept {
    for (int shape = 0; shape < shape_count; ++shape) {
        draw_base(sheet, shape);
    }
    for (const ShapeArt& picture : pictures) {
        paint(sheet, picture.shape, picture.art);
    }
    for (const Person& person : people) {
        const TileArt& body = person.body == trousers ? body_in_trousers
                              : person.body == robe   ? body_in_robe
                                                      : body_of_child;
        paint(sheet, person.shape, body, person.outfit);
        paint(sheet, person.shape, person.extras);
    }
}

void reduce_to_cga(uint8_t* cga_sheet, const uint8_t* sheet) noexcept {
    const size_t height = sheet_tiles_down * tile;
    for (size_t y = 0; y < height; ++y) {
        for (size_t x = 0; x < exe_sheet_width; ++x) {
            const size_t at = y * exe_sheet_width + x;
            cga_sheet[at] = cga_pairs[sheet[at] & 15][(x + y) % 2];
        }
    }
}

void encode_ega_shapes(uint8_t* block, const uint8_t* sheet) noexcept {
    uint8_t* out = block;
    for (int i = 0; i < sheet_tiles_down; ++i) {
        for (int j = 0; j < sheet_tiles_across; ++j) {
            for (int y = 0; y < tile; ++y) {
                const uint8_t* in = sheet + (tile * i + y) * exe_sheet_width + tile * j;
                for (int k = 0; k < 8; ++k, in += 2) {
                    *out++ = static_cast<uint8_t>((in[0] & 15) << 4 | (in[1] & 15));
                }
            }
        }
    }
}

void encode_cga_shapes(uint8_t* block, const uint8_t* cga_sheet, uint16_t lead) noexcept {
    uint8_t* out = block;
    for (int i = 0; i < sheet_tiles_down; ++i) {
        for (int j = 0; j < sheet_tiles_across; ++j) {
            *out++ = static_cast<uint8_t>(lead & 0xFF);
            *out++ = static_cast<uint8_t>(lead >> 8);
            for (int y = 0; y < tile; ++y) {
                const uint8_t* in = cga_sheet + (tile * i + y) * exe_sheet_width + tile * j;
                for (int k = 0; k < 4; ++k, in += 4) {
                    *out++ = static_cast<uint8_t>((in[0] & 3) << 6 | (in[1] & 3) << 4 |
                                                  (in[2] & 3) << 2 | (in[3] & 3));
                }
            }
        }
    }
}
