// The page in Debian's headless Chromium, served from 127.0.0.1: offline it must give the
// native program's frame log and sound exactly; live it starts on a click, shows the
// scenes in step with the music, and ends on Escape; a failure to load is one sentence.
// Every wait is a deadline on something the page shows, never a fixed pause.
'use strict';
const {test, before, after} = require('node:test');
const assert = require('node:assert/strict');
const {spawn} = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');
const {wavCrc32} = require('./wav-crc32.js');
const puppeteer = require(path.join(process.env.ORVEL_NODE_MODULES, 'puppeteer-core'));

const site = process.env.ORVEL_SITE;
const scratch = process.env.ORVEL_SCRATCH;
const MINUTE = 60 * 1000;

let browser;
const servers = [];

function serve(folder) {
  return new Promise((resolve, reject) => {
    const server = spawn(process.execPath, [path.join(__dirname, '..', 'serve.js'), folder, '0']);
    servers.push(server);
    server.stdout.once('data', (line) => resolve(String(line).trim()));
    server.once('exit', (code) => reject(new Error(`the server exited with ${code}`)));
  });
}

before(async () => {
  browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--mute-audio'],
  });
});

after(async () => {
  if (browser) await browser.close();
  for (const server of servers) server.kill();
});

async function openPage(url, prepare) {
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  if (prepare) await page.evaluateOnNewDocument(prepare);
  await page.goto(url);
  return {page, errors};
}

test('offline at 30 fps the page gives the native frame log and sound', {timeout: 15 * MINUTE}, async () => {
  const url = await serve(site);
  const {page, errors} = await openPage(`${url}?render&fps=30`);
  await page.waitForFunction(() => document.title === 'done' || document.body.dataset.state === 'failed',
      {timeout: 14 * MINUTE, polling: 500});
  // The program exits as soon as the results are in: the page may already say so.
  assert.notEqual(await page.evaluate(() => document.body.dataset.state), 'failed');
  const log = await page.$eval('#frame-log', (e) => e.textContent);
  const crc = await page.$eval('#audio-crc32', (e) => e.textContent);
  await page.close();

  const ours = log.split('\n');
  const native = fs.readFileSync(process.env.ORVEL_NATIVE_LOG, 'utf8').split('\n');
  assert.ok(native.length > 6000, 'the native log is the whole production');
  const first = ours.findIndex((line, i) => line !== native[i]);
  assert.equal(first === -1 && ours.length === native.length ? -1 : first, -1,
      `the logs part at line ${first + 1}: page "${ours[first]}", native "${native[first]}"`);
  assert.equal(crc, wavCrc32(process.env.ORVEL_NATIVE_WAV), 'the sound differs from the native --wav');
  assert.deepEqual(errors, []);
});

// The native live test's pixels: the staircase's runway and top band, in order 1.
function stairsShown() {
  const context = document.getElementById('screen').getContext('2d');
  const at = (x, y) => {
    const p = context.getImageData(x, y, 1, 1).data;
    return (p[0] << 16) | (p[1] << 8) | p[2];
  };
  return at(256, 55) === 0x500000 && at(0, 54) === 0x525943;
}

test('live the page starts on a click, shows the staircase, and Escape ends it', {timeout: 5 * MINUTE},
    async () => {
      const url = await serve(site);
      const {page, errors} = await openPage(url);
      await page.setViewport({width: 1024, height: 768});
      await page.waitForFunction(() => document.body.dataset.state === 'prompt', {timeout: 2 * MINUTE});
      await page.click('#overlay');
      await page.waitForFunction(() => document.body.dataset.audio === 'running', {timeout: MINUTE});
      // About 11 s in: order 1 runs from 7.68 s to 15.36 s.
      await page.waitForFunction(stairsShown, {timeout: 2 * MINUTE, polling: 200});
      fs.mkdirSync(scratch, {recursive: true});
      await page.screenshot({path: path.join(scratch, 'live-staircase.png')});
      assert.equal(await page.evaluate(() => document.body.dataset.state), 'running');

      // F toggles fullscreen, and so does a double-click.
      await page.keyboard.press('f');
      await page.waitForFunction(() => document.fullscreenElement !== null, {timeout: MINUTE});
      await page.keyboard.press('f');
      await page.waitForFunction(() => document.fullscreenElement === null, {timeout: MINUTE});
      await page.mouse.click(512, 384, {clickCount: 2});
      await page.waitForFunction(() => document.fullscreenElement !== null, {timeout: MINUTE});
      await page.keyboard.press('F');
      await page.waitForFunction(() => document.fullscreenElement === null, {timeout: MINUTE});

      await page.keyboard.press('Escape');
      await page.waitForFunction(() => document.body.dataset.audio === 'closed', {timeout: MINUTE});
      const message = await page.$eval('#message', (e) => e.textContent);
      assert.match(message, /play again/);

      // And again, from the start: a fresh show on the same page.
      await page.keyboard.press('Enter');
      await page.waitForFunction(() => document.body.dataset.audio === 'running', {timeout: MINUTE});
      await page.keyboard.press('Escape');
      await page.waitForFunction(() => document.body.dataset.audio === 'closed', {timeout: MINUTE});
      assert.deepEqual(errors, []);
      await page.close();
    });

test('a failure to load is one clear sentence, never a blank page', {timeout: 5 * MINUTE}, async () => {
  // A copy of the site without its data.
  const partial = path.join(scratch, 'site-without-data');
  fs.rmSync(partial, {recursive: true, force: true});
  fs.mkdirSync(partial, {recursive: true});
  for (const name of fs.readdirSync(site)) {
    if (name !== 'orvel.data') fs.copyFileSync(path.join(site, name), path.join(partial, name));
  }
  const cases = [
    {url: await serve(partial), sentence: /orvel\.data could not be loaded/},
    {url: await serve(site), prepare: () => delete window.WebAssembly, sentence: /cannot run WebAssembly/},
    {url: await serve(site), prepare: () => {
      delete window.AudioContext;
      delete window.webkitAudioContext;
    }, sentence: /no Web Audio/},
  ];
  for (const {url, prepare, sentence} of cases) {
    const {page} = await openPage(url, prepare);
    await page.waitForFunction(() => document.body.dataset.state === 'failed', {timeout: 2 * MINUTE});
    const shown = await page.evaluate(() => !document.getElementById('overlay').hidden);
    const message = await page.$eval('#message', (e) => e.textContent);
    assert.ok(shown, 'the sentence is on the page');
    assert.match(message, sentence);
    assert.equal(message.split(/[.!?](\s|$)/).filter((s) => s && s.trim()).length, 1, `one sentence: ${message}`);
    await page.close();
  }
});

test('hidden, the music goes on, and the picture comes back at its position', {timeout: 5 * MINUTE}, async () => {
  const url = await serve(site);
  // Browsers give a hidden page no animation frames; headless Chromium still does, so the
  // page is held to what browsers do.
  const {page, errors} = await openPage(url, () => {
    const frame = window.requestAnimationFrame.bind(window);
    const held = [];
    window.requestAnimationFrame = (callback) => (document.hidden ? held.push(callback) : frame(callback));
    document.addEventListener('visibilitychange', () => {
      if (!document.hidden) held.splice(0).forEach((callback) => frame(callback));
    });
  });
  await page.waitForFunction(() => document.body.dataset.state === 'prompt', {timeout: 2 * MINUTE});
  await page.click('#overlay');
  await page.waitForFunction(() => window.orvelShow.orvelPosition && window.orvelShow.orvelPosition[0] >= 1,
      {timeout: 2 * MINUTE});
  // The music's heard time, as the audio context tells it, beside the position last drawn.
  const where = () => page.evaluate(() => {
    const audio = window.orvelShow.orvelAudio;
    const latency = audio.context.outputLatency || audio.context.baseLatency || 0;
    return {heard: (audio.context.currentTime - latency - audio.start) * 1000, drawn: window.orvelShow.orvelPosition[2],
      ahead: (audio.end - audio.context.currentTime) * 1000};
  });
  const other = await browser.newPage();
  await other.bringToFront();
  assert.equal(await page.evaluate(() => document.visibilityState), 'hidden');
  const hidden = await where();
  await new Promise((resolve) => setTimeout(resolve, 6000));  // a span of hidden time, not a deadline
  const later = await where();
  // Fed only while shown, the music would run out within the half second fed ahead.
  assert.ok(later.ahead > 0, `the music ran out while hidden: ${JSON.stringify([hidden, later])}`);
  await other.close();
  await page.bringToFront();
  // Shown again, the frames go on from the music's position, not from where they stopped.
  const shown = await where();
  await page.waitForFunction((at) => window.orvelShow.orvelPosition[2] >= at, {timeout: MINUTE}, shown.heard);
  await page.keyboard.press('Escape');
  await page.waitForFunction(() => document.body.dataset.audio === 'closed', {timeout: MINUTE});
  assert.deepEqual(errors, []);
  await page.close();
});
