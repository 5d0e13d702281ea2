// The page: files chosen or dropped anywhere are queued and converted one at
// a time by the worker; each becomes a preview and a PNG link, or an alert
// naming the file and what is wrong with it. While busy, a line says which
// file is converting, how far it has come and what waits; the current file
// can be cancelled and the list cleared. document.body.dataset.state is
// "busy" while files are waiting or converting, "idle" otherwise.
'use strict';

const list = document.getElementById('results');
const picker = document.getElementById('files');
const downloadAll = document.getElementById('download-all');
const clearButton = document.getElementById('clear');
const now = document.getElementById('now');
const nowText = document.getElementById('now-text');
const nowBar = document.getElementById('now-progress');
const summary = document.getElementById('summary');
const queue = [];
const converted = [];
const pending = new Map();
const counts = { converted: 0, failed: 0, cancelled: 0 };
let worker = null;
let nextId = 1;
let working = false;
let current = null;  // { id, name, view } while a file converts

function setState(state) {
  if (document.body.dataset.state !== state) document.body.dataset.state = state;
}

// NAME.mca (any case) gives NAME.png; any other name gets .png added.
function pngName(name) { return /\.mca$/i.test(name) ? name.slice(0, -4) + '.png' : name + '.png'; }

function startWorker() {
  const wasm = Uint8Array.from(atob(document.getElementById('module').textContent.trim()), (c) => c.charCodeAt(0));
  const source = document.getElementById('worker-source').textContent;
  worker = new Worker(URL.createObjectURL(new Blob([source], { type: 'text/javascript' })));
  worker.onmessage = (event) => {
    if (event.data.progress) {
      if (current && current.id === event.data.id) showProgress(event.data.progress);
      return;
    }
    const done = pending.get(event.data.id);
    pending.delete(event.data.id);
    if (done) done(event.data);
  };
  worker.postMessage({ type: 'init', wasm: wasm.buffer }, [wasm.buffer]);
}

function convertInWorker(id, bytes) {
  return new Promise((resolve) => {
    pending.set(id, resolve);
    worker.postMessage({ type: 'convert', id, bytes }, [bytes]);
  });
}

// The worker is stopped where it is (a decode cannot be interrupted from
// outside) and a fresh one takes its place.
function cancelCurrent() {
  if (!current) return;
  worker.terminate();
  for (const resolve of pending.values()) resolve({ ok: false, cancelled: true });
  pending.clear();
  startWorker();
}

// Sizes as file managers give them.
function formatSize(bytes) {
  if (bytes < 1000) return `${bytes} bytes`;
  const units = ['KB', 'MB', 'GB'];
  let value = bytes / 1000, unit = 0;
  while (value >= 1000 && unit < units.length - 1) {
    value /= 1000;
    unit++;
  }
  return `${value < 10 ? value.toFixed(1) : Math.round(value)} ${units[unit]}`;
}

function waitingWords() {
  if (!queue.length) return '';
  const names = queue.slice(0, 3).map((q) => q.file.name).join(', ');
  return ` · ${queue.length} waiting: ${names}${queue.length > 3 ? `, and ${queue.length - 3} more` : ''}`;
}

function showProgress(progress) {
  if (!current) return;
  // Rows are compressed as they are decoded: the rows done are the whole story.
  const step = `decoding, row ${progress.done} of ${progress.total}`;
  nowBar.value = progress.total ? progress.done / progress.total : 0;
  nowText.textContent = `Converting ${current.name}: ${step}${waitingWords()}`;
  current.view.note.textContent = `Converting… ${step}`;
}

function showSummary() {
  const parts = [`${counts.converted} converted`, `${counts.failed} failed`];
  if (counts.cancelled) parts.push(`${counts.cancelled} cancelled`);
  summary.textContent = counts.converted + counts.failed + counts.cancelled ? parts.join(', ') : '';
}

function addItem(file) {
  const item = document.createElement('li');
  item.className = 'item';
  const title = document.createElement('h2');
  title.textContent = file.name;
  const note = document.createElement('p');
  note.className = 'note';
  note.textContent = 'Waiting…';
  item.append(title, note);
  list.append(item);
  return { item, note };
}

function showFailure(view, name, words) {
  view.note.remove();
  const alert = document.createElement('p');
  alert.setAttribute('role', 'alert');
  alert.className = 'failure';
  alert.textContent = `${name} cannot be converted: ${words}.`;
  view.item.append(alert);
}

function showPicture(view, name, result) {
  view.note.remove();
  const canvas = document.createElement('canvas');
  canvas.width = result.preview.width;
  canvas.height = result.preview.height;
  canvas.setAttribute('role', 'img');
  canvas.setAttribute('aria-label', `Preview of ${name}`);
  canvas.getContext('2d').putImageData(
      new ImageData(result.preview.rgba, result.preview.width, result.preview.height), 0, 0);
  // A preview fits the window's height; a click shows it at full size.
  canvas.title = 'Click for full size';
  canvas.addEventListener('click', () => canvas.classList.toggle('full'));
  const link = document.createElement('a');
  link.href = URL.createObjectURL(result.png);
  link.download = pngName(name);
  link.dataset.width = String(result.width);
  link.dataset.height = String(result.height);
  link.textContent = `Download ${link.download} (${result.width} × ${result.height}, ${formatSize(result.png.size)})`;
  view.item.append(canvas, link);
  if (result.preview.width !== result.width || result.preview.height !== result.height) {
    const status = document.createElement('p');
    status.setAttribute('role', 'status');
    status.textContent = `The preview is scaled down to ${result.preview.width} × ${
        result.preview.height}; the PNG has every pixel.`;
    view.item.append(status);
  }
  converted.push({ name: link.download, blob: result.png, crc: result.crc });
  downloadAll.hidden = converted.length < 2;
}

async function work() {
  if (working) return;
  working = true;
  setState('busy');
  now.hidden = false;
  while (queue.length) {
    const { file, view } = queue.shift();
    current = { id: nextId++, name: file.name, view };
    view.note.textContent = 'Converting…';
    nowBar.value = 0;
    nowText.textContent = `Converting ${file.name}${waitingWords()}`;
    let result;
    try {
      result = await convertInWorker(current.id, await file.arrayBuffer());
    } catch (error) {
      result = { ok: false, error: `it could not be read (${error.message})` };
    }
    current = null;
    if (!view.item.isConnected) continue;  // the list was cleared meanwhile
    if (result.cancelled) {
      view.note.textContent = 'Cancelled.';
      view.note.classList.add('cancelled');
      counts.cancelled++;
    } else if (result.ok) {
      showPicture(view, file.name, result);
      counts.converted++;
    } else {
      showFailure(view, file.name, result.error);
      counts.failed++;
    }
  }
  working = false;
  now.hidden = true;
  showSummary();
  setState('idle');
}

function take(files) {
  for (const file of files) queue.push({ file, view: addItem(file) });
  if (queue.length) {
    setState('busy');
    work();
  }
}

// Names inside one ZIP must differ: the second "a.png" becomes "a (2).png".
function uniqueNames(entries) {
  const seen = new Map();
  return entries.map((e) => {
    const count = (seen.get(e.name) || 0) + 1;
    seen.set(e.name, count);
    return count === 1 ? e : { ...e, name: e.name.replace(/\.png$/, ` (${count}).png`) };
  });
}

downloadAll.addEventListener('click', () => {
  const total = converted.reduce((n, e) => n + e.blob.size, 0);
  if (total >= 0xffffffff - 65536 * 100) {
    const status = document.getElementById('zip-status');
    status.textContent = 'These PNGs are too large together for one ZIP; download them one by one.';
    return;
  }
  const link = document.createElement('a');
  link.href = URL.createObjectURL(makeZip(uniqueNames(converted)));
  link.download = 'mca-pictures.zip';
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
});

document.getElementById('cancel').addEventListener('click', cancelCurrent);

// Empties the list: what waits is dropped, the file converting is cancelled
// and every PNG let go.
clearButton.addEventListener('click', () => {
  queue.length = 0;
  cancelCurrent();
  for (const link of list.querySelectorAll('a[download]')) URL.revokeObjectURL(link.href);
  list.replaceChildren();
  converted.length = 0;
  downloadAll.hidden = true;
  Object.assign(counts, { converted: 0, failed: 0, cancelled: 0 });
  showSummary();
});

picker.addEventListener('change', () => {
  take([...picker.files]);
  picker.value = '';
});
// Dropping anywhere on the page takes the files instead of opening them.
document.addEventListener('dragover', (event) => {
  event.preventDefault();
  document.body.classList.add('dragging');
});
document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
document.addEventListener('drop', (event) => {
  event.preventDefault();
  document.body.classList.remove('dragging');
  take([...event.dataTransfer.files]);
});

startWorker();
setState('idle');
