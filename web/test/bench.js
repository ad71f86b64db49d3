// Prints the page's figures: load time to the start prompt, the site's size, the drawing
// cost of every phase and the whole production offline (bench.html), and the clock read
// against the audio context's time over a live minute (bench.html?live).
//   node web/test/bench.js WEB_BUILD NODE_MODULES
'use strict';
const {spawn} = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');
const web = path.resolve(process.argv[2]);
const puppeteer = require(path.join(path.resolve(process.argv[3]), 'puppeteer-core'));

const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];

(async () => {
  const server = spawn(process.execPath, [path.join(__dirname, '..', 'serve.js'), web, '0', '--isolated']);
  const url = await new Promise((resolve) => server.stdout.once('data', (line) => resolve(String(line).trim())));
  const browser = await puppeteer.launch({executablePath: '/usr/bin/chromium', headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--mute-audio']});
  try {
    const bytes = fs.readdirSync(path.join(web, 'site')).map((n) => [n, fs.statSync(path.join(web, 'site', n)).size]);
    console.log('site', bytes.map(([n, s]) => `${n} ${s}`).join(', '), '; total', bytes.reduce((a, [, s]) => a + s, 0));

    const loads = [];
    for (let i = 0; i < 5; i++) {
      const page = await browser.newPage();
      await page.setCacheEnabled(false);
      const start = Date.now();
      await page.goto(`${url}site/`);
      await page.waitForFunction(() => document.body.dataset.state === 'prompt', {timeout: 120000, polling: 10});
      loads.push(Date.now() - start);
      await page.close();
    }
    console.log('load to the start prompt, ms:', loads.join(' '), '; median', median(loads));

    let page = await browser.newPage();
    await page.goto(`${url}bench/bench.html`);
    await page.waitForFunction(() => document.title === 'done', {timeout: 900000, polling: 1000});
    console.log(await page.$eval('#bench', (e) => e.textContent));
    await page.close();

    page = await browser.newPage();
    await page.goto(`${url}bench/bench.html?live`);
    await page.click('canvas');
    await new Promise((r) => setTimeout(r, 60000));
    const reads = await page.evaluate(() => window.orvelBench.orvelReads);
    await page.keyboard.press('Escape');
    // Each read: the context's heard ms at that moment, and the clock's time, order, row.
    const playing = reads.filter(([heard]) => heard >= 0);
    const timeError = playing.map(([heard, time]) => time - heard);
    const rowOff = playing.filter(([heard, , order, row]) => order * 64 + row !== Math.floor(heard * 44.1 / 5292));
    const steps = [];
    for (let i = 1; i < playing.length; i++) if (playing[i][1] !== playing[i - 1][1]) steps.push(playing[i][1] - playing[i - 1][1]);
    console.log(`live minute: ${playing.length} reads; clock time minus the context's heard time, ms: min`,
        Math.min(...timeError).toFixed(2), 'median', median(timeError).toFixed(2), 'max', Math.max(...timeError).toFixed(2));
    console.log(`reads whose row is not the row of the context's heard sample: ${rowOff.length}`,
        rowOff.slice(0, 5).map((r) => r.map((x) => Math.round(x * 10) / 10).join('/')).join(' '));
    console.log('clock steps between reads that moved, ms: median', median(steps), 'max', Math.max(...steps));
    await page.close();
  } finally {
    await browser.close();
    server.kill();
  }
})().catch((e) => {
  console.error(e);
  process.exit(1);
});
