// The page in Debian's headless Chromium and Firefox, served from 127.0.0.1: offline it must
// give the native program's frame log and sound exactly; live it starts on a click, is heard
// on a sound server of the tests' own, shows the scenes in step with the music, and ends on
// Escape; with no sound it plays silently; every failure to load is one sentence that stays;
// the bar counts what has arrived, also when the host compresses.
// Every wait is a deadline on something the page shows, never a fixed pause.
'use strict';
const {describe, test, before, after} = require('node:test');
const assert = require('node:assert/strict');
const {spawn} = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');
const zlib = require('node:zlib');
const {wavCrc32} = require('./wav-crc32.js');
const {host} = require('./host.js');
const puppeteer = require(path.join(process.env.ORVEL_NODE_MODULES, 'puppeteer-core'));

const site = path.resolve(process.env.ORVEL_SITE);
const scratch = process.env.ORVEL_SCRATCH;
// A PulseAudio server of the tests' own whose default sink, "orvel", plays into nothing; its
// monitor records what reached it.
const soundServer = process.env.ORVEL_PULSE_SERVER;
const engines = (process.env.ORVEL_BROWSERS || 'chromium firefox').split(/\s+/).filter(Boolean);
const MINUTE = 60 * 1000;

fs.mkdirSync(scratch, {recursive: true});

// sound: the PulseAudio server where the browser finds its sound device; a socket nobody
// listens on leaves it none. Start-up is slow on a busy machine (Firefox's 6-12 s here).
function launch(engine, sound) {
  const env = {...process.env, PULSE_SERVER: sound};
  if (engine === 'firefox') {
    return puppeteer.launch({browser: 'firefox', executablePath: '/usr/bin/firefox-esr', headless: true, env,
      timeout: 5 * MINUTE,
      // PulseAudio only: a machine's own sound card must not stand in for a missing server.
      extraPrefsFirefox: {'media.cubeb.backend': 'pulse'}, protocolTimeout: 5 * MINUTE});
  }
  return puppeteer.launch({executablePath: '/usr/bin/chromium', headless: true, env, timeout: 5 * MINUTE,
    protocolTimeout: 5 * MINUTE,
    ignoreDefaultArgs: ['--mute-audio'],
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync']});
}

async function openPage(browser, url, prepare) {
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  if (prepare) await page.evaluateOnNewDocument(prepare);
  await page.goto(url);
  return {page, errors};
}

function waitState(page, state, timeout = 2 * MINUTE) {
  return page.waitForFunction((s) => document.body.dataset.state === s, {timeout, polling: 100}, state);
}

// Until the show has drawn a frame of order `order` or later, `ms` or more into the music.
function waitPlayed(page, {order = 0, ms = 0}) {
  return page.waitForFunction(([o, t]) => {
    const at = window.orvelShow && window.orvelShow.orvelPosition;
    return at && at[0] >= o && at[2] >= t;
  }, {timeout: 2 * MINUTE, polling: 100}, [order, ms]);
}

// Hosts of the site; whatever a failed test left open is closed at the end.
const hosts = [];
async function serveSite(shapes) {
  const server = await host(site, shapes);
  hosts.push(server);
  return server;
}
after(() => hosts.forEach((server) => server.close()));

// What reaches the sink, as 16-bit stereo samples, from now until stop().
function record() {
  const parec = spawn('parec', ['-d', 'orvel.monitor', '--raw', '--format=s16le', '--rate=44100', '--channels=2'],
      {env: {...process.env, PULSE_SERVER: soundServer}, stdio: ['ignore', 'pipe', 'inherit']});
  const parts = [];
  parec.stdout.on('data', (part) => parts.push(part));
  const exited = new Promise((resolve) => parec.once('exit', resolve));
  return {
    async stop() {
      parec.kill();
      await exited;
      const bytes = Buffer.concat(parts);
      return new Int16Array(bytes.buffer, bytes.byteOffset, Math.floor(bytes.length / 2));
    },
  };
}

function peak(samples) {
  let most = 0;
  for (const s of samples) most = Math.max(most, Math.abs(s));
  return most;
}

function oneSentence(text) {
  return text.split(/[.!?](\s|$)/).filter((s) => s && s.trim()).length === 1;
}

// The native live test's pixels: the staircase's runway and top band, in order 1.
function stairsShown() {
  const context = document.getElementById('screen').getContext('2d');
  const at = (x, y) => {
    const p = context.getImageData(x, y, 1, 1).data;
    return (p[0] << 16) | (p[1] << 8) | p[2];
  };
  return at(256, 55) === 0x500000 && at(0, 54) === 0x525943;
}

// The sentence over the last picture must stand on a dark backing: with that picture made
// white, a ring just around the words is still dark, while the picture around it is white.
async function backingAroundMessage(page, file) {
  await page.evaluate(() => {
    const context = document.getElementById('screen').getContext('2d');
    context.fillStyle = '#fff';
    context.fillRect(0, 0, 512, 384);
  });
  const png = await page.screenshot({encoding: 'base64'});
  fs.writeFileSync(file, Buffer.from(png, 'base64'));
  return page.evaluate(async (data) => {
    const image = new Image();
    image.src = `data:image/png;base64,${data}`;
    await image.decode();
    const canvas = document.createElement('canvas');
    canvas.width = image.width;
    canvas.height = image.height;
    const context = canvas.getContext('2d');
    context.drawImage(image, 0, 0);
    const scale = image.width / window.innerWidth;
    const light = (x, y) => {
      const p = context.getImageData(Math.round(x * scale), Math.round(y * scale), 1, 1).data;
      return Math.round(0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2]);
    };
    const words = document.getElementById('message').getBoundingClientRect();
    const ring = [];
    const [left, top, right, bottom] = [words.left - 6, words.top - 6, words.right + 6, words.bottom + 6];
    for (let x = left; x <= right; x += 2) ring.push(light(x, top), light(x, bottom));
    for (let y = top; y <= bottom; y += 2) ring.push(light(left, y), light(right, y));
    const picture = document.getElementById('screen').getBoundingClientRect();
    return {ring: Math.max(...ring), picture: light(picture.left + 4, picture.top + 4)};
  }, png);
}

for (const engine of engines) {
  describe(engine, () => {
    let browser;

    before(async () => {
      const started = Date.now();
      browser = await launch(engine, soundServer);
      console.log(`# ${engine} ${await browser.version()} started in ${Date.now() - started} ms`);
    });

    after(async () => {
      if (browser) await browser.close();
    });

    test('offline at 30 fps the page gives the native frame log and sound', {timeout: 20 * MINUTE}, async () => {
      const server = await serveSite();
      const {page, errors} = await openPage(browser, `${server.url}?render&fps=30`);
      await page.waitForFunction(() => document.title === 'done' || document.body.dataset.state === 'failed',
          {timeout: 19 * MINUTE, polling: 500});
      // The program exits as soon as the results are in: the page may already say so.
      assert.notEqual(await page.evaluate(() => document.body.dataset.state), 'failed');
      const log = await page.$eval('#frame-log', (e) => e.textContent);
      const crc = await page.$eval('#audio-crc32', (e) => e.textContent);
      await page.close();
      server.close();

      const ours = log.split('\n');
      const native = fs.readFileSync(process.env.ORVEL_NATIVE_LOG, 'utf8').split('\n');
      assert.ok(native.length > 6000, 'the native log is the whole production');
      const first = ours.findIndex((line, i) => line !== native[i]);
      assert.equal(first === -1 && ours.length === native.length ? -1 : first, -1,
          `the logs part at line ${first + 1}: page "${ours[first]}", native "${native[first]}"`);
      assert.equal(crc, wavCrc32(process.env.ORVEL_NATIVE_WAV), 'the sound differs from the native --wav');
      assert.deepEqual(errors, []);
    });

    test('live the page starts on a click, is heard, shows the staircase, and Escape ends it',
        {timeout: 8 * MINUTE}, async () => {
      const server = await serveSite();
      const {page, errors} = await openPage(browser, server.url);
      await page.setViewport({width: 1024, height: 768});
      await waitState(page, 'prompt');
      assert.match(await page.$eval('#message', (e) => e.textContent), /^Click, or press Enter or Space, to start\.$/);

      const sound = record();
      await page.click('#overlay');
      await page.waitForFunction(() => document.body.dataset.audio === 'running', {timeout: 2 * MINUTE});
      // About 11 s in: order 1 runs from 7.68 s to 15.36 s.
      await page.waitForFunction(stairsShown, {timeout: 3 * MINUTE, polling: 200});
      const heard = peak(await sound.stop());
      assert.ok(heard > 1000, `the sink got no sound: its loudest sample is ${heard}`);
      assert.ok(await page.evaluate(() => window.orvelShow.orvelPosition[2]) >= 7680, 'the music went on');
      await page.screenshot({path: path.join(scratch, `live-staircase-${engine}.png`)});
      assert.equal(await page.evaluate(() => document.body.dataset.state), 'running');

      if (engine === 'chromium') {
        // F toggles fullscreen, and so does a double-click. (Headless Firefox has no
        // screen to fill.)
        await page.keyboard.press('f');
        await page.waitForFunction(() => document.fullscreenElement !== null, {timeout: MINUTE});
        await page.keyboard.press('f');
        await page.waitForFunction(() => document.fullscreenElement === null, {timeout: MINUTE});
        await page.mouse.click(512, 384, {clickCount: 2});
        await page.waitForFunction(() => document.fullscreenElement !== null, {timeout: MINUTE});
        await page.keyboard.press('F');
        await page.waitForFunction(() => document.fullscreenElement === null, {timeout: MINUTE});
      }

      await page.keyboard.press('Escape');
      await page.waitForFunction(() => document.body.dataset.audio === 'closed', {timeout: MINUTE});
      assert.match(await page.$eval('#message', (e) => e.textContent),
          /^The end\. Click, or press Enter or Space, to play again\.$/);
      const backing = await backingAroundMessage(page, path.join(scratch, `end-sentence-${engine}.png`));
      assert.ok(backing.picture > 200, `the picture behind is white: ${JSON.stringify(backing)}`);
      assert.ok(backing.ring < 64, `the words stand on a dark backing: ${JSON.stringify(backing)}`);

      // And again, from the start: a fresh show on the same page.
      await page.keyboard.press('Enter');
      await page.waitForFunction(() => document.body.dataset.audio === 'running', {timeout: 2 * MINUTE});
      await page.keyboard.press('Escape');
      await page.waitForFunction(() => document.body.dataset.audio === 'closed', {timeout: MINUTE});
      assert.deepEqual(errors, []);
      assert.ok(await page.$eval('meta[name=description]', (e) => e.content.length > 20), 'the page describes itself');
      await page.close();
      server.close();
    });

    test('with no sound the show plays silently on the page\'s own time, and says so',
        {timeout: 10 * MINUTE}, async () => {
      const server = await serveSite();
      const cases = [{note: /^This browser has no Web Audio, so the show plays silently\.$/, prepare: () => {
        delete window.AudioContext;
        delete window.webkitAudioContext;
      }}];
      let silentBrowser = null;
      if (engine === 'firefox') {
        // Firefox with no sound device: its audio context never runs. (Chromium plays
        // into a silent output of its own instead.)
        silentBrowser = await launch(engine, `unix:${path.join(scratch, 'no-sound-server')}`);
        cases.push({browser: silentBrowser,
          note: /^The browser gives the page no sound, so the show plays silently\.$/});
      }
      try {
        for (const {browser: which = browser, prepare, note} of cases) {
          const {page, errors} = await openPage(which, server.url, prepare);
          await waitState(page, 'prompt');
          await page.click('#overlay');
          await waitState(page, 'running');
          await page.waitForFunction(() => document.body.dataset.audio === 'silent', {timeout: MINUTE});
          assert.match(await page.$eval('#note', (e) => e.textContent), note);
          await page.waitForFunction(stairsShown, {timeout: 3 * MINUTE, polling: 200});
          await page.keyboard.press('Escape');
          await page.waitForFunction(() => document.body.dataset.audio === 'closed', {timeout: MINUTE});
          assert.match(await page.$eval('#message', (e) => e.textContent), /play again/);
          assert.deepEqual(errors, []);
          await page.close();
        }
      } finally {
        if (silentBrowser) await silentBrowser.close();
        server.close();
      }
    });

    test('sound that comes up late joins the show, which started silently', {timeout: 8 * MINUTE}, async () => {
      const server = await serveSite();
      // The audio context runs only once the show has started without it, at a second click
      // (browsers let sound start only close to one). The page's reports of its sound and the
      // clock's time are logged as they come.
      const {page, errors} = await openPage(browser, server.url, () => {
        const Context = window.AudioContext;
        let asked = null;
        window.AudioContext = class extends Context {
          constructor(options) {
            super(options);
            super.suspend();
          }
          resume() {
            return new Promise((resolve) => (asked = () => super.resume().then(resolve)));
          }
        };
        document.addEventListener('click', () => document.body.dataset.audio === 'silent' && asked && asked());
        window.sounds = [];
        window.times = [];
        new MutationObserver(() => window.sounds.push(document.body.dataset.audio))
            .observe(document, {subtree: true, attributeFilter: ['data-audio']});
        setInterval(() => window.orvelShow && window.orvelShow.orvelPosition &&
            window.times.push(window.orvelShow.orvelPosition[2]), 50);
      });
      await waitState(page, 'prompt');
      const sound = record();
      await page.click('#overlay');
      await page.waitForFunction(() => document.body.dataset.audio === 'silent', {timeout: 2 * MINUTE});
      await waitPlayed(page, {ms: 1000});
      await page.mouse.click(512, 384);
      await page.waitForFunction(() => document.body.dataset.audio === 'running', {timeout: 2 * MINUTE});
      const joined = await page.evaluate(() => window.orvelShow.orvelPosition[2]);
      await waitPlayed(page, {ms: joined + 2000});
      const heard = peak(await sound.stop());
      const {sounds, times} = await page.evaluate(() => ({sounds: window.sounds, times: window.times}));
      assert.deepEqual(sounds, ['silent', 'running'], 'silent first, then heard');
      assert.ok(joined > 1000, `the show ran silently before the sound came: ${joined} ms`);
      assert.ok(heard > 1000, `the sink got no sound: its loudest sample is ${heard}`);
      const back = times.findIndex((t, i) => i > 0 && t < times[i - 1]);
      assert.equal(back, -1, `the clock went back from ${times[back - 1]} to ${times[back]} ms`);
      await page.keyboard.press('Escape');
      await page.waitForFunction(() => document.body.dataset.audio === 'closed', {timeout: MINUTE});
      assert.deepEqual(errors, []);
      await page.close();
      server.close();
    });

    test('a failure to load is one clear sentence that stays, never a blank page or a full bar',
        {timeout: 10 * MINUTE}, async () => {
      const wasm = fs.readFileSync(path.join(site, 'orvel.wasm'));
      const drip = {drip: 16384};  // a slow transfer, still going when the other fails
      const cases = [
        {name: 'no data', shapes: {'orvel.data': {status: 404}},
          sentence: /^The file orvel\.data could not be loaded \(HTTP 404\)\.$/},
        {name: 'no WebAssembly', prepare: () => delete window.WebAssembly, sentence: /cannot run WebAssembly/},
        {name: 'code cut off', shapes: {'orvel.wasm': {cutAt: 0.5}, 'orvel.data': drip},
          sentence: /^The transfer of orvel\.wasm broke off before its end\.$/},
        {name: 'code cut off after the data', shapes: {'orvel.wasm': {cutAt: 0.5, after: 'orvel.data'}},
          sentence: /^The transfer of orvel\.wasm broke off before its end\.$/},
        {name: 'data cut off', shapes: {'orvel.data': {cutAt: 0.5}, 'orvel.wasm': drip},
          sentence: /^The transfer of orvel\.data broke off before its end\.$/},
        {name: 'empty code', shapes: {'orvel.wasm': {bytes: Buffer.alloc(0)}, 'orvel.data': drip},
          sentence: /^The file orvel\.wasm is empty\.$/},
        {name: 'half the code', shapes: {'orvel.wasm': {bytes: wasm.subarray(0, wasm.length >> 1)}},
          sentence: /^The file orvel\.wasm is damaged: it is not the size the page was built with\.$/},
      ];
      const wrong = [];
      for (const {name, shapes, prepare, sentence} of cases) {
        const server = await serveSite(shapes);
        const {page} = await openPage(browser, server.url, prepare);
        await waitState(page, 'failed');
        if (shapes) await Promise.all([server.done('orvel.wasm'), server.done('orvel.data')]);
        // After both transfers are over, whichever way.
        const shown = await page.evaluate(() => ({
          state: document.body.dataset.state, overlay: !document.getElementById('overlay').hidden,
          bar: !document.getElementById('bar').hidden, message: document.getElementById('message').textContent}));
        if (shown.state !== 'failed' || !shown.overlay || shown.bar || !sentence.test(shown.message) ||
            !oneSentence(shown.message)) {
          wrong.push(`${name}: ${JSON.stringify(shown)}`);
        }
        await page.close();
        server.close();
      }
      assert.deepEqual(wrong, [], 'each case: failed, its one sentence shown, no bar');
    });

    test('the bar counts the bytes that arrived, also from a host that compresses',
        {timeout: 5 * MINUTE}, async () => {
      const gzip = {gzip: true};
      const held = {gzip: true, holdAt: 0.5};
      const server = await serveSite({'index.html': gzip, 'page.js': gzip, 'orvel.js': gzip, 'orvel.wasm': held,
        'orvel.data': held});
      // What the first halves of the compressed files give: all the page can have at the stop.
      const names = ['orvel.wasm', 'orvel.data'];
      const decoded = names.map((name) => {
        const sent = server.body(name);
        return zlib.gunzipSync(sent.subarray(0, Math.floor(sent.length * 0.5)),
            {finishFlush: zlib.constants.Z_SYNC_FLUSH}).length;
      });
      const whole = names.map((name) => fs.statSync(path.join(site, name)).size);
      const share = (decoded[0] + decoded[1]) / (whole[0] + whole[1]);

      const {page, errors} = await openPage(browser, server.url);
      await page.waitForFunction(() => parseFloat(document.querySelector('#bar > div').style.width) > 0,
          {timeout: 2 * MINUTE, polling: 50});
      const shown = await page.evaluate(() => parseFloat(document.querySelector('#bar > div').style.width) / 100);
      assert.ok(shown <= share + 0.01, `the bar shows ${shown} with ${share.toFixed(3)} of the bytes in`);
      server.release();
      await waitState(page, 'prompt');
      assert.deepEqual(errors, []);
      await page.close();
      server.close();
    });

    test('opened as a file it plays where the browser allows, else says it needs a web server',
        {timeout: 5 * MINUTE}, async () => {
      const {page} = await openPage(browser, `file://${path.join(site, 'index.html')}`);
      if (engine === 'firefox') {
        await waitState(page, 'prompt');
      } else {
        await waitState(page, 'failed');
        const message = await page.$eval('#message', (e) => e.textContent);
        assert.match(message, /must be opened from a web server/);
        assert.ok(oneSentence(message), `one sentence: ${message}`);
      }
      await page.close();
    });

    test('hidden, the music goes on, and the picture comes back at its position',
        {timeout: 5 * MINUTE}, async () => {
      const server = await serveSite();
      // Browsers give a hidden page no animation frames; headless Chromium still does, so
      // the page is held to what browsers do.
      const {page, errors} = await openPage(browser, server.url, () => {
        const frame = window.requestAnimationFrame.bind(window);
        const held = [];
        window.requestAnimationFrame = (callback) => (document.hidden ? held.push(callback) : frame(callback));
        document.addEventListener('visibilitychange', () => {
          if (!document.hidden) held.splice(0).forEach((callback) => frame(callback));
        });
      });
      await waitState(page, 'prompt');
      await page.click('#overlay');
      await waitPlayed(page, {order: 1});
      // The music's heard time, as the audio context tells it, beside the position last drawn.
      const where = () => page.evaluate(() => {
        const audio = window.orvelShow.orvelAudio;
        return {heard: (audio.context.currentTime - audio.latency() - audio.start) * 1000,
          drawn: window.orvelShow.orvelPosition[2], ahead: (audio.end - audio.context.currentTime) * 1000};
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
      await waitPlayed(page, {ms: shown.heard});
      await page.keyboard.press('Escape');
      await page.waitForFunction(() => document.body.dataset.audio === 'closed', {timeout: MINUTE});
      assert.deepEqual(errors, []);
      await page.close();
      server.close();
    });

    if (engine === 'chromium') {
      test('on a touch screen the page asks for a tap, and a tap starts it', {timeout: 5 * MINUTE}, async () => {
        const server = await serveSite();
        const page = await browser.newPage();
        await page.emulate(puppeteer.KnownDevices['Pixel 5']);
        await page.goto(server.url);
        await waitState(page, 'prompt');
        assert.equal(await page.$eval('#message', (e) => e.textContent), 'Tap to start.');
        await page.tap('#overlay');
        await waitState(page, 'running');
        await waitPlayed(page, {ms: 1000});
        await page.close();
        server.close();
      });
    }
  });
}
