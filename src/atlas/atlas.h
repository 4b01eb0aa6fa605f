// SPDX-License-Identifier: MIT
// The atlas: every map of a run, rendered by the same modules as kopc_map, written with
// what lies under each cell into one self-contained HTML page (images as PNG data URLs,
// style and script inline) that a browser opens offline.
#ifndef KOPC_ATLAS_ATLAS_H
#define KOPC_ATLAS_ATLAS_H

#include "driver/driver.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

// The page's file name, in the current folder, and the name it is written under first.
constexpr char atlas_file[] = "atlas.html";
constexpr char atlas_part_file[] = "atlas.html.part";

// The PNG file of `image`: palette images at 1, 4 and 8 bits with the image's palette,
// 8-bit RGB for 16 (5-5-5 widened), 24 and 32 bits (the fourth byte is not alpha).
// Deflate comes from zlib; the framing (chunks, CRC) is here. Fills the first `*size`
// bytes of `png`. 0 when done, -2 when memory ran out, -1 for any other failure.
int encode_png(const MapImage& image, PixelBuffer* png, std::size_t* size) noexcept;

// The CRC-32 of PNG chunks (ISO 3309), continued from `crc` (0 to start).
uint32_t png_crc(uint32_t crc, const uint8_t* data, std::size_t size) noexcept;

// `size` bytes as base64 (RFC 4648, with padding) into `out`, which holds
// 4 * ((size + 2) / 3) bytes.
void base64_encode(char* out, const uint8_t* data, std::size_t size) noexcept;

// The page, written in order to `page` (the caller checks the stream at the end):
// the head, one index entry per map in catalogue order (its image as `png`), then the map
// viewer with every map's cells, NPC slots, mismatch lines and time doors, and the script.
void write_page_head(std::FILE* page, const RunOptions& options) noexcept;
void write_index_entry(std::FILE* page, int map, const uint8_t* png, std::size_t size) noexcept;
void write_page_tail(std::FILE* page, const RunOptions& options, const MapBlock blocks[],
                     const MapReport reports[]) noexcept;

// The program: parse, render every map, write atlas.html. Returns the exit status.
int kopc_atlas_main(int argc, const char* const argv[]) noexcept;

#endif
