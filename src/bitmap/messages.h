// SPDX-License-Identifier: MIT
// Every text the bitmap module prints, in one place. Only write_bitmap, read_bitmap and
// check_bitmap_header print; their lines name the routine, then " - " and the text.
#ifndef KOPC_BITMAP_MESSAGES_H
#define KOPC_BITMAP_MESSAGES_H

namespace bitmap_text {

constexpr char cant_write_header[] = "error: write_bitmap() - can't write bitmap header";
constexpr char cant_write_palette[] = "error: write_bitmap() - can't write palette";

constexpr char header_type[] =
    "error: check_bitmap_header() - not supported header type - support only Windows V3";
constexpr char compression[] = "error: check_bitmap_header() - not support compression";
constexpr char bit_count[] = "error: check_bitmap_header() - unknown bit count";
constexpr char offset_fmt[] = "error: check_bitmap_header() - offset size 0x%X != 0x%X\n";
constexpr char data_length_0_fmt[] =
    "warning: check_bitmap_header() - data length is 0 ... corrected: 0x%X\n";
constexpr char data_length_fmt[] = "error: check_bitmap_header() - data length 0x%X != 0x%X\n";
constexpr char file_length_0[] = "warning: check_bitmap_header() - file length is 0";
constexpr char file_longer_fmt[] = "warning: check_bitmap_header() - file length 0x%X > 0x%X\n";
constexpr char file_shorter_fmt[] = "error: check_bitmap_header() - file length 0x%X < 0x%X\n";
constexpr char out_of_range[] = "error: check_bitmap_header() - image size out of range";

constexpr char cant_read_header[] = "error: read_bitmap() - can't read bitmap header";
constexpr char cant_read_palette[] = "error: read_bitmap() - can't read palette";
constexpr char cant_read_data[] = "error: read_bitmap() - can't read bitmap data";
constexpr char memory[] = "error: memory exhaust!";

} // namespace bitmap_text

#endif
