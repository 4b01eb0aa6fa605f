"""Whole runs over a data set with one NPC slot in every map that disagrees with it: all
31 images compared byte for byte with images composed here from the tile rules, the
mismatch lines in catalogue order, and every option reaching the renderer."""

import kopc_data

CAT = kopc_data.CATALOGUE
DOOR_ROWS = {0: 0, 2: 1, 4: 2, 8: 3, 12: 4}


def tile(row, x, y):
    return kopc_data.test_map(row)[y * 64 + x]


def slots(row):
    """(slot, x, y, shown, ground): slot 7 shows another shape than the map's own; on
    row 0, slot 0 agrees with the map on a time door."""
    t = tile(row, row + 1, 60 - row)
    result = [(7, row + 1, 60 - row, ((t // 4 + 1) % 64) * 4 + 1, ((t // 4 + 2) % 64) * 4 + 2)]
    if row == 0:
        result.append((0, 29, 56, tile(0, 29, 56), 0x33))
    return result


def scenario_cells(row, no_npcs=False, ignore_diff=False, no_mon=False, doors=False):
    cells = kopc_data.map_cells(kopc_data.test_map(row))
    for slot, x, y, shown, ground in [] if no_mon else slots(row):
        # Row 19 keeps its own tile where a slot disagrees, unless told otherwise.
        if row != 19 or ignore_diff or shown == tile(row, x, y):
            cells[y][x] = (ground if no_npcs else shown) // 4
    if doors and row in DOOR_ROWS:
        for x, y in kopc_data.TIME_DOORS[DOOR_ROWS[row]]:
            cells[y][x] = 48
    return cells


def mismatch_lines():
    lines = []
    for row, entry in enumerate(CAT):
        _, x, y, shown, ground = slots(row)[0]
        t = tile(row, x, y)
        lines.append("%s[ 7] (%2d,%2d) %02X:%d -> %02X:%d/%02X:%d %s\n" % (
            entry[0], x, y, t // 4, t % 4, shown // 4, shown % 4, ground // 4, ground % 4,
            entry[3]))
    return "".join(lines)


class Render(kopc_data.ProgramTest):
    def setUp(self):
        super().setUp()
        npcs = {row: kopc_data.npc_record(slots(row)) for row in range(len(CAT))}
        kopc_data.write_test_world(self.path("data"), npcs)

    def check_run(self, args, out, cga=False, **flags):
        self.kopc(*args, "data", "--overwrite", status=0, out=out)
        self.assertEqual(self.bmp_files(), sorted(row[2] for row in CAT))
        for row in range(len(CAT)):
            self.assert_file(CAT[row][2],
                             kopc_data.expected_map(row, scenario_cells(row, **flags), cga))

    def test_default_run(self):
        lines = mismatch_lines()
        # Worked out by hand: tile 0x39:1 at (1,60) of MAPX00, the slot shows 0x3A:1.
        self.assertTrue(lines.startswith("MAPX00[ 7] ( 1,60) 39:1 -> 3A:1/3B:2 Elderdays\n"))
        self.check_run([], lines)
        with open(self.path("ko.Elderdays.bmp"), "rb") as f:
            image = f.read()
        self.assertEqual(len(image), 118 + 512 * 1024)
        self.assertEqual(image[54:62], bytes.fromhex("00000000AA000000"))
        self.assertEqual(image[110:118], bytes.fromhex("55FFFF00FFFFFF00"))
        # The top line of shapes 0 and 1 (tiles 0x00 and 0x05) is the file's last row.
        top = 118 + 1023 * 512
        self.assertEqual(image[top:top + 16], bytes.fromhex("0023456789ABCDEF103456789ABCDEF0"))

    def test_flags(self):
        runs = [
            (["-n"], mismatch_lines(), dict(no_npcs=True)),
            (["--ignore-diff"], mismatch_lines(), dict(ignore_diff=True)),
            (["--no-mon-files", "--no-npcs"], "", dict(no_mon=True)),
            (["-t"], mismatch_lines(), dict(doors=True)),
            (["--time-doors", "--no-mon-files"], "", dict(doors=True, no_mon=True)),
            (["-s", "x.bmp", "--cga", "-t", "-n"], mismatch_lines(),
             dict(cga=True, doors=True, no_npcs=True)),
        ]
        for args, out, flags in runs:
            with self.subTest(args=args):
                self.check_run(args, out, **flags)


if __name__ == "__main__":
    kopc_data.main()
