// SPDX-License-Identifier: MIT
// The fixed parts of the atlas page: its style and its script. The script reads the map
// data the program writes into the page (element "atlas-data") and never asks the network
// for anything.
#ifndef KOPC_ATLAS_PAGE_TEXT_H
#define KOPC_ATLAS_PAGE_TEXT_H

namespace page_text {

constexpr char style[] = R"CSS(
:root { color-scheme: light dark; font-family: system-ui, sans-serif; }
body { margin: 0 auto; padding: 0 12px 24px; max-width: 1400px; }
h1 { font-size: 1.5em; margin: 12px 0 0; }
header p { margin: 4px 0 8px; opacity: 0.75; }
section h2 { font-size: 1.1em; margin: 16px 0 6px; border-bottom: 1px solid #8886; }
.maps { display: grid; grid-template-columns: repeat(auto-fill, minmax(140px, 1fr)); gap: 12px; }
.map { color: inherit; text-decoration: none; display: block; }
.map img { width: 100%; aspect-ratio: 1; object-fit: contain; display: block; background: #000; }
.map:hover img, .map:focus img { outline: 3px solid #39f; }
.map span { display: block; font-size: 0.9em; margin-top: 4px; }
.bar { display: flex; flex-wrap: wrap; gap: 6px 14px; align-items: center; padding: 8px 0;
       position: sticky; top: 0; background: Canvas; z-index: 2; }
.bar h2 { margin: 0; font-size: 1.2em; min-width: 9em; }
button { font: inherit; padding: 2px 8px; }
button.on { outline: 2px solid #39f; font-weight: bold; }
label { white-space: nowrap; }
.key { display: inline-block; width: 0.8em; height: 0.8em; border: 2px solid; margin: 0 4px;
       vertical-align: -0.1em; }
#cell, #mismatches { font-family: ui-monospace, monospace; }
#cell { min-height: 2.6em; margin: 4px 0; }
aside h3 { font-size: 1em; margin: 8px 0 4px; }
#mismatches { white-space: pre-wrap; padding-left: 1.2em; margin: 0; font-size: 0.9em; }
#stage { overflow: auto; }
@media (min-width: 1000px) {
  #layout { display: grid; grid-template-columns: minmax(0, 1fr) 25em; gap: 16px; align-items: start; }
  aside { order: 2; position: sticky; top: 64px; }
}
#frame { position: relative; display: inline-block; line-height: 0; cursor: crosshair; }
#picture { display: block; image-rendering: pixelated; }
#marks { position: absolute; inset: 0; pointer-events: none; }
.mark { position: absolute; width: 1.5625%; height: 1.5625%; box-sizing: border-box;
        border: 2px solid; }
.slot, .key-slot { border-color: #0ee; }
.mismatch, .key-mismatch { border-color: #f22; border-width: 3px; }
.door, .key-door { border-color: #f0f; border-style: dashed; }
.cursor { border-color: #fff; box-shadow: 0 0 0 2px #000; }
.hide-slots .slot, .hide-mismatches .mismatch, .hide-doors .door { display: none; }
[hidden] { display: none !important; }
)CSS";

constexpr char view[] = R"HTML(
<div id="view" hidden>
<nav class="bar">
<a href="#" id="back">&larr; all maps</a>
<button id="prev" title="previous map (left arrow key)">&larr;</button>
<h2 id="title"></h2>
<button id="next" title="next map (right arrow key)">&rarr;</button>
<span id="zoom"><button data-zoom="1">1x</button> <button data-zoom="2">2x</button>
<button data-zoom="4">4x</button> <button data-zoom="0">fit</button></span>
<label><input type="checkbox" id="slots" checked><i class="key key-slot"></i>NPC slots</label>
<label><input type="checkbox" id="mismatches-shown" checked><i class="key key-mismatch"></i>mismatches</label>
<label><input type="checkbox" id="doors" checked><i class="key key-door"></i>time doors</label>
<a id="save" href="#">save PNG</a>
</nav>
<div id="layout">
<aside><p id="cell"></p><h3>Map and NPC disagreements</h3><ul id="mismatches"></ul></aside>
<div id="stage"><div id="frame"><img id="picture" alt=""><div id="marks"></div></div></div>
</div>
</div>
)HTML";

constexpr char script[] = R"JS(
"use strict";
(function () {
  const data = JSON.parse(document.getElementById("atlas-data").textContent);
  const $ = (id) => document.getElementById(id);
  const thumbs = document.querySelectorAll("#index img");
  const view = $("view"), picture = $("picture"), marks = $("marks"), cell = $("cell");
  const hint = "Point at a cell (or tap it) to see what lies there.";
  const count = data.maps.length;
  let current = -1, zoom = 0, tiles = null, cursor = null;

  const tile = (t) => (t >> 2).toString(16).toUpperCase().padStart(2, "0") + ":" + (t & 3);
  const at = (list, x, y) => list.filter((e) => e[1] === x && e[2] === y);

  function mark(x, y, kind) {
    const m = document.createElement("div");
    m.className = "mark " + kind;
    m.style.left = (x * 100) / 64 + "%";
    m.style.top = (y * 100) / 64 + "%";
    return marks.appendChild(m);
  }

  function describe(x, y) {
    const map = data.maps[current];
    let text = "column " + x + ", row " + y + ": tile " + tile(tiles[y * 64 + x]);
    for (const [s, , , shown, ground, taken] of at(map.slots, x, y)) {
      text += "; NPC slot " + s + ": " + tile(shown) + " on " + tile(ground) +
              (taken ? (data.ground ? " (ground drawn)" : " (drawn)") : " (not drawn)");
    }
    if (map.doors.some(([dx, dy]) => dx === x && dy === y)) {
      text += data.doors_drawn ? "; time door" : "; time door (not drawn, see -t)";
    }
    return text;
  }

  function point(x, y) {
    cursor.hidden = false;
    cursor.style.left = (x * 100) / 64 + "%";
    cursor.style.top = (y * 100) / 64 + "%";
    cell.textContent = describe(x, y);
  }

  function fit() {
    if (!picture.naturalWidth) return;
    let width = picture.naturalWidth * zoom;
    if (zoom === 0) {
      const top = $("stage").getBoundingClientRect().top + window.scrollY;
      const room = Math.min($("stage").clientWidth / picture.naturalWidth,
                            (window.innerHeight - Math.min(top, 160) - 16) / picture.naturalHeight);
      width = Math.max(64, Math.floor(picture.naturalWidth * room));
    }
    picture.style.width = width + "px";
    for (const b of document.querySelectorAll("#zoom button")) {
      b.classList.toggle("on", Number(b.dataset.zoom) === zoom);
    }
  }

  function show(n) {
    const map = data.maps[n];
    current = n;
    $("index").hidden = true;
    view.hidden = false;
    document.title = map.title + " \u2013 atlas";
    $("title").textContent = map.title;
    picture.src = thumbs[n].src;
    picture.alt = map.title;
    $("save").href = thumbs[n].src;
    $("save").download = map.png;
    tiles = Uint8Array.from(atob(map.tiles), (c) => c.charCodeAt(0));
    marks.textContent = "";
    for (const [, x, y] of map.slots) mark(x, y, "slot");
    for (const [, x, y] of map.mismatches) mark(x, y, "mismatch");
    for (const [x, y] of map.doors) mark(x, y, "door");
    cursor = mark(0, 0, "cursor");
    cursor.hidden = true;
    cell.textContent = hint;
    const list = $("mismatches");
    list.textContent = "";
    for (const [, x, y, line] of map.mismatches) {
      const a = document.createElement("a");
      a.href = "#map-" + n;
      a.textContent = line;
      a.addEventListener("click", (e) => {
        e.preventDefault();
        point(x, y);
        cursor.scrollIntoView({ block: "center", inline: "center" });
      });
      list.appendChild(document.createElement("li")).appendChild(a);
    }
    if (!map.mismatches.length) list.appendChild(document.createElement("li")).textContent = "none";
    fit();
  }

  function route() {
    const m = /^#map-(\d+)$/.exec(location.hash);
    if (m && Number(m[1]) < count) {
      show(Number(m[1]));
    } else {
      current = -1;
      view.hidden = true;
      $("index").hidden = false;
      document.title = data.title;
    }
  }

  const go = (step) => { location.hash = "#map-" + ((current + step + count) % count); };
  $("prev").addEventListener("click", () => go(-1));
  $("next").addEventListener("click", () => go(1));
  for (const b of document.querySelectorAll("#zoom button")) {
    b.addEventListener("click", () => { zoom = Number(b.dataset.zoom); fit(); });
  }
  for (const [box, name] of [["slots", "hide-slots"], ["mismatches-shown", "hide-mismatches"],
                             ["doors", "hide-doors"]]) {
    $(box).addEventListener("change", () => view.classList.toggle(name, !$(box).checked));
  }
  const pointed = (e) => {
    const r = picture.getBoundingClientRect();
    const x = Math.floor(((e.clientX - r.left) * 64) / r.width);
    const y = Math.floor(((e.clientY - r.top) * 64) / r.height);
    if (x >= 0 && x < 64 && y >= 0 && y < 64) point(x, y);
  };
  $("frame").addEventListener("mousemove", pointed);
  $("frame").addEventListener("click", pointed);
  picture.addEventListener("load", fit);
  window.addEventListener("resize", () => { if (zoom === 0) fit(); });
  document.addEventListener("keydown", (e) => {
    if (current < 0 || e.altKey || e.ctrlKey || e.metaKey) return;
    if (e.key === "ArrowRight") go(1);
    else if (e.key === "ArrowLeft") go(-1);
    else if (e.key === "Escape") location.hash = "";
    else return;
    e.preventDefault();
  });
  window.addEventListener("hashchange", route);
  route();
})();
)JS";

} // namespace page_text

#endif
