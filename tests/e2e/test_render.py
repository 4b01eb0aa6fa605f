# SPDX-License-Identifier: MIT
"""Whole runs over a data set whose NPC records put slots on the maps in every way the
renderer must tell apart: all 31 images compared byte for byte with images composed here
from a table of what each slot must do, the mismatch lines in cell order, and every option
reaching the renderer."""

import kopc_data

CAT = kopc_data.CATALOGUE


def tile(row, x, y):
    return kopc_data.test_map(row)[y * 64 + x]


def slots(row):
    """(slot, x, y, shown, ground) of every row's NPC record, and what the renderer must do
    with each, worked out by hand: reported as a mismatch; drawn on an ordinary row; drawn
    on the row that keeps its map where a slot disagrees (unless told to ignore that)."""
    def other(x, y, steps=1):  # another shape with the map tile's low bits
        return (tile(row, x, y) + 4 * steps) % 256

    return [
        ((7, row + 1, 60 - row, other(row + 1, 60 - row), 0x3B * 4 + 2), 1, 1, 0),
        # Three slots on one cell: the first differs and takes the cell, except where the map
        # is kept, where the second, which agrees, does; the third is never looked at.
        ((2, 12, 3, other(12, 3), 0x22), 1, 1, 0), ((5, 12, 3, tile(row, 12, 3), 0x31), 0, 0, 1),
        ((9, 12, 3, other(12, 3, 2), 0x40), 0, 0, 0),
        ((4, 20, 5, 0, 0x11), 0, 0, 0),  # shows nothing: never applies, even where it stands
        ((6, 20, 5, tile(row, 20, 5) ^ 1, 0x15), 1, 1, 0),  # differs in the low bits only
        ((31, 63, 63, other(63, 63), 0xFE), 1, 1, 0),  # the last slot on the last cell
        ((0, 29, 56, tile(row, 29, 56), 0x33), 0, 1, 1),  # agrees, on a time door of row 0
        ((1, 34, 8, other(34, 8), 0x38), 1, 1, 0),  # differs, on a time door of row 2
    ]


def expected(row, no_npcs=False, ignore_diff=False, no_mon=False, doors=False):
    """The cells drawn and the mismatch lines (in cell order) of one row; doors win over all."""
    map_file, _, _, title, door_set = CAT[row]
    cells, lines = kopc_data.map_cells(kopc_data.test_map(row)), []
    kept = row == kopc_data.KEEP_MAP_ROW and not ignore_diff
    for (slot, x, y, shown, ground), reported, drawn, drawn_kept in [] if no_mon else slots(row):
        if reported:
            lines.append(((y, x), kopc_data.mismatch_line(row, slot, x, y, tile(row, x, y), shown,
                                                          ground)))
        if drawn_kept if kept else drawn:
            cells[y][x] = (ground if no_npcs else shown) // 4
    for x, y in kopc_data.TIME_DOORS[door_set] if doors and door_set >= 0 else []:
        cells[y][x] = 48
    return cells, "".join(line for _, line in sorted(lines))


class Render(kopc_data.ProgramTest):
    def test_runs(self):
        npcs = {row: kopc_data.npc_record(s for s, *_ in slots(row)) for row in range(len(CAT))}
        kopc_data.write_data_set(self.path("data"), npcs)
        # Worked out by hand: tile 0x12:3 at (12,3) of MAPX00, the slot shows 0x13:3.
        self.assertTrue(expected(0)[1].startswith("MAPX00[ 2] (12, 3) 12:3 -> 13:3/08:2 Elderdays\n"))
        runs = [
            ([], {}),
            (["-n"], dict(no_npcs=True)),
            (["--ignore-diff"], dict(ignore_diff=True)),
            (["--no-mon-files", "--no-npcs"], dict(no_mon=True)),
            (["-t", "--cga"], dict(doors=True, cga=True)),
            (["--time-doors", "--no-mon-files"], dict(doors=True, no_mon=True)),
            # The last of --cga, --ega and -s wins.
            (["-s", "x.bmp", "--cga", "--shape", "y.bmp", "--ega", "-n", "--ignore-diff"],
             dict(no_npcs=True, ignore_diff=True)),
        ]
        for args, flags in runs:
            with self.subTest(args=args):
                cga = flags.pop("cga", False)
                rows = [expected(row, **flags) for row in range(len(CAT))]
                self.kopc(*args, "data", "--overwrite", status=0,
                          out="".join(lines for _, lines in rows))
                self.assertEqual(self.bmp_files(), sorted(kopc_data.OUTPUTS))
                for row, (cells, _) in enumerate(rows):
                    self.assert_file(CAT[row][2], kopc_data.expected_map(row, cells, cga))
        # The palette and the top line of shapes 0 and 1 (tiles 0x00 and 0x05), by hand.
        with open(self.path("ko.Elderdays.bmp"), "rb") as f:
            image = f.read()
        self.assertEqual(len(image), 118 + 512 * 1024)
        self.assertEqual(image[54:62] + image[110:118],
                         bytes.fromhex("00000000AA00000055FFFF00FFFFFF00"))
        top = 118 + 1023 * 512
        self.assertEqual(image[top:top + 16], bytes.fromhex("0023456789ABCDEF103456789ABCDEF0"))


if __name__ == "__main__":
    kopc_data.main()
