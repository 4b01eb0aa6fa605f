// SPDX-License-Identifier: MIT
// Writing the atlas page: the head and style, an index of the maps grouped by world with
// each map's small picture, full image and badges (mismatches, time doors), then the viewer, the
// data its script reads (the shape sheet as PNG, the shapes' names, each map's tiles, NPC slots,
// mismatch lines and time doors) and the script.
#include "atlas.h"
#include "gamedata/gamedata.h"
#include "messages.h"
#include "page_text.h"
#include "png/png.h"
#include "render/render.h"
#include "run/run.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr char page_title[] = "Atlas of the world";
constexpr std::size_t base64_block = 3 * 1024; // bytes encoded per write

void put(std::FILE* page, const char* text) {
    std::fputs(text, page);
}

// One of the page's own files, made into a byte array by the build (page_text.h).
template <std::size_t size> void put_file(std::FILE* page, const unsigned char (&text)[size]) {
    std::fwrite(text, 1, size, page);
}

// Text in HTML or in a JSON string inside a script element: everything that could end
// either is written as an escape.
void put_escaped(std::FILE* page, const char* text, std::size_t length, bool json) {
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '<' || c == '>' || c == '&' || c == '"' || c == '\'' || c == '\\' || c < 0x20) {
            std::fprintf(page, json ? "\\u%04x" : "&#%u;", c);
        } else {
            std::fputc(c, page);
        }
    }
}

// `size` bytes as base64 (RFC 4648, with padding) into `out`, which holds
// 4 * ((size + 2) / 3) bytes.
void base64_encode(char* out, const uint8_t* data, std::size_t size) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i < size; i += 3, out += 4) {
        const std::size_t left = size - i;
        const unsigned n =
            data[i] << 16 | (left > 1 ? data[i + 1] << 8 : 0) | (left > 2 ? data[i + 2] : 0);
        out[0] = digits[n >> 18];
        out[1] = digits[n >> 12 & 63];
        out[2] = left > 1 ? digits[n >> 6 & 63] : '=';
        out[3] = left > 2 ? digits[n & 63] : '=';
    }
}

void put_base64(std::FILE* page, const uint8_t* data, std::size_t size) {
    char text[4 * base64_block / 3];
    for (std::size_t i = 0; i < size; i += base64_block) {
        const std::size_t part = std::min(base64_block, size - i);
        base64_encode(text, data + i, part);
        std::fwrite(text, 1, 4 * ((part + 2) / 3), page);
    }
}

// A map's name in the page's addresses and the save link: its BMP's name without ".bmp".
void put_map_name(std::FILE* page, const MapEntry& entry, bool json) {
    put_escaped(page, entry.output_file, file_stem_length(entry.output_file), json);
}

// The world a map belongs to: its title up to the first space.
std::size_t world_length(const char* title) {
    return std::strcspn(title, " ");
}

bool starts_world(int map) {
    const char* title = map_catalogue[map].title;
    const std::size_t length = world_length(title);
    if (map == 0) {
        return true;
    }
    const char* before = map_catalogue[map - 1].title;
    return world_length(before) != length || std::strncmp(before, title, length) != 0;
}

void put_map_data(std::FILE* page, int map, const MapBlock& block, const MapReport& report) {
    const MapEntry& entry = map_catalogue[map];
    put(page, "{\"title\":\"");
    put_escaped(page, entry.title, std::strlen(entry.title), true);
    put(page, "\",\"name\":\"");
    put_map_name(page, entry, true);
    put(page, "\",\"tiles\":\"");
    put_base64(page, block.tiles, sizeof block.tiles);
    put(page, "\",\n\"slots\":[");
    const NpcRecord& npc = block.npc;
    const char* comma = "";
    for (int s = 0; s < npc_slots; ++s) {
        if (report.standing[s] != 0) {
            std::fprintf(page,
                         "%s{\"slot\":%d,\"x\":%d,\"y\":%d,\"shown\":%d,\"ground\":%d,"
                         "\"taken\":%d}",
                         comma, s, npc.x[s], npc.y[s], npc.shown[s], npc.ground[s],
                         report.taken[s]);
            comma = ",";
        }
    }
    put(page, "],\n\"mismatches\":[");
    for (int i = 0; i < report.mismatch_count; ++i) {
        const int s = report.mismatch_slots[i];
        char line[mismatch_line_size];
        format_mismatch(line, sizeof line, entry, block, s);
        line[std::strcspn(line, "\n")] = '\0';
        std::fprintf(page, "%s{\"slot\":%d,\"x\":%d,\"y\":%d,\"line\":\"", i > 0 ? "," : "", s,
                     npc.x[s], npc.y[s]);
        put_escaped(page, line, std::strlen(line), true);
        put(page, "\"}");
    }
    // Whether the doors and the slots' grounds are drawn: the renderer's choice, as it made it.
    std::fprintf(page, "],\"doors_drawn\":%d,\"grounds_drawn\":%d,\"doors\":[", report.doors_drawn,
                 report.grounds_drawn);
    const DoorPosition* doors = map_time_doors(entry);
    for (int d = 0; doors != nullptr && d < doors_per_set; ++d) {
        std::fprintf(page, "%s{\"x\":%d,\"y\":%d}", d > 0 ? "," : "", static_cast<int>(doors[d].x),
                     static_cast<int>(doors[d].y));
    }
    put(page, "]}");
}

} // namespace

void write_page_head(std::FILE* page, const RunOptions& options) noexcept {
    put(page, "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
              "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
              "<link rel=\"icon\" href=\"data:,\">\n<title>");
    put(page, page_title);
    put(page, "</title>\n<style>\n");
    put_file(page, page_text::style);
    put(page, "</style>\n</head>\n<body>\n<header><h1>");
    put(page, page_title);
    std::fprintf(page, "</h1><p>%d maps, drawn by kopc_atlas with ", map_count);
    char typed[run_options_text_size];
    format_run_options(typed, options);
    put_escaped(page, typed, std::strlen(typed), false);
    put(page, "</p></header>\n<main id=\"index\">");
}

void write_index_entry(std::FILE* page, int map, const MapReport& report, const uint8_t* png,
                       std::size_t size, const uint8_t* thumb, std::size_t thumb_size) noexcept {
    const MapEntry& entry = map_catalogue[map];
    const char* title = entry.title;
    if (starts_world(map)) {
        put(page, map > 0 ? "</div></section>\n<section><h2>" : "\n<section><h2>");
        put_escaped(page, title, world_length(title), false);
        put(page, "</h2><div class=\"maps\">\n");
    }
    put(page, "<a class=\"map\" href=\"#");
    put_map_name(page, entry, false);
    put(page, "\"><img alt=\"\" src=\"data:image/png;base64,");
    put_base64(page, thumb, thumb_size);
    put(page, "\"><span>");
    put_escaped(page, title, std::strlen(title), false);
    put(page, "</span>");
    if (report.mismatch_count > 0) {
        std::fprintf(page, "<b class=\"badge bad\">%d mismatch%s</b>", report.mismatch_count,
                     report.mismatch_count > 1 ? "es" : "");
    }
    if (map_time_doors(entry) != nullptr) {
        put(page, "<b class=\"badge doors\">time doors</b>");
    }
    // The full image inert in a template until the viewer shows it.
    put(page, "</a><template><img alt=\"\" src=\"data:image/png;base64,");
    put_base64(page, png, size);
    put(page, "\"></template>\n");
}

int write_page_tail(std::FILE* page, const MapBlock blocks[], const MapReport reports[],
                    const ShapeSet& shapes, const ShapeNames* names) noexcept {
    // The sheet the maps were drawn with, for the pictures of the legend and the description.
    const PngImage sheet = {static_cast<uint32_t>(shapes.tile_width * sheet_tiles_across),
                            static_cast<uint32_t>(shapes.tile_height * sheet_tiles_down),
                            shapes.bit_count, shapes.pixels.data(), sheet_palette(shapes)};
    PngFile png;
    std::size_t size = 0;
    const int encoded = encode_png(sheet, &png, &size);
    if (encoded != 0) {
        if (encoded == png_out_of_memory) {
            std::puts(common_text::memory);
        } else {
            std::printf(atlas_text::compress_fmt, "shapes");
        }
        return -1;
    }
    put(page, "</div></section>\n</main>\n");
    put_file(page, page_text::view);
    std::fprintf(page,
                 "<script type=\"application/json\" id=\"atlas-data\">\n"
                 "{\"title\":\"%s\",\"tile\":{\"width\":%d,\"height\":%d},"
                 "\"shapes\":\"",
                 page_title, shapes.tile_width, shapes.tile_height);
    put_base64(page, png.data(), size);
    put(page, "\",\n\"names\":[");
    for (int s = 0; s < shape_count; ++s) {
        put(page, s > 0 ? ",\"" : "\"");
        if (names != nullptr) {
            put_escaped(page, names->name[s].data(), names->name[s].size(), true);
        }
        put(page, "\"");
    }
    put(page, "],\n\"maps\":[\n");
    for (int i = 0; i < map_count; ++i) {
        put_map_data(page, i, blocks[i], reports[i]);
        put(page, i + 1 < map_count ? ",\n" : "\n");
    }
    put(page, "]}\n</script>\n<script>\n");
    put_file(page, page_text::script);
    put(page, "</script>\n</body>\n</html>\n");
    return 0;
}
