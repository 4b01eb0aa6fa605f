// SPDX-License-Identifier: MIT
// The shape names file: UTF-8 text, one "2A chest" line per named shape (the code in hex,
// a space, the name). Blank lines and lines that begin with '#' are skipped; a byte-order
// mark and CR LF line ends are accepted. The whole file is checked before any name is
// kept, so a refused file leaves no names behind.
#include "platform/platform.h"
#include "run/run.h"

#include <cstdio>
#include <new>
#include <utility>
#include <vector>

static const char fmt_read_names[] = "error: read shape names '%s'\n";
static const char fmt_not_a_file[] = "error: shape names '%s' is not a regular file\n";
static const char fmt_bad_line[] = "error: shape names '%s' line %d: %s\n";
static const char msg_bad_code[] = "bad shape code";
static const char msg_repeated_code[] = "repeated shape code";
static const char msg_bad_utf8[] = "invalid UTF-8";
static const char msg_bad_name[] = "bad name";

namespace {

// One name per shape and comments take a few kilobytes; a larger file is no names file.
constexpr std::size_t max_names_file_size = 1 << 20;

int hex_digit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') {
        return (c | 0x20) - 'a' + 10;
    }
    return -1;
}

// The code points of [text, end) into `count`, or false when the bytes are not UTF-8
// (overlong forms, surrogates and values past U+10FFFF included). `forbidden` is set when a
// character that no name may hold is among them: C0 and C1 controls and DEL, U+FFFE and
// U+FFFF (which XML forbids, and Tiled's files are XML), and the bidirectional controls
// U+202A-U+202E and U+2066-U+2069, which would turn the text around them.
bool count_utf8(const unsigned char* text, const unsigned char* end, int* count, bool* forbidden) {
    *count = 0;
    *forbidden = false;
    while (text < end) {
        const unsigned lead = *text++;
        int more = 0;
        unsigned value = lead;
        unsigned least = 0; // the smallest value that needs this many bytes
        if (lead >= 0xF0 && lead <= 0xF4) {
            more = 3, value = lead & 7, least = 0x10000;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            more = 2, value = lead & 15, least = 0x800;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            more = 1, value = lead & 31, least = 0x80;
        } else if (lead >= 0x80) {
            return false;
        }
        for (; more > 0; --more, ++text) {
            if (text == end || (*text & 0xC0) != 0x80) {
                return false;
            }
            value = value << 6 | (*text & 0x3Fu);
        }
        if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
            return false;
        }
        *forbidden = *forbidden || value < 0x20 || (value >= 0x7F && value <= 0x9F) ||
                     value == 0xFFFE || value == 0xFFFF || (value >= 0x202A && value <= 0x202E) ||
                     (value >= 0x2066 && value <= 0x2069);
        ++*count;
    }
    return true;
}

// Checks one line (line end removed) and keeps its name in `names`; null when it is a
// good line, else what is wrong with it.
const char* take_line(const char* line, const char* end, ShapeNames* names, bool* seen) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(line);
    int length = 0;
    bool forbidden = false;
    if (!count_utf8(bytes, bytes + (end - line), &length, &forbidden)) {
        return msg_bad_utf8;
    }
    bool blank = true;
    for (const char* c = line; c < end && blank; ++c) {
        blank = *c == ' ' || *c == '\t';
    }
    if (blank || *line == '#') {
        return nullptr;
    }
    const int high = hex_digit(line[0]);
    const int low = end - line >= 2 ? hex_digit(line[1]) : -1;
    const int code = high * 16 + low;
    if (high < 0 || low < 0 || code >= shape_count || (end - line > 2 && line[2] != ' ')) {
        return msg_bad_code;
    }
    if (seen[code]) {
        return msg_repeated_code;
    }
    seen[code] = true;
    const int name_length = length - 3; // the code and the space are one byte each
    if (name_length < 1 || name_length > max_shape_name_length || forbidden) {
        return msg_bad_name;
    }
    names->name[code].assign(line + 3, end);
    return nullptr;
}

int read_names(const char* path, ShapeNames* names) {
    // Only a regular file, read to its end: a FIFO, a device or a file of the system's that
    // tells no size would otherwise hang the run or pass for an empty names file.
    std::vector<char> text;
    {
        FilePtr file;
        const int opened = platform_open_regular(path, &file);
        if (opened != 0) {
            std::printf(opened == -2 ? fmt_not_a_file : fmt_read_names, path);
            return -1;
        }
        char block[4096];
        for (std::size_t got = sizeof block; got == sizeof block;) {
            got = std::fread(block, 1, sizeof block, file.get());
            text.insert(text.end(), block, block + got);
            if (text.size() > max_names_file_size || std::ferror(file.get())) {
                std::printf(fmt_read_names, path);
                return -1;
            }
        }
    }
    ShapeNames found;
    bool seen[shape_count] = {};
    const char* at = text.data();
    const char* const end = at + text.size();
    if (end - at >= 3 && at[0] == '\xEF' && at[1] == '\xBB' && at[2] == '\xBF') {
        at += 3;
    }
    for (int number = 1; at < end; ++number) {
        const char* line_end = at;
        while (line_end < end && *line_end != '\n') {
            ++line_end;
        }
        const char* next = line_end < end ? line_end + 1 : line_end;
        if (line_end > at && line_end[-1] == '\r') {
            --line_end;
        }
        const char* wrong = take_line(at, line_end, &found, seen);
        if (wrong != nullptr) {
            std::printf(fmt_bad_line, path, number, wrong);
            return -1;
        }
        at = next;
    }
    *names = std::move(found);
    return 0;
}

} // namespace

int read_shape_names(const char* path, ShapeNames* names) noexcept {
    try {
        return read_names(path, names);
    } catch (const std::bad_alloc&) {
        std::puts(common_text::memory);
        return -1;
    }
}
