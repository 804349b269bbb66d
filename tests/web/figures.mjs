// SPDX-License-Identifier: GPL-3.0-or-later
// The page's figures in headless Chromium (SwiftShader), served by the plain static server:
// time to the first frame (from opening the page, and from the click that starts the game)
// and frames per second while the player walks, as the frame rate is taken natively
// (scripts/frame-rate). docs/web.md has the figures and the native ones beside them.
//
//   NODE_PATH=/usr/share/nodejs node tests/web/figures.mjs SITE [--runs N] [--seconds S]
import { Browser, waitFor } from "./cdp.mjs";
import { serve } from "./serve.mjs";

const args = process.argv.slice(2);
const site = args.find((a) => !a.startsWith("--") && !/^\d+$/.test(a));
const option = (name, value) => (args.includes(name) ? Number(args[args.indexOf(name) + 1]) : value);
const runs = option("--runs", 5), seconds = option("--seconds", 20);
if (!site) {
  console.error("usage: figures.mjs SITE [--runs N] [--seconds S]");
  process.exit(2);
}
const { server, port } = await serve(site);
const browser = await Browser.launch();
const state = (page) => page.eval("window.orrindelPage ? orrindelPage.state : ''");
const median = (v) => [...v].sort((a, b) => a - b)[Math.floor(v.length / 2)];
const fromOpen = [], fromClick = [], rates = [];
try {
  for (let run = 0; run < runs; ++run) {
    const page = await browser.newPage();
    await page.front();
    const opened = Date.now();
    await page.goto(`http://127.0.0.1:${port}/index.html`);
    await waitFor("the page ready", async () => (await state(page)) === "ready", 300000, 20);
    const readyAfter = Date.now() - opened;
    await page.eval("orrindelPage.startGame()");
    await waitFor("the first frame", () => page.eval("window.orrindelPage.firstFrameAt !== undefined"), 120000, 20);
    const sinceClick = await page.eval("orrindelPage.firstFrameAt - orrindelPage.startedAt");
    fromClick.push(sinceClick);
    fromOpen.push(readyAfter + sinceClick);
    // The player walks (Up held, a short turn left every 3 s) while the frames are counted.
    await page.keyDown("ArrowUp", "ArrowUp", 38);
    const first = await page.eval("orrindelPage.frames"), t0 = Date.now();
    while (Date.now() - t0 < seconds * 1000) {
      await new Promise((r) => setTimeout(r, 3000));
      await page.key("ArrowLeft", "ArrowLeft", 37, { holdMs: 150 });
    }
    const frames = (await page.eval("orrindelPage.frames")) - first;
    await page.keyUp("ArrowUp", "ArrowUp", 38);
    rates.push(frames / ((Date.now() - t0) / 1000));
    console.log(`run ${run + 1}: first frame ${Math.round(readyAfter + sinceClick)} ms after opening the page, ` +
      `${Math.round(sinceClick)} ms after the click; ${rates[rates.length - 1].toFixed(1)} FPS`);
    await page.close();
  }
  console.log(`median of ${runs}: first frame ${Math.round(median(fromOpen))} ms from opening, ` +
    `${Math.round(median(fromClick))} ms from the click; ${median(rates).toFixed(1)} FPS walking`);
} finally {
  await browser.close();
  server.close();
}
