"""Whole runs over a data set with NPC slots of every kind: all 31 images compared byte
for byte with images composed here from the tile rules, and the mismatch lines."""

import kopc_data

CAT = kopc_data.CATALOGUE
DOOR_ROWS = {0: 0, 2: 1, 4: 2, 8: 3, 12: 4}


def tile(row, x, y):
    return kopc_data.test_map(row)[y * 64 + x]


def other(t, k):
    """A non-zero tile byte of another shape than t (k = 1..3)."""
    return ((t // 4 + k) % 64) * 4 + k


def slots(row):
    """(slot, x, y, shown, ground) of the scenario's NPC file for catalogue row `row`."""
    def at(slot, x, y, k_shown, k_ground):
        t = tile(row, x, y)
        return (slot, x, y, other(t, k_shown) if k_shown else t, other(t, k_ground))

    # Every map: one slot that disagrees with the map.
    result = [at(7, row + 1, 60 - row, 1, 2)]
    if row == 0:
        result += [at(0, 29, 56, 0, 3),  # agrees with the map, on a time door
                   (31, 0, 0, 0, 0x40)]  # shown tile 0: an empty slot
    if row == 2:  # two slots on one cell: the first is taken, the second never looked at
        result += [at(1, 3, 4, 1, 2), at(2, 3, 4, 0, 3)]
    if row == 19:  # passed over on a mismatch, unless --ignore-diff
        result += [at(2, 10, 20, 1, 2), at(4, 10, 20, 0, 3),
                   at(5, 30, 31, 1, 2), at(6, 30, 31, 2, 3)]
    if row == 30:
        result += [at(31, 63, 63, 0, 2)]
    return result


def scenario_cells(row, no_npcs=False, ignore_diff=False, no_mon=False, doors=False):
    cells = kopc_data.map_cells(kopc_data.test_map(row))

    def draw(slot):
        _, x, y, shown, ground = [s for s in slots(row) if s[0] == slot][0]
        cells[y][x] = (ground if no_npcs else shown) // 4

    if not no_mon:
        if row != 19 or ignore_diff:
            draw(7)
        if row == 0:
            draw(0)
        if row == 2:
            draw(1)
        if row == 19:
            draw(2 if ignore_diff else 4)
            if ignore_diff:
                draw(5)
        if row == 30:
            draw(31)
    if doors and row in DOOR_ROWS:
        for x, y in kopc_data.TIME_DOORS[DOOR_ROWS[row]]:
            cells[y][x] = 48
    return cells


def mismatch_lines(ignore_diff=False):
    lines = []
    for row, entry in enumerate(CAT):
        printed = [s for s in slots(row) if s[3] != tile(row, s[1], s[2])]
        if ignore_diff:
            printed = [s for s in printed if s[0] != 6]
        for slot, x, y, shown, ground in sorted(printed, key=lambda s: (s[2], s[1], s[0])):
            t = tile(row, x, y)
            lines.append("%s[%2.1d] (%2.1d,%2.1d) %02X:%d -> %02X:%d/%02X:%d %s\n" % (
                entry[0], slot, x, y, t // 4, t % 4, shown // 4, shown % 4,
                ground // 4, ground % 4, entry[3]))
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
        self.assertEqual(lines.count("\n"), 31 + 1 + 3)
        self.check_run([], lines)
        with open(self.path("ko.Elderdays.bmp"), "rb") as f:
            image = f.read()
        self.assertEqual(len(image), 118 + 512 * 1024)
        self.assertEqual(image[:54], bytes.fromhex(
            "424D76000800000000007600000028000000000400000004000001000400"
            "000000000000080000000000000000000000000000000000"))
        self.assertEqual(image[54:62], bytes.fromhex("00000000AA000000"))
        self.assertEqual(image[110:118], bytes.fromhex("55FFFF00FFFFFF00"))
        # The top line of shapes 0 and 1 (tiles 0x00 and 0x05) is the file's last row.
        top = 118 + 1023 * 512
        self.assertEqual(image[top:top + 16], bytes.fromhex("0023456789ABCDEF103456789ABCDEF0"))

    def test_flags(self):
        runs = [
            (["-n"], mismatch_lines(), dict(no_npcs=True)),
            (["--ignore-diff"], mismatch_lines(True), dict(ignore_diff=True)),
            (["--ignore-diff", "-n"], mismatch_lines(True), dict(ignore_diff=True, no_npcs=True)),
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
