// SPDX-License-Identifier: MIT
// Every text the renderer and the map output print, in one place.
#ifndef KOPC_RENDER_MESSAGES_H
#define KOPC_RENDER_MESSAGES_H

namespace render_text {

constexpr char mismatch_fmt[] = "%s[%2.1d] (%2.1d,%2.1d) %02X:%d -> %02X:%d/%02X:%d %s\n";
constexpr char create_header[] = "error: create bitmap header";
constexpr char question_fmt[] = "%s (Y or N): ";
constexpr char write_fmt[] = "error: write bitmap '%s'\n";

} // namespace render_text

#endif
