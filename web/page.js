// The page around the show: loads the code and the data with a progress bar, waits for a
// click or a key (browsers allow sound only after one), runs the show, and offers it again
// when it ends. With ?render&fps=N it runs the offline mode at once, with no sound; with
// ?start=N the show starts at that order. While it plays, the arrow keys (or Page Up and
// Page Down) start it again at the next or the previous order.
'use strict';
(() => {
  const overlay = document.getElementById('overlay');
  const message = document.getElementById('message');
  const bar = document.getElementById('bar');
  const params = new URLSearchParams(location.search);
  const render = params.has('render') ? {fps: Math.max(1, Math.floor(Number(params.get('fps')) || 60))} : null;
  const LAST_ORDER = 29;
  const asked = Math.floor(Number(params.get('start')));
  const startOrder = Number.isFinite(asked) ? Math.min(LAST_ORDER, Math.max(0, asked)) : 0;

  let state = 'loading';
  let compiled = null;    // the show's code, compiled once for every run
  let data = null;        // the pictures and the module
  let show = null;        // the running show's module object
  let jump = null;        // the order the show starts again at once the running one has ended

  // The page's state is on its body for whoever watches it (the tests): loading, prompt,
  // running, ended or failed.
  function setState(next) {
    state = next;
    document.body.dataset.state = next;
  }

  function say(text, progress) {
    overlay.hidden = false;
    message.textContent = text;
    bar.hidden = progress === undefined;
    if (progress !== undefined) bar.firstElementChild.style.width = `${Math.round(progress * 100)}%`;
  }

  function fail(text) {
    setState('failed');
    say(text);
  }

  function prompt(text) {
    setState('prompt');
    say(text);
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

  // Both files at once, with one bar for the bytes of both.
  async function fetchAll(names) {
    const responses = await Promise.all(names.map(async (name) => {
      let response;
      try {
        response = await fetch(name);
      } catch (e) {
        throw new Error(`The file ${name} could not be loaded.`);
      }
      if (!response.ok) throw new Error(`The file ${name} could not be loaded (HTTP ${response.status}).`);
      return response;
    }));
    const total = responses.reduce((sum, r) => sum + Number(r.headers.get('Content-Length') || 0), 0);
    let received = 0;
    return Promise.all(responses.map(async (response, i) => {
      if (!response.body) return response.arrayBuffer();
      const reader = response.body.getReader();
      const parts = [];
      let length = 0;
      for (;;) {
        const {done, value} = await reader.read();
        if (done) break;
        parts.push(value);
        length += value.length;
        received += value.length;
        if (total > 0) say('Loading…', Math.min(1, received / total));
      }
      const bytes = new Uint8Array(length);
      let at = 0;
      for (const part of parts) {
        bytes.set(part, at);
        at += part.length;
      }
      if (bytes.length === 0) throw new Error(`The file ${names[i]} is empty.`);
      return bytes.buffer;
    }));
  }

  async function load() {
    if (typeof WebAssembly !== 'object') return fail('This browser cannot run WebAssembly, which the show is made of.');
    const AudioContextClass = window.AudioContext || window.webkitAudioContext;
    if (!render && !AudioContextClass) return fail('This browser has no Web Audio, which the show needs for its music.');
    say('Loading…', 0);
    try {
      await loadScript('orvel.js');
      let wasm;
      [wasm, data] = await fetchAll(['orvel.wasm', 'orvel.data']);
      compiled = await WebAssembly.compile(wasm).catch(() => {
        throw new Error('This browser could not compile the show\'s code.');
      });
    } catch (e) {
      return fail(e.message);
    }
    if (render) start();
    else prompt('Click, or press Enter or Space, to start.');
  }

  // A jump starts the next show on the sound of the one before.
  function start(order = startOrder, context = null) {
    if (!context && state !== 'prompt' && !(render && state === 'loading')) return;
    setState('running');
    if (!render) {
      if (!context) {
        const AudioContextClass = window.AudioContext || window.webkitAudioContext;
        try {
          context = new AudioContextClass({sampleRate: 44100});
        } catch (e) {
          context = new AudioContextClass();  // the device's own rate; Web Audio resamples
        }
        context.resume().then(() => (document.body.dataset.audio = context.state));
      }
      overlay.hidden = true;
    } else {
      say(`Rendering offline at ${render.fps} frames per second…`);
    }
    const settings = {
      orvelAudioContext: context,
      orvelRender: render,
      orvelStart: order,
      orvelEscape: false,
      instantiateWasm(imports, done) {
        WebAssembly.instantiate(compiled, imports).then((instance) => done(instance));
        return {};
      },
      getPreloadedPackage() {
        return data.slice(0);
      },
      onExit(status) {
        ended(status, context);
      },
    };
    show = settings;
    window.orvelShow = settings;  // for whoever watches the page: its tests
    createOrvel(settings).catch((e) => {
      if (context) context.close();
      fail(`The show stopped: ${e && e.message ? e.message : e}`);
    });
  }

  function ended(status, context) {
    show = null;
    const next = jump;
    jump = null;
    if (next !== null && status === 0) return start(next, context);
    // The music stops with the show.
    if (context) context.close().then(() => (document.body.dataset.audio = context.state));
    if (render) {
      if (status === 0) {
        setState('ended');
        say(`Rendered offline at ${render.fps} frames per second.`);
      }
      else fail(`The offline run failed (exit status ${status}).`);
      return;
    }
    if (document.fullscreenElement) document.exitFullscreen();
    if (status === 0) prompt('The end. Click, or press Enter or Space, to play again.');
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
