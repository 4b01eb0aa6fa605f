"""Whole runs over a data set with one NPC slot in every map that disagrees with it: all
31 images compared byte for byte with images composed here from the tile rules, the
mismatch lines in catalogue order, and every option reaching the renderer."""

import kopc_data

CAT = kopc_data.CATALOGUE


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


def cells(row, no_npcs=False, ignore_diff=False, no_mon=False, doors=False):
    result = kopc_data.map_cells(kopc_data.test_map(row))
    for slot, x, y, shown, ground in [] if no_mon else slots(row):
        # Row 19 keeps its own tile where a slot disagrees, unless told otherwise.
        if row != kopc_data.KEEP_MAP_ROW or ignore_diff or shown == tile(row, x, y):
            result[y][x] = (ground if no_npcs else shown) // 4
    if doors and CAT[row][4] >= 0:
        for x, y in kopc_data.TIME_DOORS[CAT[row][4]]:
            result[y][x] = 48
    return result


def mismatch_lines():
    lines = ""
    for row, entry in enumerate(CAT):
        _, x, y, shown, ground = slots(row)[0]
        t = tile(row, x, y)
        lines += "%s[ 7] (%2d,%2d) %02X:%d -> %02X:%d/%02X:%d %s\n" % (
            entry[0], x, y, t // 4, t % 4, shown // 4, shown % 4, ground // 4, ground % 4,
            entry[3])
    return lines


class Render(kopc_data.ProgramTest):
    def test_runs(self):
        npcs = {row: kopc_data.npc_record(slots(row)) for row in range(len(CAT))}
        kopc_data.write_data_set(self.path("data"), npcs)
        lines = mismatch_lines()
        # Worked out by hand: tile 0x39:1 at (1,60) of MAPX00, the slot shows 0x3A:1.
        self.assertTrue(lines.startswith("MAPX00[ 7] ( 1,60) 39:1 -> 3A:1/3B:2 Elderdays\n"))
        runs = [
            ([], lines, {}),
            (["-n"], lines, dict(no_npcs=True)),
            (["--ignore-diff"], lines, dict(ignore_diff=True)),
            (["--no-mon-files", "--no-npcs"], "", dict(no_mon=True)),
            (["-t", "--cga"], lines, dict(doors=True, cga=True)),
            (["--time-doors", "--no-mon-files"], "", dict(doors=True, no_mon=True)),
            # The last of --cga, --ega and -s wins.
            (["-s", "x.bmp", "--cga", "--shape", "y.bmp", "--ega", "-n", "--ignore-diff"], lines,
             dict(no_npcs=True, ignore_diff=True)),
        ]
        for args, out, flags in runs:
            with self.subTest(args=args):
                cga = flags.pop("cga", False)
                self.kopc(*args, "data", "--overwrite", status=0, out=out)
                self.assertEqual(self.bmp_files(), sorted(kopc_data.OUTPUTS))
                for row in range(len(CAT)):
                    self.assert_file(CAT[row][2],
                                     kopc_data.expected_map(row, cells(row, **flags), cga))
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
