// Prints what blocks the page's main thread for 50 ms or more (the browser's long tasks):
// while it loads up to the start prompt, and over a minute of the show, in headless
// Chromium. With --trace FILE it also writes a Chrome trace of that minute, and prints
// what ran inside each task of 100 ms or more.
//   node web/test/long-tasks.js SITE NODE_MODULES [--cpu-slowdown N] [--trace FILE]
'use strict';
const {spawn} = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');

const args = process.argv.slice(2);
const option = (name) => (args.includes(name) ? args[args.indexOf(name) + 1] : null);
const site = path.resolve(args[0]);
const puppeteer = require(path.join(path.resolve(args[1]), 'puppeteer-core'));
const slowdown = Number(option('--cpu-slowdown') || 1);
const traceFile = option('--trace');
const SHOW_MS = 60000;

function summary(tasks) {
  const durations = tasks.map((t) => t.duration).sort((a, b) => b - a);
  const blocking = durations.reduce((sum, d) => sum + Math.max(0, d - 50), 0);
  const over100 = durations.filter((d) => d >= 100).length;
  return `${durations.length} long tasks (${over100} of 100 ms or more), longest ${Math.round(durations[0] || 0)} ms, ` +
    `blocking ${Math.round(blocking)} ms; the longest: ${durations.slice(0, 8).map(Math.round).join(' ')}`;
}

// The trace's top-level tasks of 100 ms or more on the page's main thread, each with the
// events inside it that took the most of its time.
function traceTasks(events) {
  const main = events.find((e) => e.name === 'thread_name' && e.args.name === 'CrRendererMain');
  const onMain = events.filter((e) => main && e.pid === main.pid && e.tid === main.tid && e.ph === 'X');
  const tasks = onMain.filter((e) => e.name === 'RunTask' && e.dur >= 100000);
  for (const task of tasks) {
    const inside = onMain.filter((e) => e !== task && e.ts >= task.ts && e.ts + e.dur <= task.ts + task.dur);
    const by = new Map();
    for (const e of inside) by.set(e.name, (by.get(e.name) || 0) + e.dur);
    const top = [...by].sort((a, b) => b[1] - a[1]).slice(0, 6).map(([n, d]) => `${n} ${(d / 1000).toFixed(0)}`);
    console.log(`  task ${(task.dur / 1000).toFixed(0)} ms: ${top.join(', ')}`);
  }
}

(async () => {
  const server = spawn(process.execPath, [path.join(__dirname, '..', 'serve.js'), site, '0']);
  const url = await new Promise((resolve) => server.stdout.once('data', (line) => resolve(String(line).trim())));
  const browser = await puppeteer.launch({executablePath: '/usr/bin/chromium', headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync']});
  try {
    const page = await browser.newPage();
    await page.setViewport({width: 1024, height: 768});
    if (slowdown > 1) {
      const session = await page.createCDPSession();
      await session.send('Emulation.setCPUThrottlingRate', {rate: slowdown});
    }
    await page.evaluateOnNewDocument(() => {
      window.longTasks = [];
      new PerformanceObserver((list) => {
        for (const e of list.getEntries()) window.longTasks.push({start: e.startTime, duration: e.duration});
      }).observe({type: 'longtask', buffered: true});
    });
    await page.goto(url);
    await page.waitForFunction(() => document.body.dataset.state === 'prompt', {timeout: 300000, polling: 50});
    const loaded = await page.evaluate(() => ({tasks: window.longTasks.splice(0), at: performance.now()}));
    console.log(`load to the prompt (${Math.round(loaded.at)} ms${slowdown > 1 ? `, CPU ${slowdown}x slower` : ''}):`,
        summary(loaded.tasks));

    if (traceFile) {
      await page.tracing.start({path: traceFile, categories: ['devtools.timeline', 'v8', 'v8.execute',
        'disabled-by-default-devtools.timeline', 'disabled-by-default-v8.gc', 'toplevel', 'blink', 'cc', 'gpu']});
    }
    await page.click('#overlay');
    await page.waitForFunction(() => document.body.dataset.state === 'running', {timeout: 60000});
    const begun = await page.evaluate(() => performance.now());
    await new Promise((resolve) => setTimeout(resolve, SHOW_MS));
    const shown = await page.evaluate(() => ({tasks: window.longTasks.splice(0), position: window.orvelShow.orvelPosition}));
    if (traceFile) await page.tracing.stop();
    const first = shown.tasks.filter((t) => t.start < begun + 2000);
    console.log(`a minute of the show (to ${shown.position[0]}:${shown.position[1]}):`, summary(shown.tasks),
        `; in its first 2 s: ${first.map((t) => Math.round(t.duration)).join(' ') || 'none'}`);
    if (traceFile) traceTasks(JSON.parse(fs.readFileSync(traceFile, 'utf8')).traceEvents);
    await page.keyboard.press('Escape');
    await page.close();
  } finally {
    await browser.close();
    server.kill();
  }
})().catch((e) => {
  console.error(e);
  process.exit(1);
});
