// A static host inside the test process whose transfers a test can shape, to meet the page
// as a real host or a bad connection would: per file, other bytes, another status, gzip,
// a slow drip, a stop half-way until released, or a transfer that breaks off.
'use strict';
const http = require('node:http');
const fs = require('node:fs');
const path = require('node:path');
const zlib = require('node:zlib');

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.wasm': 'application/wasm',
};

// shapes: {NAME: {bytes, status, gzip, drip: bytes a tick, holdAt: fraction, cutAt:
// fraction, after: NAME}}. holdAt stops there until release(); cutAt sends that much of the
// promised length and closes the connection; after waits until that file was sent whole.
// done(NAME) resolves when NAME's transfer is over, sent whole or not.
function host(folder, shapes = {}) {
  const finished = new Map();
  const settle = (name) => finished.get(name) || finished.set(name, deferred()).get(name);
  const held = [];
  const release = deferred();

  const server = http.createServer(async (request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://host').pathname.slice(1)) || 'index.html';
    const shape = shapes[name] || {};
    const file = path.join(folder, path.normalize(name));
    if (shape.status || (!shape.bytes && !(fs.existsSync(file) && fs.statSync(file).isFile()))) {
      response.writeHead(shape.status || 404).end();
      settle(name).resolve(false);
      return;
    }
    if (shape.after) await settle(shape.after).promise;
    let body = shape.bytes || fs.readFileSync(file);
    const headers = {'Content-Type': TYPES[path.extname(name)] || 'application/octet-stream', 'Cache-Control': 'no-store'};
    if (shape.gzip) {
      body = zlib.gzipSync(body);
      headers['Content-Encoding'] = 'gzip';
    }
    headers['Content-Length'] = body.length;
    response.writeHead(200, headers);
    response.on('close', () => settle(name).resolve(response.writableFinished));
    const cut = shape.cutAt === undefined ? body.length : Math.floor(body.length * shape.cutAt);
    const hold = shape.holdAt === undefined ? -1 : Math.floor(body.length * shape.holdAt);
    const step = shape.drip || body.length;
    for (let at = 0; at < cut && !response.destroyed;) {
      if (at === hold) {
        held.push(name);
        await release.promise;
      }
      const end = Math.min(cut, at + step, at < hold ? hold : cut);
      if (!response.write(body.subarray(at, end))) await new Promise((resolve) => response.once('drain', resolve));
      at = end;
      if (shape.drip) await new Promise((resolve) => setTimeout(resolve, 20));
    }
    if (cut < body.length) response.destroy();
    else response.end();
  });
  return new Promise((resolve) => {
    server.listen(0, '127.0.0.1', () => resolve({
      url: `http://127.0.0.1:${server.address().port}/`,
      // The bytes of NAME as this host sends them.
      body: (name) => {
        const bytes = (shapes[name] || {}).bytes || fs.readFileSync(path.join(folder, name));
        return (shapes[name] || {}).gzip ? zlib.gzipSync(bytes) : bytes;
      },
      held: () => [...held],
      release: () => release.resolve(),
      done: (name) => settle(name).promise,
      close: () => {
        release.resolve();
        server.closeAllConnections();
        server.close();
      },
    }));
  });
}

function deferred() {
  let resolve;
  const promise = new Promise((r) => (resolve = r));
  return {promise, resolve};
}

module.exports = {host};
