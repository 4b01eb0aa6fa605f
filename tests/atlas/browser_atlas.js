// SPDX-License-Identifier: MIT
// The sample world's atlas page in headless Chromium and Firefox ESR, offline: images, badges,
// deep links, hover, selecting by click, touch and keys, history, switches, zoom, legend, find,
// names, a phone at every zoom, the map arrows. Screenshots: BUILD/browser/atlas-*.png.
// node browser_atlas.js BUILD KOPC_ATLAS SAMPLE-DATA; exit 77 (skipped) without a browser or npm.
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
const pinned = JSON.parse(fs.readFileSync(lock)).packages["node_modules/puppeteer-core"].version;
const installed = path.join(dir, "node_modules", "puppeteer-core");
if (!fs.existsSync(installed) || require(path.join(installed, "package.json")).version !== pinned) {
  fs.mkdirSync(dir, { recursive: true });
  for (const f of [lock, path.join(lock, "..", "package.json")]) fs.copyFileSync(f, path.join(dir, path.basename(f)));
  const npm = spawnSync("npm", ["ci", "--prefix", dir, "--no-audit", "--no-fund", "--fetch-retries=1"], { stdio: ["ignore", "ignore", "pipe"], encoding: "utf8" });
  if (npm.status !== 0) skip("npm cannot install puppeteer-core " + pinned + ": " + ((npm.stderr || "").split("\n")
    .find((l) => /^npm (ERR!|error) /.test(l)) || String(npm.error || "status " + npm.status))) || process.exit(77);
}
// With the sample's shape names, as make demo writes it.
const names_file = path.join(data, "names.txt");
assert.equal(spawnSync(atlas, ["--overwrite", "--names", names_file, data], { cwd: dir }).status, 0);
const names = Object.fromEntries(fs.readFileSync(names_file, "utf8").split("\n")
  .filter((l) => /^[0-9A-F]{2} /i.test(l)).map((l) => [parseInt(l, 16), l.slice(3).trim()]));
const tile = (shape, frame) => shape.toString(16).toUpperCase().padStart(2, "0") + ":" + frame +
  (names[shape] ? " " + names[shape] : "");

// The sample's files in catalogue order; Firstland is row 2.
const rows = "X00 X03 X10 X11 X20 X21 X22 X23 X30 X31 X32 X33 X40 X41 G10 G20 G30 G32 G40 G41 G50 G60 G61 G70 G71 G80 G81 G82 G90 G92 G93".split(" ");
const map_of = (r) => fs.readFileSync(path.join(data, "MAP" + rows[r])).subarray(0, 4096);
const npcs_of = (r) => { const n = fs.readFileSync(path.join(data, "MON" + rows[r]));
  return [...Array(32).keys()].filter((s) => n[96 + s] && n[s] < 64 && n[32 + s] < 64).map((s) => n[96 + s] >> 2); };
const wrong = fs.readFileSync(path.join(data, "sample-mismatches.txt"), "utf8").split("\n").filter((l) => /^\d/.test(l)).map((l) => Number(l.split(" ")[0]));
const badges = rows.map((_, r) => [wrong.filter((w) => w === r).length, [0, 2, 4, 8, 12].includes(r)]);
const planted = `column 16, row 10: tile ${tile(2, 0)}; NPC slot 18: ${tile(0x3a, 0)} on ${tile(2, 0)} (drawn)`;

async function check(name, executablePath) {
  const browser = await require(installed).launch({ browser: name, executablePath, headless: true,
    args: name === "chrome" ? ["--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
                                "--disable-component-update", "--disable-sync"] : [] });
  try {
    const page = await browser.newPage();
    if (name === "chrome") await page.setOfflineMode(true);
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
    const hash = (h) => page.evaluate((h) => { location.hash = h; }, h);
    const box = async () => (await page.$("#picture")).boundingBox();
    const at = async (x, y) => { const b = await box(); return [b.x + ((x + 0.5) * b.width) / 64, b.y + ((y + 0.5) * b.height) / 64]; };

    // A deep link opens the map with the cell described, at its zoom.
    await page.goto(url + "#ko.Firstland/16,10/2x", { waitUntil: "load" });
    await shows("Firstland");
    assert.deepEqual([await text("#cell"), (await box()).width, await text('[aria-pressed="true"]')], [planted, 2048, "2x"]);
    for (const [h, title] of [["#ko.Elderdays.Vesper%27s_Keep/fit", "Elderdays Vesper's Keep"], ["#map-2", "Firstland"]]) {
      await hash(h);
      await shows(title);
    }
    await hash("#ko.Nowhere/1,1");
    await index();
    assert.deepEqual(await page.$$eval("#index img", (images) => Promise.all(images.map((i) => i.decode()
      .then(() => i.naturalWidth + "x" + i.naturalHeight)))), Array(31).fill("1024x1024"));
    assert.deepEqual(await page.$$eval(".map", (list) => list.map((a) => [
      Number((a.querySelector(".bad") || { textContent: "0" }).textContent.split(" ")[0]), !!a.querySelector(".doors")])), badges);
    const tops = await page.$$eval("#index section", (list) => list.map((s) => s.getBoundingClientRect().top));
    assert.equal(tops[0], tops[1], "worlds side by side");

    // Opening a map enters the history; selecting, keys and zoom replace the entry.
    await page.click('a[href="#ko.Firstland"]');
    await shows("Firstland");
    assert.deepEqual([(await visible(".slot")).length, await visible(".mismatch"), await visible(".door")],
                     [npcs_of(2).length, [true], [true, true, true, true]]);
    await page.mouse.move(...(await at(34, 8)));
    assert.match(await text("#cell"), /^column 34, row 8: tile [0-9A-F]{2}:[0-3].*; time door \(not drawn, see -t\)$/);
    await page.click("#mismatches a");
    assert.deepEqual([await text("#mismatches a"), await text("#cell")], ["MAPX10[18] (16,10) 02:0 -> 3A:0/02:0 Firstland", planted]);
    await page.mouse.click(...(await at(15, 9)));
    for (const key of ["ArrowRight", "ArrowDown"]) await page.keyboard.press(key);
    assert.deepEqual([await text("#cell"), await page.evaluate(() => location.hash)], [planted, "#ko.Firstland/16,10"]);
    await page.click('[data-zoom="2"]');
    await page.evaluate(() => Object.defineProperty(navigator, "clipboard", { value: { writeText: async (t) => { window.copied = t; } } }));
    await page.click("#copy");
    assert.deepEqual(await page.evaluate(() => [location.hash, window.copied]), ["#ko.Firstland/16,10/2x", url + "#ko.Firstland/16,10/2x"]);
    await page.evaluate(() => { const s = document.getElementById("stage"); s.tabIndex = -1; s.focus(); });
    await page.keyboard.press("ArrowRight"); // the focused map scrolls; no other map
    await page.waitForFunction(() => document.getElementById("stage").scrollLeft > 0, { timeout: 5000 });
    await shows("Firstland");
    await page.click('[data-zoom="0"]');
    for (const box of ["#slots", "#doors", "#mismatches-shown"]) await page.click(box);
    assert.deepEqual([...new Set(await visible(".slot, .door, .mismatch"))], [false]);
    assert.deepEqual(await page.$eval("#save", (a) => [a.download, a.href.slice(0, 22)]), ["ko.Firstland.png", "data:image/png;base64,"]);

    // The legend counts the map's grass; choosing it outlines it here and finds it on every map.
    const grass = [...map_of(2)].filter((t) => t >> 2 === 2).length;
    assert.deepEqual(await page.$eval('[data-shape="2"]', (b) => [b.querySelector(".name").textContent, b.lastChild.textContent]),
                     [names[2], String(grass)]);
    await page.click('[data-shape="2"]');
    assert.deepEqual([(await visible(".found")).length, (await visible(".found-npc")).length],
                     [grass, npcs_of(2).filter((s) => s === 2).length]);
    const chest = 0x1a;
    await page.click(`[data-shape="${chest}"]`);
    const found = rows.map((_, r) => `: ${[...map_of(r)].filter((t) => t >> 2 === chest).length} cells, ` +
                                     `${npcs_of(r).filter((s) => s === chest).length} NPC slots`);
    assert.deepEqual(await page.$$eval("#found li", (l) => l.slice(1).map((li) => li.lastChild.textContent)), found);
    const first = found.findIndex((f) => !f.startsWith(": 0 cells"));
    await page.click(`#found li:nth-child(${first + 2}) a`);
    const cell = map_of(first).findIndex((t) => t >> 2 === chest);
    await page.waitForFunction((c) => document.getElementById("cell").textContent.startsWith(c), { timeout: 10000 },
                               `column ${cell % 64}, row ${cell >> 6}: tile ${tile(chest, 0).slice(0, 3)}`);
    await page.screenshot({ path: path.join(dir, "atlas-desktop.png") });
    await page.evaluate(() => history.back());
    await shows("Firstland");
    await page.evaluate(() => history.back());
    await index();

    // A phone: at every zoom a tap selects a cell and the description is in view.
    await page.setViewport({ width: 390, height: 844, hasTouch: name === "chrome", isMobile: name === "chrome" });
    await hash("#ko.Firstland/16,10/4x");
    await shows("Firstland");
    for (const zoom of ["1", "2", "0", "4"]) {
      await page.click(`[data-zoom="${zoom}"]`);
      const b = await box();
      const [x, y] = [Math.floor(64 * (195 - b.x) / b.width), Math.floor(64 * (Math.min(b.y + b.height, 500) - 20 - b.y) / b.height)];
      await (name === "chrome" ? page.touchscreen.tap(...(await at(x, y))) : page.mouse.click(...(await at(x, y))));
      assert.match(await text("#cell"), new RegExp(`^column ${x}, row ${y}: `), "zoom " + zoom);
      const inside = await page.$eval("#cell", (c) => { const r = c.getBoundingClientRect();
        return r.top >= 0 && r.left >= 0 && r.bottom < innerHeight + 0.5 && r.right < innerWidth + 0.5; }); // subpixels
      const rows_of_buttons = new Set(await page.$$eval(".bar button", (l) => l.map((e) => e.getBoundingClientRect().top)));
      assert.deepEqual([inside, rows_of_buttons.size <= 2, zoom !== "4" || b.width / 64 >= 24], [true, true, true], "zoom " + zoom);
    }
    await page.screenshot({ path: path.join(dir, "atlas-phone.png") });

    // Arrow keys (the map not focused) and buttons, round from the first map to the last and back.
    await page.setViewport({ width: 1200, height: 900 });
    await page.evaluate(() => document.activeElement.blur());
    for (const [key, title] of [["ArrowRight", "Firstland Orrin's Town"], ["ArrowLeft", "Firstland"],
                                ["ArrowLeft", "Elderdays Vesper's Keep"], ["ArrowLeft", "Elderdays"],
                                ["#prev", "Q Ilva's Palace"], ["#next", "Elderdays"]]) {
      await (key[0] === "#" ? page.click(key) : page.keyboard.press(key));
      await shows(title);
    }
    await page.evaluate(() => history.back()); // the arrows entered each map into the history
    await shows("Q Ilva's Palace");
    await page.click("#back");
    await index();
    assert.deepEqual(problems, []);
  } finally {
    await browser.close();
  }
}

(async () => {
  for (const [name, exe] of browsers) await check(name, exe).then(() => console.log(name + ": passed"));
})().catch((e) => console.error(e) || process.exit(1));
