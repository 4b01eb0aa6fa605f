// SPDX-License-Identifier: MIT
// The atlas page script's pure helpers, worked by hand: node --test page_test.js
"use strict";
const assert = require("assert").strict;
const page = require("../../src/kopc_atlas/page/atlas.js");

const tiles = new Uint8Array(4096).fill(8, 10 * 64 + 16, 10 * 64 + 17).fill(255, 4095);
const slots = [[18, 16, 10, 0xe8, 8, 1], [5, 10, 16, 4, 4, 1], [3, 16, 10, 7, 1, 0]];
const data = { doors_drawn: 0, ground: 1, maps: [{}, { slots, doors: [[63, 63]] }] };
const box = { left: 10, top: 20, width: 128, height: 256 }; // cells of 2 x 4 pixels
require("node:test")("the page's pure helpers", () => {
  for (const [name, args, want] of [
    ["tile", [0], "00:0"], ["tile", [0xe9], "3A:1"], ["tile", [255], "3F:3"],
    ["step", [0, -1, 31], 30], ["step", [30, 1, 31], 0], ["step", [4, 1, 31], 5],
    ["map_in_hash", ["#map-30", 31], 30], ["map_in_hash", ["#map-31", 31], -1],
    ["map_in_hash", ["#map-1x", 31], -1], ["map_in_hash", ["", 31], -1],
    ["cell_under", [box, 10, 20], [0, 0]], ["cell_under", [box, 43, 61], [16, 10]],
    ["cell_under", [box, 137.9, 275.9], [63, 63]], ["cell_under", [box, 138, 30], null],
    ["cell_under", [box, 9.9, 30], null], ["cell_under", [box, 30, 276], null],
    ["describe", [data, 1, tiles, 16, 10], "column 16, row 10: tile 02:0; NPC slot 18: 3A:0 on " +
     "02:0 (ground drawn); NPC slot 3: 01:3 on 00:1 (not drawn)"],
    ["describe", [data, 1, tiles, 63, 63], "column 63, row 63: tile 3F:3; time door (not drawn, see -t)"],
  ]) assert.deepEqual(page[name](...args), want, `${name}(${args.slice(-2)})`);
});
