// SPDX-License-Identifier: GPL-3.0-or-later
// Headless Chromium driven over the DevTools protocol: node's own WebSocket client where it
// has one (node 22), else Debian's node-ws (Debian 12's node 18 has none); nothing from npm.
import { spawn } from "node:child_process";
import { createRequire } from "node:module";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import zlib from "node:zlib";

const WebSocketClient = globalThis.WebSocket ?? createRequire(import.meta.url)("ws");

// The pixels of a PNG (8-bit RGB or RGBA, not interlaced, as Chromium writes them):
// { width, height, rgba } with 4 bytes a pixel.
export function decodePng(png) {
  if (png.readUInt32BE(0) !== 0x89504e47) throw new Error("not a PNG");
  let offset = 8, width = 0, height = 0, channels = 0;
  const idat = [];
  while (offset < png.length) {
    const length = png.readUInt32BE(offset);
    const type = png.toString("latin1", offset + 4, offset + 8);
    const body = png.subarray(offset + 8, offset + 8 + length);
    if (type === "IHDR") {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      if (body[8] !== 8 || body[12] !== 0 || (body[9] !== 2 && body[9] !== 6)) throw new Error("unsupported PNG");
      channels = body[9] === 6 ? 4 : 3;
    } else if (type === "IDAT") idat.push(body);
    offset += 12 + length;
  }
  const raw = zlib.inflateSync(Buffer.concat(idat));
  const stride = width * channels;
  const rows = Buffer.alloc(stride * height);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)];
    const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let x = 0; x < stride; ++x) {
      const a = x >= channels ? rows[y * stride + x - channels] : 0;
      const b = y > 0 ? rows[(y - 1) * stride + x] : 0;
      const c = x >= channels && y > 0 ? rows[(y - 1) * stride + x - channels] : 0;
      let v = line[x];
      if (filter === 1) v += a;
      else if (filter === 2) v += b;
      else if (filter === 3) v += (a + b) >> 1;
      else if (filter === 4) { const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
        v += pa <= pb && pa <= pc ? a : pb <= pc ? b : c; }
      rows[y * stride + x] = v & 255;
    }
  }
  const rgba = Buffer.alloc(width * height * 4);
  for (let i = 0; i < width * height; ++i) {
    for (let k = 0; k < 3; ++k) rgba[i * 4 + k] = rows[i * channels + k];
    rgba[i * 4 + 3] = channels === 4 ? rows[i * channels + 3] : 255;
  }
  return { width, height, rgba };
}

// What a picture shows: how many pixels are not black, and a digest of all of them.
export function pictureStats({ width, height, rgba }) {
  let lit = 0, hash = 0;
  for (let i = 0; i < rgba.length; i += 4) {
    const v = rgba[i] + rgba[i + 1] + rgba[i + 2];
    if (v > 24) lit++;
    hash = (Math.imul(hash, 31) + v) >>> 0;
  }
  return { width, height, lit, hash };
}

// Waits until `check()` gives a truthy value, asking every `everyMs`, for at most
// `timeoutMs`; throws with `what` after that. The machine may be busy: limits are generous.
export async function waitFor(what, check, timeoutMs = 120000, everyMs = 100) {
  const until = Date.now() + timeoutMs;
  for (;;) {
    const value = await check();
    if (value) return value;
    if (Date.now() > until) throw new Error(`timed out after ${timeoutMs} ms waiting for ${what}`);
    await new Promise((r) => setTimeout(r, everyMs));
  }
}

export class Browser {
  // Starts Chromium headless with WebGL 2 on SwiftShader, in a new empty profile.
  static async launch({ width = 1024, height = 768 } = {}) {
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), "orr-chromium-"));
    const args = ["--headless=new", "--use-angle=swiftshader", "--enable-unsafe-swiftshader", "--no-sandbox",
      "--no-first-run", "--disable-background-networking", "--disable-component-update", "--disable-sync",
      "--disable-default-apps", "--mute-audio", `--window-size=${width},${height}`,
      `--user-data-dir=${profile}`, "--remote-debugging-port=0", "about:blank"];
    const child = spawn(process.env.ORR_CHROMIUM || "chromium", args, { stdio: ["ignore", "ignore", "pipe"] });
    let stderr = "";
    child.stderr.on("data", (d) => { stderr += d; });
    const portFile = path.join(profile, "DevToolsActivePort");
    const text = await waitFor("Chromium's DevTools port", () => {
      if (child.exitCode !== null) throw new Error(`chromium ended (${child.exitCode}): ${stderr}`);
      try { return fs.readFileSync(portFile, "utf8").includes("\n") ? fs.readFileSync(portFile, "utf8") : null; }
      catch { return null; }
    }, 60000);
    const [port, browserPath] = text.trim().split("\n");
    const browser = new Browser(child, profile);
    await browser.connect(`ws://127.0.0.1:${port}${browserPath}`);
    return browser;
  }

  constructor(child, profile) {
    this.child = child;
    this.profile = profile;
    this.nextId = 1;
    this.pending = new Map();
    this.listeners = [];
  }

  connect(url) {
    this.socket = new WebSocketClient(url);
    this.socket.onmessage = (event) => {
      const message = JSON.parse(event.data);
      if (message.id !== undefined) {
        const waiter = this.pending.get(message.id);
        this.pending.delete(message.id);
        if (!waiter) return;
        if (message.error) waiter.reject(new Error(`${waiter.method}: ${message.error.message}`));
        else waiter.resolve(message.result);
      } else {
        for (const listener of this.listeners) listener(message);
      }
    };
    return new Promise((resolve, reject) => {
      this.socket.onopen = resolve;
      this.socket.onerror = () => reject(new Error(`cannot connect to ${url}`));
    });
  }

  send(method, params = {}, sessionId = undefined) {
    const id = this.nextId++;
    const message = { id, method, params };
    if (sessionId) message.sessionId = sessionId;
    this.socket.send(JSON.stringify(message));
    return new Promise((resolve, reject) => this.pending.set(id, { resolve, reject, method }));
  }

  // A new tab of the given size, attached; its console and dialogs are recorded.
  async newPage({ width = 1024, height = 768 } = {}) {
    const { targetId } = await this.send("Target.createTarget", { url: "about:blank" });
    const { sessionId } = await this.send("Target.attachToTarget", { targetId, flatten: true });
    const page = new Page(this, sessionId, targetId);
    this.listeners.push((message) => { if (message.sessionId === sessionId) page.onEvent(message); });
    await page.send("Runtime.enable");
    await page.send("Page.enable");
    await page.send("Emulation.setDeviceMetricsOverride", { width, height, deviceScaleFactor: 1, mobile: false });
    return page;
  }

  async close() {
    try { await this.send("Browser.close"); } catch { /* already gone */ }
    await waitFor("Chromium to end", () => this.child.exitCode !== null || this.child.signalCode !== null, 30000)
      .catch(() => this.child.kill("SIGKILL"));
    fs.rmSync(this.profile, { recursive: true, force: true });
  }
}

export class Page {
  constructor(browser, sessionId, targetId) {
    this.browser = browser;
    this.sessionId = sessionId;
    this.targetId = targetId;
    this.console = [];   // { type, text } in order
    this.dialogs = [];   // { type, message } in order
    this.answerDialog = () => true;  // accept every dialog unless a test says otherwise
  }

  send(method, params = {}) { return this.browser.send(method, params, this.sessionId); }

  onEvent(message) {
    if (message.method === "Runtime.consoleAPICalled") {
      const text = message.params.args.map((a) => (a.value !== undefined ? String(a.value) : a.description || "")).join(" ");
      this.console.push({ type: message.params.type, text });
    } else if (message.method === "Runtime.exceptionThrown") {
      const d = message.params.exceptionDetails;
      this.console.push({ type: "exception", text: (d.exception && d.exception.description) || d.text });
    } else if (message.method === "Page.javascriptDialogOpening") {
      this.dialogs.push({ type: message.params.type, message: message.params.message });
      this.send("Page.handleJavaScriptDialog", { accept: this.answerDialog(message.params) }).catch(() => {});
    }
  }

  // Only the tab in front gets animation frames: the game's loop runs there.
  async front() {
    await this.send("Page.bringToFront");
  }

  async close() {
    await this.browser.send("Target.closeTarget", { targetId: this.targetId }).catch(() => {});
  }

  async goto(url) {
    await this.send("Page.navigate", { url });
  }

  // The value of a JavaScript expression in the page (awaited when a promise).
  async eval(expression) {
    const result = await this.send("Runtime.evaluate", { expression, returnByValue: true, awaitPromise: true });
    if (result.exceptionDetails) throw new Error(`${expression}: ${result.exceptionDetails.text}`);
    return result.result.value;
  }

  // The page's picture as PNG bytes.
  async screenshot() {
    const { data } = await this.send("Page.captureScreenshot", { format: "png" });
    return Buffer.from(data, "base64");
  }

  // What the page shows now (a screenshot): see pictureStats.
  async picture() {
    return pictureStats(decodePng(await this.screenshot()));
  }

  async keyDown(code, key, keyCode) {
    await this.send("Input.dispatchKeyEvent", { type: "rawKeyDown", code, key, windowsVirtualKeyCode: keyCode, nativeVirtualKeyCode: keyCode });
  }

  async keyUp(code, key, keyCode) {
    await this.send("Input.dispatchKeyEvent", { type: "keyUp", code, key, windowsVirtualKeyCode: keyCode, nativeVirtualKeyCode: keyCode });
  }

  // A key pressed and released; `holdMs` is how long it is held (input, not a judgement).
  async key(code, key, keyCode, { holdMs = 0 } = {}) {
    const base = { code, key, windowsVirtualKeyCode: keyCode, nativeVirtualKeyCode: keyCode };
    await this.send("Input.dispatchKeyEvent", { type: "rawKeyDown", ...base });
    if (holdMs > 0) await new Promise((r) => setTimeout(r, holdMs));
    await this.send("Input.dispatchKeyEvent", { type: "keyUp", ...base });
  }

  async click(x, y) {
    for (const type of ["mousePressed", "mouseReleased"])
      await this.send("Input.dispatchMouseEvent", { type, x, y, button: "left", clickCount: 1 });
  }

  // The game's log lines the console got, in order: "[HH:MM:SS]message".
  logLines() {
    return this.console.filter((c) => c.type === "log" && /^\[\d\d:\d\d:\d\d\]/.test(c.text)).map((c) => c.text);
  }
}
