// SPDX-License-Identifier: GPL-3.0-or-later
// A plain static server, as any host is: files under one folder, no isolation headers, no
// directory listings. Used by the page's tests and by `node tests/web/serve.mjs DIR [PORT]`.
import http from "node:http";
import fs from "node:fs";
import path from "node:path";

const types = {
  ".html": "text/html; charset=utf-8", ".js": "text/javascript", ".mjs": "text/javascript",
  ".wasm": "application/wasm", ".data": "application/octet-stream", ".orx": "application/octet-stream",
  ".txt": "text/plain; charset=utf-8", ".json": "application/json",
};

// Serves `root` on `port` (0: a free one). Resolves to { server, port, requests }, where
// requests lists every path asked for, in order.
export function serve(root, port = 0) {
  const base = path.resolve(root);
  const requests = [];
  const server = http.createServer((req, res) => {
    const url = new URL(req.url, "http://host");
    requests.push(url.pathname + url.search);
    let file = path.join(base, decodeURIComponent(url.pathname));
    if (!file.startsWith(base)) { res.writeHead(403).end(); return; }
    if (file.endsWith(path.sep)) file = path.join(file, "index.html");
    fs.stat(file, (error, stat) => {
      if (error || !stat.isFile()) { res.writeHead(404, { "Content-Type": "text/plain" }).end("not found"); return; }
      res.writeHead(200, { "Content-Type": types[path.extname(file)] || "application/octet-stream",
        "Content-Length": stat.size, "Cache-Control": "no-cache" });
      fs.createReadStream(file).pipe(res);
    });
  });
  return new Promise((resolve) => server.listen(port, "127.0.0.1", () =>
    resolve({ server, port: server.address().port, requests })));
}

if (import.meta.url === `file://${process.argv[1]}`) {
  const root = process.argv[2] || ".";
  const { port } = await serve(root, Number(process.argv[3] || 8000));
  console.log(`serving ${root} on http://127.0.0.1:${port}/`);
}
