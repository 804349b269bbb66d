// SPDX-License-Identifier: GPL-3.0-or-later
// The game's page in headless Chromium, served by a plain static server.
//
//   node --experimental-websocket tests/web/page_test.mjs SITE [--page-only] [--native-log FILE]
//
// SITE is a built site (build-web/site). --page-only runs what needs the page alone (no
// WebGL 2, map URLs refused before anything is fetched, a missing map). --native-log names
// the log.txt of the native game started the same way, whose lines the page's console must
// hold in the same order (times and the work folder aside).
import assert from "node:assert/strict";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { execFileSync } from "node:child_process";
import { Browser, waitFor } from "./cdp.mjs";
import { serve } from "./serve.mjs";

const args = process.argv.slice(2);
const siteArg = args.find((a) => !a.startsWith("--"));
const pageOnly = args.includes("--page-only");
const nativeLogArg = args.includes("--native-log") ? args[args.indexOf("--native-log") + 1] : null;
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

// The message of a log line, or of a native log line, with what differs by machine masked.
function messageOf(line) {
  return line.replace(/^\[\d\d:\d\d:\d\d\]/, "")
    .replace(/^(Main module initialization begin, date ).*/, "$1DATE")
    .replace(/^(Work folder set to ).*/, "$1FOLDER")
    .replace(/^(Screen resolution is ).*/, "$1SIZE")
    .replace(/^(Content Component aligned to rectangle ).*/, "$1RECT");
}

async function gameTests(browser) {
  let page = null;
  await test("the episode starts on a plain static server and is drawn", async () => {
    page = await startGame(browser);
    await waitFor("the session's first lines", () => page.logLines().some((l) => l.endsWith("Main module initialized")));
    await waitFor("a picture on the canvas", async () => (await page.canvasPixels()).lit > 1000, 120000);
    const lines = page.logLines();
    assert.match(lines[0], /^\[\d\d:\d\d:\d\d\]Main module initialization begin, date \d{4}-\d\d-\d\d$/);
    assert.equal(messageOf(lines[1]), "Application: orrindel");
    assert.deepEqual(page.dialogs, [], "no message box on a good start");
    if (nativeLogArg) {
      const native = fs.readFileSync(nativeLogArg, "utf8").split("\r\n").filter((l) => l !== "").map(messageOf);
      const shown = lines.map(messageOf);
      // Every start-up line of the native game, up to its first line of play, in order.
      const startUp = native.slice(0, native.indexOf("MDI initialized") + 1);
      assert.ok(startUp.length > 5, "the native log has its start-up");
      assert.deepEqual(shown.slice(0, startUp.length), startUp);
    }
  });

  await test("arrow keys walk", async () => {
    assert.ok(page, "no game");
    const before = await page.canvasPixels();
    const code = { code: "ArrowUp", key: "ArrowUp", windowsVirtualKeyCode: 38, nativeVirtualKeyCode: 38 };
    await page.send("Input.dispatchKeyEvent", { type: "rawKeyDown", ...code });
    try {
      await waitFor("the picture to change while Up is held", async () => (await page.canvasPixels()).hash !== before.hash, 60000);
    } finally {
      await page.send("Input.dispatchKeyEvent", { type: "keyUp", ...code });
    }
  });

  await test("Escape ends the game with the log's last line and offers log.txt", async () => {
    assert.ok(page, "no game");
    await page.key("Escape", "Escape", 27);
    await waitFor("the game to end", async () => (await pageState(page)) === "ended", 60000);
    const lines = page.logLines();
    assert.equal(messageOf(lines[lines.length - 1]), "--End of Log--");
    const saved = await page.eval("fetch(document.getElementById('download').href).then((r) => r.text())");
    assert.equal(saved, lines.map((l) => l + "\r\n").join(""), "log.txt holds exactly the console's lines");
  });

  if (orxArg) {
    await test("?map= plays a generated map", async () => {
      execFileSync(orxArg, ["generate", "--seed", "7", "--size", "24x16", path.join(site, "maps", "made.orx")]);
      const played = await startGame(browser, "?map=maps/made.orx");
      await waitFor("a picture of the map", async () => (await played.canvasPixels()).lit > 1000, 120000);
      assert.deepEqual(played.dialogs, []);
    });
  }

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
