// The page: reads PNG files, has the Worker convert them with the page's
// option set, and shows each result as the device will show it. Exposes
// window.png2zeq.convert for tests and scripts.
'use strict';

// The Worker runs png2zeqWorker (png2zeq-engine.js) from a Blob, which
// Chromium allows from file:// where it refuses a Worker script file.
/* global png2zeqWorker, fflate */
const worker = new Worker(URL.createObjectURL(
  new Blob(['(' + png2zeqWorker.toString() + ')();'], { type: 'text/javascript' })));
const handlers = new Map();  // request id → function(stage, reply)
let nextId = 1;
let markReady;
const ready = new Promise((resolve) => { markReady = resolve; });

worker.onmessage = (event) => {
  if (event.data.ready) {
    markReady(event.data);
    return;
  }
  const handler = handlers.get(event.data.id);
  if (handler) handler(event.data.stage, event.data.reply);
};

// Sends `request` to the Worker under a new id once the engine is ready,
// with `key` naming what a newer request replaces; `handler` receives each
// stage's reply. Returns the id.
function send(key, request, handler) {
  const id = nextId++;
  handlers.set(id, handler);
  // A PNG (always a copy of the caller's) moves to the Worker rather than being copied again.
  ready.then(() => worker.postMessage({ ...request, id, key }, request.png ? [request.png.buffer || request.png] : []));
  return id;
}

window.png2zeq = {
  ready,
  // Converts the PNG bytes (ArrayBuffer or typed array) with { depth,
  // dither, uncompressed, best, window }; resolves to { code, zeq, message }.
  async convert(pngBytes, options = {}) {
    await ready;
    const png = new Uint8Array(pngBytes.buffer ? pngBytes.slice().buffer : pngBytes.slice(0));
    return new Promise((resolve) => {
      const id = send('api' + nextId, { type: 'convert', name: 'image.png', png, options }, (stage, reply) => {
        handlers.delete(id);
        resolve({ code: reply.code, zeq: reply.zeq, message: reply.message });
      });
    });
  },
};

const $ = (id) => document.getElementById(id);
const status = $('status');
const announcer = $('announcer');
let limit;  // the largest PNG the converter takes, as the engine says
ready.then((engine) => {
  limit = { width: engine.maxWidth, height: engine.maxHeight };
  $('limit').textContent = `${limit.width} × ${limit.height}`;
  window.png2zeq.readyAt = performance.now();  // since the page began to load
  status.textContent = 'Ready.';
  document.body.dataset.ready = 'true';
});

// One sentence per result code of the converter, beside its own line.
const CODE_SENTENCES = {
  1: 'The converter did not accept these options.',
  2: 'The converter was given too few arguments.',
  3: 'The file could not be found.',
  4: 'The file could not be opened.',
  5: 'This file is not a PNG the converter can read: it is damaged, cut short or not a PNG.',
  6: 'This PNG has no pixels: its width or height is 0.',
  7: 'This PNG has a colour type that the converter does not know.',
  8: 'The page ran out of memory; close other tabs or try a smaller image.',
  9: 'The converter has no pixel format for this image with these options.',
  10: 'Compressing the pixels failed.',
  11: 'The ZEQ file could not be written.',
  12: 'The converter failed without naming a reason.',
  13: 'The ZEQ file could not be created.',
  14: 'The dither method is not one the converter knows.',
};

// The width and height in the IHDR chunk of the PNG `png`, or null.
function pngSize(png) {
  const view = new DataView(png);
  if (png.byteLength < 24 || view.getUint32(12) !== 0x49484452) return null;  // "IHDR"
  return { width: view.getUint32(16), height: view.getUint32(20) };
}

// The sentence explaining result `code` for the PNG `png`.
function explain(code, png) {
  const size = pngSize(png);
  if (code === 5 && size && (size.width > limit.width || size.height > limit.height)) {
    return `This PNG is ${size.width} × ${size.height}; the converter takes at most ${limit.width} × ${limit.height}.`;
  }
  return CODE_SENTENCES[code] || `The converter ended with result code ${code}.`;
}

// The option set the controls show.
function currentOptions() {
  return {
    depth: $('depth').checked ? 565 : 0,
    dither: $('dither').checked,
    uncompressed: $('uncompressed').checked,
    best: $('best').checked,
    window: $('window').value ? Number($('window').value) : 0,
  };
}

// The device's view the controls choose: the layout's name and the background as 0xRRGGBB.
function currentView() {
  return { layout: $('layout').value, background: parseInt($('background').value.slice(1), 16) };
}

// Points the link `anchor` at a download of `data` (a Blob, or bytes that
// become one) named `name`, with the file's name in its text.
function offer(anchor, data, name, type) {
  if (anchor.href) URL.revokeObjectURL(anchor.href);
  anchor.href = URL.createObjectURL(data instanceof Blob ? data : new Blob([data], { type }));
  anchor.download = name;
  anchor.textContent = 'Download ' + name;
  anchor.hidden = false;
}

// Draws RGBA samples (`picture.rgba`, a view that may start a larger
// block) on `canvas` and shows it.
function paint(canvas, picture) {
  canvas.width = picture.width;
  canvas.height = picture.height;
  const { buffer, byteOffset, byteLength } = picture.rgba;
  const pixels = new ImageData(new Uint8ClampedArray(buffer, byteOffset, byteLength), picture.width, picture.height);
  canvas.getContext('2d').putImageData(pixels, 0, 0);
  canvas.hidden = false;
}

const entries = [];
let nextEntry = 1;
const key = (options) => JSON.stringify(options);
const baseName = (name) => name.replace(/\.[^.]*$/, '');
const ratio = (zeq, header) => (header.raw_length / zeq.length).toFixed(1);

// Shows the device's view of `entry`'s result, `device` (decoded for the
// controls' view `device.view`): its pixels (unless `painted`) and, once the
// Worker has sent them, its bytes. A view the controls no longer choose is
// left alone, as the one they choose is on its way (previewEntry).
function showDevice(entry, device, painted = false) {
  const view = entry.view;
  const { layout } = currentView();
  if (!device.rgba || device.view !== JSON.stringify(currentView())) return;
  if (!painted) paint(view.querySelector('.device-canvas'), device);
  const name = baseName(entry.file.name);
  if (device.panel) offer(view.querySelector('.panel-download'), device.panel, `${name}.${layout}.bin`);
  const layoutName = $('layout').selectedOptions[0].textContent;
  view.querySelector('.device-caption').textContent = `Device: decoded by the loader · ${layoutName}`;
  view.querySelector('.device-canvas').setAttribute('aria-label', `${entry.file.name} as the device shows it, ${layoutName}`);
}

// Shows `entry`'s result `result` (a reply of the Worker's 'result' stage):
// the device's view at once; the rest now when it has its downloads (a
// failure has none), else when they come (showWhole).
function showResult(entry, result) {
  const painted = result.code === 0 && result.device && result.device.rgba;
  if (painted) {
    paint(entry.view.querySelector('.device-canvas'), result.device);
    applyZoom(entry.view);
  }
  if (!result.zeq || result.zeqBlob) showWhole(entry, result, painted);
}

// Shows all of `result` but -info and -compare, unless they are in it.
function showWhole(entry, result, painted) {
  const view = entry.view;
  const failed = result.code !== 0 || !result.zeq;
  view.querySelector('.progress').hidden = true;
  view.classList.toggle('failed', failed);
  view.querySelector('.code-label').textContent = failed ? 'Failed: result code' : 'Converted: result code';
  view.querySelector('.result-code').textContent = String(result.code);
  view.querySelector('.message').textContent = result.message;
  const explanation = view.querySelector('.explanation');
  explanation.hidden = !failed;
  explanation.textContent = failed ? explain(result.code, entry.png) : '';
  for (const part of view.querySelectorAll('.toolbar, .views, .report-box, canvas, .toolbar a')) part.hidden = failed;
  const panelLink = view.querySelector('.panel-download');
  panelLink.hidden = failed || !panelLink.getAttribute('href');  // offered by showDevice
  const size = pngSize(entry.png);
  let facts = size ? `${size.width} × ${size.height} · PNG ${entry.png.byteLength} bytes` : `PNG ${entry.png.byteLength} bytes`;
  if (!failed) {
    const header = result.header;
    const name = baseName(entry.file.name);
    offer(view.querySelector('.zeq-download'), result.zeqBlob, result.zeqName);
    if (result.cHeader) offer(view.querySelector('.c-download'), result.cHeader, name + '.h');
    else view.querySelector('.c-download').hidden = true;
    facts += ` · ZEQ ${header.format_name} ${result.zeq.length} bytes` +
      ` · raw pixels ${header.raw_length} bytes · ${ratio(result.zeq, header)} : 1`;
    if (result.device) showDevice(entry, result.device, painted);
    if (entry.original) paint(view.querySelector('.original-canvas'), entry.original);
    else view.querySelector('.original-canvas').hidden = true;
  }
  view.querySelector('.facts').textContent = facts;
  view.querySelector('.report').textContent = result.info ? result.info + '\n\n' + result.compare : 'Reading…';
  showNotes(entry, result);
  applyZoom(view);
  refreshActions();
}

// Lists the notes zeq2png -compare printed about chunks the converter ignores.
function showNotes(entry, result) {
  const list = entry.view.querySelector('.notes');
  list.replaceChildren(...(result.compare || '').split('\n').filter((line) => line.startsWith('Note: '))
    .map((line) => Object.assign(document.createElement('li'), { textContent: line.slice(6) })));
}

// Converts `entry` with the current options, or shows the result it
// already has for them; a newer call for the entry supersedes this one.
function convertEntry(entry) {
  if (!entry.png) return Promise.resolve(null);  // addFile converts it once its bytes are read
  const options = currentOptions();
  entry.options = options;
  const cached = entry.results.get(key(options));
  const view = entry.view;
  // A result whose later stages a newer request dropped converts again.
  if (cached && (!cached.zeq || (cached.zeqBlob && cached.info !== undefined))) {
    entry.result = cached;
    entry.requestId = 0;  // what an older request still sends is dropped
    showResult(entry, cached);
    if (cached.zeq) previewEntry(entry);
    return Promise.resolve(cached);
  }
  view.querySelector('.progress').hidden = false;
  view.querySelector('.code-label').textContent = 'Converting';
  view.querySelector('.result-code').textContent = '';
  for (const link of view.querySelectorAll('.toolbar a')) link.hidden = true;
  return new Promise((resolve) => {
    const deviceView = currentView();
    const request = { type: 'convert', name: entry.file.name, png: entry.png.slice(0), options,
      preview: true, ...deviceView };
    const id = send(entry.id, request, (stage, reply) => {
      if (entry.requestId !== id) return handlers.delete(id);
      if (stage === 'result') {
        if (reply.device) reply.device.view = JSON.stringify(deviceView);
        entry.result = reply;
        entry.results.set(key(options), reply);
        showResult(entry, reply);
        announce(entry, reply);
        // The layout or background changed while it converted.
        if (JSON.stringify(currentView()) !== JSON.stringify(deviceView)) previewEntry(entry);
        resolve(reply);
        if (!reply.zeq) handlers.delete(id);
      } else if (stage === 'downloads') {
        const result = Object.assign(entry.result, { zeqBlob: reply.zeq });
        result.device.panel = reply.panel;
        // After the frame that shows the preview, which this would only delay.
        requestAnimationFrame(() => setTimeout(() => entry.result === result && showWhole(entry, result, true)));
      } else if (stage === 'original') {
        entry.original = reply.original;
        if (reply.original) paint(view.querySelector('.original-canvas'), reply.original);
        applyZoom(view);
      } else {
        Object.assign(entry.result, reply);
        offer(view.querySelector('.c-download'), reply.cHeader, baseName(entry.file.name) + '.h');
        view.querySelector('.report').textContent = reply.info + '\n\n' + reply.compare;
        showNotes(entry, entry.result);
        handlers.delete(id);
      }
    });
    entry.requestId = id;
    setTimeout(() => prepareCanvas(view.querySelector('.device-canvas'), pngSize(entry.png)));
  });
}

// Gives a hidden canvas the PNG's `size` and draws it once, while the Worker
// converts: the browser then allocates and first writes its pixels now, not
// between the result and the screen (10 ms for a photograph). A canvas on
// show keeps its picture.
function prepareCanvas(canvas, size) {
  const fits = limit && size && size.width >= 1 && size.height >= 1 && size.width <= limit.width
    && size.height <= limit.height;
  if (!canvas.hidden || !fits) return;
  canvas.width = size.width;
  canvas.height = size.height;
  canvas.getContext('2d').putImageData(new ImageData(size.width, size.height), 0, 0);
}

// Decodes `entry`'s ZEQ file again in the chosen layout and background.
function previewEntry(entry) {
  const result = entry.result;
  if (!result || !result.zeq) return;
  const deviceView = currentView();
  const id = send(entry.id + '/preview', { type: 'preview', zeq: result.zeq.slice(), ...deviceView },
    (stage, reply) => {
      handlers.delete(id);
      reply.device.view = JSON.stringify(deviceView);
      if (entry.previewId === id && entry.result === result) showDevice(entry, reply.device);
    });
  entry.previewId = id;
}

// Says in the live region, in one line, how `entry` ended.
function announce(entry, result) {
  announcer.textContent = result.code === 0
    ? `${entry.file.name}: converted, ${result.zeq.length} bytes.`
    : `${entry.file.name}: failed with result code ${result.code}. ${explain(result.code, entry.png)}`;
}

// The status line for the whole list.
function refreshActions() {
  const done = entries.filter((e) => e.result);
  const failed = done.filter((e) => e.result.code !== 0).length;
  $('download-all').disabled = !entries.some((e) => e.result && e.result.zeq);
  $('clear-all').disabled = entries.length === 0;
  if (entries.length === 0) status.textContent = 'Ready.';
  else if (done.length < entries.length) status.textContent = `Converting ${entries.length - done.length} of ${entries.length} files…`;
  else status.textContent = `${done.length - failed} of ${done.length} ${done.length === 1 ? 'file' : 'files'} converted` +
    (failed ? `, ${failed} failed.` : '.');
}

// Scales both canvases of a result to its zoom ("fit": to the pane).
function applyZoom(view) {
  const zoom = view.querySelector('.zoom').value;
  view.classList.toggle('fit', zoom === 'fit');
  for (const canvas of view.querySelectorAll('canvas')) {
    canvas.style.width = zoom === 'fit' ? '' : canvas.width * Number(zoom) + 'px';
    canvas.style.height = zoom === 'fit' ? '' : canvas.height * Number(zoom) + 'px';
  }
}

// Takes `entry` off the page.
function removeEntry(entry) {
  entries.splice(entries.indexOf(entry), 1);
  entry.requestId = entry.previewId = 0;  // replies still on their way are dropped
  for (const key of [entry.id, entry.id + '/preview']) send(key, { type: 'cancel' }, () => {});
  for (const link of entry.view.querySelectorAll('a[href]')) URL.revokeObjectURL(link.href);
  entry.view.remove();
  refreshActions();
}

// Adds a result for `file` and converts it.
async function addFile(file) {
  const bytes = file.arrayBuffer();  // read while the view is built
  const view = $('result-template').content.firstElementChild.cloneNode(true);
  const name = file.name;
  view.querySelector('.name').textContent = name;
  view.querySelector('.remove').setAttribute('aria-label', `Remove ${name}`);
  view.querySelector('progress').setAttribute('aria-label', `Converting ${name}`);
  view.querySelector('.zoom').setAttribute('aria-label', `Zoom of ${name}`);
  view.querySelector('.original-canvas').setAttribute('aria-label', `${name}: the samples the converter reads`);
  // In the page in the order chosen, before its bytes are read.
  const entry = { id: 'file' + nextEntry++, file, view, png: null, results: new Map() };
  entries.push(entry);
  $('results').append(view);
  view.querySelector('.zoom').addEventListener('change', () => applyZoom(view));
  view.querySelector('.remove').addEventListener('click', () => removeEntry(entry));
  // Both panes pan together.
  const panes = view.querySelectorAll('.pane');
  for (const pane of panes) {
    pane.addEventListener('scroll', () => {
      for (const other of panes) {
        if (other !== pane) {
          other.scrollLeft = pane.scrollLeft;
          other.scrollTop = pane.scrollTop;
        }
      }
    });
  }
  refreshActions();
  entry.png = await bytes;
  return entries.includes(entry) ? convertEntry(entry) : null;
}

function addFiles(files) {
  return Promise.all(files.map(addFile));
}

$('png-input').addEventListener('change', (event) => {
  const files = Array.from(event.target.files);
  event.target.value = '';  // so that picking the same file again converts it again
  addFiles(files);
});

// Option changes settle for a moment (arrow keys through -window) before
// anything converts again; each file then converts only for a new option set.
let settle = 0;
for (const id of ['depth', 'dither', 'uncompressed', 'best', 'window']) {
  $(id).addEventListener('change', () => {
    clearTimeout(settle);
    settle = setTimeout(() => entries.forEach(convertEntry), 250);
  });
}
for (const id of ['layout', 'background']) {
  $(id).addEventListener('change', () => {
    document.documentElement.style.setProperty('--background', $('background').value);
    entries.forEach(previewEntry);
  });
}

// One zip of every converted file with a README of their options.
$('download-all').addEventListener('click', () => {
  const files = {};
  const lines = ['Converted by png2zeq in the browser. Each file and the command that makes it:', ''];
  for (const entry of entries) {
    if (!entry.result || !entry.result.zeq) continue;
    files[entry.result.zeqName] = entry.result.zeq;
    lines.push(`${entry.result.zeqName}: png2zeq ${entry.result.command.concat(entry.file.name).join(' ')}`);
  }
  files['README.txt'] = fflate.strToU8(lines.join('\n') + '\n');
  const link = document.createElement('a');
  offer(link, fflate.zipSync(files, { level: 0 }), 'png2zeq-files.zip', 'application/zip');
  link.click();
});
$('clear-all').addEventListener('click', () => [...entries].forEach(removeEntry));

// A file dropped anywhere on the page is taken; the browser never opens it
// in the page's place.
document.addEventListener('dragover', (event) => {
  event.preventDefault();
  document.body.classList.add('over');
});
document.addEventListener('dragleave', (event) => {
  if (!event.relatedTarget) document.body.classList.remove('over');
});
document.addEventListener('drop', (event) => {
  event.preventDefault();
  document.body.classList.remove('over');
  const files = Array.from(event.dataTransfer ? event.dataTransfer.files : []);
  if (files.length) addFiles(files);
});
