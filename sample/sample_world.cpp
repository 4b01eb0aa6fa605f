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

constexpr int map_side = map_tiles_across; // tiles along either side: maps are square

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
    Point centre;
    int radius;
};

constexpr Rect whole_map = {0, 0, map_side - 1, map_side - 1};

bool inside(int x, int y) {
    return x >= 0 && y >= 0 && x < map_side && y < map_side;
}

uint8_t tile_of(int shape, int low_bits = 0) {
    return static_cast<uint8_t>(shape * 4 + low_bits);
}

int shape_at(const Builder& builder, int x, int y) {
    return builder.block->tiles[y * map_side + x] / 4;
}

void put(Builder* builder, int x, int y, int shape) {
    if (inside(x, y)) {
        builder->block->tiles[y * map_side + x] = tile_of(shape);
    }
}

void fill(Builder* builder, const Rect& r, int shape) {
    for (int y = r.y0; y <= r.y1; ++y) {
        for (int x = r.x0; x <= r.x1; ++x) {
            put(builder, x, y, shape);
        }
    }
}

// The border cells of `r`.
void outline(Builder* builder, const Rect& r, int shape) {
    fill(builder, {r.x0, r.y0, r.x1, r.y0}, shape);
    fill(builder, {r.x0, r.y1, r.x1, r.y1}, shape);
    fill(builder, {r.x0, r.y0, r.x0, r.y1}, shape);
    fill(builder, {r.x1, r.y0, r.x1, r.y1}, shape);
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

bool occupied(const Builder& builder, int x, int y) {
    for (int s = 0; s < builder.npc_count; ++s) {
        if (builder.block->npc.x[s] == x && builder.block->npc.y[s] == y) {
            return true;
        }
    }
    return false;
}

// Takes the next slot for an occupant at (x, y), shown as `shown` over `ground`; the
// carried bytes get arbitrary values. The caller makes sure a slot is left.
int add_slot(Builder* builder, int x, int y, uint8_t shown, uint8_t ground) {
    const int s = builder->npc_count++;
    NpcRecord& npc = builder->block->npc;
    npc.x[s] = static_cast<uint8_t>(x);
    npc.y[s] = static_cast<uint8_t>(y);
    npc.shown[s] = shown;
    npc.ground[s] = ground;
    npc.carried1[s] = static_cast<uint8_t>(random_below(&builder->rng, 8));
    for (int k = 0; k < 3; ++k) {
        npc.carried2[k * npc_slots + s] = static_cast<uint8_t>(next_random(&builder->rng));
    }
    return s;
}

// Puts an occupant on the map the way the game's files hold it: the occupant's tile in
// the map, the tile it covers as its ground. Nothing happens when no slot is left or the
// cell is taken.
void place_npc(Builder* builder, int x, int y, int shape) {
    if (builder->npc_count < npc_slots && inside(x, y) && !occupied(*builder, x, y)) {
        add_slot(builder, x, y, tile_of(shape), builder->block->tiles[y * map_side + x]);
        put(builder, x, y, shape);
    }
}

// Places `shape` on a random free cell of `area` whose tile is one of `grounds`.
void place_on(Builder* builder, const Rect& area, int shape, ShapeMask grounds) {
    for (int attempt = 0; attempt < 400; ++attempt) {
        const int x = area.x0 + random_below(&builder->rng, area.x1 - area.x0 + 1);
        const int y = area.y0 + random_below(&builder->rng, area.y1 - area.y0 + 1);
        if (inside(x, y) && !occupied(*builder, x, y) && is_in(grounds, shape_at(*builder, x, y))) {
            place_npc(builder, x, y, shape);
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
    const int noise = (octave(seed, x, y, 16) * 3 + octave(seed + 1, x, y, 8)) / 4;
    const int crest = 1023 - 2 * (noise > 512 ? noise - 512 : 512 - noise);
    return crest < 0 ? 0 : crest;
}

// The terrain of one cell from its height above the sea, moisture, ridge value and hash,
// as a list of rules: the first that holds decides.
int classify(Climate climate, int above, int moisture, int ridge_value, uint32_t hash) {
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
           : frost && (hash & 15) == 0                                ? shape_forest
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
bool lay_road(Builder* builder, Point from, Point to, bool x_first, const Point* reserved,
              int reserved_count) {
    constexpr ShapeMask blockers = bit(shape_water) | bit(shape_lava) | bit(shape_mountains) |
                                   bit(shape_town) | bit(shape_castle);
    Point path[2 * map_side];
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
            if (is_in(blockers, shape_at(*builder, at.x, at.y)) ||
                near_any(reserved, reserved_count, at.x, at.y, 1)) {
                return false;
            }
            path[length++] = at;
        }
    }
    for (int i = 0; i < length; ++i) {
        const int here = shape_at(*builder, path[i].x, path[i].y);
        put(builder, path[i].x, path[i].y, here == shape_shallows ? shape_bridge : shape_road);
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
void place_monster(Builder* builder, int monster, const Point* sites, int site_count) {
    for (int attempt = 0; attempt < 600; ++attempt) {
        const int x = 2 + random_below(&builder->rng, map_side - 4);
        const int y = 2 + random_below(&builder->rng, map_side - 4);
        if (!occupied(*builder, x, y) && !near_any(sites, site_count, x, y, 3) &&
            is_in(haunts(monster), shape_at(*builder, x, y))) {
            place_npc(builder, x, y, monster);
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
void raise_land(Rng* rng, int continents, Layout* layout) {
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
        layout->domes[layout->dome_count++] = land;
        const int reach = land.radius * 3 / 4;
        for (int k = 1; k < 3; ++k) {
            layout->domes[layout->dome_count++] = {
                {land.centre.x - reach + random_below(rng, 2 * reach + 1),
                 land.centre.y - reach + random_below(rng, 2 * reach + 1)},
                reach + random_below(rng, 5)};
        }
    }
}

// The sites: the time doors, then the castle and the towns, each on the land masses in
// turn, inside the map's border and apart from the others.
void choose_sites(Rng* rng, const RowPlan& plan, int door_set, Layout* layout) {
    layout->site_count = door_points(door_set, layout->sites);
    layout->castle = layout->site_count;
    for (int t = 0; t <= plan.towns; ++t) {
        const Circle& land = layout->domes[3 * (t % plan.continents)];
        const int spread = land.radius / 2;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const Point p = {land.centre.x - spread + random_below(rng, 2 * spread + 1),
                             land.centre.y - spread + random_below(rng, 2 * spread + 1)};
            if (p.x >= 4 && p.y >= 4 && p.x < map_side - 4 && p.y < map_side - 4 &&
                !near_any(layout->sites, layout->site_count, p.x, p.y, 7)) {
                layout->sites[layout->site_count++] = p;
                break;
            }
        }
    }
}

// Height of a cell above the sea: noise raised by the land domes and the sites (every
// site stands on raised ground), sunk towards the map's edge so the world is an island.
int height_at(const Layout& layout, uint32_t seed, int x, int y) {
    int raise = 0;
    for (int d = 0; d < layout.dome_count; ++d) {
        const int r2 = layout.domes[d].radius * layout.domes[d].radius;
        const int d2 = dist2(layout.domes[d].centre, x, y);
        if (d2 < r2) {
            raise = std::max(raise, 400 * (r2 - d2) / r2);
        }
    }
    for (int s = 0; s < layout.site_count; ++s) {
        const int d2 = dist2(layout.sites[s], x, y);
        if (d2 < 16) {
            raise = std::max(raise, 300 * (16 - d2) / 16 + 100);
        }
    }
    const int edge = std::min(std::min(x, y), std::min(map_side - 1 - x, map_side - 1 - y));
    const int sink = edge < 8 ? (8 - edge) * 60 : 0;
    return 230 + fractal(seed, x, y) - 512 + raise - sink - sea_level;
}

// The castle and the towns, each in a clearing of open ground, and the roads from the
// castle to the towns.
void settle(Builder* builder, const Layout& layout, Climate climate) {
    constexpr ShapeMask closed_ground = bit(shape_water) | bit(shape_shallows) |
                                        bit(shape_mountains) | bit(shape_lava) | bit(shape_swamp);
    const int open_ground = climate == frozen ? shape_snow : shape_grass;
    for (int s = 0; s < layout.site_count; ++s) {
        for (int y = layout.sites[s].y - 1; y <= layout.sites[s].y + 1; ++y) {
            for (int x = layout.sites[s].x - 1; x <= layout.sites[s].x + 1; ++x) {
                if (is_in(closed_ground, shape_at(*builder, x, y)) ||
                    (x == layout.sites[s].x && y == layout.sites[s].y)) {
                    put(builder, x, y, open_ground);
                }
            }
        }
    }
    const Point castle = layout.sites[layout.castle];
    put(builder, castle.x, castle.y, shape_castle);
    for (int s = layout.castle + 1; s < layout.site_count; ++s) {
        put(builder, layout.sites[s].x, layout.sites[s].y, shape_town);
    }
    for (int s = layout.castle + 1; s < layout.site_count; ++s) {
        if (!lay_road(builder, castle, layout.sites[s], true, layout.sites, layout.castle)) {
            lay_road(builder, castle, layout.sites[s], false, layout.sites, layout.castle);
        }
    }
}

// A world map: land masses from domes and noise, terrain by climate, the castle and the
// towns joined by roads, two caves, the hero by the castle and the creatures.
void build_world(Builder* builder, const RowPlan& plan, int door_set) {
    Layout layout{};
    raise_land(&builder->rng, plan.continents, &layout);
    choose_sites(&builder->rng, plan, door_set, &layout);
    for (int y = 0; y < map_side; ++y) {
        for (int x = 0; x < map_side; ++x) {
            const uint32_t hash = hash_cell(plan.seed + 200, x, y);
            const int shape =
                classify(plan.climate, height_at(layout, plan.seed, x, y),
                         fractal(plan.seed + 100, x, y), ridge(plan.seed + 50, x, y), hash);
            // Water keeps a wave phase in the bits the renderer leaves alone.
            const int low = is_water(shape) ? static_cast<int>(hash >> 8 & 3) : 0;
            builder->block->tiles[y * map_side + x] = tile_of(shape, low);
        }
    }
    settle(builder, layout, plan.climate);

    // Caves at the foot of the hills, away from the sites.
    for (int placed = 0, attempt = 0; placed < 2 && attempt < 500; ++attempt) {
        const int x = 2 + random_below(&builder->rng, map_side - 4);
        const int y = 2 + random_below(&builder->rng, map_side - 4);
        if (shape_at(*builder, x, y) == shape_hills &&
            shape_at(*builder, x, y + 1) != shape_hills &&
            !is_water(shape_at(*builder, x, y + 1)) &&
            !near_any(layout.sites, layout.site_count, x, y, 4)) {
            put(builder, x, y, shape_cave);
            ++placed;
        }
    }

    // The hero by the castle, then the creatures of the land (one row a climate, in the
    // order of Climate) and of the sea.
    place_npc(builder, layout.sites[layout.castle].x, layout.sites[layout.castle].y + 1,
              shape_hero);
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
        place_monster(builder, monster, layout.sites, layout.site_count);
    }
    for (int monster : {shape_sea_serpent, shape_pirate_ship, shape_whirlpool, shape_sea_serpent,
                        shape_pirate_ship}) {
        place_monster(builder, monster, layout.sites, layout.site_count);
    }
}

// ---- towns and castles ----

// Tables of things put into a frame (a wall, a room, the whole map). A coordinate counts
// from the frame's low edge (low_edge + n), its middle (middle + n) or its high edge
// (high_edge + n), so one table serves walls of any size; on the whole map plain numbers
// are map coordinates.
constexpr int low_edge = 0;
constexpr int middle = 1000;
constexpr int high_edge = 2000;

// The cell that table coordinate `code` names on the axis from `first` to `last`.
int resolve(int first, int last, int code) {
    if (code >= high_edge - middle / 2) {
        return last + (code - high_edge);
    }
    if (code >= middle / 2) {
        return (first + last) / 2 + (code - middle);
    }
    return first + code;
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
template <std::size_t n> void put_all(Builder* builder, const Rect& frame, const Spot (&spots)[n]) {
    for (const Spot& spot : spots) {
        const Point p = locate(frame, spot.x, spot.y);
        put(builder, p.x, p.y, spot.shape);
    }
}

// Places the NPCs in table order, which is the order of their slots.
template <std::size_t n>
void place_all(Builder* builder, const Rect& frame, const Spot (&spots)[n]) {
    for (const Spot& spot : spots) {
        const Point p = locate(frame, spot.x, spot.y);
        place_npc(builder, p.x, p.y, spot.shape);
    }
}

// Fills the rectangles of a table in `frame`.
template <std::size_t n>
void fill_all(Builder* builder, const Rect& frame, const Patch (&patches)[n]) {
    for (const Patch& patch : patches) {
        const Point from = locate(frame, patch.x0, patch.y0);
        const Point to = locate(frame, patch.x1, patch.y1);
        fill(builder, {from.x, from.y, to.x, to.y}, patch.shape);
    }
}

// Paints `shape` on the cells strictly within (or strictly beyond) `radius` of `c`.
enum Side { within, beyond };
void paint_circle(Builder* builder, Point c, int radius, Side side, int shape) {
    for (int y = 0; y < map_side; ++y) {
        for (int x = 0; x < map_side; ++x) {
            const int d2 = dist2(c, x, y);
            if (side == within ? d2 < radius * radius : d2 > radius * radius) {
                put(builder, x, y, shape);
            }
        }
    }
}

// A room: `floor` inside `wall`s, a door in the middle of the south wall (or the north).
void build_room(Builder* builder, const Rect& r, int wall, int floor, bool door_south) {
    fill(builder, r, floor);
    outline(builder, r, wall);
    put(builder, (r.x0 + r.x1) / 2, door_south ? r.y1 : r.y0, shape_door);
}

// A room of stone walls and flagstones, the door to the south.
void build_hall(Builder* builder, const Rect& r) {
    build_room(builder, r, shape_stone_wall, shape_stone_floor, true);
}

// Grass with woods and scrub around the place.
void build_countryside(Builder* builder, uint32_t seed) {
    for (int y = 0; y < map_side; ++y) {
        for (int x = 0; x < map_side; ++x) {
            const int vegetation = fractal(seed, x, y);
            put(builder, x, y,
                vegetation > 590                      ? shape_forest
                : vegetation < 430                    ? shape_scrub
                : hash_cell(seed + 7, x, y) % 61 == 0 ? shape_flowers
                                                      : shape_grass);
        }
    }
}

// Sea along the south edge from row `coast`: sand, shallows, then deep water.
void build_coast(Builder* builder, int coast, uint32_t seed) {
    for (int x = 0; x < map_side; ++x) {
        const int wobble = static_cast<int>(hash_cell(seed, x / 4, 0) % 3);
        for (int y = coast - 2 + wobble; y < map_side; ++y) {
            const int depth = y - (coast + wobble);
            const int shape = depth < 0 ? shape_sand : depth < 3 ? shape_shallows : shape_water;
            put(builder, x, y, shape);
        }
    }
}

enum RoomKind { shop, house, inn, healer_house, smithy };

// A brick house on a wooden floor, its door in the middle of the south wall (door_south)
// or the north wall, windows in the wall opposite. `kind` furnishes it and gives it its
// keeper; of plain houses every other one (odd `number`) has someone at home.
void build_house(Builder* builder, const Rect& r, bool door_south, RoomKind kind, int number) {
    build_room(builder, r, shape_brick_wall, shape_wood_floor, door_south);
    for (int x = r.x0 + 2; x < r.x1 - 1; x += 3) {
        put(builder, x, door_south ? r.y0 : r.y1, shape_window);
    }
    const int door_x = (r.x0 + r.x1) / 2;
    const int door_y = door_south ? r.y1 : r.y0;
    const Rect in = grow(r, -1);
    const int step = door_south ? 1 : -1;          // one row nearer the door
    const int near_y = door_south ? in.y1 : in.y0; // the row inside the door
    const int far_y = door_south ? in.y0 : in.y1;  // the back row
    if (kind != house && kind != healer_house) {
        put(builder, door_x + 1, door_y, shape_shop_sign);
    }
    switch (kind) {
    case shop:
    case smithy: // a counter across the room, the keeper behind it
        fill(builder, {in.x0, near_y - step, in.x1 - 1, near_y - step}, shape_counter);
        put(builder, in.x1, far_y, shape_chest);
        place_npc(builder, door_x, near_y - 2 * step, kind == shop ? shape_merchant : shape_smith);
        return;
    case inn: // tables on every other row from the back wall
        for (int y = in.y0; y <= in.y1; ++y) {
            if (y == near_y || (y - far_y) % 2 != 0) {
                continue;
            }
            for (int x = in.x0 + 1; x < in.x1; x += 2) {
                put(builder, x, y, shape_table);
            }
        }
        place_npc(builder, in.x0, far_y, shape_bard);
        return;
    case healer_house:
        put(builder, in.x0, far_y, shape_bed);
        put(builder, in.x1, far_y, shape_bed);
        place_npc(builder, door_x, far_y, shape_healer);
        return;
    case house: {
        static constexpr int folk[] = {shape_townswoman, shape_peasant, shape_child,
                                       shape_mage,       shape_jester,  shape_sailor};
        put(builder, in.x0, far_y, shape_bed);
        put(builder, in.x1, far_y, shape_chest);
        put(builder, door_x, (in.y0 + in.y1) / 2, shape_table);
        if (number % 2 == 1) {
            place_npc(builder, in.x0, near_y, folk[number / 2 % 6]);
        }
        return;
    }
    }
}

// Fills `area` with rows of buildings whose doors face the street at its south
// (door_south) or north edge, with alleys between the rows; now and then a garden takes
// a building's place. Nothing is built next to `keep_clear`.
void build_quarter(Builder* builder, const Rect& area, bool door_south, const Rect& keep_clear,
                   int* number) {
    static constexpr RoomKind kinds[] = {shop,   house, inn,  house, healer_house,
                                         smithy, house, shop, house, house};
    int edge = door_south ? area.y1 : area.y0; // the row next to the street
    for (;;) {
        const int height = 5 + random_below(&builder->rng, 3);
        const int far = door_south ? edge - height + 1 : edge + height - 1;
        if (door_south ? far < area.y0 : far > area.y1) {
            return;
        }
        for (int x = area.x0; x + 4 <= area.x1;) {
            const int width = std::min(6 + random_below(&builder->rng, 4), area.x1 - x + 1);
            const Rect r = {x, std::min(far, edge), x + width - 1, std::max(far, edge)};
            if (width >= 5 && !overlaps(r, grow(keep_clear, 1))) {
                if (random_below(&builder->rng, 6) == 0) {
                    fill(builder, r, shape_flowers);
                    put(builder, (r.x0 + r.x1) / 2, (r.y0 + r.y1) / 2, shape_forest);
                } else {
                    build_house(builder, r, door_south, kinds[*number % 10], *number);
                    ++*number;
                }
            }
            x += width + 1;
        }
        const int alley = door_south ? far - 1 : far + 1;
        if (door_south ? alley < area.y0 : alley > area.y1) {
            return;
        }
        fill(builder, {area.x0, alley, area.x1, alley}, shape_street);
        edge = door_south ? alley - 1 : alley + 1;
    }
}

// A walled town, or a port on the coast with piers: roads to four gates, cross streets
// with a fountain on the market square, and four quarters of houses.
void build_walled_town(Builder* builder, const RowPlan& plan) {
    Rng& rng = builder->rng;
    const bool by_the_sea = plan.kind == port;
    Rect wall = {6 + random_below(&rng, 4), 6 + random_below(&rng, 4), 54 + random_below(&rng, 4),
                 54 + random_below(&rng, 4)};
    if (by_the_sea) {
        wall.y1 = 46;
        build_coast(builder, 52, plan.seed);
    }
    const int cx = (wall.x0 + wall.x1) / 2;
    const int cy = (wall.y0 + wall.y1) / 2;
    fill(builder, wall, shape_grass);
    outline(builder, wall, shape_brick_wall);
    outline(builder, grow(wall, -1), shape_street);
    fill(builder, {cx, 0, cx, wall.y0 - 1}, shape_road);
    fill(builder, {0, cy, wall.x0 - 1, cy}, shape_road);
    fill(builder, {wall.x1 + 1, cy, map_side - 1, cy}, shape_road);
    fill(builder, {cx, wall.y1 + 1, cx, by_the_sea ? 51 : map_side - 1}, shape_road);
    if (by_the_sea) {
        for (int pier = 0; pier < 3; ++pier) {
            const int px = wall.x0 + 6 + pier * ((wall.x1 - wall.x0 - 12) / 2);
            fill(builder, {px, 51, px, 58}, shape_bridge);
        }
    }
    fill(builder, {cx - 1, wall.y0, cx + 1, wall.y1}, shape_street);
    fill(builder, {wall.x0, cy - 1, wall.x1, cy + 1}, shape_street);
    const Rect square = {cx - 4, cy - 4, cx + 4, cy + 4};
    fill(builder, square, shape_street);
    put(builder, cx, cy, shape_fountain);

    // Guards inside the gates first: the slots run out before the houses do.
    static constexpr Spot gate_folk[] = {
        {middle - 1, low_edge + 1, shape_guard},  {middle + 1, low_edge + 1, shape_guard},
        {middle - 1, high_edge - 1, shape_guard}, {middle + 1, high_edge - 1, shape_guard},
        {low_edge + 1, middle + 1, shape_guard},  {high_edge - 1, middle - 1, shape_guard},
        {low_edge + 2, middle - 1, shape_beggar}};
    place_all(builder, wall, gate_folk);

    int number = static_cast<int>(plan.seed % 10);
    build_quarter(builder, {wall.x0 + 2, wall.y0 + 2, cx - 2, cy - 2}, true, square, &number);
    build_quarter(builder, {cx + 2, wall.y0 + 2, wall.x1 - 2, cy - 2}, true, square, &number);
    build_quarter(builder, {wall.x0 + 2, cy + 2, cx - 2, wall.y1 - 2}, false, square, &number);
    build_quarter(builder, {cx + 2, cy + 2, wall.x1 - 2, wall.y1 - 2}, false, square, &number);

    // People about the square and the streets, ships off the piers.
    for (int folk : {shape_child, shape_peasant, shape_townswoman, shape_bard, shape_child,
                     shape_sailor, shape_jester, shape_peasant}) {
        place_on(builder, square, folk, bit(shape_street));
    }
    place_on(builder, grow(wall, -1), shape_townswoman, bit(shape_street));
    if (by_the_sea) {
        const Rect sea = {0, 56, map_side - 1, map_side - 1};
        place_on(builder, sea, shape_pirate_ship, bit(shape_water));
        place_on(builder, sea, shape_sea_serpent, bit(shape_water));
    }
}

// A castle, or a palace with a garden court: a moat round a curtain wall with corner
// towers, the keep with the throne hall in the north, barracks and kitchen in the court.
void build_castle(Builder* builder, const RowPlan& plan) {
    const bool garden = plan.kind == palace;
    Rng& rng = builder->rng;
    const Rect wall = {10 + random_below(&rng, 4), 8 + random_below(&rng, 4),
                       49 + random_below(&rng, 4), 48 + random_below(&rng, 4)};
    const int cx = (wall.x0 + wall.x1) / 2;
    fill(builder, grow(wall, 4), shape_grass);
    outline(builder, grow(wall, 2), shape_shallows);
    outline(builder, grow(wall, 3), shape_water);
    fill(builder, wall, garden ? shape_flowers : shape_grass);
    outline(builder, wall, shape_stone_wall);
    // Corner towers, the gate, the bridge over the moat and the path up to the keep.
    static constexpr Patch works[] = {
        {low_edge, low_edge, low_edge + 2, low_edge + 2, shape_stone_wall},
        {high_edge - 2, low_edge, high_edge, low_edge + 2, shape_stone_wall},
        {low_edge, high_edge - 2, low_edge + 2, high_edge, shape_stone_wall},
        {high_edge - 2, high_edge - 2, high_edge, high_edge, shape_stone_wall},
        {middle, high_edge, middle, high_edge, shape_street},
        {middle, high_edge + 1, middle, high_edge + 1, shape_grass},
        {middle, high_edge + 2, middle, high_edge + 3, shape_bridge},
        {middle, low_edge + 21, middle, high_edge - 1, shape_street}};
    fill_all(builder, wall, works);
    fill(builder, {cx, wall.y1 + 4, cx, map_side - 1}, shape_road);

    // The keep: the throne hall between the royal chamber (west) and the treasury (east).
    const Rect keep = {cx - 12, wall.y0 + 3, cx + 12, wall.y0 + 20};
    build_hall(builder, keep);
    for (int side : {-6, 6}) {
        fill(builder, {cx + side, keep.y0, cx + side, keep.y1}, shape_stone_wall);
        put(builder, cx + side, keep.y1 - 3, shape_door);
    }
    static constexpr Spot furniture[] = {{middle, low_edge + 2, shape_throne},
                                         {low_edge + 2, low_edge + 2, shape_bed},
                                         {low_edge + 4, low_edge + 2, shape_chest},
                                         {low_edge + 2, low_edge + 6, shape_table}};
    put_all(builder, keep, furniture);
    for (int y = keep.y0 + 2; y < keep.y1 - 4; y += 2) {
        put(builder, keep.x1 - 2, y, shape_chest);
        put(builder, keep.x1 - 4, y, shape_chest);
    }
    // Barracks and kitchen in the court, with fountains or flower beds and trees.
    const Rect barracks = {wall.x0 + 4, wall.y0 + 25, cx - 5, wall.y1 - 4};
    const Rect kitchen = {cx + 5, wall.y0 + 25, wall.x1 - 4, wall.y1 - 4};
    build_hall(builder, barracks);
    build_hall(builder, kitchen);
    for (int x = barracks.x0 + 1; x < barracks.x1; x += 2) {
        put(builder, x, barracks.y0 + 1, shape_bed);
    }
    for (int x = kitchen.x0 + 2; x < kitchen.x1 - 1; x += 3) {
        put(builder, x, kitchen.y0 + 3, shape_table);
    }
    put(builder, kitchen.x1 - 1, kitchen.y0 + 1, shape_chest);
    static constexpr Spot fountains[] = {{middle - 8, high_edge - 3, shape_fountain},
                                         {middle + 8, high_edge - 3, shape_fountain}};
    static constexpr Patch beds_and_trees[] = {
        {middle - 3, low_edge + 23, middle - 2, high_edge - 3, shape_flowers},
        {middle + 2, low_edge + 23, middle + 3, high_edge - 3, shape_flowers},
        {low_edge + 4, low_edge + 21, low_edge + 6, low_edge + 23, shape_forest},
        {high_edge - 6, low_edge + 21, high_edge - 4, low_edge + 23, shape_forest}};
    if (garden) {
        put_all(builder, wall, fountains);
    } else {
        fill_all(builder, wall, beds_and_trees);
    }

    // The court in the keep, then the guards at the gate and in the barracks, a cook in the
    // kitchen and a horse by the road.
    place_npc(builder, cx, keep.y0 + 2, shape_regent);
    for (int y = keep.y0 + 4; y < keep.y1 - 1; y += 3) {
        place_npc(builder, cx - 3, y, shape_guard);
        place_npc(builder, cx + 3, y, shape_guard);
    }
    place_npc(builder, cx - 1, keep.y0 + 4, shape_jester);
    place_npc(builder, cx + 1, keep.y0 + 3, shape_mage);
    place_npc(builder, keep.x0 + 3, keep.y0 + 4, garden ? shape_townswoman : shape_child);
    place_npc(builder, keep.x1 - 3, keep.y1 - 2, shape_merchant);
    static constexpr Spot household[] = {{middle - 1, high_edge - 1, shape_guard},
                                         {middle + 1, high_edge - 1, shape_guard},
                                         {low_edge + 6, high_edge - 5, shape_guard},
                                         {middle + 7, high_edge - 5, shape_peasant},
                                         {middle + 4, high_edge + 6, shape_horse}};
    place_all(builder, wall, household);
    const Rect court = {wall.x0 + 1, wall.y0 + 21, wall.x1 - 1, wall.y1 - 1};
    place_on(builder, court, shape_bard, bit(shape_grass) | bit(shape_flowers));
    place_on(builder, court, shape_child, bit(shape_grass) | bit(shape_flowers));
}

struct Building {
    Rect area;
    bool door_south;
    RoomKind kind;
};

// Builds the houses of a table, numbered from `number` on.
template <std::size_t n>
void build_all(Builder* builder, const Building (&buildings)[n], int number) {
    for (const Building& building : buildings) {
        build_house(builder, building.area, building.door_south, building.kind, number++);
    }
}

// A few cottages on either side of a dirt road, a well at the crossroads and fields; no
// walls.
void build_hamlet(Builder* builder) {
    fill(builder, {0, 30, map_side - 1, 30}, shape_road);
    fill(builder, {34, 0, 34, map_side - 1}, shape_road);
    put(builder, 33, 29, shape_fountain);
    static constexpr Building cottages[] = {
        {{6, 23, 13, 29}, true, house},  {{6, 31, 12, 36}, false, house},
        {{20, 23, 27, 29}, true, shop},  {{20, 31, 26, 36}, false, house},
        {{48, 23, 55, 29}, true, house}, {{48, 31, 54, 36}, false, house}};
    build_all(builder, cottages, 1);
    static constexpr Patch fields[] = {{6, 42, 18, 52, shape_scrub},
                                       {24, 42, 36, 52, shape_flowers},
                                       {42, 42, 54, 52, shape_scrub}};
    fill_all(builder, whole_map, fields);
    static constexpr Spot folk[] = {{20, 47, shape_peasant},
                                    {40, 45, shape_peasant},
                                    {30, 30, shape_child},
                                    {35, 20, shape_horse},
                                    {50, 30, shape_guard}};
    place_all(builder, whole_map, folk);
}

// Tents round a fire in a forest clearing, with a stone signal tower.
void build_camp(Builder* builder) {
    const Point fire = {32, 30};
    paint_circle(builder, fire, 12, within, shape_scrub);
    paint_circle(builder, fire, 8, within, shape_grass);
    paint_circle(builder, fire, 18, beyond, shape_forest);
    fill(builder, {fire.x, 0, fire.x, fire.y - 2}, shape_road);
    static constexpr Spot camp[] = {
        {32, 30, shape_campfire}, {26, 26, shape_tent}, {38, 26, shape_tent}, {25, 32, shape_tent},
        {39, 32, shape_tent},     {28, 36, shape_tent}, {36, 36, shape_tent}, {32, 37, shape_tent}};
    put_all(builder, whole_map, camp);
    build_hall(builder, {42, 18, 46, 22}); // the tower
    static constexpr Spot campers[] = {{44, 20, shape_guard},  {31, 29, shape_ranger},
                                       {33, 31, shape_ranger}, {30, 31, shape_hero},
                                       {34, 28, shape_bard},   {22, 30, shape_horse},
                                       {23, 31, shape_horse},  {32, 21, shape_guard}};
    place_all(builder, whole_map, campers);
    for (int beast : {shape_wolf, shape_wolf, shape_spider}) {
        place_on(builder, whole_map, beast, bit(shape_forest));
    }
}

// A bay under the hills: huts, two caves, piers and ships.
void build_cove(Builder* builder, uint32_t seed) {
    const Point bay = {44, 50};
    paint_circle(builder, bay, 18, within, shape_sand);
    paint_circle(builder, bay, 16, within, shape_shallows);
    paint_circle(builder, bay, 13, within, shape_water);
    for (int y = 0; y < map_side; ++y) {
        for (int x = 0; x < map_side; ++x) {
            if (y < 12 || x < 8) { // hills along the north and west edges
                put(builder, x, y,
                    (hash_cell(seed, x, y) & 3) == 0 ? shape_mountains : shape_hills);
            }
        }
    }
    static constexpr Patch ways[] = {
        {20, 12, 20, 12, shape_cave},   {40, 12, 40, 12, shape_cave},
        {20, 13, 20, 24, shape_road},   {20, 24, 40, 24, shape_road},
        {36, 30, 36, 40, shape_bridge}, {48, 30, 48, 40, shape_bridge}};
    fill_all(builder, whole_map, ways);
    static constexpr Building huts[] = {{{10, 17, 17, 23}, true, inn},
                                        {{24, 17, 31, 23}, true, shop},
                                        {{12, 26, 18, 31}, false, house},
                                        {{24, 26, 30, 31}, false, smithy}};
    build_all(builder, huts, 2);
    static constexpr Spot folk[] = {{20, 14, shape_sailor},      {36, 38, shape_sailor},
                                    {22, 24, shape_beggar},      {40, 13, shape_skeleton},
                                    {42, 44, shape_pirate_ship}, {52, 48, shape_pirate_ship},
                                    {46, 56, shape_whirlpool},   {33, 24, shape_sailor}};
    place_all(builder, whole_map, folk);
}

// Builds one catalogue row. Every place stands in open country that its kind then builds on.
void build_row(Builder* builder, const RowPlan& plan, int door_set) {
    if (plan.kind == world) {
        build_world(builder, plan, door_set);
        return;
    }
    build_countryside(builder, plan.seed);
    if (plan.kind == town || plan.kind == port) {
        build_walled_town(builder, plan);
    } else if (plan.kind == castle || plan.kind == palace) {
        build_castle(builder, plan);
    } else if (plan.kind == hamlet) {
        build_hamlet(builder);
    } else if (plan.kind == camp) {
        build_camp(builder);
    } else {
        build_cove(builder, plan.seed);
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
Point find_run(const Builder& builder, const Rect& area, int shape, int length, int door_set) {
    Point doors[doors_per_set];
    const int door_count = door_points(door_set, doors);
    for (int y = area.y0; y <= area.y1; ++y) {
        for (int x = area.x0; x + length - 1 <= area.x1; ++x) {
            bool fits = true;
            for (int i = x; i < x + length && fits; ++i) {
                fits = shape_at(builder, i, y) == shape && !occupied(builder, i, y) &&
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
    Builder* builder = &rows[2];
    Point p = find_run(*builder, {8, 8, 55, 55}, shape_grass, 2, map_catalogue[2].door_set);
    if (p.x >= 0 && builder->npc_count < npc_slots) {
        put(builder, p.x, p.y, shape_wolf);
        plant(planted, 2,
              add_slot(builder, p.x + 1, p.y, tile_of(shape_wolf), tile_of(shape_grass)));
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
    builder = &rows[19];
    p = find_run(*builder, {2, 34, 61, 40}, shape_grass, 2, -1);
    if (p.x >= 0 && builder->npc_count + 3 <= npc_slots) {
        plant(planted, 19,
              add_slot(builder, p.x, p.y, tile_of(shape_peasant), tile_of(shape_grass)));
        const uint8_t ground = builder->block->tiles[p.y * map_side + p.x + 1];
        plant(planted, 19, add_slot(builder, p.x + 1, p.y, tile_of(shape_guard), ground));
        add_slot(builder, p.x + 1, p.y, tile_of(shape_townswoman), ground);
        put(builder, p.x + 1, p.y, shape_townswoman);
    }
    // Q: a sea serpent over a wave the map still holds.
    builder = &rows[28];
    p = find_run(*builder, grow(whole_map, -10), shape_water, 1, -1);
    if (p.x >= 0 && builder->npc_count < npc_slots) {
        const uint8_t wave = tile_of(shape_water, 2);
        builder->block->tiles[p.y * map_side + p.x] = wave;
        plant(planted, 28, add_slot(builder, p.x, p.y, tile_of(shape_sea_serpent), wave));
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
