// SPDX-License-Identifier: MIT
// The atlas page script's pure helpers, worked by hand: node --test page_test.js
"use strict";
const assert = require("assert").strict;
const page = require("../../src/kopc_atlas/page/atlas.js");

const tiles = new Uint8Array(4096).fill(8, 10 * 64 + 16, 10 * 64 + 17).fill(255, 4095);
const slot = (slot, x, y, shown, ground, taken) => ({ slot, x, y, shown, ground, taken });
const slots = [slot(18, 16, 10, 0xe8, 8, 1), slot(5, 10, 16, 4, 4, 1), slot(3, 16, 10, 7, 1, 0)];
const data = { maps: [{}, { slots, doors: [{ x: 63, y: 63 }], doors_drawn: 0, grounds_drawn: 1 }] };
const box = { left: 10, top: 20, width: 128, height: 256 }; // cells of 2 x 4 pixels
const maps = ["ko.Firstland", "ko.Elderdays.Vesper's_Keep"];
const named = Object.assign(Array(64).fill(""), { 2: "grass", 0x3a: "wolf" });
const text = (x, y, names) => page.describe_text(page.describe(data, 1, tiles, x, y), names);
const view = (map, cell, zoom) => ({ map, cell, zoom });
const index = (note) => ({ map: -1, cell: null, zoom: 0, note });
const hits = [[5, 0], [1, 2], [9, 2]];
const parse = (hash, want) => ["parse_address", [hash], want];
require("node:test")("the page's pure helpers", () => {
  for (const [name, args, want] of [
    ["tile", [0], "00:0"], ["tile", [0xe9], "3A:1"], ["tile", [255], "3F:3"],
    ["step", [0, -1, 31], 30], ["step", [30, 1, 31], 0], ["step", [4, 1, 31], 5],
    parse("#ko.Firstland", view(0, null, 0)), parse("#ko.Firstland/16,10", view(0, [16, 10], 0)),
    parse("#ko.Firstland/16,10/4x", view(0, [16, 10], 64)), parse("#ko.Firstland/2x", view(0, null, 32)), // tiles of 16 pixels
    parse("#ko.Firstland/1X", view(0, null, 16)), parse("#ko.Firstland/3x", view(0, null, 64)), parse("#ko.Firstland/64x", view(0, null, 64)),
    parse("#ko.Firstland/12px", view(0, null, 16)), parse("#ko.Firstland/8PX", view(0, null, 8)), parse("#map-1", view(1, null, 0)),
    parse("#ko.Elderdays.Vesper%27s_Keep/63,0/fit", view(1, [63, 0], 0)), parse("#ko.Elderdays.Vesper's_Keep/FIT", view(1, null, 0)),
    parse("#ko.firstland/", view(0, null, 0)), parse("#ko.Firstland/64,10/0x/0,64/16px", view(0, null, 16)),
    parse("#ko.Firstland/4x/1,1/2x/2,2/x", view(0, [1, 1], 64)), parse("", index(null)), parse("#", index(null)),
    parse("#map-2", index("map-2")), parse("#ko.Nowhere/1,1", index("ko.Nowhere")), parse("#ko.Firstland%2", index("ko.Firstland%2")),
    ["address", [view(1, [3, 40], 64)], "#ko.Elderdays.Vesper%27s_Keep/3,40/64px"],
    ["address", [view(0, null, 0)], "#ko.Firstland"], ["address", [view(0, [0, 0], 8)], "#ko.Firstland/0,0/8px"],
    ["zoom_step", [0, 11, 1], 16], ["zoom_step", [0, 11, -1], 8], ["zoom_step", [8, 11, -1], 8], ["zoom_step", [8, 5, -1], 0],
    ["zoom_step", [64, 5, 1], 64], ["zoom_step", [64, 100, 1], 0], ["zoom_step", [32, 100, -1], 16],
    ["next_hit", [hits, null, 1], [5, 0]], ["next_hit", [hits, null, -1], [9, 2]], ["next_hit", [hits, [1, 2], 1], [9, 2]],
    ["next_hit", [hits, [9, 2], 1], [5, 0]], ["next_hit", [hits, [3, 1], -1], [5, 0]], ["next_hit", [[], [1, 1], 1], null],
    ["history_action", [null, view(0, null, 0)], "push"], ["history_action", [view(0, null, 0), view(1, null, 0)], "push"],
    ["history_action", [view(1, null, 0), view(1, [2, 3], 4)], "replace"],
    ["cell_under", [box, 10, 20], [0, 0]], ["cell_under", [box, 43, 61], [16, 10]], ["cell_under", [box, 137.9, 275.9], [63, 63]],
    ["cell_under", [box, 138, 30], null], ["cell_under", [box, 9.9, 30], null], ["cell_under", [box, 30, 276], null],
    ["move", [[0, 0], "ArrowLeft"], [0, 0]], ["move", [[0, 0], "ArrowUp"], [0, 0]], ["move", [[5, 5], "ArrowDown"], [5, 6]],
    ["move", [[63, 63], "ArrowRight"], [63, 63]], ["move", [[5, 5], "a"], undefined],
    ["shape_counts", [tiles], [4094, 0, 1, ...Array(60).fill(0), 1]],
    ["find_shape", [tiles, slots, 1], { cells: 0, npcs: [[10, 16], [16, 10]], hits: [[16, 10], [10, 16]] }],
    ["find_shape", [tiles, slots, 63], { cells: 1, npcs: [], hits: [[63, 63]] }],
    ["text", [16, 10, []], "column 16, row 10: tile 02:0; NPC slot 18: 3A:0 on 02:0 (ground drawn); NPC slot 3: 01:3 on 00:1 (not drawn)"],
    ["text", [16, 10, named], "column 16, row 10: tile 02:0 grass; NPC slot 18: 3A:0 wolf on 02:0 grass (ground drawn); NPC slot 3: 01:3 on 00:1 (not drawn)"],
    ["text", [63, 63, []], "column 63, row 63: tile 3F:3; time door (not drawn, see -t)"],
  ]) {
    const fn = { text, parse_address: (h) => page.parse_address(h, maps, 16), address: (v) => page.address(maps, v) }[name];
    assert.deepEqual((fn || page[name])(...args), want, `${name}(${JSON.stringify(args.slice(-2))})`);
  }
});
