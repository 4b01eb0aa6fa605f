// SPDX-License-Identifier: MIT
// Every text kopc_atlas prints of its own, in one place.
#ifndef KOPC_ATLAS_MESSAGES_H
#define KOPC_ATLAS_MESSAGES_H

namespace atlas_text {

constexpr const char* notes[] = {
    "write all maps into atlas.html in the current directory",
};
constexpr char compress_fmt[] = "error: compress map '%s'\n";
constexpr char write_fmt[] = "error: write '%s'\n";
constexpr char replace_fmt[] = "error: replace '%s'\n";
constexpr char write_atlas_fmt[] = "error: write atlas file '%s'\n";

} // namespace atlas_text

#endif
