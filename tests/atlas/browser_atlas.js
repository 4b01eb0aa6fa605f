// SPDX-License-Identifier: MIT
// The sample world's atlas page in headless Chromium and Firefox ESR, offline: images, badges,
// addresses that heal, focus and keys, pan and zoom in place, find, a phone (touch and pinch
// in Chromium), the map arrows, and axe-core (WCAG 2.2 AA and best practice) on the index and
// a map, desktop and phone, light and dark (dark where the browser can be told).
// Screenshots: BUILD/browser/atlas-BROWSER-*.png. node browser_atlas.js BUILD KOPC_ATLAS SAMPLE-DATA;
// exit 77 (skipped) without a browser or npm.
"use strict";
const { spawnSync } = require("child_process");
const fs = require("fs");
const path = require("path");
const assert = require("assert").strict;

const [build, atlas, data] = process.argv.slice(2);
const skip = (why) => console.log("skipped: " + why) || (process.env.KOPC_NO_SKIP === "1" && process.exit(1)); // CI
const browsers = [["chrome", "/usr/bin/chromium", "/usr/bin/chromium-browser"], ["firefox", "/usr/bin/firefox-esr"]]
  .map(([name, ...paths]) => [name, paths.find((p) => fs.existsSync(p))])
  .filter(([name, exe]) => exe || skip(name + " is not installed"));
if (!browsers.length) process.exit(77);
const dir = path.join(build, "browser");
const lock = path.join(__dirname, "..", "..", "package-lock.json");
const pinned = ["puppeteer-core", "axe-core"].map((p) => [p, JSON.parse(fs.readFileSync(lock)).packages["node_modules/" + p].version]);
const module_dir = (p) => path.join(dir, "node_modules", p);
if (pinned.some(([p, v]) => !fs.existsSync(module_dir(p)) || require(path.join(module_dir(p), "package.json")).version !== v)) {
  fs.mkdirSync(dir, { recursive: true });
  for (const f of [lock, path.join(lock, "..", "package.json")]) fs.copyFileSync(f, path.join(dir, path.basename(f)));
  const npm = spawnSync("npm", ["ci", "--prefix", dir, "--no-audit", "--no-fund", "--fetch-retries=1"], { stdio: ["ignore", "ignore", "pipe"], encoding: "utf8" });
  if (npm.status !== 0) skip("npm cannot install " + pinned.map((p) => p.join(" ")).join(", ") + ": " + ((npm.stderr || "").split("\n")
    .find((l) => /^npm (ERR!|error) /.test(l)) || String(npm.error || "status " + npm.status))) || process.exit(77);
}
const axe_source = fs.readFileSync(path.join(module_dir("axe-core"), "axe.min.js"), "utf8");
// With the sample's shape names, as make demo writes it.
const names_file = path.join(data, "names.txt");
assert.equal(spawnSync(atlas, ["--overwrite", "--names", names_file, data], { cwd: dir }).status, 0);
const names = Object.fromEntries(fs.readFileSync(names_file, "utf8").split("\n")
  .filter((l) => /^[0-9A-F]{2} /i.test(l)).map((l) => [parseInt(l, 16), l.slice(3).trim()]));
const tile = (shape, frame) => shape.toString(16).toUpperCase().padStart(2, "0") + ":" + frame +
  (names[shape] ? " " + names[shape] : "");

// The sample's files in catalogue order; Firstland is row 2. NPC slots as [shape, cell index].
const rows = "X00 X03 X10 X11 X20 X21 X22 X23 X30 X31 X32 X33 X40 X41 G10 G20 G30 G32 G40 G41 G50 G60 G61 G70 G71 G80 G81 G82 G90 G92 G93".split(" ");
const map_of = (r) => fs.readFileSync(path.join(data, "MAP" + rows[r])).subarray(0, 4096);
const npcs_of = (r) => { const n = fs.readFileSync(path.join(data, "MON" + rows[r]));
  return [...Array(32).keys()].filter((s) => n[96 + s] && n[s] < 64 && n[32 + s] < 64).map((s) => [n[96 + s] >> 2, n[32 + s] * 64 + n[s]]); };
const wrong = fs.readFileSync(path.join(data, "sample-mismatches.txt"), "utf8").split("\n").filter((l) => /^\d/.test(l)).map((l) => Number(l.split(" ")[0]));
const badges = rows.map((_, r) => [wrong.filter((w) => w === r).length, [0, 2, 4, 8, 12].includes(r)]);
const planted = `column 16, row 10: tile ${tile(2, 0)}; NPC slot 18: ${tile(0x3a, 0)} on ${tile(2, 0)} (drawn)`;

async function check(name, executablePath) {
  const chrome = name === "chrome";
  const browser = await require(module_dir("puppeteer-core")).launch({ browser: name, executablePath, headless: true,
    ignoreDefaultArgs: ["--hide-scrollbars"], args: chrome ? ["--no-sandbox", "--disable-gpu", "--no-first-run",
      "--disable-background-networking", "--disable-component-update", "--disable-sync"] : [] });
  try {
    const page = await browser.newPage();
    if (chrome) await page.setOfflineMode(true);
    await page.setViewport({ width: 1200, height: 900 });
    const problems = [];
    const url = "file://" + path.resolve(dir, "atlas.html");
    page.on("console", (m) => m.type() === "error" && problems.push(m.text()));
    page.on("pageerror", (e) => problems.push(String(e)));
    page.on("request", (r) => r.url().split("#")[0] === url || r.url().startsWith("data:") ||
                              problems.push("request " + r.url()));
    const text = (selector) => page.$eval(selector, (e) => e.textContent);
    const shows = (title) => page.waitForFunction((t) => !document.getElementById("view").hidden &&
      document.getElementById("title").textContent === t, { timeout: 10000 }, title);
    const index = () => page.waitForFunction(() => document.getElementById("view").hidden, { timeout: 10000 });
    const visible = (selector) => page.$$eval(selector, (list) => list.map((e) => e.checkVisibility()));
    const look = () => page.evaluate(() => [location.href.replace(/^[^#]*/, ""), document.activeElement.id || document.activeElement.getAttribute("href"), scrollY]);
    const box = async (selector = "#picture") => (await page.$(selector)).boundingBox();
    const at = async (x, y) => { const b = await box(); return [b.x + ((x + 0.5) * b.width) / 64, b.y + ((y + 0.5) * b.height) / 64]; };
    const stage = () => page.$eval("#stage", (s) => [s.scrollLeft, s.scrollTop]);
    const near = (a, b, what) => assert.ok(a.every((v, i) => Math.abs(v - b[i]) <= 1), `${what}: ${a} ${b}`);
    const key = async (...keys) => { for (const k of keys) await page.keyboard.press(k); };
    const axe = async (what) => {
      for (const scheme of chrome ? ["light", "dark"] : ["light"]) { // Firefox takes no emulated scheme
        if (chrome) await page.emulateMediaFeatures([{ name: "prefers-color-scheme", value: scheme }]);
        await page.evaluate((s) => window.axe || (0, eval)(s), axe_source);
        const found = await page.evaluate(() => axe.run({ runOnly: ["wcag2a", "wcag2aa", "wcag21a", "wcag21aa", "wcag22aa", "best-practice"] }));
        assert.deepEqual(found.violations.map((v) => v.id + " " + v.nodes.map((n) => n.target).join(" ")), [], what + " " + scheme);
      }
      if (chrome) await page.emulateMediaFeatures([]);
    };
    // Pixels of a screenshot's clip near a colour, counted in the page (no PNG decoder here).
    const pixels = async (clip, colours) => page.evaluate(async (png, colours) => {
      const [image, c] = [new Image(), document.createElement("canvas")];
      image.src = "data:image/png;base64," + png;
      [c.width, c.height] = await image.decode().then(() => [image.width, image.height]);
      c.getContext("2d").drawImage(image, 0, 0);
      const d = c.getContext("2d").getImageData(0, 0, c.width, c.height).data;
      return colours.map((rgb) => d.filter((_, i) => i % 4 === 0 && rgb.every((v, k) => Math.abs(d[i + k] - v) < 40)).length);
    }, await page.screenshot({ clip, encoding: "base64" }), colours);
    const open = async (h, title) => { await page.evaluate((h) => { location.hash = h; }, h); await (title ? shows(title) : index()); };

    // A deep link opens the map with the cell described, at its zoom, the focus on its
    // heading; odd addresses heal and are rewritten to what is shown.
    await page.goto(url + "#ko.Firstland/16,10/2x", { waitUntil: "load" }).then(() => shows("Firstland"));
    assert.deepEqual([await text("#cell"), (await box()).width, await text('[aria-pressed="true"]'), ...(await look()).slice(0, 2)],
                     [planted, 2048, "32px", "#ko.Firstland/16,10/32px", "title"]);
    assert.deepEqual(await page.$$eval("#cell bdi", (l) => l.map((b) => b.textContent)), [names[2], names[0x3a], names[2]]); // isolated
    for (const [h, title, healed] of [["#ko.firstland/4X/", "Firstland", "#ko.Firstland/64px"], ["#map-2", "Firstland", "#ko.Firstland"],
                                      ["#ko.Elderdays.Vesper%27s_Keep/64,10/FIT", "Elderdays Vesper's Keep", "#ko.Elderdays.Vesper%27s_Keep"]]) {
      await open(h, title).then(look).then(([now]) => assert.equal(now, healed));
    }
    await open("#ko.Nowhere/1,1");
    assert.deepEqual([await text("#note"), (await look())[0]], ["No map is named \u201cko.Nowhere\u201d; here are all maps.", ""]);
    assert.deepEqual(await page.$$eval(".map img", (images) => Promise.all(images.map((i) => i.decode()
      .then(() => i.naturalWidth + "x" + i.naturalHeight)))), Array(31).fill("128x128"));
    assert.deepEqual(await page.$$eval(".map", (list) => list.map((a) => [
      Number((a.querySelector(".bad") || { textContent: "0" }).textContent.split(" ")[0]), !!a.querySelector(".doors")])), badges);
    const [top, beside] = await page.$$eval("#index section", (list) => list.map((s) => s.getBoundingClientRect().top));
    assert.equal(top, beside, "worlds side by side");
    await axe("index");

    // Opening a map enters the history and shows it at the top; selecting, keys and zoom
    // replace the entry; hovering describes a cell but only a selection is announced.
    await page.evaluate(() => { scrollTo(0, 60); document.querySelector('a[href="#ko.Firstland"]').click(); }).then(() => shows("Firstland"));
    assert.deepEqual([await look(), (await box("#stage")).y < (await box("#bar")).height + 12], [["#ko.Firstland", "title", 0], true]);
    assert.deepEqual([(await visible(".slot")).length, await visible(".mismatch"), await visible(".door")],
                     [npcs_of(2).length, [true], [true, true, true, true]]);
    await page.mouse.move(...(await at(34, 8)));
    assert.match(await text("#cell"), /^column 34, row 8: tile [0-9A-F]{2}:[0-3].*; time door \(not drawn, see -t\)$/);
    assert.equal(await text("#said"), "");
    await page.click("#mismatches a");
    assert.deepEqual([await text("#mismatches a"), await text("#cell"), await text("#said")],
                     ["MAPX10[18] (16,10) 02:0 -> 3A:0/02:0 Firstland", planted, planted]);
    await page.mouse.click(...(await at(15, 9))).then(() => key("ArrowRight", "ArrowDown"));
    assert.deepEqual([await text("#cell"), (await look())[0]], [planted, "#ko.Firstland/16,10"]);
    await axe("map");
    // The selection and the mismatch on one cell both show at fit (blue ring, red outline).
    const cell = await at(16, 10), side = (await box()).width / 64;
    const [blue, red] = await pixels({ x: cell[0] - side, y: cell[1] - side, width: 2 * side, height: 2 * side }, [[0x33, 0x99, 0xff], [0xff, 0x22, 0x22]]);
    assert.ok(blue > 0 && red > 0, `selection ${blue}, mismatch ${red} pixels`);

    // Zoom keeps the selected cell in place, by button, keys and Ctrl+wheel (around the
    // pointer); at 64px the map's viewport fits the window with both scrollbars; a drag pans.
    for (const zoom of ["32px", "+"]) {
      const before = await at(16, 10);
      await (zoom === "+" ? key("+") : page.click(`[data-zoom="${zoom.slice(0, -2)}"]`));
      near(await at(16, 10), before, zoom);
    }
    const view = await page.$eval("#stage", (s) => { const r = s.getBoundingClientRect();
      return [r.bottom <= innerHeight && r.right <= innerWidth, s.scrollWidth > s.clientWidth, s.scrollHeight > s.clientHeight]; });
    assert.deepEqual([await text('[aria-pressed="true"]'), view], ["64px", [true, true, true]]);
    await page.evaluate(() => Object.defineProperty(navigator, "clipboard", { value: { writeText: async (t) => { window.copied = t; } } }))
      .then(() => page.click("#copy"));
    assert.deepEqual(await page.evaluate(() => [location.hash, window.copied]), ["#ko.Firstland/16,10/64px", url + "#ko.Firstland/16,10/64px"]);
    const [scrolled, middle] = [await stage(), await at(20, 14)];
    await page.mouse.move(...middle).then(() => page.mouse.down());
    for (const [dx, dy] of [[-5, -5], [-60, -40], [-120, -80]]) await page.mouse.move(middle[0] + dx, middle[1] + dy);
    await page.mouse.up();
    assert.deepEqual([await stage(), (await look())[0]], [[scrolled[0] + 120, scrolled[1] + 80], "#ko.Firstland/16,10/64px"]);
    const point = await key("-").then(() => at(24, 12));
    await page.mouse.move(point[0] + 7, point[1] + 7);
    await page.keyboard.down("Control").then(() => page.mouse.wheel({ deltaY: -120 })).then(() => page.keyboard.up("Control"));
    near(await at(24, 12), [point[0] - 7, point[1] - 7], "wheel"); // the point under the pointer stays
    assert.equal(await key("0").then(() => text('[aria-pressed="true"]')), "fit");

    // Keys: a skip link one Tab after the heading reaches the map; the focus ring shows on a
    // pressed button; Esc from the map returns to the index, its scroll and the thumbnail.
    await page.focus("#title").then(() => key("Tab"));
    const skip = (await look())[1];
    await key("Enter");
    assert.deepEqual([skip, (await look())[1]], ["skip", "frame"]);
    await page.focus('[data-zoom="64"]').then(() => key("Tab")); // to the pressed fit button
    const { x, y, width, height } = await box('[data-zoom="0"]');
    const ring = { x: x - 6, y: y - 6, width: width + 12, height: height + 12 };
    const focused = await page.screenshot({ clip: ring, encoding: "base64" });
    await page.evaluate(() => document.activeElement.blur()); // the ring gone, the pressed look stays
    assert.notEqual(await page.screenshot({ clip: ring, encoding: "base64" }), focused, "focus ring on the pressed fit button");
    await page.focus("#frame").then(() => key("Escape")).then(index);
    assert.deepEqual(await look(), ["", "#ko.Firstland", 60]);

    // The legend counts the map's grass; choosing it outlines it here. Finding the chest
    // lists only the maps that hold it, in view; next and previous step through its hits.
    await open("#ko.Firstland", "Firstland");
    const grass = [...map_of(2)].filter((t) => t >> 2 === 2).length;
    assert.deepEqual(await page.$eval('[data-shape="2"]', (b) => [b.querySelector(".name").textContent, b.lastChild.textContent]),
                     [names[2], String(grass)]);
    await page.click('[data-shape="2"]');
    assert.deepEqual([(await visible(".found")).length, (await visible(".found-npc")).length], [grass, npcs_of(2).filter(([s]) => s === 2).length]);
    const chest = 0x1a;
    await page.click('[data-zoom="64"]').then(() => page.click(`[data-shape="${chest}"]`));
    const hits = rows.map((_, r) => [...new Set([...[...map_of(r).keys()].filter((i) => map_of(r)[i] >> 2 === chest),
      ...npcs_of(r).filter(([s]) => s === chest).map(([, i]) => i)])].sort((a, b) => a - b));
    const found = rows.map((_, r) => hits[r].length && `: ${map_of(r).filter((t) => t >> 2 === chest).length} cells, ` +
                                     `${npcs_of(r).filter(([s]) => s === chest).length} NPC slots`).filter((f) => f);
    assert.deepEqual(await page.$$eval("#found li", (l) => l.map((li) => li.lastChild.textContent)), found);
    assert.ok((await box("#find")).y + (await box("#find")).height <= 900, "the maps found are in view");
    const first = hits.findIndex((h) => h.length);
    const described = (i) => page.waitForFunction((c) => document.getElementById("cell").textContent.startsWith(c),
      { timeout: 10000 }, `column ${i % 64}, row ${i >> 6}: `);
    await page.click("#found a").then(() => described(hits[first][0]));
    await page.click("#hit-next").then(() => described(hits[first][1 % hits[first].length]));
    await page.click("#hit-prev").then(() => page.click("#hit-prev"));
    await described(hits[first].at(-1));
    await page.screenshot({ path: path.join(dir, `atlas-${name}-desktop.png`) });
    await page.evaluate(() => history.back()).then(() => shows("Firstland"));
    await page.evaluate(() => history.back()).then(index);

    // A phone: a map opened from the index shows at the top, its controls big enough for a
    // finger (Chromium's touch emulation); at every zoom a tap selects a cell and the
    // description is in view; a finger drags the map; pinch-zoomed, the tools stay in view.
    await page.setViewport({ width: 390, height: 844, hasTouch: chrome, isMobile: chrome });
    await axe("phone index");
    await (chrome ? page.tap('a[href="#ko.Firstland"]') : page.click('a[href="#ko.Firstland"]')).then(() => shows("Firstland"));
    const stage_box = await box("#stage");
    assert.deepEqual([(await look())[2], stage_box.y < 250, stage_box.y + stage_box.height <= (await box("#cell")).y], [0, true, true]);
    const small = await page.$$eval(".bar button, .bar a", (l) => l.filter((e) => e.checkVisibility() && (e.offsetWidth < 44 || e.offsetHeight < 44)).length);
    if (chrome) assert.equal(small, 0, "tap targets");
    await page.screenshot({ path: path.join(dir, `atlas-${name}-phone.png`) });
    await axe("phone map");
    const inside = (selector) => page.$eval(selector, (c) => { const r = c.getBoundingClientRect(), v = visualViewport;
      return r.top >= v.offsetTop - 0.5 && r.bottom < v.offsetTop + v.height + 0.5 && r.left >= v.offsetLeft - 0.5; }); // subpixels
    for (const zoom of ["8", "16", "0", "64"]) {
      const [b, s] = await page.click(`[data-zoom="${zoom}"]`).then(() => Promise.all([box(), box("#stage")]));
      const [x, y] = [Math.floor(64 * (s.x + s.width / 2 - b.x) / b.width), Math.floor(64 * (s.y + s.height / 2 - b.y) / b.height)];
      await (chrome ? page.touchscreen.tap(...(await at(x, y))) : page.mouse.click(...(await at(x, y))));
      assert.deepEqual([(await text("#cell")).split(":")[0], await inside("#cell")], [`column ${x}, row ${y}`, true], "zoom " + zoom);
    }
    if (chrome) { // two fingers closing on the map zoom out a step each time their spread shrinks by 1.5
      const session = await page.createCDPSession(), touch = (type, ...xs) =>
        session.send("Input.dispatchTouchEvent", { type, touchPoints: xs.map((x, id) => ({ x, y: 400, id })) });
      for (const [type, ...xs] of [["touchStart", 130, 270], ["touchMove", 160, 240], ["touchMove", 180, 220], ["touchEnd"]]) await touch(type, ...xs);
      assert.equal(await text('[aria-pressed="true"]'), "16px", "pinch");
      const before = await stage();
      await page.touchscreen.touchStart(200, 400);
      for (const y of [390, 340, 300]) await page.touchscreen.touchMove(150, y);
      await page.touchscreen.touchEnd();
      assert.deepEqual(await stage(), [before[0] + 50, before[1] + 100]);
      await session.send("Emulation.setPageScaleFactor", { pageScaleFactor: 2.5 }); // a pinch of the page
      await page.waitForFunction(() => visualViewport.scale > 2, { timeout: 5000 }).then(() => page.evaluate(() => new Promise(requestAnimationFrame)));
      assert.deepEqual([await inside("#cell"), await inside("#bar")], [true, true], "pinch-zoomed");
      await session.send("Emulation.setPageScaleFactor", { pageScaleFactor: 1 });
    }

    // Arrow keys (the map not focused) and buttons, round from the first map to the last and back.
    await page.setViewport({ width: 1200, height: 900 }).then(() => page.evaluate(() => document.activeElement.blur()));
    for (const [key, title] of [["ArrowRight", "Firstland Orrin's Town"], ["ArrowLeft", "Firstland"],
                                ["ArrowLeft", "Elderdays Vesper's Keep"], ["ArrowLeft", "Elderdays"],
                                ["#prev", "Q Ilva's Palace"], ["#next", "Elderdays"]]) {
      await (key[0] === "#" ? page.click(key) : page.keyboard.press(key)).then(() => shows(title));
    }
    await page.evaluate(() => history.back()).then(() => shows("Q Ilva's Palace")); // the arrows entered each map into the history
    await page.click("#back").then(index);
    assert.deepEqual(problems, []);
  } finally {
    await browser.close();
  }
}

(async () => {
  for (const [name, exe] of browsers) await check(name, exe).then(() => console.log(name + ": passed"));
})().catch((e) => console.error(e) || process.exit(1));
