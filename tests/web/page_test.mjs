// SPDX-License-Identifier: GPL-3.0-or-later
// The game's page in headless Chromium, served by a plain static server.
//
//   NODE_PATH=/usr/share/nodejs node tests/web/page_test.mjs SITE [--page-only] [--orx ORX]
//        [--native-build BUILD]
//
// SITE is a built site (build-web/site). --page-only runs what needs the page alone (no
// WebGL 2, map URLs refused before anything is fetched, a missing map). --orx (the native
// map tool) makes the maps of the walk and ?map= tests. --native-build runs that build's
// game under Xvfb (native_log.sh): the page's console must hold its log's lines in the same
// order (times, folders and the screen aside); and that build's simulator re-runs the
// page's replays (last-run.replay, taken through the page's download link).
import assert from "node:assert/strict";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { execFileSync, spawnSync } from "node:child_process";
import { Browser, decodePng, waitFor } from "./cdp.mjs";
import { serve } from "./serve.mjs";

const args = process.argv.slice(2);
const siteArg = args.find((a) => !a.startsWith("--"));
const pageOnly = args.includes("--page-only");
const nativeBuildArg = args.includes("--native-build") ? args[args.indexOf("--native-build") + 1] : null;
const orxArg = args.includes("--orx") ? args[args.indexOf("--orx") + 1] : null;
if (!siteArg) {
  console.error("usage: page_test.mjs SITE [--page-only] [--native-log FILE] [--orx ORX]");
  process.exit(2);
}

// The site copied into a served folder of its own, with the test's maps beside it in
// maps/, and a file outside the site that no page may reach.
const root = fs.mkdtempSync(path.join(os.tmpdir(), "orr-web-"));
const site = path.join(root, "game");
fs.cpSync(siteArg, site, { recursive: true });
fs.mkdirSync(path.join(site, "maps"));
fs.writeFileSync(path.join(root, "outside.orx"), "not for the page");
fs.writeFileSync(path.join(site, "maps", "broken.orx"), "this is no map\n");
const { server, port, requests } = await serve(root);
const base = `http://127.0.0.1:${port}/game/`;

const failures = [];
async function test(name, body) {
  const started = Date.now();
  try {
    await body();
    console.log(`ok - ${name} (${Date.now() - started} ms)`);
  } catch (e) {
    failures.push(name);
    console.log(`not ok - ${name}\n  ${String(e.stack || e).replace(/\n/g, "\n  ")}`);
  }
}

const pageState = (page) => page.eval("window.orrindelPage ? window.orrindelPage.state : ''");
const panelText = (page) => page.eval("document.getElementById('box').innerText");

const browser = await Browser.launch();
try {
  await test("without WebGL 2 the page says so and loads nothing", async () => {
    const page = await browser.newPage();
    await page.send("Page.addScriptToEvaluateOnNewDocument", { source:
      "const real = HTMLCanvasElement.prototype.getContext;" +
      "HTMLCanvasElement.prototype.getContext = function (kind, ...rest) {" +
      "  return kind === 'webgl2' ? null : real.call(this, kind, ...rest); };" });
    const before = requests.length;
    await page.goto(base + "index.html");
    await waitFor("the refusal", async () => (await pageState(page)) === "refused");
    assert.match(await panelText(page), /needs WebGL 2/);
    assert.deepEqual(requests.slice(before).filter((r) => !r.endsWith("index.html") && !r.endsWith("favicon.ico")), []);
  });

  await test("map URLs outside the site's folder are refused before anything is fetched", async () => {
    const page = await browser.newPage();
    for (const value of ["../outside.orx", "%2e%2e/outside.orx", "maps/../../outside.orx", "/outside.orx",
      "//127.0.0.1:" + port + "/outside.orx", "http://127.0.0.1:" + port + "/outside.orx", "javascript:alert(1)",
      "data:application/octet-stream,xx", "maps\\..\\..\\outside.orx"]) {
      const before = requests.length;
      await page.goto(base + "index.html?map=" + encodeURIComponent(value));
      await waitFor("the refusal of " + value, async () => (await pageState(page)) === "refused");
      assert.match(await panelText(page), /refused/, value);
      assert.ok(!requests.slice(before).some((r) => r.split("?")[0].includes("outside")), value + " was fetched");
    }
    assert.deepEqual(page.dialogs, []);
  });

  await test("a map that is not there is refused with the loader's words", async () => {
    const page = await browser.newPage();
    await page.goto(base + "index.html?map=maps/none.orx");
    await waitFor("the refusal", async () => (await pageState(page)) === "refused");
    assert.match(await panelText(page), /maps\/none\.orx: no such file/);
  });

  if (!pageOnly) await gameTests(browser);
} finally {
  await browser.close();
  server.close();
  fs.rmSync(root, { recursive: true, force: true });
}
if (failures.length > 0) {
  console.log(`${failures.length} failed: ${failures.join("; ")}`);
  process.exit(1);
}

// ---------------------------------------------------------------------------------------
// The game itself.

async function startGame(browser, query = "") {
  const page = await browser.newPage();
  await page.front();
  await page.goto(base + "index.html" + query);
  await waitFor("the page ready to start", async () => {
    const state = await pageState(page);
    if (state === "refused" || state === "failed") throw new Error("page " + state + ": " + (await panelText(page)));
    return state === "ready";
  }, 300000);
  const box = await page.eval("(() => { const r = document.getElementById('start').getBoundingClientRect();" +
    " return { x: r.x + r.width / 2, y: r.y + r.height / 2 }; })()");
  await page.click(box.x, box.y);
  await waitFor("the game playing", async () => (await pageState(page)) === "playing");
  return page;
}

// A binary PPM as { width, height, rgba }.
function readPpm(file) {
  const data = fs.readFileSync(file);
  const header = /^P6\s+(\d+)\s+(\d+)\s+255\s/.exec(data.toString("latin1", 0, 64));
  if (!header) throw new Error(file + " is no binary PPM");
  const width = Number(header[1]), height = Number(header[2]), start = header[0].length;
  const rgba = Buffer.alloc(width * height * 4);
  for (let i = 0; i < width * height; ++i) {
    for (let k = 0; k < 3; ++k) rgba[i * 4 + k] = data[start + i * 3 + k];
    rgba[i * 4 + 3] = 255;
  }
  return { width, height, rgba };
}

// Share (0..1) of the pixels that differ by more than a few levels between two pictures,
// the top and bottom bands (frame-rate text, status image) left out.
function changedShare(a, b) {
  let changed = 0, count = 0;
  for (let y = 80; y < Math.min(a.height, b.height) - 88; ++y) {
    for (let x = 0; x < Math.min(a.width, b.width); ++x) {
      const i = (y * a.width + x) * 4, j = (y * b.width + x) * 4;
      const d = Math.abs(a.rgba[i] - b.rgba[j]) + Math.abs(a.rgba[i + 1] - b.rgba[j + 1]) + Math.abs(a.rgba[i + 2] - b.rgba[j + 2]);
      if (d > 60) changed++;
      count++;
    }
  }
  return count > 0 ? changed / count : 0;
}

// The message of a log line, or of a native log line, with what differs by machine masked.
function messageOf(line) {
  return line.replace(/^\[\d\d:\d\d:\d\d\]/, "")
    .replace(/^(Main module initialization begin, date ).*/, "$1DATE")
    .replace(/^(Work folder set to ).*/, "$1FOLDER")
    .replace(/^(Screen resolution is ).*/, "$1SIZE")
    .replace(/^(Content Component aligned to rectangle ).*/, "$1RECT")
    .replace(/^(MapModule received a map loading request with filename: ).*?(Episodes\/)/, "$1GAME/$2");
}

// The page's last-run.replay as its download link offers it (null when it offers none),
// saved as FILE.
async function savePageReplay(page, file) {
  const base64 = await page.eval("(async () => { orrindelPage.offerFiles();" +
    " const a = document.getElementById('cornerreplay'); if (!a.href.startsWith('blob:')) return null;" +
    " const bytes = new Uint8Array(await (await fetch(a.href)).arrayBuffer());" +
    " let text = ''; for (const b of bytes) text += String.fromCharCode(b); return btoa(text); })()");
  assert.ok(base64, "the page offers a replay");
  fs.writeFileSync(file, Buffer.from(base64, "base64"));
}

// Re-runs a replay in the native simulator: exit 0 and `replay matches: N steps`; returns N.
function nativeReplaySteps(file, ...more) {
  const run = spawnSync(path.join(nativeBuildArg, "bin", "orrindel-sim"),
    ["--replay", file, "--game", path.join(nativeBuildArg, "game"), ...more], { encoding: "utf8" });
  const lines = run.stdout.trim().split("\n");
  const last = lines[lines.length - 1];
  assert.equal(run.status, 0, `orrindel-sim --replay exited ${run.status}: ${last} ${run.stderr.trim()}`);
  const m = /^replay matches: (\d+) steps/.exec(last);
  assert.ok(m, "last line: " + last);
  assert.ok(Number(m[1]) > 0, last);
  console.log(`  # ${path.basename(file)} (${fs.statSync(file).size} bytes): ${last}`);
  return Number(m[1]);
}

async function gameTests(browser) {
  let page = null;
  let walker = null;
  await test("the episode starts on a plain static server and is drawn", async () => {
    page = await startGame(browser);
    await waitFor("the session's first lines", () => page.logLines().some((l) => l.endsWith("Main module initialized")));
    await waitFor("a picture on the canvas", async () => (await page.picture()).lit > 1000, 120000);
    const lines = page.logLines();
    assert.match(lines[0], /^\[\d\d:\d\d:\d\d\]Main module initialization begin, date \d{4}-\d\d-\d\d$/);
    assert.equal(messageOf(lines[1]), "Application: orrindel");
    assert.deepEqual(page.dialogs, [], "no message box on a good start");
  });

  await test("arrow keys walk", async () => {
    assert.ok(orxArg, "--orx is needed to make the hall map");
    // An open hall in the middle of a larger map: wherever the player lands, walking moves
    // the camera, which shifts the whole view (tests/e2e/lib.sh, as the native play test).
    const hall = execFileSync("bash", ["-c", `source "${path.resolve("tests/e2e/lib.sh")}" && hall_map`]);
    fs.writeFileSync(path.join(root, "hall.json"), hall);
    execFileSync(orxArg, ["encode", path.join(root, "hall.json"), "-o", path.join(site, "maps", "hall.orx")]);
    walker = await startGame(browser, "?map=maps/hall.orx");
    await waitFor("a picture of the hall", async () => (await walker.picture()).lit > 1000, 120000);
    // What the view does on its own between two pictures: the creatures, the frame rate.
    const still = decodePng(await walker.screenshot());
    const idle = changedShare(still, decodePng(await walker.screenshot()));
    const enough = Math.max(0.3, 3 * idle);
    let moved = 0;
    for (let attempt = 0; attempt < 4 && moved < enough; ++attempt) {
      const start = decodePng(await walker.screenshot());
      await walker.keyDown("ArrowUp", "ArrowUp", 38);
      try {
        await waitFor("the view to move while Up is held", async () => {
          moved = changedShare(start, decodePng(await walker.screenshot()));
          return moved >= enough;
        }, 15000).catch(() => {});
      } finally {
        await walker.keyUp("ArrowUp", "ArrowUp", 38);
      }
      if (moved < enough) await walker.key("ArrowLeft", "ArrowLeft", 37, { holdMs: 400 });  // a wall ahead: turn
    }
    // A turn each way, so that the replay holds more than one key.
    await walker.key("ArrowRight", "ArrowRight", 39, { holdMs: 300 });
    await walker.key("ArrowLeft", "ArrowLeft", 37, { holdMs: 300 });
    assert.ok(moved >= enough, `the view moved ${moved.toFixed(3)} of its pixels (on its own ${idle.toFixed(3)})`);
  });

  if (nativeBuildArg) {
    await test("the page's replay of the walk re-runs in the native simulator, during play and after Escape", async () => {
      assert.ok(walker, "no walk");
      const hall = path.join(site, "maps", "hall.orx");
      const during = path.join(root, "during.replay"), after = path.join(root, "after.replay");
      await savePageReplay(walker, during);
      const duringSteps = nativeReplaySteps(during, "--map", hall);
      await walker.front();
      await walker.key("Escape", "Escape", 27);
      await waitFor("the walk to end", async () => (await pageState(walker)) === "ended", 60000);
      assert.equal(await walker.eval("document.getElementById('replay').hidden"), false, "the end offers the replay");
      await savePageReplay(walker, after);
      const afterSteps = nativeReplaySteps(after, "--map", hall);
      assert.ok(afterSteps >= duringSteps, `${afterSteps} steps at the end, ${duringSteps} during play`);
    });
  }
  if (walker) await walker.close();

  await test("Escape ends the game with the log's last line and offers log.txt", async () => {
    assert.ok(page, "no game");
    await page.front();
    await page.key("Escape", "Escape", 27);
    await waitFor("the game to end", async () => (await pageState(page)) === "ended", 60000);
    const lines = page.logLines();
    assert.equal(messageOf(lines[lines.length - 1]), "--End of Log--");
    const saved = await page.eval("fetch(document.getElementById('download').href).then((r) => r.text())");
    assert.equal(saved, lines.map((l) => l + "\r\n").join(""), "log.txt holds exactly the console's lines");
    if (nativeBuildArg) {
      const native = execFileSync(path.resolve("tests/web/native_log.sh"), { env: { ...process.env, ORR_BUILD: nativeBuildArg } })
        .toString().split("\r\n").filter((l) => l !== "").map(messageOf);
      assert.ok(native.length > 20, "the native game logged its run");
      assert.deepEqual(lines.map(messageOf), native);
      // The episode's replay names its map in the game folder, as the native game's does.
      const replay = path.join(root, "episode.replay");
      await savePageReplay(page, replay);
      nativeReplaySteps(replay);
    }
  });

  if (nativeBuildArg) {
    await test("the picture of a fixed start is the native shader renderer's", async () => {
      // The native game's draw check, seed 7, OpenGL ES 3.0 renderer, 1024x768: the frame
      // after 60 steps, once the start's effects are over (tests/e2e/backend_frames.cpp).
      const out = path.join(root, "native");
      fs.mkdirSync(out);
      fs.cpSync(path.join(nativeBuildArg, "game"), path.join(out, "game"), { recursive: true });
      execFileSync("xvfb-run", ["-a", "-s", "-screen 0 1024x768x24", path.join(nativeBuildArg, "bin", "orrindel-framecheck"),
        path.join(out, "game"), "episode", "es3", path.join(out, "frame")], { stdio: "ignore" });
      const native = readPpm(path.join(out, "frame-start-60.ppm"));
      const page = await startGame(browser, "?seed=7");
      await page.eval("document.getElementById('corner').hidden = true");
      await waitFor("a second of play", () => page.eval("orrindelPage.firstFrameAt !== undefined && " +
        "performance.now() - orrindelPage.firstFrameAt > 1000"), 60000, 20);
      const web = decodePng(await page.screenshot());
      await page.close();
      assert.equal(`${web.width}x${web.height}`, `${native.width}x${native.height}`);
      // The two rasterisers round shading a level apart here and there; what may differ by
      // more is what moves with game time (the turning pick-ups): a small share.
      let far = 0;
      for (let i = 0; i < native.width * native.height; ++i) {
        let d = 0;
        for (let k = 0; k < 3; ++k) d = Math.max(d, Math.abs(native.rgba[i * 4 + k] - web.rgba[i * 4 + k]));
        if (d > 8) far++;
      }
      const share = far / (native.width * native.height);
      assert.ok(share <= 0.01, `${(100 * share).toFixed(2)} % of the pixels differ by more than 8 levels`);
    });
  }

  if (orxArg) {
    await test("?map= plays a generated map", async () => {
      execFileSync(orxArg, ["generate", "--seed", "7", "--size", "24x16", "--npcs", "4", "--items", "4", path.join(site, "maps", "made.orx")]);
      const played = await startGame(browser, "?map=maps/made.orx");
      await waitFor("a picture of the map", async () => (await played.picture()).lit > 1000, 120000);
      assert.deepEqual(played.dialogs, []);
      assert.ok(played.logLines().some((l) => l.endsWith("filename: /maps/chosen.orx")), "the session loaded the map");
      await played.close();
    });

    await test("orx export-web makes a site that plays the author's map", async () => {
      execFileSync(orxArg, ["export-web", path.join(site, "maps", "made.orx"), path.join(root, "exported"), "--site", siteArg]);
      const page = await browser.newPage();
      await page.front();
      await page.goto(`http://127.0.0.1:${port}/exported/`);
      await waitFor("the exported page ready", async () => (await pageState(page)) === "ready", 300000);
      assert.match(await panelText(page), /Ready to play episode\.orx/);
      await page.eval("orrindelPage.startGame()");
      await waitFor("the map's picture", async () => (await page.picture()).lit > 1000, 120000);
      assert.ok(page.logLines().some((l) => l.endsWith("filename: /maps/chosen.orx")), "the session loaded the map");
      await page.close();
    });
  }

  await test("a missing episode is the game's message box in the page, and the game ends", async () => {
    const page = await browser.newPage();
    await page.front();
    await page.goto(base + "index.html");
    await waitFor("the page ready to start", async () => (await pageState(page)) === "ready", 300000);
    await page.eval("Module.FS.unlink('/game/Episodes/Test/Promo4.orx')");
    await page.eval("orrindelPage.startGame()");
    await waitFor("the game to end", async () => (await pageState(page)) === "ended", 120000);
    assert.deepEqual(page.dialogs.map((d) => d.type + ": " + d.message), ["alert: Orrindel\n\nDefault map file not found! Aborting..."]);
    assert.match(await panelText(page), /Default map file not found! Aborting\.\.\./);
    const lines = page.logLines();
    assert.equal(messageOf(lines[lines.length - 1]), "--End of Log--");
    await page.close();
  });

  await test("a broken map is refused with the loader's message and nothing runs", async () => {
    const refused = await browser.newPage();
    await refused.goto(base + "index.html?map=maps/broken.orx");
    await waitFor("the page ready to start", async () => ["ready", "refused"].includes(await pageState(refused)), 300000);
    if ((await pageState(refused)) === "ready") {
      const box = await refused.eval("(() => { const r = document.getElementById('start').getBoundingClientRect();" +
        " return { x: r.x + r.width / 2, y: r.y + r.height / 2 }; })()");
      await refused.click(box.x, box.y);
    }
    await waitFor("the refusal", async () => (await pageState(refused)) === "refused", 60000);
    assert.match(await panelText(refused), /maps\/broken\.orx: unreadable: /);
    assert.deepEqual(refused.logLines(), [], "the game did not start");
  });
}
