// The atlas page's viewer. It reads the map data the program writes into the page (element
// "atlas-data") and never asks the network for anything. The pure helpers come first: under
// Node (tests/atlas/page_test.js) they are the module's exports and the page part never runs.
//
// The address follows the view: #NAME[/COL,ROW][/ZOOM], NAME the map's file name without
// ".bmp", ZOOM a cell size as the zoom buttons name it ("8px" ... "64px") or "fit" (left out:
// fit). Addresses heal: any case, the older "1x", "2x", "4x" (times the tile's size) and
// "#map-N" still open their map, a bad cell or zoom is dropped, an unknown name opens the
// index with a note, and the address is rewritten to what is shown. Opening a map adds a
// history entry; selecting a cell or zooming replaces it.
"use strict";
(function () {
  const side = 64; // cells along each side of a map
  const shape_count = 64; // shapes in the sheet, sheet_across in a row
  const sheet_across = 16;
  const steps = [8, 16, 32, 64]; // the zoom buttons' cell sizes in CSS pixels; 0 is fit

  // A tile number as the program's lines write it: shape in hex, colon, its frame.
  const tile = (t) => (t >> 2).toString(16).toUpperCase().padStart(2, "0") + ":" + (t & 3);
  // The map `by` steps from `current` of `count`, round from either end.
  const step = (current, by, count) => (current + by + count) % count;

  // The zoom step nearest (by ratio) to cells of `size` pixels.
  const nearest_step = (size) =>
    steps.reduce((a, b) => (Math.abs(Math.log2(b / size)) < Math.abs(Math.log2(a / size)) ? b : a));
  // The cell size a part of an address names, in any case: "8px" ... "64px" as the buttons
  // say, "Nx" (N times the tile's `width`), either taken to the nearest step, or "fit" (0);
  // undefined for anything else.
  const parse_zoom = (word, width) => {
    const m = /^(?:(\d+)(px|x)|fit)$/i.exec(word);
    if (!m) return undefined;
    if (!m[1]) return 0;
    const size = Number(m[1]) * (m[2].length === 1 ? width : 1);
    return size > 0 ? nearest_step(size) : undefined;
  };
  const zoom_word = (zoom) => (zoom ? zoom + "px" : "fit");

  // The view {map, cell: [x, y] or null, zoom: cell size or 0 for fit} an address names
  // among the maps `names`, whose tiles are `width` pixels wide. The index is map -1, with
  // `note` the name asked for when no map has it.
  const parse_address = (hash, names, width) => {
    const index = (note) => ({ map: -1, cell: null, zoom: 0, note });
    let text;
    try {
      text = decodeURIComponent(hash.replace(/^#/, ""));
    } catch {
      return index(hash.replace(/^#/, "")); // a stray "%"
    }
    const [name, ...rest] = text.split("/");
    if (!name) return index(null);
    const old = /^map-(\d+)$/.exec(name);
    let map = old && Number(old[1]) < names.length ? Number(old[1]) : names.indexOf(name);
    if (map < 0) map = names.findIndex((n) => n.toLowerCase() === name.toLowerCase());
    if (map < 0) return index(name);
    const view = { map, cell: null, zoom: 0 };
    let zoomed = false;
    for (const part of rest) { // the first good cell and zoom; the rest is dropped
      const cell = /^(\d+),(\d+)$/.exec(part);
      const zoom = parse_zoom(part, width);
      if (cell && !view.cell && Number(cell[1]) < side && Number(cell[2]) < side) {
        view.cell = [Number(cell[1]), Number(cell[2])];
      } else if (zoom !== undefined && !zoomed) {
        [view.zoom, zoomed] = [zoom, true];
      }
    }
    return view;
  };
  // The address of a view; a map's name percent-encoded, "'" as %27 for link tools.
  const address = (names, view) => "#" + encodeURIComponent(names[view.map]).replace(/'/g, "%27") +
    (view.cell ? "/" + view.cell.join(",") : "") + (view.zoom ? "/" + zoom_word(view.zoom) : "");
  // How a change of view enters the browser's history: a new entry for another map (so
  // that "back" leads where the user was), in place for a cell or a zoom on the same map.
  const history_action = (from, to) => (from && from.map === to.map ? "replace" : "push");
  // The zoom `by` steps in (1) or out (-1) from `zoom`, where fit gives cells of `fit`
  // pixels and takes its place among the steps by that size.
  const zoom_step = (zoom, fit, by) => {
    const sizes = [...steps, 0].sort((a, b) => (a || fit) - (b || fit));
    return sizes[Math.min(sizes.length - 1, Math.max(0, sizes.indexOf(zoom) + by))];
  };

  // The cell [x, y] under a point of the picture's box, or null off the map.
  const cell_under = (box, px, py) => {
    const x = Math.floor(((px - box.left) * side) / box.width);
    const y = Math.floor(((py - box.top) * side) / box.height);
    return x >= 0 && x < side && y >= 0 && y < side ? [x, y] : null;
  };
  // The cell an arrow key moves `cell` to, held on the map; null for other keys.
  const arrows = { ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, -1], ArrowDown: [0, 1] };
  const move = (cell, key) => arrows[key] &&
    cell.map((v, i) => Math.min(side - 1, Math.max(0, v + arrows[key][i])));

  // How many cells of a map hold each shape.
  const shape_counts = (tiles) => {
    const counts = Array(shape_count).fill(0);
    for (const t of tiles) counts[t >> 2] += 1;
    return counts;
  };
  // Where a shape stands on a map: how many cells show it, the cells of the NPC slots that
  // show it, and all these cells once each, row by row (the hits to step through).
  const find_shape = (tiles, slots, shape) => {
    const at = new Set();
    tiles.forEach((t, i) => t >> 2 === shape && at.add(i));
    const cells = at.size;
    const npcs = slots.filter((s) => s.shown >> 2 === shape).map((s) => [s.x, s.y]);
    for (const [x, y] of npcs) at.add(y * side + x);
    return { cells, npcs, hits: [...at].sort((a, b) => a - b).map((i) => [i % side, Math.floor(i / side)]) };
  };
  // The hit after (`by` 1) or before (-1) the cell `from` (null: before the first), round.
  const next_hit = (hits, from, by) => {
    const key = (xy) => (xy ? xy[1] * side + xy[0] : -1);
    const on = hits.filter((h) => (by > 0 ? key(h) > key(from) : key(h) < key(from)));
    return by > 0 ? on[0] || hits[0] || null : on[on.length - 1] || hits[hits.length - 1] || null;
  };

  // What lies on cell (x, y) of map n, whose tiles are `tiles`: text, and tile numbers
  // where a tile is named (the page shows its picture and name there).
  function describe(data, n, tiles, x, y) {
    const map = data.maps[n];
    const parts = ["column " + x + ", row " + y + ": tile ", tiles[y * side + x]];
    for (const s of map.slots.filter((s) => s.x === x && s.y === y)) {
      parts.push("; NPC slot " + s.slot + ": ", s.shown, " on ", s.ground,
                 s.taken ? (map.grounds_drawn ? " (ground drawn)" : " (drawn)") : " (not drawn)");
    }
    if (map.doors.some((d) => d.x === x && d.y === y)) {
      parts.push(map.doors_drawn ? "; time door" : "; time door (not drawn, see -t)");
    }
    return parts;
  }
  // A tile's code and, where the names file gives one, its shape's name.
  const tile_text = (t, names) => tile(t) + (names[t >> 2] ? " " + names[t >> 2] : "");
  const describe_text = (parts, names) =>
    parts.map((p) => (typeof p === "number" ? tile_text(p, names) : p)).join("");

  if (typeof module === "object") {
    module.exports = { tile, step, parse_address, address, history_action, zoom_step, cell_under,
                       move, shape_counts, find_shape, next_hit, describe, describe_text };
    return; // no page under Node
  }

  const $ = (id) => document.getElementById(id);
  const data = JSON.parse($("atlas-data").textContent);
  const make = (tag, className, text) => {
    const e = document.createElement(tag);
    if (className) e.className = className;
    if (text !== undefined) e.textContent = text;
    return e;
  };
  // Names from the names file are isolated (<bdi>), so that no direction mark in one turns
  // the text around it.
  const named = (before, name, after = "") => (name ? [before, make("bdi", "", name), after] : [after]);
  const thumbs = document.querySelectorAll("#index a.map");
  const images = document.querySelectorAll("#index template"); // each map's full image, inert
  const image_of = (n) => images[n].content.querySelector("img").getAttribute("src");
  const viewer = $("view"), picture = $("picture"), marks = $("marks"), cell = $("cell");
  const stage = $("stage"), frame = $("frame"), bar = $("bar");
  const hint = "Point at a cell, tap or click it to select it.";
  const count = data.maps.length;
  const names = data.maps.map((m) => m.name);
  const all_tiles = data.maps.map((m) => Uint8Array.from(atob(m.tiles), (c) => c.charCodeAt(0)));
  const code = (s) => s.toString(16).toUpperCase().padStart(2, "0");
  const note = $("index").insertBefore(make("p"), $("index").firstChild);
  note.id = "note";
  note.hidden = true;
  let current = -1, now = null, chosen = -1, tiles = null, cursor = null, selected = null;
  let hits = [], fit_size = 8, index_scroll = null, routed = false, reveal_on_load = false;

  // The shape sheet as the background of every picture of a shape.
  const root = document.documentElement.style;
  root.setProperty("--sheet", "url(data:image/png;base64," + data.shapes + ")");
  root.setProperty("--sheet-size", sheet_across * 100 + "% " + (shape_count / sheet_across) * 100 + "%");
  root.setProperty("--aspect", data.tile.width + " / " + data.tile.height);
  root.setProperty("--cell-w", 100 / side + "%");
  root.setProperty("--cell-h", 100 / side + "%");
  const pic = (shape) => {
    const p = make("i", "pic");
    const rows = shape_count / sheet_across;
    p.style.backgroundPosition = ((shape % sheet_across) * 100) / (sheet_across - 1) + "% " +
                                 (Math.floor(shape / sheet_across) * 100) / (rows - 1) + "%";
    return p;
  };

  function mark(x, y, kind) {
    const m = make("div", "mark " + kind);
    m.style.left = (x * 100) / side + "%";
    m.style.top = (y * 100) / side + "%";
    return marks.appendChild(m);
  }
  const place = (m, xy) => {
    m.hidden = !xy;
    if (xy) [m.style.left, m.style.top] = xy.map((v) => (v * 100) / side + "%");
  };

  // The description of a cell into `into`, each named tile with its picture; the hint for none.
  function tell(xy, into) {
    into.textContent = xy ? "" : hint;
    if (!xy) return;
    for (const part of describe(data, current, tiles, ...xy)) {
      if (typeof part === "string") into.append(part);
      else into.append(pic(part >> 2), tile(part), ...named(" ", data.names[part >> 2]));
    }
  }

  const narrow = () => getComputedStyle(cell).position === "fixed";
  // The stage (the map's viewport) bounded by the window below the tools, and the picture
  // sized for the zoom; fit fills the room the stage has.
  function layout() {
    const tools = bar.offsetHeight;
    root.setProperty("--bar", tools + "px");
    const room_y = Math.max(side * 2, innerHeight - tools - 24 - (narrow() ? cell.offsetHeight : 0));
    const aside = narrow() ? 0 : viewer.querySelector("aside").offsetWidth + 16;
    const room_x = $("layout").clientWidth - aside;
    stage.style.maxHeight = room_y + "px";
    const fit_width = Math.max(side, Math.floor(Math.min(room_x, (room_y * data.tile.width) / data.tile.height)));
    fit_size = fit_width / side;
    const size = now.zoom || fit_size;
    picture.style.width = size * side + "px";
    root.setProperty("--line", (size >= 32 ? 3 : size >= 16 ? 2 : 1) + "px"); // thin outlines on small cells
    for (const b of $("zoom").children) b.setAttribute("aria-pressed", Number(b.dataset.zoom) === now.zoom);
  }
  // Scrolls the stage to centre the cell `xy` when it is not wholly in view.
  function reveal(xy) {
    if (!xy || !picture.naturalWidth) return;
    const s = stage.getBoundingClientRect(), p = picture.getBoundingClientRect();
    const [w, h] = [p.width / side, p.height / side];
    const [x, y] = [p.left + xy[0] * w - s.left, p.top + xy[1] * h - s.top];
    if (x < 0 || x + w > stage.clientWidth) stage.scrollLeft += x - (stage.clientWidth - w) / 2;
    if (y < 0 || y + h > stage.clientHeight) stage.scrollTop += y - (stage.clientHeight - h) / 2;
  }
  // Zooms to `zoom` keeping a point of the map where it is in the window (as far as the
  // map's edges allow): the point under `at` (a pointer), else the selected cell (brought to
  // the centre if out of view), else the centre.
  function zoom_to(zoom, at) {
    if (!now || zoom === now.zoom) return;
    const s = stage.getBoundingClientRect(), p = picture.getBoundingClientRect();
    const centre = [s.left + Math.min(stage.clientWidth, p.width) / 2, s.top + Math.min(stage.clientHeight, p.height) / 2];
    let point = at || centre;
    let spot = [(point[0] - p.left) / p.width, (point[1] - p.top) / p.height]; // fractions of the map
    if (!at && now.cell) {
      spot = now.cell.map((v) => (v + 0.5) / side);
      const here = [p.left + spot[0] * p.width, p.top + spot[1] * p.height];
      const shown = here[0] >= s.left && here[0] < s.left + stage.clientWidth &&
                    here[1] >= s.top && here[1] < s.top + stage.clientHeight;
      point = shown ? here : centre;
    }
    go({ ...now, zoom });
    const q = picture.getBoundingClientRect();
    stage.scrollLeft += q.left + spot[0] * q.width - point[0];
    stage.scrollTop += q.top + spot[1] * q.height - point[1];
  }
  const zoom_by = (by, at) => zoom_to(zoom_step(now.zoom, fit_size, by), at);

  // A pinch-zoomed page: the tools and (on narrow windows) the description follow the visible
  // part of the page at their usual size, since fixed elements stay with the unzoomed layout.
  function follow() {
    const v = window.visualViewport;
    const scale = v && v.scale > 1.01 ? 1 / v.scale : 0;
    bar.style.transform = scale ? `translate(${v.offsetLeft}px, ${v.offsetTop}px) scale(${scale})` : "";
    const bottom = v && v.offsetTop + v.height - document.documentElement.clientHeight;
    cell.style.transform = scale && narrow() ? `translate(${v.offsetLeft}px, ${bottom}px) scale(${scale})` : "";
  }

  // Outlines the chosen shape's cells and NPC slots on the current map.
  function outline() {
    for (const m of marks.querySelectorAll(".found, .found-npc")) m.remove();
    hits = [];
    if (chosen >= 0) {
      const found = find_shape(tiles, data.maps[current].slots, chosen);
      tiles.forEach((t, i) => t >> 2 === chosen && mark(i % side, Math.floor(i / side), "found"));
      for (const [x, y] of found.npcs) mark(x, y, "found-npc");
      hits = found.hits;
    }
    $("hit-prev").disabled = $("hit-next").disabled = !hits.length;
  }

  function show(n) {
    const map = data.maps[n];
    current = n;
    $("index").hidden = true;
    viewer.hidden = false;
    document.body.classList.add("viewing");
    document.title = map.title + " \u2013 atlas";
    $("title").textContent = map.title;
    const src = image_of(n);
    reveal_on_load = true;
    picture.src = src;
    picture.alt = map.title;
    $("save").href = src;
    $("save").download = map.name + ".png";
    tiles = all_tiles[n];
    marks.textContent = "";
    for (const s of map.slots) mark(s.x, s.y, "slot");
    for (const m of map.mismatches) mark(m.x, m.y, "mismatch");
    for (const d of map.doors) mark(d.x, d.y, "door");
    selected = mark(0, 0, "selected");
    cursor = mark(0, 0, "cursor");
    cursor.hidden = true;
    const counts = shape_counts(tiles);
    for (const b of $("legend").children) b.lastChild.textContent = counts[b.dataset.shape];
    outline();
    const list = $("mismatches");
    list.textContent = "";
    for (const m of map.mismatches) {
      const a = make("a", "", m.line);
      a.href = address(names, { map: n, cell: [m.x, m.y], zoom: 0 });
      a.addEventListener("click", (e) => {
        e.preventDefault();
        go({ ...now, cell: [m.x, m.y] });
      });
      list.appendChild(make("li")).appendChild(a);
    }
    if (!map.mismatches.length) list.appendChild(make("li", "", "none"));
  }

  // Shows the view `to`, which the address already names. A map opened from elsewhere
  // starts at the top of the window with the focus on its heading; a screen reader hears
  // the selected cell when it changes (the description under the pointer stays silent).
  function render(to) {
    const opened = to.map !== current;
    if (opened) {
      if (current < 0 && routed) index_scroll = window.scrollY;
      show(to.map);
    }
    const moved = opened || String(to.cell) !== String(now.cell);
    now = to;
    place(selected, to.cell);
    tell(to.cell, cell);
    if (moved) tell(to.cell, $("said"));
    if (moved && !to.cell) $("said").textContent = "";
    layout();
    if (opened && !bar.contains(document.activeElement)) {
      window.scrollTo(0, 0);
      $("title").focus({ preventScroll: true });
    }
    if (moved && !opened) { // chosen below the map (a mismatch line, a hit): bring the map back
      if (stage.getBoundingClientRect().top < bar.offsetHeight) window.scrollTo(0, 0);
      reveal(to.cell);
    }
  }
  // Goes to the view `to` from the page's own controls, entering it into the history.
  function go(to) {
    history[history_action(now, to) + "State"](null, "", address(names, to));
    render(to);
  }
  // Shows what the address names and rewrites the address to that.
  function route() {
    const to = parse_address(location.hash, names, data.tile.width);
    const shown = to.map < 0 ? location.pathname + location.search : address(names, to);
    if (to.map < 0 ? location.href.includes("#") : location.hash !== shown) history.replaceState(null, "", shown);
    routed = true;
    if (to.map >= 0) return render(to);
    const from = current;
    current = -1;
    now = null;
    viewer.hidden = true;
    $("index").hidden = false;
    document.body.classList.remove("viewing");
    document.title = data.title;
    note.hidden = !to.note;
    note.replaceChildren(...named("No map is named \u201c", to.note, "\u201d; here are all maps."));
    if (from >= 0) { // back where the map was opened, the focus on its thumbnail
      if (index_scroll !== null) window.scrollTo(0, index_scroll);
      thumbs[from].focus({ preventScroll: index_scroll !== null });
    }
  }

  // The zoom buttons, one per step and fit.
  for (const z of [...steps, 0]) {
    const b = $("zoom").appendChild(make("button", "", zoom_word(z)));
    b.dataset.zoom = z;
    b.title = z ? "cells of " + z + " pixels" : "the whole map in the window";
    b.addEventListener("click", () => zoom_to(z));
  }
  // The legend: every shape with its picture, code, name and count on the current map.
  // Choosing one outlines it and lists the maps that hold it.
  for (let s = 0; s < shape_count; ++s) {
    const b = $("legend").appendChild(make("button", "shape"));
    b.type = "button";
    b.dataset.shape = s;
    b.setAttribute("aria-pressed", "false");
    b.append(pic(s), make("code", "", code(s)), make("bdi", "name", data.names[s]), make("span", "n"));
    b.addEventListener("click", () => choose(chosen === s ? -1 : s));
  }
  function choose(s) {
    chosen = s;
    for (const b of $("legend").children) b.setAttribute("aria-pressed", Number(b.dataset.shape) === s);
    outline();
    $("find").hidden = s < 0;
    if (s < 0) return;
    const list = $("found");
    list.textContent = "";
    data.maps.forEach((map, n) => {
      const found = find_shape(all_tiles[n], map.slots, s);
      if (!found.hits.length) return;
      const li = list.appendChild(make("li"));
      const a = li.appendChild(make("a", "", map.title));
      a.href = address(names, { map: n, cell: found.hits[0], zoom: now ? now.zoom : 0 });
      li.append(": " + found.cells + " cells, " + found.npcs.length + " NPC slots");
    });
    const on = list.children.length;
    $("sought").replaceChildren("Shape " + code(s), ...named(" ", data.names[s]),
      on ? " is on " + on + (on > 1 ? " maps:" : " map:") : " is on no map.");
    $("find").scrollIntoView({ block: "nearest" });
  }
  for (const [id, by] of [["hit-prev", -1], ["hit-next", 1]]) {
    $(id).addEventListener("click", () => go({ ...now, cell: next_hit(hits, now.cell, by) }));
  }

  // The pointer on the map: hovering describes the cell under it; one pointer pressed
  // (mouse or touch) drags the map, two pinch it; a click or tap that did not drag selects.
  const pointers = new Map();
  let start = null, dragged = false, pinch = 0, wheel = 0;
  const spread = () => {
    const [a, b] = [...pointers.values()];
    return [Math.hypot(a[0] - b[0], a[1] - b[1]), [(a[0] + b[0]) / 2, (a[1] + b[1]) / 2]];
  };
  frame.addEventListener("pointerdown", (e) => {
    if (e.button !== 0) return;
    pointers.set(e.pointerId, [e.clientX, e.clientY]);
    frame.setPointerCapture(e.pointerId);
    start = [e.clientX, e.clientY];
    dragged = false;
    if (pointers.size === 2) pinch = spread()[0];
  });
  frame.addEventListener("pointermove", (e) => {
    const last = pointers.get(e.pointerId);
    if (!now) return; // the view hid under the pointer
    if (!last) {
      const xy = cell_under(picture.getBoundingClientRect(), e.clientX, e.clientY);
      place(cursor, xy);
      return tell(xy || now.cell, cell);
    }
    pointers.set(e.pointerId, [e.clientX, e.clientY]);
    if (pointers.size > 1) {
      const [d, mid] = spread();
      if (d > pinch * 1.5 || d < pinch / 1.5) {
        zoom_by(d > pinch ? 1 : -1, mid);
        pinch = d;
      }
      dragged = true;
      return;
    }
    dragged = dragged || Math.hypot(e.clientX - start[0], e.clientY - start[1]) > 4;
    if (!dragged) return;
    frame.classList.add("dragging");
    cursor.hidden = true;
    const top = stage.scrollTop;
    stage.scrollLeft -= e.clientX - last[0];
    stage.scrollTop -= e.clientY - last[1];
    // A finger that drags the map beyond its edge scrolls the page on.
    if (e.pointerType === "touch") window.scrollBy(0, top - stage.scrollTop - (e.clientY - last[1]));
  });
  for (const type of ["pointerup", "pointercancel"]) {
    frame.addEventListener(type, (e) => {
      pointers.delete(e.pointerId);
      frame.classList.remove("dragging");
    });
  }
  frame.addEventListener("pointerleave", (e) => {
    if (e.pointerType !== "mouse" || pointers.size || !now) return;
    cursor.hidden = true;
    tell(now.cell, cell);
  });
  frame.addEventListener("click", (e) => {
    const xy = !dragged && cell_under(picture.getBoundingClientRect(), e.clientX, e.clientY);
    if (xy) go({ ...now, cell: xy });
  });
  frame.addEventListener("wheel", (e) => {
    if (!e.ctrlKey) return; // the wheel alone scrolls
    e.preventDefault();
    wheel += e.deltaY * (e.deltaMode ? 16 : 1);
    if (Math.abs(wheel) < 50) return;
    zoom_by(wheel < 0 ? 1 : -1, [e.clientX, e.clientY]);
    wheel = 0;
  }, { passive: false });
  // With the map focused the arrow keys move the selected cell (and the document's handler
  // sees them handled); elsewhere they switch maps.
  frame.addEventListener("keydown", (e) => {
    const xy = !e.altKey && !e.ctrlKey && !e.metaKey && move(now.cell || [0, 0], e.key);
    if (!xy) return;
    e.preventDefault();
    go({ ...now, cell: xy });
  });
  $("skip").addEventListener("click", () => frame.focus());
  // Back to the index as a new history entry; not through the address's "#", which would
  // scroll the index to its top.
  const leave = () => {
    history.pushState(null, "", location.pathname + location.search);
    route();
  };
  $("back").addEventListener("click", (e) => {
    e.preventDefault();
    leave();
  });
  const turn = (by) => go({ map: step(current, by, count), cell: null, zoom: now.zoom });
  $("prev").addEventListener("click", () => turn(-1));
  $("next").addEventListener("click", () => turn(1));
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
  picture.addEventListener("load", () => {
    if (!now) return;
    layout();
    if (reveal_on_load) reveal(now.cell);
    reveal_on_load = false;
  });
  window.addEventListener("resize", () => now && layout());
  if (window.visualViewport) {
    for (const type of ["resize", "scroll"]) window.visualViewport.addEventListener(type, follow);
  }
  // Keys anywhere in the view: Esc shows all maps, + - 0 zoom, the arrows (outside the map)
  // switch maps.
  document.addEventListener("keydown", (e) => {
    if (current < 0 || e.defaultPrevented || e.altKey || e.ctrlKey || e.metaKey) return;
    const arrow = !e.target.closest("#stage");
    if (e.key === "Escape") leave();
    else if (e.key === "+" || e.key === "=") zoom_by(1);
    else if (e.key === "-") zoom_by(-1);
    else if (e.key === "0") zoom_to(0);
    else if (arrow && e.key === "ArrowRight") turn(1);
    else if (arrow && e.key === "ArrowLeft") turn(-1);
    else return;
    e.preventDefault();
  });
  window.addEventListener("popstate", route); // also after a link or a typed address changes the hash
  route();
})();
