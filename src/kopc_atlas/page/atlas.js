// The atlas page's viewer. It reads the map data the program writes into the page (element
// "atlas-data") and never asks the network for anything. The pure helpers come first: under
// Node (tests/atlas/page_test.js) they are the module's exports and the page part never runs.
//
// The address follows the view: #NAME[/COL,ROW][/ZOOM], NAME the map's file name without
// ".bmp", ZOOM "1x", "2x", ... or "fit" (left out: fit). Opening a map adds a history entry;
// selecting a cell or zooming replaces it. Old "#map-N" addresses still open map N.
"use strict";
(function () {
  // A tile number as the program's lines write it: shape in hex, colon, its frame.
  const tile = (t) => (t >> 2).toString(16).toUpperCase().padStart(2, "0") + ":" + (t & 3);
  const at = (list, x, y) => list.filter((e) => e[1] === x && e[2] === y);
  // The map `by` steps from `current` of `count`, round from either end.
  const step = (current, by, count) => (current + by + count) % count;
  const largest_zoom = 64;

  // The view {map, cell: [x, y] or null, zoom: 0 for fit} an address names among the maps
  // `names`, or null (the index) for an empty or bad address.
  const parse_address = (hash, names) => {
    let text;
    try {
      text = decodeURIComponent(hash.replace(/^#/, ""));
    } catch {
      return null; // a stray "%"
    }
    const old = /^map-(\d+)$/.exec(text);
    if (old) return Number(old[1]) < names.length ? { map: Number(old[1]), cell: null, zoom: 0 } : null;
    const [name, ...rest] = text.split("/");
    const view = { map: names.indexOf(name), cell: null, zoom: 0 };
    const cell = /^(\d+),(\d+)$/.exec(rest[0]);
    if (cell && Number(cell[1]) < 64 && Number(cell[2]) < 64) {
      view.cell = [Number(cell[1]), Number(cell[2])];
      rest.shift();
    }
    const zoom = rest.length === 1 && /^(?:(\d+)x|fit)$/.exec(rest[0]);
    if (zoom) view.zoom = zoom[1] ? Number(zoom[1]) : 0;
    const zoom_bad = zoom && zoom[1] && (view.zoom < 1 || view.zoom > largest_zoom);
    return view.map < 0 || rest.length > (zoom ? 1 : 0) || zoom_bad ? null : view;
  };
  // The address of a view; a map's name percent-encoded, "'" as %27 for link tools.
  const address = (names, view) => "#" + encodeURIComponent(names[view.map]).replace(/'/g, "%27") +
    (view.cell ? "/" + view.cell.join(",") : "") + (view.zoom ? "/" + view.zoom + "x" : "");
  // How a change of view enters the browser's history: a new entry for another map (so
  // that "back" leads where the user was), in place for a cell or a zoom on the same map.
  const history_action = (from, to) => (from && from.map === to.map ? "replace" : "push");

  // The cell [x, y] under a point of the picture's box, or null off the map.
  const cell_under = (box, px, py) => {
    const x = Math.floor(((px - box.left) * 64) / box.width);
    const y = Math.floor(((py - box.top) * 64) / box.height);
    return x >= 0 && x < 64 && y >= 0 && y < 64 ? [x, y] : null;
  };
  // The cell an arrow key moves `cell` to, held on the map; null for other keys.
  const arrows = { ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, -1], ArrowDown: [0, 1] };
  const move = (cell, key) => arrows[key] &&
    cell.map((v, i) => Math.min(63, Math.max(0, v + arrows[key][i])));

  // How many cells of a map hold each of the 64 shapes.
  const shape_counts = (tiles) => {
    const counts = Array(64).fill(0);
    for (const t of tiles) counts[t >> 2] += 1;
    return counts;
  };
  // Where a shape stands on a map: its cells, the first of them (row by row), and the
  // cells of the NPC slots that show it.
  const find_shape = (tiles, slots, shape) => {
    const first = tiles.findIndex((t) => t >> 2 === shape);
    return { cells: shape_counts(tiles)[shape], first: first < 0 ? null : [first % 64, first >> 6],
             npcs: slots.filter((s) => s[3] >> 2 === shape).map((s) => [s[1], s[2]]) };
  };

  // What lies on cell (x, y) of map n, whose tiles are `tiles`: text, and tile numbers
  // where a tile is named (the page shows its picture and name there).
  function describe(data, n, tiles, x, y) {
    const map = data.maps[n];
    const parts = ["column " + x + ", row " + y + ": tile ", tiles[y * 64 + x]];
    for (const [s, , , shown, ground, taken] of at(map.slots, x, y)) {
      parts.push("; NPC slot " + s + ": ", shown, " on ", ground,
                 taken ? (data.ground ? " (ground drawn)" : " (drawn)") : " (not drawn)");
    }
    if (map.doors.some(([dx, dy]) => dx === x && dy === y)) {
      parts.push(data.doors_drawn ? "; time door" : "; time door (not drawn, see -t)");
    }
    return parts;
  }
  // A tile's code and, where the names file gives one, its shape's name.
  const tile_text = (t, names) => tile(t) + (names[t >> 2] ? " " + names[t >> 2] : "");
  const describe_text = (parts, names) =>
    parts.map((p) => (typeof p === "number" ? tile_text(p, names) : p)).join("");

  if (typeof module === "object") {
    module.exports = { tile, step, parse_address, address, history_action, cell_under, move,
                       shape_counts, find_shape, describe, describe_text };
    return; // no page under Node
  }

  const data = JSON.parse(document.getElementById("atlas-data").textContent);
  const $ = (id) => document.getElementById(id);
  const make = (tag, className, text) => {
    const e = document.createElement(tag);
    if (className) e.className = className;
    if (text !== undefined) e.textContent = text;
    return e;
  };
  const thumbs = document.querySelectorAll("#index img");
  const viewer = $("view"), picture = $("picture"), marks = $("marks"), cell = $("cell");
  const hint = "Point at a cell, tap or click it to select it.";
  const count = data.maps.length;
  const names = data.maps.map((m) => m.name);
  const all_tiles = data.maps.map((m) => Uint8Array.from(atob(m.tiles), (c) => c.charCodeAt(0)));
  const code = (s) => s.toString(16).toUpperCase().padStart(2, "0");
  let current = -1, now = null, chosen = -1, tiles = null, cursor = null, selected = null;

  // The shape sheet as the background of every picture of a shape; the largest zoom gives
  // a cell of at least 24 CSS pixels whatever the tile size.
  const root = document.documentElement.style;
  root.setProperty("--sheet", "url(data:image/png;base64," + data.shapes + ")");
  root.setProperty("--aspect", data.tile[0] + " / " + data.tile[1]);
  const big = Math.min(largest_zoom, Math.max(4, Math.ceil(24 / Math.min(...data.tile))));
  const big_button = document.querySelector('#zoom [data-zoom="4"]');
  big_button.dataset.zoom = big;
  big_button.textContent = big + "x";
  const pic = (shape) => {
    const p = make("i", "pic");
    p.style.backgroundPosition = ((shape % 16) * 100) / 15 + "% " + ((shape >> 4) * 100) / 3 + "%";
    return p;
  };

  function mark(x, y, kind) {
    const m = make("div", "mark " + kind);
    m.style.left = (x * 100) / 64 + "%";
    m.style.top = (y * 100) / 64 + "%";
    return marks.appendChild(m);
  }
  const place = (m, xy) => {
    m.hidden = !xy;
    if (xy) [m.style.left, m.style.top] = xy.map((v) => (v * 100) / 64 + "%");
  };

  // The description of a cell, each named tile with its picture; the hint for none.
  function tell(xy) {
    cell.textContent = xy ? "" : hint;
    if (!xy) return;
    for (const part of describe(data, current, tiles, ...xy)) {
      if (typeof part === "string") {
        cell.append(part);
      } else {
        cell.append(pic(part >> 2), tile_text(part, data.names));
      }
    }
  }

  function fit() {
    for (const b of document.querySelectorAll("#zoom button")) {
      b.setAttribute("aria-pressed", Number(b.dataset.zoom) === now.zoom);
    }
    if (!picture.naturalWidth) return;
    let width = picture.naturalWidth * now.zoom;
    if (now.zoom === 0) {
      const top = $("stage").getBoundingClientRect().top + window.scrollY;
      const room = Math.min($("stage").clientWidth / picture.naturalWidth,
                            (window.innerHeight - Math.min(top, 160) - 16) / picture.naturalHeight);
      width = Math.max(64, Math.floor(picture.naturalWidth * room));
    }
    picture.style.width = width + "px";
    if (selected && !selected.hidden) selected.scrollIntoView({ block: "nearest", inline: "nearest" });
  }

  // Outlines the chosen shape's cells and NPC slots on the current map.
  function outline() {
    for (const m of marks.querySelectorAll(".found, .found-npc")) m.remove();
    if (chosen < 0) return;
    const found = find_shape(tiles, data.maps[current].slots, chosen);
    tiles.forEach((t, i) => t >> 2 === chosen && mark(i % 64, i >> 6, "found"));
    for (const [x, y] of found.npcs) mark(x, y, "found-npc");
  }

  function show(n) {
    const map = data.maps[n];
    current = n;
    $("index").hidden = true;
    viewer.hidden = false;
    document.title = map.title + " \u2013 atlas";
    $("title").textContent = map.title;
    picture.src = thumbs[n].src;
    picture.alt = map.title;
    $("save").href = thumbs[n].src;
    $("save").download = map.name + ".png";
    tiles = all_tiles[n];
    marks.textContent = "";
    for (const [, x, y] of map.slots) mark(x, y, "slot");
    for (const [, x, y] of map.mismatches) mark(x, y, "mismatch");
    for (const [x, y] of map.doors) mark(x, y, "door");
    selected = mark(0, 0, "selected");
    cursor = mark(0, 0, "cursor");
    cursor.hidden = true;
    const counts = shape_counts(tiles);
    for (const b of $("legend").children) b.lastChild.textContent = counts[b.dataset.shape];
    outline();
    const list = $("mismatches");
    list.textContent = "";
    for (const [, x, y, line] of map.mismatches) {
      const a = make("a", "", line);
      a.href = address(names, { map: n, cell: [x, y], zoom: 0 });
      a.addEventListener("click", (e) => {
        e.preventDefault();
        go({ ...now, cell: [x, y] });
      });
      list.appendChild(make("li")).appendChild(a);
    }
    if (!map.mismatches.length) list.appendChild(make("li", "", "none"));
  }

  // Shows the view `to`, which the address already names.
  function render(to) {
    if (to.map !== current) show(to.map);
    now = to;
    place(selected, to.cell);
    tell(to.cell);
    fit();
  }
  // Goes to the view `to` from the page's own controls, entering it into the history.
  function go(to) {
    history[history_action(now, to) + "State"](null, "", address(names, to));
    render(to);
  }
  function route() {
    const to = parse_address(location.hash, names);
    if (to) return render(to);
    current = -1;
    now = null;
    viewer.hidden = true;
    $("index").hidden = false;
    document.title = data.title;
  }

  // The legend: every shape with its picture, code, name and count on the current map.
  // Choosing one outlines it and lists it on every map.
  for (let s = 0; s < 64; ++s) {
    const b = $("legend").appendChild(make("button", "shape"));
    b.type = "button";
    b.dataset.shape = s;
    b.setAttribute("aria-pressed", "false");
    b.append(pic(s), make("code", "", code(s)), make("span", "name", data.names[s]), make("span", "n"));
    b.addEventListener("click", () => choose(chosen === s ? -1 : s));
  }
  function choose(s) {
    chosen = s;
    for (const b of $("legend").children) b.setAttribute("aria-pressed", Number(b.dataset.shape) === s);
    outline();
    const list = $("found");
    list.textContent = "";
    if (s < 0) return;
    list.append(make("li", "", "Shape " + code(s) + (data.names[s] ? " " + data.names[s] : "") +
                     ", cells and NPC slots of each map:"));
    data.maps.forEach((map, n) => {
      const found = find_shape(all_tiles[n], map.slots, s);
      const first = found.first || found.npcs[0];
      const li = list.appendChild(make("li"));
      const a = li.appendChild(make(first ? "a" : "span", "", map.title));
      if (first) a.href = address(names, { map: n, cell: first, zoom: now ? now.zoom : 0 });
      li.append(": " + found.cells + " cells, " + found.npcs.length + " NPC slots");
    });
  }

  const pointed = (e) => cell_under(picture.getBoundingClientRect(), e.clientX, e.clientY);
  $("frame").addEventListener("mousemove", (e) => {
    const xy = pointed(e);
    place(cursor, xy);
    tell(xy || now.cell);
  });
  $("frame").addEventListener("mouseleave", () => {
    cursor.hidden = true;
    tell(now.cell);
  });
  $("frame").addEventListener("click", (e) => {
    const xy = pointed(e);
    if (xy) go({ ...now, cell: xy });
  });
  // With the map focused the arrow keys move the selected cell (and the document's handler
  // sees them handled); elsewhere they switch maps.
  $("frame").addEventListener("keydown", (e) => {
    const xy = !e.altKey && !e.ctrlKey && !e.metaKey && move(now.cell || [0, 0], e.key);
    if (!xy) return;
    e.preventDefault();
    go({ ...now, cell: xy });
  });
  const turn = (by) => go({ map: step(current, by, count), cell: null, zoom: now.zoom });
  $("prev").addEventListener("click", () => turn(-1));
  $("next").addEventListener("click", () => turn(1));
  for (const b of document.querySelectorAll("#zoom button")) {
    b.addEventListener("click", () => go({ ...now, zoom: Number(b.dataset.zoom) }));
  }
  $("copy").addEventListener("click", () => {
    const link = location.href.split("#")[0] + address(names, now);
    const done = () => { $("copy").textContent = "copied"; };
    const clipboard = navigator.clipboard; // none where the page is no secure context
    (clipboard ? clipboard.writeText(link) : Promise.reject()).then(done, () => window.prompt("Link to this view:", link));
    setTimeout(() => { $("copy").textContent = "copy link"; }, 2000);
  });
  for (const [box, name] of [["slots", "hide-slots"], ["mismatches-shown", "hide-mismatches"],
                             ["doors", "hide-doors"]]) {
    $(box).addEventListener("change", () => viewer.classList.toggle(name, !$(box).checked));
  }
  picture.addEventListener("load", fit);
  window.addEventListener("resize", () => { if (now && now.zoom === 0) fit(); });
  document.addEventListener("keydown", (e) => {
    if (current < 0 || e.defaultPrevented || e.altKey || e.ctrlKey || e.metaKey ||
        e.target.closest("#stage")) return; // a focused, scrolled map keeps its keys
    if (e.key === "ArrowRight") turn(1);
    else if (e.key === "ArrowLeft") turn(-1);
    else if (e.key === "Escape") location.hash = "";
    else return;
    e.preventDefault();
  });
  window.addEventListener("hashchange", route);
  window.addEventListener("popstate", route);
  route();
})();
