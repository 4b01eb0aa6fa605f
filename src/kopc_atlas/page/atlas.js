// The atlas page's viewer. It reads the map data the program writes into the page (element
// "atlas-data") and never asks the network for anything. The pure helpers come first: under
// Node (tests/atlas/page_test.js) they are the module's exports and the page part never runs.
"use strict";
(function () {
  // A tile number as the program's lines write it: shape in hex, colon, its frame.
  const tile = (t) => (t >> 2).toString(16).toUpperCase().padStart(2, "0") + ":" + (t & 3);
  const at = (list, x, y) => list.filter((e) => e[1] === x && e[2] === y);
  // The map `by` steps from `current` of `count`, round from either end.
  const step = (current, by, count) => (current + by + count) % count;
  // The map a location's hash "#map-N" names, or -1 (the index).
  const map_in_hash = (hash, count) => {
    const m = /^#map-(\d+)$/.exec(hash);
    return m && Number(m[1]) < count ? Number(m[1]) : -1;
  };
  // The cell [x, y] under a point of the picture's box, or null off the map.
  const cell_under = (box, px, py) => {
    const x = Math.floor(((px - box.left) * 64) / box.width);
    const y = Math.floor(((py - box.top) * 64) / box.height);
    return x >= 0 && x < 64 && y >= 0 && y < 64 ? [x, y] : null;
  };

  // What lies on cell (x, y) of map n, whose tiles are `tiles`.
  function describe(data, n, tiles, x, y) {
    const map = data.maps[n];
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

  if (typeof module === "object") {
    module.exports = { tile, at, step, map_in_hash, cell_under, describe };
    return; // no page under Node
  }

  const data = JSON.parse(document.getElementById("atlas-data").textContent);
  const $ = (id) => document.getElementById(id);
  const thumbs = document.querySelectorAll("#index img");
  const view = $("view"), picture = $("picture"), marks = $("marks"), cell = $("cell");
  const hint = "Point at a cell (or tap it) to see what lies there.";
  const count = data.maps.length;
  let current = -1, zoom = 0, tiles = null, cursor = null;

  function mark(x, y, kind) {
    const m = document.createElement("div");
    m.className = "mark " + kind;
    m.style.left = (x * 100) / 64 + "%";
    m.style.top = (y * 100) / 64 + "%";
    return marks.appendChild(m);
  }

  function point(x, y) {
    cursor.hidden = false;
    cursor.style.left = (x * 100) / 64 + "%";
    cursor.style.top = (y * 100) / 64 + "%";
    cell.textContent = describe(data, current, tiles, x, y);
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
    const n = map_in_hash(location.hash, count);
    if (n >= 0) {
      show(n);
    } else {
      current = -1;
      view.hidden = true;
      $("index").hidden = false;
      document.title = data.title;
    }
  }

  const go = (by) => { location.hash = "#map-" + step(current, by, count); };
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
    const xy = cell_under(picture.getBoundingClientRect(), e.clientX, e.clientY);
    if (xy) point(...xy);
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
