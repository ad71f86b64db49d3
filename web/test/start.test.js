// The page started at an order: offline (?render&fps=N&start=N) every frame log line and
// the sound from that order's first frame on are the native whole run's; live, ?start=N
// begins there and the arrow keys start the show again one order on or back.
// ORVEL_START_CASES lists FPS:ORDER pairs to render offline ("all": every order at 30 and
// 60 fps, some twenty minutes); by default a few.
'use strict';
const {test, before, after} = require('node:test');
const assert = require('node:assert/strict');
const {spawn} = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');
const zlib = require('node:zlib');
const {wavData} = require('./wav-crc32.js');
const puppeteer = require(path.join(process.env.ORVEL_NODE_MODULES, 'puppeteer-core'));

const site = process.env.ORVEL_SITE;
const MINUTE = 60 * 1000;
const LAST_ORDER = 29;

function cases() {
  const asked = process.env.ORVEL_START_CASES || '30:9 30:21 60:29';
  if (asked === 'all') {
    const all = [];
    for (const fps of [30, 60]) for (let order = 1; order <= LAST_ORDER; ++order) all.push([fps, order]);
    return all;
  }
  return asked.split(/\s+/).filter(Boolean).map((c) => c.split(':').map(Number));
}

let browser;
let url;
let server;

before(async () => {
  server = spawn(process.execPath, [path.join(__dirname, '..', 'serve.js'), site, '0']);
  url = await new Promise((resolve, reject) => {
    server.stdout.once('data', (line) => resolve(String(line).trim()));
    server.once('exit', (code) => reject(new Error(`the server exited with ${code}`)));
  });
  browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--mute-audio'],
  });
});

after(async () => {
  if (browser) await browser.close();
  if (server) server.kill();
});

async function openPage(address) {
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  await page.goto(address);
  return {page, errors};
}

test('offline from an order the page gives the native whole run from that order on', {timeout: 60 * MINUTE},
    async () => {
      for (const [fps, order] of cases()) {
        const {page, errors} = await openPage(`${url}?render&fps=${fps}&start=${order}`);
        await page.waitForFunction(() => document.title === 'done' || document.body.dataset.state === 'failed',
            {timeout: 14 * MINUTE, polling: 500});
        const log = await page.$eval('#frame-log', (e) => e.textContent);
        const crc = await page.$eval('#audio-crc32', (e) => e.textContent);
        await page.close();
        assert.deepEqual(errors, []);

        const native = fs.readFileSync(process.env[`ORVEL_NATIVE_LOG_${fps}`], 'utf8').split('\n');
        const ours = log.split('\n');
        const first = Number(ours[1].split('\t')[0]);
        assert.equal(Number(ours[1].split('\t')[1]), order, `${fps} fps, start ${order}: the first frame's order`);
        const whole = native.slice(1 + first);
        const part = ours.slice(1);
        const at = part.findIndex((line, i) => line !== whole[i]);
        assert.ok(at === -1 && part.length === whole.length,
            `${fps} fps, start ${order}: the logs part at frame ${first + at}: page "${part[at]}", native "${whole[at]}"`);
        const samples = wavData(process.env[`ORVEL_NATIVE_WAV_${fps}`]).subarray(Math.floor(first * 44100 / fps) * 4);
        assert.equal(crc, (zlib.crc32(samples) >>> 0).toString(16).padStart(8, '0'),
            `${fps} fps, start ${order}: the sound differs from the native --wav's from frame ${first}`);
      }
    });

test('live ?start=N begins at that order, and the arrow keys step on and back', {timeout: 5 * MINUTE}, async () => {
  const {page, errors} = await openPage(`${url}?start=27`);
  await page.waitForFunction(() => document.body.dataset.state === 'prompt', {timeout: 2 * MINUTE});
  await page.click('#overlay');
  const showing = (order) => page.waitForFunction((o) => window.orvelShow && window.orvelShow.orvelStart === o &&
      window.orvelShow.orvelPosition && window.orvelShow.orvelPosition[0] === o, {timeout: 2 * MINUTE}, order);
  await showing(27);
  await page.keyboard.press('ArrowRight');
  await showing(28);
  await page.keyboard.press('PageUp');
  await showing(27);
  assert.equal(await page.evaluate(() => document.body.dataset.state), 'running');
  await page.keyboard.press('Escape');
  await page.waitForFunction(() => document.body.dataset.audio === 'closed', {timeout: MINUTE});
  assert.deepEqual(errors, []);
  await page.close();
});
