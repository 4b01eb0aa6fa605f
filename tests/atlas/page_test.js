// SPDX-License-Identifier: MIT
// The atlas page script's pure helpers, worked by hand: node --test page_test.js
"use strict";
const assert = require("assert").strict;
const page = require("../../src/kopc_atlas/page/atlas.js");

const tiles = new Uint8Array(4096).fill(8, 10 * 64 + 16, 10 * 64 + 17).fill(255, 4095);
const slots = [[18, 16, 10, 0xe8, 8, 1], [5, 10, 16, 4, 4, 1], [3, 16, 10, 7, 1, 0]];
const data = { doors_drawn: 0, ground: 1, maps: [{}, { slots, doors: [[63, 63]] }] };
const box = { left: 10, top: 20, width: 128, height: 256 }; // cells of 2 x 4 pixels
const maps = ["ko.Firstland", "ko.Elderdays.Vesper's_Keep"];
const named = Object.assign(Array(64).fill(""), { 2: "grass", 0x3a: "wolf" });
const text = (x, y, names) => page.describe_text(page.describe(data, 1, tiles, x, y), names);
const view = (map, cell, zoom) => ({ map, cell, zoom });
require("node:test")("the page's pure helpers", () => {
  for (const [name, args, want] of [
    ["tile", [0], "00:0"], ["tile", [0xe9], "3A:1"], ["tile", [255], "3F:3"],
    ["step", [0, -1, 31], 30], ["step", [30, 1, 31], 0], ["step", [4, 1, 31], 5],
    ["parse_address", ["#ko.Firstland"], view(0, null, 0)],
    ["parse_address", ["#ko.Firstland/16,10"], view(0, [16, 10], 0)],
    ["parse_address", ["#ko.Firstland/16,10/4x"], view(0, [16, 10], 4)],
    ["parse_address", ["#ko.Firstland/2x"], view(0, null, 2)],
    ["parse_address", ["#ko.Elderdays.Vesper%27s_Keep/63,0/fit"], view(1, [63, 0], 0)],
    ["parse_address", ["#ko.Elderdays.Vesper's_Keep"], view(1, null, 0)],
    ["parse_address", ["#map-1"], view(1, null, 0)], ["parse_address", ["#map-2"], null],
    ...["", "#", "#ko.Nowhere", "#ko.Firstland/64,0", "#ko.Firstland/0,64", "#ko.Firstland/1,2/3,4",
        "#ko.Firstland/0x", "#ko.Firstland/65x", "#ko.Firstland/4x/1,1", "#ko.Firstland/1,1/4x/",
        "#ko.Firstland/", "#ko.Firstland%2", "#ko.firstland", "#map-1x"].map((h) => ["parse_address", [h], null]),
    ["address", [view(1, [3, 40], 4)], "#ko.Elderdays.Vesper%27s_Keep/3,40/4x"],
    ["address", [view(0, null, 0)], "#ko.Firstland"], ["address", [view(0, [0, 0], 0)], "#ko.Firstland/0,0"],
    ["history_action", [null, view(0, null, 0)], "push"], ["history_action", [view(0, null, 0), view(1, null, 0)], "push"],
    ["history_action", [view(1, null, 0), view(1, [2, 3], 4)], "replace"],
    ["cell_under", [box, 10, 20], [0, 0]], ["cell_under", [box, 43, 61], [16, 10]],
    ["cell_under", [box, 137.9, 275.9], [63, 63]], ["cell_under", [box, 138, 30], null],
    ["cell_under", [box, 9.9, 30], null], ["cell_under", [box, 30, 276], null],
    ["move", [[0, 0], "ArrowLeft"], [0, 0]], ["move", [[0, 0], "ArrowUp"], [0, 0]], ["move", [[5, 5], "ArrowDown"], [5, 6]],
    ["move", [[63, 63], "ArrowRight"], [63, 63]], ["move", [[5, 5], "a"], undefined],
    ["shape_counts", [tiles], [4094, 0, 1, ...Array(60).fill(0), 1]],
    ["find_shape", [tiles, slots, 1], { cells: 0, first: null, npcs: [[10, 16], [16, 10]] }],
    ["find_shape", [tiles, slots, 63], { cells: 1, first: [63, 63], npcs: [] }],
    ["text", [16, 10, []], "column 16, row 10: tile 02:0; NPC slot 18: 3A:0 on 02:0 (ground drawn); NPC slot 3: 01:3 on 00:1 (not drawn)"],
    ["text", [16, 10, named], "column 16, row 10: tile 02:0 grass; NPC slot 18: 3A:0 wolf on 02:0 grass (ground drawn); NPC slot 3: 01:3 on 00:1 (not drawn)"],
    ["text", [63, 63, []], "column 63, row 63: tile 3F:3; time door (not drawn, see -t)"],
  ]) {
    const fn = { text, parse_address: (h) => page.parse_address(h, maps), address: (v) => page.address(maps, v) }[name];
    assert.deepEqual((fn || page[name])(...args), want, `${name}(${JSON.stringify(args.slice(-2))})`);
  }
});
