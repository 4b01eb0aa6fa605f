// SPDX-License-Identifier: MIT
// The atlas: every map of a run, rendered by the same modules as kopc_map, written with
// what lies under each cell into one self-contained HTML page (images as PNG data URLs,
// style and script inline) that a browser opens offline.
#ifndef KOPC_ATLAS_ATLAS_H
#define KOPC_ATLAS_ATLAS_H

#include "run/run.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

// The page's file name, in the current folder (written first under a temporary name beside it,
// see platform_begin_new_file).
constexpr char atlas_file[] = "atlas.html";

// The page, written in order to `page` (the caller checks the stream at the end):
// the head, one index entry per map in catalogue order (its image as `png`, a small picture
// of it as `thumb`, its report for the index's badges), then the map viewer with every map's cells,
// NPC slots, mismatch lines and time doors, the shape sheet with the shapes' names (`names` null:
// none), and the script. write_page_tail returns 0, or -1 when the sheet could not be encoded (its
// line printed).
void write_page_head(std::FILE* page, const RunOptions& options) noexcept;
void write_index_entry(std::FILE* page, int map, const MapReport& report, const uint8_t* png,
                       std::size_t size, const uint8_t* thumb, std::size_t thumb_size) noexcept;
int write_page_tail(std::FILE* page, const MapBlock blocks[], const MapReport reports[],
                    const ShapeSet& shapes, const ShapeNames* names) noexcept;

// The run: the names, the inputs, then every map rendered into atlas.html. Returns the exit
// status.
int run_atlas(const RunOptions& options) noexcept;

#endif
