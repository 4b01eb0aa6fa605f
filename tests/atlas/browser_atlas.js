// SPDX-License-Identifier: MIT
// The atlas page of the sample world in headless Chromium, offline: no console error, no
// request but the page and its data: images, all 31 images decode, a click opens a map,
// hovering a cell shows its column, row, tile and NPC slot, the switches, zoom, the arrows
// (round from either end) and the way back work. Screenshots go to BUILD/browser/atlas-*.png.
// node browser_atlas.js BUILD KOPC_ATLAS SAMPLE-DATA; exit 77 (skipped) without Chromium.
"use strict";
const { spawnSync } = require("child_process");
const fs = require("fs");
const os = require("os");
const path = require("path");
const assert = require("assert").strict;

const [build, atlas, data] = process.argv.slice(2);
const chromium = ["/usr/bin/chromium", "/usr/bin/chromium-browser"].find((p) => fs.existsSync(p));
const skip = () => process.exit(process.env.KOPC_NO_SKIP === "1" ? 1 : 77); // CI must run it
if (!chromium) skip();
const dir = path.join(build, "browser");
if (!fs.existsSync(path.join(dir, "node_modules", "puppeteer-core"))) {
  const npm = spawnSync("npm", ["install", "--prefix", dir, "--no-audit", "--no-fund", "puppeteer-core"],
                        { stdio: "inherit" });
  if (npm.error) skip(); // no npm
}
assert.equal(spawnSync(atlas, ["--overwrite", data], { cwd: dir }).status, 0);
const puppeteer = require(path.join(dir, "node_modules", "puppeteer-core"));

// The NPC slots of the first world map with time doors, Firstland, from its NPC file.
const npc = fs.readFileSync(path.join(data, "MONX10"));
const slots = [...Array(32).keys()].filter((s) => npc[96 + s] && npc[s] < 64 && npc[32 + s] < 64);

(async () => {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), "atlas-chromium-"));
  const browser = await puppeteer.launch({
    executablePath: chromium, headless: true, userDataDir: profile,
    args: ["--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
           "--disable-component-update", "--disable-sync"],
  });
  try {
    const page = await browser.newPage();
    await page.setOfflineMode(true);
    await page.setViewport({ width: 1200, height: 900 });
    const problems = [];
    const url = "file://" + path.resolve(dir, "atlas.html");
    page.on("console", (m) => m.type() === "error" && problems.push(m.text()));
    page.on("pageerror", (e) => problems.push(String(e)));
    page.on("request", (r) => r.url().split("#")[0] === url || r.url().startsWith("data:") ||
                              problems.push("request " + r.url()));
    await page.goto(url, { waitUntil: "load" });
    const sizes = await page.$$eval("#index img", (images) => Promise.all(
      images.map((i) => i.decode().then(() => i.naturalWidth + "x" + i.naturalHeight))));
    assert.deepEqual(sizes, Array(31).fill("1024x1024"));
    await page.screenshot({ path: path.join(dir, "atlas-index.png") });

    const text = (selector) => page.$eval(selector, (e) => e.textContent);
    // Hash changes and their handlers run after the click or key that caused them.
    const shows = (title) => page.waitForFunction((t) => !document.getElementById("view").hidden &&
      document.getElementById("title").textContent === t, { timeout: 10000 }, title);
    const visible = (selector) => page.$$eval(selector, (list) => list.map((e) => e.checkVisibility()));
    await page.click('a[href="#map-2"]');
    await shows("Firstland");
    assert.deepEqual([(await visible(".slot")).length, await visible(".mismatch"), await visible(".door")],
                     [slots.length, [true], [true, true, true, true]]);
    const box = await (await page.$("#picture")).boundingBox();
    const hover = (x, y) => page.mouse.move(box.x + ((x + 0.5) * box.width) / 64, box.y + ((y + 0.5) * box.height) / 64);
    await hover(34, 8);
    assert.match(await text("#cell"), /^column 34, row 8: tile [0-9A-F]{2}:[0-3]; time door \(not drawn, see -t\)$/);
    await hover(16, 10);
    const planted = "column 16, row 10: tile 02:0; NPC slot 18: 3A:0 on 02:0 (drawn)";
    assert.equal(await text("#cell"), planted);
    assert.deepEqual(await page.$eval(".mismatch", (m) => [m.style.left, m.style.top]), ["25%", "15.625%"]);
    await hover(63, 63);
    assert.match(await text("#cell"), /^column 63, row 63: tile /);
    await hover(16, 10);
    await page.screenshot({ path: path.join(dir, "atlas-map.png") });

    await page.click("#slots");
    await page.click("#doors");
    assert.deepEqual([...new Set(await visible(".slot")), await visible(".mismatch"), ...new Set(await visible(".door"))],
                     [false, [true], false]);
    await page.click("#mismatches-shown");
    assert.deepEqual(await visible(".mismatch"), [false]);
    await page.mouse.click(box.x + 1, box.y + 1);
    assert.match(await text("#cell"), /^column 0, row 0: tile /);
    await page.click("#mismatches a");
    assert.equal(await text("#mismatches a"), "MAPX10[18] (16,10) 02:0 -> 3A:0/02:0 Firstland");
    assert.equal(await text("#cell"), planted);
    await page.screenshot({ path: path.join(dir, "atlas-map-switches-off.png") });
    assert.deepEqual(await page.$eval("#save", (a) => [a.download, a.href.slice(0, 22)]),
                     ["ko.Firstland.png", "data:image/png;base64,"]);
    const width = () => page.$eval("#picture", (i) => i.getBoundingClientRect().width);
    await page.click('[data-zoom="2"]');
    assert.equal(await width(), 2048);
    await page.setViewport({ width: 1200, height: 500 }); // "fit": the whole map in view
    await page.click('[data-zoom="0"]');
    const bottom = await page.$eval("#picture", (i) => i.getBoundingClientRect().bottom + scrollY);
    assert.ok((await width()) <= 500 && bottom <= 500, `fit ends at ${bottom}`);

    // Arrow keys and buttons, round from the first map to the last and back.
    for (const [key, title] of [["ArrowRight", "Firstland Orrin's Town"], ["ArrowLeft", "Firstland"],
                                ["ArrowLeft", "Elderdays Vesper's Keep"], ["ArrowLeft", "Elderdays"],
                                ["#prev", "Q Ilva's Palace"], ["#next", "Elderdays"]]) {
      await (key[0] === "#" ? page.click(key) : page.keyboard.press(key));
      await shows(title);
    }
    await page.click("#back");
    await page.waitForFunction(() => document.getElementById("view").hidden && !document.getElementById("index").hidden);
    assert.deepEqual(problems, []);
  } finally {
    await browser.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
})().catch((e) => {
  console.error(e);
  process.exit(1);
});
