// SPDX-License-Identifier: MIT
// The 31 maps of the sample world and their NPC files, built from the table `plans` (one
// row a catalogue row). World maps are islands and continents from integer value noise;
// towns, castles and camps are laid out from walls, streets and rooms, mostly from small
// constant tables. Every NPC stands on a cell whose map tile is its own tile, with the
// tile it covers kept as its ground, except for a few planted disagreements.
#include "sample.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr int size = map_tiles_across; // maps are square

enum Climate { temperate, volcanic, frozen, marsh };

// A world map or one of the kinds of place.
enum MapKind { world, town, port, castle, palace, hamlet, camp, cove };

// How one catalogue row is built; the last three fields matter to world maps only.
struct RowPlan {
    uint32_t seed;
    MapKind kind;
    int continents = 0; // 1..4 land masses
    Climate climate = temperate;
    int towns = 0; // town signs besides the one castle
};

// The map being built: its block, the next free NPC slot and its random stream.
struct Builder {
    MapBlock* block;
    int npc_count;
    Rng rng;
};

struct Rect {
    int x0, y0, x1, y1; // inclusive
};

struct Point {
    int x, y;
};

struct Circle {
    Point c;
    int r;
};

constexpr Rect whole_map = {0, 0, size - 1, size - 1};

bool inside(int x, int y) {
    return x >= 0 && y >= 0 && x < size && y < size;
}

uint8_t tile_of(int shape, int low_bits = 0) {
    return static_cast<uint8_t>(shape * 4 + low_bits);
}

int shape_at(const Builder& b, int x, int y) {
    return b.block->tiles[y * size + x] / 4;
}

void put(Builder* b, int x, int y, int shape) {
    if (inside(x, y)) {
        b->block->tiles[y * size + x] = tile_of(shape);
    }
}

void fill(Builder* b, const Rect& r, int shape) {
    for (int y = r.y0; y <= r.y1; ++y) {
        for (int x = r.x0; x <= r.x1; ++x) {
            put(b, x, y, shape);
        }
    }
}

// The border cells of `r`.
void outline(Builder* b, const Rect& r, int shape) {
    fill(b, {r.x0, r.y0, r.x1, r.y0}, shape);
    fill(b, {r.x0, r.y1, r.x1, r.y1}, shape);
    fill(b, {r.x0, r.y0, r.x0, r.y1}, shape);
    fill(b, {r.x1, r.y0, r.x1, r.y1}, shape);
}

// The squared distance between `a` and (x, y).
int dist2(Point a, int x, int y) {
    return (x - a.x) * (x - a.x) + (y - a.y) * (y - a.y);
}

bool overlaps(const Rect& a, const Rect& b) {
    return a.x0 <= b.x1 && b.x0 <= a.x1 && a.y0 <= b.y1 && b.y0 <= a.y1;
}

// `r` widened by `n` cells on every side (narrowed when n < 0).
Rect grow(const Rect& r, int n) {
    return {r.x0 - n, r.y0 - n, r.x1 + n, r.y1 + n};
}

// A set of shapes, one bit a shape: there are 64 of them.
using ShapeMask = uint64_t;

constexpr ShapeMask bit(int shape) {
    return ShapeMask{1} << shape;
}

bool is_in(ShapeMask set, int shape) {
    return (set >> shape & 1) != 0;
}

// ---- NPC slots ----

bool occupied(const Builder& b, int x, int y) {
    for (int s = 0; s < b.npc_count; ++s) {
        if (b.block->npc.x[s] == x && b.block->npc.y[s] == y) {
            return true;
        }
    }
    return false;
}

// Takes the next slot for an occupant at (x, y), shown as `shown` over `ground`; the
// carried bytes get arbitrary values. The caller makes sure a slot is left.
int add_slot(Builder* b, int x, int y, uint8_t shown, uint8_t ground) {
    const int s = b->npc_count++;
    NpcRecord& npc = b->block->npc;
    npc.x[s] = static_cast<uint8_t>(x);
    npc.y[s] = static_cast<uint8_t>(y);
    npc.shown[s] = shown;
    npc.ground[s] = ground;
    npc.carried1[s] = static_cast<uint8_t>(random_below(&b->rng, 8));
    for (int k = 0; k < 3; ++k) {
        npc.carried2[k * npc_slots + s] = static_cast<uint8_t>(next_random(&b->rng));
    }
    return s;
}

// Puts an occupant on the map the way the game's files hold it: the occupant's tile in
// the map, the tile it covers as its ground. Nothing happens when no slot is left or the
// cell is taken.
void place_npc(Builder* b, int x, int y, int shape) {
    if (b->npc_count < npc_slots && inside(x, y) && !occupied(*b, x, y)) {
        add_slot(b, x, y, tile_of(shape), b->block->tiles[y * size + x]);
        put(b, x, y, shape);
    }
}

// Places `shape` on a random free cell of `area` whose tile is one of `grounds`.
void place_on(Builder* b, const Rect& area, int shape, ShapeMask grounds) {
    for (int attempt = 0; attempt < 400; ++attempt) {
        const int x = area.x0 + random_below(&b->rng, area.x1 - area.x0 + 1);
        const int y = area.y0 + random_below(&b->rng, area.y1 - area.y0 + 1);
        if (inside(x, y) && !occupied(*b, x, y) && is_in(grounds, shape_at(*b, x, y))) {
            place_npc(b, x, y, shape);
            return;
        }
    }
}

// ---- noise ----

uint32_t hash_cell(uint32_t seed, int x, int y) {
    uint32_t h = seed * 0x9E3779B1u ^ static_cast<uint32_t>(x) * 0x85EBCA77u ^
                 static_cast<uint32_t>(y) * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

// Smoothstep on 0..256.
int ease(int t) {
    return t * t * (768 - 2 * t) / 65536;
}

// Value noise 0..1023 on a lattice of `cell` tiles.
int octave(uint32_t seed, int x, int y, int cell) {
    const int ix = x / cell;
    const int iy = y / cell;
    const int tx = ease(x % cell * 256 / cell);
    const int ty = ease(y % cell * 256 / cell);
    const int v00 = static_cast<int>(hash_cell(seed, ix, iy) & 1023);
    const int v10 = static_cast<int>(hash_cell(seed, ix + 1, iy) & 1023);
    const int v01 = static_cast<int>(hash_cell(seed, ix, iy + 1) & 1023);
    const int v11 = static_cast<int>(hash_cell(seed, ix + 1, iy + 1) & 1023);
    const int top = v00 + (v10 - v00) * tx / 256;
    const int bottom = v01 + (v11 - v01) * tx / 256;
    return top + (bottom - top) * ty / 256;
}

int fractal(uint32_t seed, int x, int y) {
    return (octave(seed, x, y, 32) * 8 + octave(seed + 1, x, y, 16) * 4 +
            octave(seed + 2, x, y, 8) * 2 + octave(seed + 3, x, y, 4)) /
           15;
}

// ---- world maps ----

constexpr int sea_level = 430;

bool is_water(int shape) {
    return shape == shape_water || shape == shape_shallows;
}

// Ridge lines: high where a wide-ranging noise crosses its middle value, so mountain
// ranges and lava flows come out as chains rather than blobs.
int ridge(uint32_t seed, int x, int y) {
    const int n = (octave(seed, x, y, 16) * 3 + octave(seed + 1, x, y, 8)) / 4;
    const int r = 1023 - 2 * (n > 512 ? n - 512 : 512 - n);
    return r < 0 ? 0 : r;
}

// The terrain of one cell from its height above the sea, moisture, ridge value and hash,
// as a list of rules: the first that holds decides.
int classify(Climate climate, int above, int moisture, int ridge_value, uint32_t h) {
    if (above < 0) {
        return above < -70 ? shape_water : shape_shallows;
    }
    if (climate == volcanic) {
        return ridge_value > 950 && above > 50                    ? shape_lava
               : (ridge_value > 880 && above > 40) || above > 380 ? shape_mountains
               : (ridge_value > 800 && above > 30) || above > 300 ? shape_hills
               : above < 30                                       ? shape_sand
               : moisture > 620                                   ? shape_forest
               : moisture < 500                                   ? shape_scrub
                                                                  : shape_grass;
    }
    const bool wet = climate == marsh;
    const bool frost = climate == frozen && (above > 170 || above < 20);
    return (ridge_value > 925 && above > 60) || above > 400           ? shape_mountains
           : (ridge_value > 850 && above > 40) || above > 320         ? shape_hills
           : frost && (h & 15) == 0                                   ? shape_forest
           : frost                                                    ? shape_snow
           : above < 20                                               ? shape_sand
           : moisture > (wet ? 520 : 640) && above < (wet ? 260 : 90) ? shape_swamp
           : moisture > 575                                           ? shape_forest
           : moisture < 440                                           ? shape_scrub
                                                                      : shape_grass;
}

// Whether (x, y) lies closer than `distance` to one of `points`.
bool near_any(const Point* points, int count, int x, int y, int distance) {
    for (int i = 0; i < count; ++i) {
        if (dist2(points[i], x, y) < distance * distance) {
            return true;
        }
    }
    return false;
}

// The time doors of `door_set` (none when it is -1); returns how many.
int door_points(int door_set, Point* points) {
    if (door_set < 0) {
        return 0;
    }
    for (int i = 0; i < doors_per_set; ++i) {
        points[i] = {time_door_table[door_set][i].x, time_door_table[door_set][i].y};
    }
    return doors_per_set;
}

// Lays a road from `from` to `to`, first along x then along y (or the other way round),
// bridging shallows. Gives up without a trace when the way meets deep water, lava,
// mountains, another town or a reserved cell.
bool lay_road(Builder* b, Point from, Point to, bool x_first, const Point* reserved,
              int reserved_count) {
    constexpr ShapeMask blockers = bit(shape_water) | bit(shape_lava) | bit(shape_mountains) |
                                   bit(shape_town) | bit(shape_castle);
    Point path[2 * size];
    int length = 0;
    Point at = from;
    for (int leg = 0; leg < 2; ++leg) {
        const bool along_x = (leg == 0) == x_first;
        int& moving = along_x ? at.x : at.y;
        const int goal = along_x ? to.x : to.y;
        while (moving != goal) {
            moving += moving < goal ? 1 : -1;
            if (at.x == to.x && at.y == to.y) {
                break;
            }
            if (is_in(blockers, shape_at(*b, at.x, at.y)) ||
                near_any(reserved, reserved_count, at.x, at.y, 1)) {
                return false;
            }
            path[length++] = at;
        }
    }
    for (int i = 0; i < length; ++i) {
        const int here = shape_at(*b, path[i].x, path[i].y);
        put(b, path[i].x, path[i].y, here == shape_shallows ? shape_bridge : shape_road);
    }
    return true;
}

// The grounds each kind of creature roams.
ShapeMask haunts(int monster) {
    switch (monster) {
    case shape_sea_serpent:
    case shape_pirate_ship:
    case shape_whirlpool:
        return bit(shape_water);
    case shape_slime:
    case shape_snake:
        return bit(shape_swamp) | bit(shape_sand) | bit(shape_scrub);
    case shape_wolf:
    case shape_spider:
        return bit(shape_forest) | bit(shape_snow) | bit(shape_scrub);
    case shape_dragon:
    case shape_demon:
    case shape_bat:
        return bit(shape_hills) | bit(shape_lava) | bit(shape_mountains) | bit(shape_sand);
    case shape_ghost:
        return bit(shape_snow) | bit(shape_swamp) | bit(shape_grass);
    default: // orcs, skeletons, rats, rangers, horses
        return bit(shape_grass) | bit(shape_scrub) | bit(shape_hills) | bit(shape_forest);
    }
}

// Roams the map for a cell that `monster` haunts, away from towns and time doors.
void place_monster(Builder* b, int monster, const Point* sites, int site_count) {
    for (int attempt = 0; attempt < 600; ++attempt) {
        const int x = 2 + random_below(&b->rng, size - 4);
        const int y = 2 + random_below(&b->rng, size - 4);
        if (!occupied(*b, x, y) && !near_any(sites, site_count, x, y, 3) &&
            is_in(haunts(monster), shape_at(*b, x, y))) {
            place_npc(b, x, y, monster);
            return;
        }
    }
}

// The plan of a world map before its terrain: the land domes and the sites.
struct Layout {
    Circle domes[4 * 3]; // three a land mass, the first of them the land mass itself
    int dome_count;
    Point sites[doors_per_set + 1 + 6]; // the time doors, the castle, then the towns
    int site_count;
    int castle; // index of the castle in `sites`
};

// One land mass fills the middle; several take a quarter of the map each, so that straits
// run between them. Each is a cluster of three overlapping domes.
void raise_land(Rng* rng, int continents, Layout* l) {
    static constexpr Point quarters[4] = {{19, 19}, {44, 19}, {44, 44}, {19, 44}};
    const int first_quarter = random_below(rng, 4);
    for (int c = 0; c < continents; ++c) {
        Circle land;
        if (continents == 1) {
            land = {{28 + random_below(rng, 8), 28 + random_below(rng, 8)},
                    20 + random_below(rng, 5)};
        } else {
            const Point q = quarters[(first_quarter + c) % 4];
            land = {{q.x - 4 + random_below(rng, 9), q.y - 4 + random_below(rng, 9)},
                    12 + random_below(rng, 6)};
        }
        l->domes[l->dome_count++] = land;
        const int reach = land.r * 3 / 4;
        for (int k = 1; k < 3; ++k) {
            l->domes[l->dome_count++] = {{land.c.x - reach + random_below(rng, 2 * reach + 1),
                                          land.c.y - reach + random_below(rng, 2 * reach + 1)},
                                         reach + random_below(rng, 5)};
        }
    }
}

// The sites: the time doors, then the castle and the towns, each on the land masses in
// turn, inside the map's border and apart from the others.
void choose_sites(Rng* rng, const RowPlan& plan, int door_set, Layout* l) {
    l->site_count = door_points(door_set, l->sites);
    l->castle = l->site_count;
    for (int t = 0; t <= plan.towns; ++t) {
        const Circle& land = l->domes[3 * (t % plan.continents)];
        const int spread = land.r / 2;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const Point p = {land.c.x - spread + random_below(rng, 2 * spread + 1),
                             land.c.y - spread + random_below(rng, 2 * spread + 1)};
            if (p.x >= 4 && p.y >= 4 && p.x < size - 4 && p.y < size - 4 &&
                !near_any(l->sites, l->site_count, p.x, p.y, 7)) {
                l->sites[l->site_count++] = p;
                break;
            }
        }
    }
}

// Height of a cell above the sea: noise raised by the land domes and the sites (every
// site stands on raised ground), sunk towards the map's edge so the world is an island.
int height_at(const Layout& l, uint32_t seed, int x, int y) {
    int raise = 0;
    for (int d = 0; d < l.dome_count; ++d) {
        const int r2 = l.domes[d].r * l.domes[d].r;
        const int d2 = dist2(l.domes[d].c, x, y);
        if (d2 < r2) {
            raise = std::max(raise, 400 * (r2 - d2) / r2);
        }
    }
    for (int s = 0; s < l.site_count; ++s) {
        const int d2 = dist2(l.sites[s], x, y);
        if (d2 < 16) {
            raise = std::max(raise, 300 * (16 - d2) / 16 + 100);
        }
    }
    const int edge = std::min(std::min(x, y), std::min(size - 1 - x, size - 1 - y));
    const int sink = edge < 8 ? (8 - edge) * 60 : 0;
    return 230 + fractal(seed, x, y) - 512 + raise - sink - sea_level;
}

// The castle and the towns, each in a clearing of open ground, and the roads from the
// castle to the towns.
void settle(Builder* b, const Layout& l, Climate climate) {
    constexpr ShapeMask closed_ground = bit(shape_water) | bit(shape_shallows) |
                                        bit(shape_mountains) | bit(shape_lava) | bit(shape_swamp);
    const int open_ground = climate == frozen ? shape_snow : shape_grass;
    for (int s = 0; s < l.site_count; ++s) {
        for (int y = l.sites[s].y - 1; y <= l.sites[s].y + 1; ++y) {
            for (int x = l.sites[s].x - 1; x <= l.sites[s].x + 1; ++x) {
                if (is_in(closed_ground, shape_at(*b, x, y)) ||
                    (x == l.sites[s].x && y == l.sites[s].y)) {
                    put(b, x, y, open_ground);
                }
            }
        }
    }
    const Point castle = l.sites[l.castle];
    put(b, castle.x, castle.y, shape_castle);
    for (int s = l.castle + 1; s < l.site_count; ++s) {
        put(b, l.sites[s].x, l.sites[s].y, shape_town);
    }
    for (int s = l.castle + 1; s < l.site_count; ++s) {
        if (!lay_road(b, castle, l.sites[s], true, l.sites, l.castle)) {
            lay_road(b, castle, l.sites[s], false, l.sites, l.castle);
        }
    }
}

// A world map: land masses from domes and noise, terrain by climate, the castle and the
// towns joined by roads, two caves, the hero by the castle and the creatures.
void build_world(Builder* b, const RowPlan& plan, int door_set) {
    Layout l{};
    raise_land(&b->rng, plan.continents, &l);
    choose_sites(&b->rng, plan, door_set, &l);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const uint32_t h = hash_cell(plan.seed + 200, x, y);
            const int shape =
                classify(plan.climate, height_at(l, plan.seed, x, y),
                         fractal(plan.seed + 100, x, y), ridge(plan.seed + 50, x, y), h);
            // Water keeps a wave phase in the bits the renderer leaves alone.
            const int low = is_water(shape) ? static_cast<int>(h >> 8 & 3) : 0;
            b->block->tiles[y * size + x] = tile_of(shape, low);
        }
    }
    settle(b, l, plan.climate);

    // Caves at the foot of the hills, away from the sites.
    for (int placed = 0, attempt = 0; placed < 2 && attempt < 500; ++attempt) {
        const int x = 2 + random_below(&b->rng, size - 4);
        const int y = 2 + random_below(&b->rng, size - 4);
        if (shape_at(*b, x, y) == shape_hills && shape_at(*b, x, y + 1) != shape_hills &&
            !is_water(shape_at(*b, x, y + 1)) && !near_any(l.sites, l.site_count, x, y, 4)) {
            put(b, x, y, shape_cave);
            ++placed;
        }
    }

    // The hero by the castle, then the creatures of the land (one row a climate, in the
    // order of Climate) and of the sea.
    place_npc(b, l.sites[l.castle].x, l.sites[l.castle].y + 1, shape_hero);
    static constexpr int land_life[4][12] = {
        {shape_orc, shape_wolf, shape_rat, shape_skeleton, shape_ranger, shape_spider, shape_horse,
         shape_snake, shape_slime, shape_orc, shape_bat, shape_dragon},
        {shape_demon, shape_dragon, shape_skeleton, shape_bat, shape_orc, shape_demon, shape_snake,
         shape_skeleton, shape_orc, shape_rat, shape_demon, shape_bat},
        {shape_wolf, shape_ghost, shape_wolf, shape_skeleton, shape_orc, shape_ghost, shape_ranger,
         shape_spider, shape_wolf, shape_dragon, shape_horse, shape_ghost},
        {shape_slime, shape_snake, shape_bat, shape_ghost, shape_slime, shape_orc, shape_spider,
         shape_snake, shape_rat, shape_skeleton, shape_slime, shape_wolf}};
    for (int monster : land_life[plan.climate]) {
        place_monster(b, monster, l.sites, l.site_count);
    }
    for (int monster : {shape_sea_serpent, shape_pirate_ship, shape_whirlpool, shape_sea_serpent,
                        shape_pirate_ship}) {
        place_monster(b, monster, l.sites, l.site_count);
    }
}

// ---- towns and castles ----

// Tables of things put into a frame (a wall, a room, the whole map). A coordinate counts
// from the frame's low edge (lo + n), its middle (mid + n) or its high edge (hi + n), so
// one table serves walls of any size; on the whole map plain numbers are map coordinates.
constexpr int lo = 0;
constexpr int mid = 1000;
constexpr int hi = 2000;

// One table coordinate on the axis from `low` to `high`.
int resolve(int low, int high, int v) {
    if (v >= hi - mid / 2) {
        return high + (v - hi);
    }
    if (v >= mid / 2) {
        return (low + high) / 2 + (v - mid);
    }
    return low + v;
}

// The cell that a table's (x, y) names in `frame`.
Point locate(const Rect& frame, int x, int y) {
    return {resolve(frame.x0, frame.x1, x), resolve(frame.y0, frame.y1, y)};
}

// One cell: a tile put into the map, or an NPC placed there.
struct Spot {
    int x, y, shape;
};

// A rectangle of one tile.
struct Patch {
    int x0, y0, x1, y1, shape;
};

// Puts the tiles of a table into `frame`.
template <std::size_t n> void put_all(Builder* b, const Rect& frame, const Spot (&spots)[n]) {
    for (const Spot& s : spots) {
        const Point p = locate(frame, s.x, s.y);
        put(b, p.x, p.y, s.shape);
    }
}

// Places the NPCs in table order, which is the order of their slots.
template <std::size_t n> void place_all(Builder* b, const Rect& frame, const Spot (&spots)[n]) {
    for (const Spot& s : spots) {
        const Point p = locate(frame, s.x, s.y);
        place_npc(b, p.x, p.y, s.shape);
    }
}

// Fills the rectangles of a table in `frame`.
template <std::size_t n> void fill_all(Builder* b, const Rect& frame, const Patch (&patches)[n]) {
    for (const Patch& p : patches) {
        const Point from = locate(frame, p.x0, p.y0);
        const Point to = locate(frame, p.x1, p.y1);
        fill(b, {from.x, from.y, to.x, to.y}, p.shape);
    }
}

// Paints `shape` on the cells strictly within (or strictly beyond) `radius` of `c`.
enum Side { within, beyond };
void paint_circle(Builder* b, Point c, int radius, Side side, int shape) {
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int d2 = dist2(c, x, y);
            if (side == within ? d2 < radius * radius : d2 > radius * radius) {
                put(b, x, y, shape);
            }
        }
    }
}

// A room: `floor` inside `wall`s, a door in the middle of the south wall (or the north).
void build_room(Builder* b, const Rect& r, int wall, int floor, bool door_south) {
    fill(b, r, floor);
    outline(b, r, wall);
    put(b, (r.x0 + r.x1) / 2, door_south ? r.y1 : r.y0, shape_door);
}

// A room of stone walls and flagstones, the door to the south.
void build_hall(Builder* b, const Rect& r) {
    build_room(b, r, shape_stone_wall, shape_stone_floor, true);
}

// Grass with woods and scrub around the place.
void build_countryside(Builder* b, uint32_t seed) {
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int m = fractal(seed, x, y);
            put(b, x, y,
                m > 590                               ? shape_forest
                : m < 430                             ? shape_scrub
                : hash_cell(seed + 7, x, y) % 61 == 0 ? shape_flowers
                                                      : shape_grass);
        }
    }
}

// Sea along the south edge from row `coast`: sand, shallows, then deep water.
void build_coast(Builder* b, int coast, uint32_t seed) {
    for (int x = 0; x < size; ++x) {
        const int wobble = static_cast<int>(hash_cell(seed, x / 4, 0) % 3);
        for (int y = coast - 2 + wobble; y < size; ++y) {
            const int depth = y - (coast + wobble);
            const int shape = depth < 0 ? shape_sand : depth < 3 ? shape_shallows : shape_water;
            put(b, x, y, shape);
        }
    }
}

enum RoomKind { shop, house, inn, healer_house, smithy };

// A brick house on a wooden floor, its door in the middle of the south wall (door_south)
// or the north wall, windows in the wall opposite. `kind` furnishes it and gives it its
// keeper; of plain houses every other one (odd `number`) has someone at home.
void build_house(Builder* b, const Rect& r, bool door_south, RoomKind kind, int number) {
    build_room(b, r, shape_brick_wall, shape_wood_floor, door_south);
    for (int x = r.x0 + 2; x < r.x1 - 1; x += 3) {
        put(b, x, door_south ? r.y0 : r.y1, shape_window);
    }
    const int door_x = (r.x0 + r.x1) / 2;
    const int door_y = door_south ? r.y1 : r.y0;
    const Rect in = grow(r, -1);
    const int step = door_south ? 1 : -1;          // one row nearer the door
    const int near_y = door_south ? in.y1 : in.y0; // the row inside the door
    const int far_y = door_south ? in.y0 : in.y1;  // the back row
    if (kind != house && kind != healer_house) {
        put(b, door_x + 1, door_y, shape_shop_sign);
    }
    switch (kind) {
    case shop:
    case smithy: // a counter across the room, the keeper behind it
        fill(b, {in.x0, near_y - step, in.x1 - 1, near_y - step}, shape_counter);
        put(b, in.x1, far_y, shape_chest);
        place_npc(b, door_x, near_y - 2 * step, kind == shop ? shape_merchant : shape_smith);
        return;
    case inn: // tables on every other row from the back wall
        for (int y = in.y0; y <= in.y1; ++y) {
            if (y == near_y || (y - far_y) % 2 != 0) {
                continue;
            }
            for (int x = in.x0 + 1; x < in.x1; x += 2) {
                put(b, x, y, shape_table);
            }
        }
        place_npc(b, in.x0, far_y, shape_bard);
        return;
    case healer_house:
        put(b, in.x0, far_y, shape_bed);
        put(b, in.x1, far_y, shape_bed);
        place_npc(b, door_x, far_y, shape_healer);
        return;
    case house: {
        static constexpr int folk[] = {shape_townswoman, shape_peasant, shape_child,
                                       shape_mage,       shape_jester,  shape_sailor};
        put(b, in.x0, far_y, shape_bed);
        put(b, in.x1, far_y, shape_chest);
        put(b, door_x, (in.y0 + in.y1) / 2, shape_table);
        if (number % 2 == 1) {
            place_npc(b, in.x0, near_y, folk[number / 2 % 6]);
        }
        return;
    }
    }
}

// Fills `area` with rows of buildings whose doors face the street at its south
// (door_south) or north edge, with alleys between the rows; now and then a garden takes
// a building's place. Nothing is built next to `keep_clear`.
void build_quarter(Builder* b, const Rect& area, bool door_south, const Rect& keep_clear,
                   int* number) {
    static constexpr RoomKind kinds[] = {shop,   house, inn,  house, healer_house,
                                         smithy, house, shop, house, house};
    int edge = door_south ? area.y1 : area.y0; // the row next to the street
    for (;;) {
        const int height = 5 + random_below(&b->rng, 3);
        const int far = door_south ? edge - height + 1 : edge + height - 1;
        if (door_south ? far < area.y0 : far > area.y1) {
            return;
        }
        for (int x = area.x0; x + 4 <= area.x1;) {
            const int width = std::min(6 + random_below(&b->rng, 4), area.x1 - x + 1);
            const Rect r = {x, std::min(far, edge), x + width - 1, std::max(far, edge)};
            if (width >= 5 && !overlaps(r, grow(keep_clear, 1))) {
                if (random_below(&b->rng, 6) == 0) {
                    fill(b, r, shape_flowers);
                    put(b, (r.x0 + r.x1) / 2, (r.y0 + r.y1) / 2, shape_forest);
                } else {
                    build_house(b, r, door_south, kinds[*number % 10], *number);
                    ++*number;
                }
            }
            x += width + 1;
        }
        const int alley = door_south ? far - 1 : far + 1;
        if (door_south ? alley < area.y0 : alley > area.y1) {
            return;
        }
        fill(b, {area.x0, alley, area.x1, alley}, shape_street);
        edge = door_south ? alley - 1 : alley + 1;
    }
}

// A walled town, or a port on the coast with piers: roads to four gates, cross streets
// with a fountain on the market square, and four quarters of houses.
void build_walled_town(Builder* b, const RowPlan& plan) {
    Rng& rng = b->rng;
    const bool by_the_sea = plan.kind == port;
    Rect wall = {6 + random_below(&rng, 4), 6 + random_below(&rng, 4), 54 + random_below(&rng, 4),
                 54 + random_below(&rng, 4)};
    if (by_the_sea) {
        wall.y1 = 46;
        build_coast(b, 52, plan.seed);
    }
    const int cx = (wall.x0 + wall.x1) / 2;
    const int cy = (wall.y0 + wall.y1) / 2;
    fill(b, wall, shape_grass);
    outline(b, wall, shape_brick_wall);
    outline(b, grow(wall, -1), shape_street);
    fill(b, {cx, 0, cx, wall.y0 - 1}, shape_road);
    fill(b, {0, cy, wall.x0 - 1, cy}, shape_road);
    fill(b, {wall.x1 + 1, cy, size - 1, cy}, shape_road);
    fill(b, {cx, wall.y1 + 1, cx, by_the_sea ? 51 : size - 1}, shape_road);
    if (by_the_sea) {
        for (int pier = 0; pier < 3; ++pier) {
            const int px = wall.x0 + 6 + pier * ((wall.x1 - wall.x0 - 12) / 2);
            fill(b, {px, 51, px, 58}, shape_bridge);
        }
    }
    fill(b, {cx - 1, wall.y0, cx + 1, wall.y1}, shape_street);
    fill(b, {wall.x0, cy - 1, wall.x1, cy + 1}, shape_street);
    const Rect square = {cx - 4, cy - 4, cx + 4, cy + 4};
    fill(b, square, shape_street);
    put(b, cx, cy, shape_fountain);

    // Guards inside the gates first: the slots run out before the houses do.
    static constexpr Spot gate_folk[] = {
        {mid - 1, lo + 1, shape_guard}, {mid + 1, lo + 1, shape_guard},
        {mid - 1, hi - 1, shape_guard}, {mid + 1, hi - 1, shape_guard},
        {lo + 1, mid + 1, shape_guard}, {hi - 1, mid - 1, shape_guard},
        {lo + 2, mid - 1, shape_beggar}};
    place_all(b, wall, gate_folk);

    int number = static_cast<int>(plan.seed % 10);
    build_quarter(b, {wall.x0 + 2, wall.y0 + 2, cx - 2, cy - 2}, true, square, &number);
    build_quarter(b, {cx + 2, wall.y0 + 2, wall.x1 - 2, cy - 2}, true, square, &number);
    build_quarter(b, {wall.x0 + 2, cy + 2, cx - 2, wall.y1 - 2}, false, square, &number);
    build_quarter(b, {cx + 2, cy + 2, wall.x1 - 2, wall.y1 - 2}, false, square, &number);

    // People about the square and the streets, ships off the piers.
    for (int folk : {shape_child, shape_peasant, shape_townswoman, shape_bard, shape_child,
                     shape_sailor, shape_jester, shape_peasant}) {
        place_on(b, square, folk, bit(shape_street));
    }
    place_on(b, grow(wall, -1), shape_townswoman, bit(shape_street));
    if (by_the_sea) {
        const Rect sea = {0, 56, size - 1, size - 1};
        place_on(b, sea, shape_pirate_ship, bit(shape_water));
        place_on(b, sea, shape_sea_serpent, bit(shape_water));
    }
}

// A castle, or a palace with a garden court: a moat round a curtain wall with corner
// towers, the keep with the throne hall in the north, barracks and kitchen in the court.
void build_castle(Builder* b, const RowPlan& plan) {
    const bool garden = plan.kind == palace;
    Rng& rng = b->rng;
    const Rect wall = {10 + random_below(&rng, 4), 8 + random_below(&rng, 4),
                       49 + random_below(&rng, 4), 48 + random_below(&rng, 4)};
    const int cx = (wall.x0 + wall.x1) / 2;
    fill(b, grow(wall, 4), shape_grass);
    outline(b, grow(wall, 2), shape_shallows);
    outline(b, grow(wall, 3), shape_water);
    fill(b, wall, garden ? shape_flowers : shape_grass);
    outline(b, wall, shape_stone_wall);
    // Corner towers, the gate, the bridge over the moat and the path up to the keep.
    static constexpr Patch works[] = {
        {lo, lo, lo + 2, lo + 2, shape_stone_wall}, {hi - 2, lo, hi, lo + 2, shape_stone_wall},
        {lo, hi - 2, lo + 2, hi, shape_stone_wall}, {hi - 2, hi - 2, hi, hi, shape_stone_wall},
        {mid, hi, mid, hi, shape_street},           {mid, hi + 1, mid, hi + 1, shape_grass},
        {mid, hi + 2, mid, hi + 3, shape_bridge},   {mid, lo + 21, mid, hi - 1, shape_street}};
    fill_all(b, wall, works);
    fill(b, {cx, wall.y1 + 4, cx, size - 1}, shape_road);

    // The keep: the throne hall between the royal chamber (west) and the treasury (east).
    const Rect keep = {cx - 12, wall.y0 + 3, cx + 12, wall.y0 + 20};
    build_hall(b, keep);
    for (int side : {-6, 6}) {
        fill(b, {cx + side, keep.y0, cx + side, keep.y1}, shape_stone_wall);
        put(b, cx + side, keep.y1 - 3, shape_door);
    }
    static constexpr Spot furniture[] = {{mid, lo + 2, shape_throne},
                                         {lo + 2, lo + 2, shape_bed},
                                         {lo + 4, lo + 2, shape_chest},
                                         {lo + 2, lo + 6, shape_table}};
    put_all(b, keep, furniture);
    for (int y = keep.y0 + 2; y < keep.y1 - 4; y += 2) {
        put(b, keep.x1 - 2, y, shape_chest);
        put(b, keep.x1 - 4, y, shape_chest);
    }
    // Barracks and kitchen in the court, with fountains or flower beds and trees.
    const Rect barracks = {wall.x0 + 4, wall.y0 + 25, cx - 5, wall.y1 - 4};
    const Rect kitchen = {cx + 5, wall.y0 + 25, wall.x1 - 4, wall.y1 - 4};
    build_hall(b, barracks);
    build_hall(b, kitchen);
    for (int x = barracks.x0 + 1; x < barracks.x1; x += 2) {
        put(b, x, barracks.y0 + 1, shape_bed);
    }
    for (int x = kitchen.x0 + 2; x < kitchen.x1 - 1; x += 3) {
        put(b, x, kitchen.y0 + 3, shape_table);
    }
    put(b, kitchen.x1 - 1, kitchen.y0 + 1, shape_chest);
    static constexpr Spot fountains[] = {{mid - 8, hi - 3, shape_fountain},
                                         {mid + 8, hi - 3, shape_fountain}};
    static constexpr Patch beds_and_trees[] = {{mid - 3, lo + 23, mid - 2, hi - 3, shape_flowers},
                                               {mid + 2, lo + 23, mid + 3, hi - 3, shape_flowers},
                                               {lo + 4, lo + 21, lo + 6, lo + 23, shape_forest},
                                               {hi - 6, lo + 21, hi - 4, lo + 23, shape_forest}};
    if (garden) {
        put_all(b, wall, fountains);
    } else {
        fill_all(b, wall, beds_and_trees);
    }

    // The court in the keep, then the guards at the gate and in the barracks, a cook in the
    // kitchen and a horse by the road.
    place_npc(b, cx, keep.y0 + 2, shape_regent);
    for (int y = keep.y0 + 4; y < keep.y1 - 1; y += 3) {
        place_npc(b, cx - 3, y, shape_guard);
        place_npc(b, cx + 3, y, shape_guard);
    }
    place_npc(b, cx - 1, keep.y0 + 4, shape_jester);
    place_npc(b, cx + 1, keep.y0 + 3, shape_mage);
    place_npc(b, keep.x0 + 3, keep.y0 + 4, garden ? shape_townswoman : shape_child);
    place_npc(b, keep.x1 - 3, keep.y1 - 2, shape_merchant);
    static constexpr Spot household[] = {{mid - 1, hi - 1, shape_guard},
                                         {mid + 1, hi - 1, shape_guard},
                                         {lo + 6, hi - 5, shape_guard},
                                         {mid + 7, hi - 5, shape_peasant},
                                         {mid + 4, hi + 6, shape_horse}};
    place_all(b, wall, household);
    const Rect court = {wall.x0 + 1, wall.y0 + 21, wall.x1 - 1, wall.y1 - 1};
    place_on(b, court, shape_bard, bit(shape_grass) | bit(shape_flowers));
    place_on(b, court, shape_child, bit(shape_grass) | bit(shape_flowers));
}

struct Building {
    Rect r;
    bool door_south;
    RoomKind kind;
};

// Builds the houses of a table, numbered from `number` on.
template <std::size_t n> void build_all(Builder* b, const Building (&buildings)[n], int number) {
    for (const Building& h : buildings) {
        build_house(b, h.r, h.door_south, h.kind, number++);
    }
}

// A few cottages on either side of a dirt road, a well at the crossroads and fields; no
// walls.
void build_hamlet(Builder* b) {
    fill(b, {0, 30, size - 1, 30}, shape_road);
    fill(b, {34, 0, 34, size - 1}, shape_road);
    put(b, 33, 29, shape_fountain);
    static constexpr Building cottages[] = {
        {{6, 23, 13, 29}, true, house},  {{6, 31, 12, 36}, false, house},
        {{20, 23, 27, 29}, true, shop},  {{20, 31, 26, 36}, false, house},
        {{48, 23, 55, 29}, true, house}, {{48, 31, 54, 36}, false, house}};
    build_all(b, cottages, 1);
    static constexpr Patch fields[] = {{6, 42, 18, 52, shape_scrub},
                                       {24, 42, 36, 52, shape_flowers},
                                       {42, 42, 54, 52, shape_scrub}};
    fill_all(b, whole_map, fields);
    static constexpr Spot folk[] = {{20, 47, shape_peasant},
                                    {40, 45, shape_peasant},
                                    {30, 30, shape_child},
                                    {35, 20, shape_horse},
                                    {50, 30, shape_guard}};
    place_all(b, whole_map, folk);
}

// Tents round a fire in a forest clearing, with a stone signal tower.
void build_camp(Builder* b) {
    const Point fire = {32, 30};
    paint_circle(b, fire, 12, within, shape_scrub);
    paint_circle(b, fire, 8, within, shape_grass);
    paint_circle(b, fire, 18, beyond, shape_forest);
    fill(b, {fire.x, 0, fire.x, fire.y - 2}, shape_road);
    static constexpr Spot camp[] = {
        {32, 30, shape_campfire}, {26, 26, shape_tent}, {38, 26, shape_tent}, {25, 32, shape_tent},
        {39, 32, shape_tent},     {28, 36, shape_tent}, {36, 36, shape_tent}, {32, 37, shape_tent}};
    put_all(b, whole_map, camp);
    build_hall(b, {42, 18, 46, 22}); // the tower
    static constexpr Spot campers[] = {{44, 20, shape_guard},  {31, 29, shape_ranger},
                                       {33, 31, shape_ranger}, {30, 31, shape_hero},
                                       {34, 28, shape_bard},   {22, 30, shape_horse},
                                       {23, 31, shape_horse},  {32, 21, shape_guard}};
    place_all(b, whole_map, campers);
    for (int beast : {shape_wolf, shape_wolf, shape_spider}) {
        place_on(b, whole_map, beast, bit(shape_forest));
    }
}

// A bay under the hills: huts, two caves, piers and ships.
void build_cove(Builder* b, uint32_t seed) {
    const Point bay = {44, 50};
    paint_circle(b, bay, 18, within, shape_sand);
    paint_circle(b, bay, 16, within, shape_shallows);
    paint_circle(b, bay, 13, within, shape_water);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            if (y < 12 || x < 8) { // hills along the north and west edges
                put(b, x, y, (hash_cell(seed, x, y) & 3) == 0 ? shape_mountains : shape_hills);
            }
        }
    }
    static constexpr Patch ways[] = {
        {20, 12, 20, 12, shape_cave},   {40, 12, 40, 12, shape_cave},
        {20, 13, 20, 24, shape_road},   {20, 24, 40, 24, shape_road},
        {36, 30, 36, 40, shape_bridge}, {48, 30, 48, 40, shape_bridge}};
    fill_all(b, whole_map, ways);
    static constexpr Building huts[] = {{{10, 17, 17, 23}, true, inn},
                                        {{24, 17, 31, 23}, true, shop},
                                        {{12, 26, 18, 31}, false, house},
                                        {{24, 26, 30, 31}, false, smithy}};
    build_all(b, huts, 2);
    static constexpr Spot folk[] = {{20, 14, shape_sailor},      {36, 38, shape_sailor},
                                    {22, 24, shape_beggar},      {40, 13, shape_skeleton},
                                    {42, 44, shape_pirate_ship}, {52, 48, shape_pirate_ship},
                                    {46, 56, shape_whirlpool},   {33, 24, shape_sailor}};
    place_all(b, whole_map, folk);
}

// Builds one catalogue row. Every place stands in open country that its kind then builds on.
void build_row(Builder* b, const RowPlan& plan, int door_set) {
    if (plan.kind == world) {
        build_world(b, plan, door_set);
        return;
    }
    build_countryside(b, plan.seed);
    if (plan.kind == town || plan.kind == port) {
        build_walled_town(b, plan);
    } else if (plan.kind == castle || plan.kind == palace) {
        build_castle(b, plan);
    } else if (plan.kind == hamlet) {
        build_hamlet(b);
    } else if (plan.kind == camp) {
        build_camp(b);
    } else {
        build_cove(b, plan.seed);
    }
}

// ---- the catalogue rows ----

// One row a catalogue row: its seed and what it shows.
constexpr RowPlan plans[map_count] = {
    {0x1001, world, 3, temperate, 3}, // MAPX00 Elderdays
    {0x2001, castle},                 // MAPX03 Elderdays Vesper's Keep
    {0x1002, world, 2, temperate, 3}, // MAPX10 Firstland
    {0x2003, town},                   // MAPX11 Firstland Orrin's Town
    {0x1004, world, 3, temperate, 4}, // MAPX20 O.E.
    {0x2005, port},                   // MAPX21 O.E. Le Falcon
    {0x2006, town},                   // MAPX22 O.E. Towne Arla
    {0x2007, castle},                 // MAPX23 O.E. Regent's Castle
    {0x1008, world, 2, frozen, 3},    // MAPX30 N.E.
    {0x2009, port},                   // MAPX31 N.E. Port Caldera
    {0x200A, town},                   // MAPX32 N.E. New Corvale
    {0x200B, castle},                 // MAPX33 N.E. Regent's Castle
    {0x100C, world, 2, volcanic, 2},  // MAPX40 Ashfall
    {0x200D, cove},                   // MAPX41 Ashfall Smuggler's Cove
    {0x100E, world, 2, marsh, 2},     // MAPG10 Kessa
    {0x100F, world, 1, temperate, 2}, // MAPG20 Orvel
    {0x1010, world, 3, temperate, 3}, // MAPG30 Drun
    {0x2011, town},                   // MAPG32 Drun Towne Bessa
    {0x1012, world, 2, frozen, 2},    // MAPG40 Halvar
    {0x2013, hamlet},                 // MAPG41 Halvar Hamlet
    {0x1014, world, 4, marsh, 3},     // MAPG50 Sennet
    {0x1015, world, 2, temperate, 3}, // MAPG60 Tolm
    {0x2016, town},                   // MAPG61 Tolm New Falcon
    {0x1017, world, 3, frozen, 3},    // MAPG70 Wyss
    {0x2018, camp},                   // MAPG71 Wyss Signal Camp
    {0x1019, world, 2, temperate, 4}, // MAPG80 Brisk
    {0x201A, town},                   // MAPG81 Brisk Rennerville
    {0x201B, town},                   // MAPG82 Brisk Town Hollis
    {0x101C, world, 3, volcanic, 2},  // MAPG90 Q
    {0x201D, town},                   // MAPG92 Q Towne Dorvik
    {0x201E, palace},                 // MAPG93 Q Ilva's Palace
};

// The first cell, row by row, of `area` that starts a run of `length` cells eastwards
// showing `shape`, none of them taken by an NPC or near a time door of `door_set`;
// {-1, -1} when there is none.
Point find_run(const Builder& b, const Rect& area, int shape, int length, int door_set) {
    Point doors[doors_per_set];
    const int door_count = door_points(door_set, doors);
    for (int y = area.y0; y <= area.y1; ++y) {
        for (int x = area.x0; x + length - 1 <= area.x1; ++x) {
            bool fits = true;
            for (int i = x; i < x + length && fits; ++i) {
                fits = shape_at(b, i, y) == shape && !occupied(b, i, y) &&
                       !near_any(doors, door_count, i, y, 3);
            }
            if (fits) {
                return {x, y};
            }
        }
    }
    return {-1, -1};
}

void plant(PlantedMismatches* planted, int row, int slot) {
    if (slot >= 0 && planted->count < max_planted_mismatches) {
        planted->items[planted->count++] = {row, slot};
    }
}

// The planted disagreements between maps and NPC files.
void plant_mismatches(Builder* rows, PlantedMismatches* planted) {
    // Firstland: a wolf moved one cell east; the map still shows it where it was.
    Builder* b = &rows[2];
    Point p = find_run(*b, {8, 8, 55, 55}, shape_grass, 2, map_catalogue[2].door_set);
    if (p.x >= 0 && b->npc_count < npc_slots) {
        put(b, p.x, p.y, shape_wolf);
        plant(planted, 2, add_slot(b, p.x + 1, p.y, tile_of(shape_wolf), tile_of(shape_grass)));
    }
    // Le Falcon: a merchant's record carries other low bits than the map's tile.
    NpcRecord& falcon = rows[5].block->npc;
    for (int s = 0; s < rows[5].npc_count; ++s) {
        if (falcon.shown[s] == tile_of(shape_merchant)) {
            falcon.shown[s] = tile_of(shape_merchant, 1);
            plant(planted, 5, s);
            break;
        }
    }
    // Hamlet, whose map is kept on a mismatch: a peasant the map does not show, and a
    // stale guard record under a townswoman who does match.
    b = &rows[19];
    p = find_run(*b, {2, 34, 61, 40}, shape_grass, 2, -1);
    if (p.x >= 0 && b->npc_count + 3 <= npc_slots) {
        plant(planted, 19, add_slot(b, p.x, p.y, tile_of(shape_peasant), tile_of(shape_grass)));
        const uint8_t ground = b->block->tiles[p.y * size + p.x + 1];
        plant(planted, 19, add_slot(b, p.x + 1, p.y, tile_of(shape_guard), ground));
        add_slot(b, p.x + 1, p.y, tile_of(shape_townswoman), ground);
        put(b, p.x + 1, p.y, shape_townswoman);
    }
    // Q: a sea serpent over a wave the map still holds.
    b = &rows[28];
    p = find_run(*b, grow(whole_map, -10), shape_water, 1, -1);
    if (p.x >= 0 && b->npc_count < npc_slots) {
        const uint8_t wave = tile_of(shape_water, 2);
        b->block->tiles[p.y * size + p.x] = wave;
        plant(planted, 28, add_slot(b, p.x, p.y, tile_of(shape_sea_serpent), wave));
    }
}

} // namespace

uint32_t next_random(Rng* rng) noexcept {
    uint32_t x = rng->state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    rng->state = x;
    return x;
}

int random_below(Rng* rng, int bound) noexcept {
    return static_cast<int>(next_random(rng) % static_cast<uint32_t>(bound));
}

void build_sample_world(MapBlock blocks[map_count], PlantedMismatches* planted) noexcept {
    Builder rows[map_count];
    planted->count = 0;
    for (int row = 0; row < map_count; ++row) {
        blocks[row] = MapBlock{};
        rows[row] = {&blocks[row], 0, {plans[row].seed * 2654435761u | 1u}};
        build_row(&rows[row], plans[row], map_catalogue[row].door_set);
    }
    // Elderdays: a ranger waits on a time door.
    const DoorPosition& door = time_door_table[0][1];
    place_npc(&rows[0], door.x, door.y, shape_ranger);
    plant_mismatches(rows, planted);
}
