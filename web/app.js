// The page: reads PNG files, has the Worker convert them with the page's
// option set, and shows each result. Exposes window.png2zeq.convert for tests
// and scripts.
'use strict';

// The Worker runs png2zeqWorker (png2zeq-engine.js) from a Blob, which
// Chromium allows from file:// where it refuses a Worker script file.
/* global png2zeqWorker */
const worker = new Worker(URL.createObjectURL(
  new Blob(['(' + png2zeqWorker.toString() + ')();'], { type: 'text/javascript' })));
const pending = new Map();
let nextId = 1;
let markReady;
const ready = new Promise((resolve) => { markReady = resolve; });

worker.onmessage = (event) => {
  if (event.data.ready) {
    markReady();
    return;
  }
  pending.get(event.data.id)(event.data.reply);
  pending.delete(event.data.id);
};

// Has the Worker convert `png` (bytes) named `name` with `options`; resolves
// to its reply ({ code, message, zeq, zeqName } and, with `details`, info,
// compare and preview).
async function request(name, png, options, details) {
  await ready;
  const id = nextId++;
  return new Promise((resolve) => {
    pending.set(id, resolve);
    worker.postMessage({ id, name, png, options, details });
  });
}

window.png2zeq = {
  ready,
  // Converts the PNG bytes (ArrayBuffer or typed array) with { depth,
  // dither, uncompressed, best, window }; resolves to { code, zeq, message }.
  async convert(pngBytes, options = {}) {
    const bytes = new Uint8Array(pngBytes.buffer ? pngBytes.slice().buffer : pngBytes.slice(0));
    const reply = await request('image.png', bytes, options, false);
    return { code: reply.code, zeq: reply.zeq, message: reply.message };
  },
};

const $ = (id) => document.getElementById(id);
const status = $('status');
ready.then(() => {
  window.png2zeq.readyAt = performance.now();  // since the page began to load
  status.textContent = 'Ready.';
  document.body.dataset.ready = 'true';
});

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

// The C identifier png2zeq_add_images() makes of an image name.
function cIdentifier(name) {
  const id = name.replace(/\.[^.]*$/, '').replace(/[^A-Za-z0-9_]/g, '_');
  return /^[0-9]/.test(id) ? '_' + id : id;
}

// A C source with the file's bytes as an array and the constants that
// png2zeq_add_images() generates for it, with its default prefix `zeq`.
function cSource(name, zeq) {
  const view = new DataView(zeq.buffer, zeq.byteOffset, zeq.byteLength);
  const id = cIdentifier(name);
  const symbol = 'zeq_' + id;
  const macro = 'ZEQ_' + id.toUpperCase();
  const format = view.getUint32(4, true).toString(16).padStart(4, '0');
  const rows = [];
  for (let at = 0; at < zeq.length; at += 16) {
    rows.push('  ' + Array.from(zeq.subarray(at, at + 16), (b) => '0x' + b.toString(16).padStart(2, '0')).join(', ') + ',');
  }
  return `/* ${name}, converted by png2zeq. */\n#include <stdint.h>\n\n` +
    `#define ${macro}_SIZE ${zeq.length}\n#define ${macro}_WIDTH ${view.getUint32(8, true)}\n` +
    `#define ${macro}_HEIGHT ${view.getUint32(12, true)}\n#define ${macro}_FORMAT 0x${format}\n` +
    `#define ${macro}_RAW_LENGTH ${view.getUint32(16, true)}\n\n` +
    `_Alignas(4) const unsigned char ${symbol}[] = {\n${rows.join('\n')}\n};\n` +
    `const uint32_t ${symbol}_size = ${zeq.length};\n`;
}

// Points the link `anchor` at a download of `bytes` named `name`.
function offer(anchor, bytes, name, type) {
  if (anchor.href) URL.revokeObjectURL(anchor.href);
  anchor.href = URL.createObjectURL(new Blob([bytes], { type }));
  anchor.download = name;
  anchor.hidden = false;
}

// Draws RGBA samples on `canvas`.
function paint(canvas, width, height, rgba) {
  canvas.width = width;
  canvas.height = height;
  canvas.getContext('2d').putImageData(new ImageData(new Uint8ClampedArray(rgba.buffer), width, height), 0, 0);
}

const entries = [];

// Converts one entry with the current options and shows its result.
async function convertEntry(entry) {
  const view = entry.view;
  const progress = view.querySelector('.progress');
  progress.hidden = false;
  const reply = await request(entry.file.name, entry.png.slice(0), currentOptions(), true);
  progress.hidden = true;
  view.classList.toggle('failed', reply.code !== 0);
  view.querySelector('.result-code').textContent = String(reply.code);
  view.querySelector('.message').textContent = reply.message;
  const zeqLink = view.querySelector('.zeq-download');
  const cLink = view.querySelector('.c-download');
  zeqLink.hidden = cLink.hidden = !reply.zeq;
  entry.zeq = reply.zeq;
  let sizes = `PNG ${entry.png.byteLength} bytes`;
  if (reply.zeq) {
    offer(zeqLink, reply.zeq, reply.zeqName, 'application/octet-stream');
    offer(cLink, cSource(reply.zeqName, reply.zeq), reply.zeqName.replace(/\.zeq$/, '') + '.c', 'text/x-c');
    const raw = new DataView(reply.zeq.buffer).getUint32(16, true);
    sizes += `, ZEQ ${reply.zeq.length} bytes, raw pixels ${raw} bytes`;
    view.querySelector('.report').textContent = reply.info + '\n\n' + reply.compare;
    const preview = reply.preview;
    if (preview.rgba) paint(view.querySelector('.device'), preview.width, preview.height, preview.rgba);
  }
  view.querySelector('.sizes').textContent = sizes;
  applyZoom(view);
  $('download-all').disabled = !entries.some((e) => e.zeq);
}

// Scales both canvases of a result to its zoom.
function applyZoom(view) {
  const zoom = Number(view.querySelector('.zoom').value);
  for (const canvas of view.querySelectorAll('canvas')) {
    canvas.style.width = canvas.width * zoom + 'px';
    canvas.style.height = canvas.height * zoom + 'px';
  }
}

// Adds a result for `file` and converts it.
async function addFile(file) {
  const view = $('result-template').content.firstElementChild.cloneNode(true);
  view.querySelector('.name').textContent = file.name;
  const entry = { file, view, png: await file.arrayBuffer(), zeq: null };
  entries.push(entry);
  $('results').append(view);
  view.querySelector('.zoom').addEventListener('change', () => applyZoom(view));
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
  try {
    const bitmap = await createImageBitmap(new Blob([entry.png]));
    const canvas = view.querySelector('.original');
    canvas.width = bitmap.width;
    canvas.height = bitmap.height;
    canvas.getContext('2d').drawImage(bitmap, 0, 0);
  } catch (error) {
    view.querySelector('.original').hidden = true;  // the browser cannot show it either
  }
  await convertEntry(entry);
}

async function addFiles(files) {
  for (const file of files) await addFile(file);
  status.textContent = `${entries.length} file(s) converted.`;
}

$('png-input').addEventListener('change', (event) => {
  const files = Array.from(event.target.files);
  event.target.value = '';  // so that picking the same file again converts it again
  addFiles(files);
});
for (const id of ['depth', 'dither', 'uncompressed', 'best', 'window']) {
  $(id).addEventListener('change', async () => {
    for (const entry of entries) await convertEntry(entry);
  });
}
$('download-all').addEventListener('click', () => {
  for (const entry of entries) if (entry.zeq) entry.view.querySelector('.zeq-download').click();
});

const dropZone = $('drop-zone');
dropZone.addEventListener('dragover', (event) => {
  event.preventDefault();
  dropZone.classList.add('over');
});
dropZone.addEventListener('dragleave', () => dropZone.classList.remove('over'));
dropZone.addEventListener('drop', (event) => {
  event.preventDefault();
  dropZone.classList.remove('over');
  addFiles(Array.from(event.dataTransfer.files));
});
