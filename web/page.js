// The page around the show: loads the code and the data with a progress bar, waits for a
// click, a tap or a key (browsers allow sound only after one), runs the show, and offers it
// again when it ends. With ?render&fps=N it runs the offline mode at once, with no sound; with
// ?start=N the show starts at that order. While it plays, the arrow keys (or Page Up and
// Page Down) start it again at the next or the previous order.
'use strict';
(() => {
  const overlay = document.getElementById('overlay');
  const message = document.getElementById('message');
  const bar = document.getElementById('bar');
  const note = document.getElementById('note');
  const params = new URLSearchParams(location.search);
  const render = params.has('render') ? {fps: Math.max(1, Math.floor(Number(params.get('fps')) || 60))} : null;
  // A touch screen as the main pointer: the viewer taps, and may have no keys.
  const action = matchMedia('(pointer: coarse)').matches ? 'Tap' : 'Click, or press Enter or Space,';
  // How long the show waits for its sound to come up before it starts without; the sound
  // joins in if it comes later.
  const SOUND_WAIT_MS = 3000;
  const NOTE_MS = 10000;
  const LAST_ORDER = 29;
  const asked = Math.floor(Number(params.get('start')));
  const startOrder = Number.isFinite(asked) ? Math.min(LAST_ORDER, Math.max(0, asked)) : 0;

  let state = '';
  let compiled = null;    // the show's code, compiled once for every run
  let data = null;        // the pictures and the module
  let show = null;        // the running show's module object
  let noteTimer = 0;
  let jump = null;        // the order the show starts again at once the running one has ended

  // The page's state is on its body for whoever watches it (the tests): loading, prompt,
  // starting, running, ended or failed.
  function setState(next) {
    state = next;
    document.body.dataset.state = next;
  }

  function say(text, progress) {
    overlay.hidden = false;
    message.textContent = text;
    bar.hidden = progress === undefined;
    if (progress !== undefined) bar.firstElementChild.style.width = `${Math.floor(progress * 100)}%`;
  }

  function fail(text) {
    setState('failed');
    say(text);
  }

  function prompt(text) {
    setState('prompt');
    say(text);
  }

  // A line over the running show, for a while.
  function tell(text) {
    clearTimeout(noteTimer);
    note.textContent = text;
    note.hidden = !text;
    if (text) noteTimer = setTimeout(() => (note.hidden = true), NOTE_MS);
  }

  function loadScript(src) {
    return new Promise((resolve, reject) => {
      const script = document.createElement('script');
      script.src = src;
      script.onload = resolve;
      script.onerror = () => reject(new Error(`The file ${src} could not be loaded.`));
      document.head.appendChild(script);
    });
  }

  // The files' sizes as the build wrote them into the page. A host may send a file
  // compressed, and then its Content-Length is not the number of bytes that arrive.
  function builtSizes() {
    const sizes = new Map();
    const words = (bar.dataset.bytes || '').trim().split(/\s+/);
    for (let i = 0; i + 1 < words.length; i += 2) {
      const size = Number(words[i + 1]);
      if (size > 0) sizes.set(words[i], size);
    }
    return sizes;
  }

  // Both files at once, with one bar for the bytes of both. The first failure is the one
  // told; the caller then stops the other transfer.
  async function fetchAll(names, signal) {
    const built = builtSizes();
    const expected = names.map((name) => built.get(name) || 0);
    const received = names.map(() => 0);
    const progress = () => {
      if (signal.aborted || state !== 'loading' || !expected.every((n) => n > 0)) return;
      const total = expected.reduce((sum, n) => sum + n, 0);
      // Never full before the last byte is in, whatever the sizes said.
      say('Loading…', Math.min(0.99, received.reduce((sum, n) => sum + n, 0) / total));
    };

    async function one(name, i) {
      let response;
      try {
        response = await fetch(name, {signal});
      } catch (e) {
        throw new Error(location.protocol === 'file:' ?
          'The page must be opened from a web server, not as a file, for the browser to let it load the show.' :
          `The file ${name} could not be loaded.`);
      }
      if (!response.ok) throw new Error(`The file ${name} could not be loaded (HTTP ${response.status}).`);
      if (!expected[i] && !response.headers.get('Content-Encoding')) {
        expected[i] = Number(response.headers.get('Content-Length')) || 0;
      }
      const parts = [];
      const reader = response.body.getReader();
      for (;;) {
        let chunk;
        try {
          chunk = await reader.read();
        } catch (e) {
          throw new Error(`The transfer of ${name} broke off before its end.`);
        }
        if (chunk.done) break;
        parts.push(chunk.value);
        received[i] += chunk.value.length;
        progress();
      }
      const bytes = new Uint8Array(received[i]);
      let at = 0;
      for (const part of parts) {
        bytes.set(part, at);
        at += part.length;
      }
      if (bytes.length === 0) throw new Error(`The file ${name} is empty.`);
      if (built.has(name) && bytes.length !== built.get(name)) {
        throw new Error(`The file ${name} is damaged: it is not the size the page was built with.`);
      }
      return bytes.buffer;
    }

    return Promise.all(names.map(one));
  }

  async function load() {
    setState('loading');
    if (typeof WebAssembly !== 'object') return fail('This browser cannot run WebAssembly, which the show is made of.');
    say('Loading…', 0);
    const abort = new AbortController();
    try {
      let wasm;
      const files = fetchAll(['orvel.wasm', 'orvel.data'], abort.signal);
      [, [wasm, data]] = await Promise.all([loadScript('orvel.js'), files]);
      say('Loading…', 1);
      compiled = await WebAssembly.compile(wasm).catch(() => {
        throw new Error('This browser could not compile the show\'s code.');
      });
    } catch (e) {
      abort.abort();
      return fail(e.message);
    }
    if (render) start();
    else prompt(`${action} to start.`);
  }

  // The sound's context is made inside the click or key that starts the show, and the
  // show starts once it runs, or without sound when it does not come up in time.
  function start() {
    if (render) {
      if (state !== 'loading') return;
      say(`Rendering offline at ${render.fps} frames per second…`);
      return run(null, startOrder);
    }
    if (state !== 'prompt') return;
    setState('starting');
    say('Starting…');
    const AudioContextClass = window.AudioContext || window.webkitAudioContext;
    let context = null;
    if (AudioContextClass) {
      try {
        context = new AudioContextClass({sampleRate: 44100});
      } catch (e) {
        try {
          context = new AudioContextClass();  // the device's own rate; Web Audio resamples
        } catch (e2) {
          context = null;
        }
      }
    }
    if (!context) return run(null, startOrder);
    // The show's start-up is long work: a task of its own, apart from the click's.
    let begun = false;
    const begin = () => {
      if (begun) return;
      begun = true;
      setTimeout(run, 0, context, startOrder);
    };
    context.resume().then(begin, begin);
    setTimeout(begin, SOUND_WAIT_MS);
  }

  // A jump runs the next show on the sound of the one before.
  function run(context, order) {
    setState('running');
    if (!render) overlay.hidden = true;
    const settings = {
      orvelAudioContext: context,
      orvelRender: render,
      orvelStart: order,
      orvelEscape: false,
      orvelSoundChanged(sounding) {
        document.body.dataset.audio = sounding ? 'running' : 'silent';
        tell(sounding ? '' : 'The browser gives the page no sound, so the show plays silently.');
      },
      // The program then runs in a task of its own, apart from the instantiation's.
      instantiateWasm(imports, done) {
        WebAssembly.instantiate(compiled, imports).then((instance) => setTimeout(done, 0, instance));
        return {};
      },
      getPreloadedPackage() {
        return data.slice(0);
      },
      onExit(status) {
        ended(status, context);
      },
    };
    if (!render && !context) {
      document.body.dataset.audio = 'silent';
      tell('This browser has no Web Audio, so the show plays silently.');
    }
    show = settings;
    window.orvelShow = settings;  // for whoever watches the page: its tests
    createOrvel(settings).catch((e) => {
      if (context) context.close();
      tell('');
      fail(`The show stopped: ${e && e.message ? e.message : e}`);
    });
  }

  function ended(status, context) {
    show = null;
    const next = jump;
    jump = null;
    if (next !== null && status === 0 && !render) return run(context, next);
    tell('');
    // The music stops with the show.
    if (context) context.close().then(() => (document.body.dataset.audio = context.state));
    else if (!render) document.body.dataset.audio = 'closed';
    if (render) {
      if (status === 0) {
        setState('ended');
        say(`Rendered offline at ${render.fps} frames per second.`);
      } else {
        fail(`The offline run failed (exit status ${status}).`);
      }
      return;
    }
    if (document.fullscreenElement) document.exitFullscreen();
    if (status === 0) prompt(`The end. ${action} to play again.`);
    else fail('The show could not start: its music or its picture could not be opened.');
  }

  function toggleFullscreen() {
    if (document.fullscreenElement) document.exitFullscreen();
    else if (document.documentElement.requestFullscreen) document.documentElement.requestFullscreen().catch(() => {});
  }

  const step = {ArrowRight: 1, PageDown: 1, ArrowLeft: -1, PageUp: -1};
  document.addEventListener('keydown', (event) => {
    if (state === 'prompt' && (event.key === 'Enter' || event.key === ' ')) {
      event.preventDefault();
      start();
    } else if (state === 'running' && event.key === 'Escape' && show) {
      jump = null;
      show.orvelEscape = true;
    } else if (state === 'running' && !render && show && jump === null && step[event.key]) {
      // The order being shown, one on or one back; the show ends as on Escape and starts
      // again there.
      event.preventDefault();
      const at = show.orvelPosition ? show.orvelPosition[0] : show.orvelStart;
      const target = Math.min(LAST_ORDER, Math.max(0, at + step[event.key]));
      if (target !== at) {
        jump = target;
        show.orvelEscape = true;
      }
    } else if (event.key === 'f' || event.key === 'F') {
      toggleFullscreen();
    }
  });
  overlay.addEventListener('click', () => start());
  // Escape ends the show with exit(0) from inside its frame loop, which emscripten carries
  // out by throwing from the frame's callback; that is the end, not an error.
  window.addEventListener('unhandledrejection', (event) => {
    if (event.reason && event.reason.name === 'ExitStatus') event.preventDefault();
  });
  document.addEventListener('dblclick', () => toggleFullscreen());

  load();
})();
