// SPDX-License-Identifier: MIT
// kopc_import: the Tiled maps of a folder back into the game's map and NPC files. The game's
// files are read first, as kopc_map reads them; each TMX names its map's two files and must
// have been made from them as they are; its edits are applied by difference (import.h). Then
// one line for each file that changes, one question, and the changed files written as a set:
// each whole under a temporary name first, then all renamed into place or none.
#include "import.h"
#include "messages.h"
#include "platform/platform.h"
#include "render/render.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

// A name compared as Windows compares file names: ignoring ASCII case.
bool same_name(const char* a, const char* b) {
    for (;; ++a, ++b) {
        const char x = *a >= 'A' && *a <= 'Z' ? char(*a - 'A' + 'a') : *a;
        const char y = *b >= 'A' && *b <= 'Z' ? char(*b - 'A' + 'a') : *b;
        if (x != y || x == '\0') {
            return x == y;
        }
    }
}

// A run that stopped while renaming may have left a set-aside game file as the only copy of
// its old bytes under a temporary name, which a new run would take for its own rubbish and
// remove: such files are named, and the run goes no further. 0 when there are none.
int check_leftovers(const char* data_path) {
    std::string joined;
    int result = 0;
    for (const MapEntry& entry : map_catalogue) {
        for (const char* name : {entry.map_file, entry.mon_file}) {
            const char* path = join_data_path(data_path, name, &joined);
            char found[sizeof NewFile::temp_name];
            if (path == nullptr) {
                return -1;
            }
            if (platform_find_leftover(path, found, sizeof found) != 0) {
                std::printf(import_text::leftover_fmt, found[0] != '\0' ? found : path);
                result = -1;
            }
        }
    }
    return result;
}

// The names of the folder's Tiled maps, sorted; -1 after a line when there are none.
int list_maps(const char* folder, std::vector<std::string>* names) {
    const int listed = platform_folder_entries(folder, names);
    if (listed != 0) {
        listed == -2 ? (void)std::puts(common_text::memory)
                     : (void)std::printf(import_text::folder_fmt, folder);
        return -1;
    }
    names->erase(std::remove_if(names->begin(), names->end(),
                                [](const std::string& name) {
                                    return name.size() < 4 ||
                                           !same_name(name.c_str() + name.size() - 4, ".tmx");
                                }),
                 names->end());
    std::sort(names->begin(), names->end());
    if (names->empty()) {
        std::printf(import_text::no_maps_fmt, folder);
        return -1;
    }
    return 0;
}

// The catalogue row whose two files `tiled` names, or -1.
int find_row(const TiledMap& tiled) {
    for (int row = 0; row < map_count; ++row) {
        if (same_name(tiled.map_file.c_str(), map_catalogue[row].map_file) &&
            same_name(tiled.npc_file.c_str(), map_catalogue[row].mon_file)) {
            return row;
        }
    }
    return -1;
}

// Checks a TMX against the game's files of its catalogue row and applies its edits to the
// row of `edited`. 0; -1 after the line of a refusal.
int import_one(const RunOptions& options, const char* path, const TiledMap& tiled, int row,
               const std::vector<MapBlock>& blocks, std::vector<MapBlock>* edited) {
    char digest[digest_text_size];
    block_digest(blocks[row], digest);
    if (tiled.base != digest) {
        std::string map_file, npc_file;
        const char* map_path =
            join_data_path(options.data_path, map_catalogue[row].map_file, &map_file);
        const char* npc_path =
            join_data_path(options.data_path, map_catalogue[row].mon_file, &npc_file);
        if (map_path != nullptr && npc_path != nullptr) {
            std::printf(import_text::base_fmt, path, map_path, npc_path);
        }
        return -1;
    }
    RunOptions drawn;
    if (parse_run_options(tiled.options.c_str(), &drawn) != 0) {
        std::printf(import_text::options_fmt, path, tiled.options.c_str());
        return -1;
    }
    return import_map(path, tiled, drawn, row, blocks[row], &(*edited)[row]);
}

// Reads every Tiled map of the folder and applies each to its row of `edited`; a map that no
// file holds stays as it is. 0 when every one was taken; -1 after the line of each refusal.
int import_maps(const RunOptions& options, const std::vector<MapBlock>& blocks,
                std::vector<MapBlock>* edited) {
    std::vector<std::string> names;
    if (list_maps(options.tmx_folder, &names) != 0) {
        return -1;
    }
    std::string joined, other;
    std::unique_ptr<TiledMap> tiled(new TiledMap);
    const std::size_t none = names.size();
    std::size_t holder[map_count]; // the file that holds each map, `none` yet
    std::fill(holder, holder + map_count, none);
    int result = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const char* path = join_data_path(options.tmx_folder, names[i].c_str(), &joined);
        if (path == nullptr) {
            return -1;
        }
        if (read_tiled_map(path, tiled.get(), 0) != 0) {
            result = -1;
            continue;
        }
        const int row = find_row(*tiled);
        const char* first =
            row >= 0 && holder[row] != none
                ? join_data_path(options.tmx_folder, names[holder[row]].c_str(), &other)
                : nullptr;
        if (row < 0) {
            std::printf(import_text::unknown_files_fmt, path, tiled->map_file.c_str(),
                        tiled->npc_file.c_str());
            result = -1;
        } else if (first != nullptr) {
            std::printf(import_text::twice_fmt, first, path, map_catalogue[row].map_file);
            result = -1;
        } else if (holder[row] == none) {
            holder[row] = i;
            result = import_one(options, path, *tiled, row, blocks, edited) != 0 ? -1 : result;
        } else {
            return -1; // the first file's name found no memory: its line is printed
        }
    }
    return result;
}

// One game file that changes: its catalogue row, and whether it is the NPC file.
struct Change {
    int row;
    bool npc;
};

// What changes in one slot, behind the text in `line` (separated by commas).
void describe_slot(const NpcRecord& was, const NpcRecord& is, int s, std::string* line) {
    char item[64];
    const auto add = [&](int written) {
        *line += line->empty() ? "" : ", ";
        *line += written > 0 ? item : "";
    };
    if (was.shown[s] == 0 && is.shown[s] != 0) {
        add(std::snprintf(item, sizeof item, import_text::slot_added_fmt, s, is.x[s], is.y[s]));
        return;
    }
    if (was.shown[s] != 0 && is.shown[s] == 0) {
        add(std::snprintf(item, sizeof item, import_text::slot_freed_fmt, s));
        return;
    }
    if (was.x[s] != is.x[s] || was.y[s] != is.y[s]) {
        add(std::snprintf(item, sizeof item, import_text::slot_moved_fmt, s, is.x[s], is.y[s]));
    }
    if (was.shown[s] != is.shown[s]) {
        add(std::snprintf(item, sizeof item, import_text::slot_retiled_fmt, s,
                          is.shown[s] / tile_variants, is.shown[s] % tile_variants));
    }
    if (was.ground[s] != is.ground[s]) {
        add(std::snprintf(item, sizeof item, import_text::slot_ground_fmt, s,
                          is.ground[s] / tile_variants, is.ground[s] % tile_variants));
    }
}

// One line for each game file whose bytes change, saying what changes, into `changes`.
void describe_changes(const RunOptions& options, const std::vector<MapBlock>& blocks,
                      const std::vector<MapBlock>& edited, std::vector<Change>* changes) {
    std::string joined, line;
    for (int row = 0; row < map_count; ++row) {
        const MapBlock& was = blocks[row];
        const MapBlock& is = edited[row];
        int tiles = 0;
        for (std::size_t cell = 0; cell < map_file_size; ++cell) {
            tiles += was.tiles[cell] != is.tiles[cell] ? 1 : 0;
        }
        const MapEntry& entry = map_catalogue[row];
        if (tiles != 0) {
            const char* path = join_data_path(options.data_path, entry.map_file, &joined);
            std::printf(import_text::tiles_changed_fmt, path != nullptr ? path : "", tiles);
            changes->push_back({row, false});
        }
        line.clear();
        for (int s = 0; s < npc_slots; ++s) {
            describe_slot(was.npc, is.npc, s, &line);
        }
        if (std::memcmp(&was.npc, &is.npc, sizeof was.npc) != 0) {
            const char* path = join_data_path(options.data_path, entry.mon_file, &joined);
            std::printf(import_text::slots_changed_fmt, path != nullptr ? path : "", line.c_str());
            changes->push_back({row, true});
        }
    }
}

// The changed files, each whole: the file as it is with its first 4096 (map) or 256 (NPC)
// bytes replaced, so that whatever follows them stays. Written under the name the folder
// gives the file, all or none. 0 when all are in place.
int write_changes(const RunOptions& options, const std::vector<Change>& changes,
                  const std::vector<MapBlock>& edited) {
    const std::size_t count = changes.size();
    std::unique_ptr<NewFile[]> files(new (std::nothrow) NewFile[count]);
    std::vector<std::string> finals(count);
    std::vector<const char*> final_names(count);
    std::vector<uint8_t> bytes;
    std::string joined;
    if (!files) {
        throw std::bad_alloc();
    }
    for (std::size_t k = 0; k < count; ++k) {
        const Change& change = changes[k];
        const MapEntry& entry = map_catalogue[change.row];
        const MapBlock& block = edited[change.row];
        const char* path = join_data_path(options.data_path,
                                          change.npc ? entry.mon_file : entry.map_file, &joined);
        if (path == nullptr) {
            return -1;
        }
        char found[sizeof NewFile::temp_name];
        const FilePtr file(platform_open_found(path, found, sizeof found));
        if (!file) {
            std::printf(common_text::open_fmt, path);
            return -1;
        }
        const uint8_t* head =
            change.npc ? reinterpret_cast<const uint8_t*>(&block.npc) : block.tiles;
        const std::size_t head_size = change.npc ? sizeof block.npc : sizeof block.tiles;
        bytes.clear();
        uint8_t chunk[16384];
        std::size_t got = 0;
        do {
            got = std::fread(chunk, 1, sizeof chunk, file.get());
            bytes.insert(bytes.end(), chunk, chunk + got);
        } while (got == sizeof chunk);
        if (std::ferror(file.get()) != 0 || bytes.size() < head_size) {
            std::printf(import_text::read_fmt, path);
            return -1;
        }
        std::copy(head, head + head_size, bytes.begin());
        finals[k] = found;
        final_names[k] = finals[k].c_str();
        if (platform_begin_new_file(found, &files[k]) != new_file_done) {
            std::printf(import_text::write_fmt, path);
            std::puts(import_text::write_set);
            return -1;
        }
        std::fwrite(bytes.data(), 1, bytes.size(), files[k].stream.get());
    }
    const int finished = platform_finish_new_files(files.get(), final_names.data(), count);
    if (finished != new_file_done) {
        std::puts(finished == new_file_not_replaced ? import_text::replace_set
                                                    : import_text::write_set);
        return -1;
    }
    return 0;
}

int run_import(const RunOptions& options) {
    if (check_leftovers(options.data_path) != 0) {
        return 1;
    }
    std::vector<MapBlock> blocks;
    if (load_run_blocks(options, &blocks) != 0) {
        return 1;
    }
    std::vector<MapBlock> edited(blocks);
    if (import_maps(options, blocks, &edited) != 0) {
        std::puts(import_text::refused);
        return 1;
    }
    std::vector<Change> changes;
    describe_changes(options, blocks, edited, &changes);
    if (changes.empty()) {
        std::puts(import_text::unchanged);
        return 0;
    }
    if (options.dry_run != 0) {
        return 0;
    }
    char question[64];
    std::snprintf(question, sizeof question, import_text::question_fmt,
                  static_cast<int>(changes.size()));
    if (options.overwrite == 0 && ask_yes_no(question) == 0) {
        std::puts(import_text::refused);
        return 1;
    }
    return write_changes(options, changes, edited) == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[]) {
    const RunProgram program = {"kopc_import",
                                run_options_import,
                                "replace the game files without asking",
                                import_text::notes,
                                sizeof import_text::notes / sizeof import_text::notes[0],
                                1};
    RunOptions options;
    const RunSession session = run_begin(argc, argv, program, &options);
    int status = 1;
    try {
        status = session.go != 0 ? run_import(options) : 1;
    } catch (const std::bad_alloc&) {
        std::puts(common_text::memory);
    }
    return run_end(session, status);
}
