// The page: files chosen or dropped anywhere are queued and converted one at
// a time by the worker; each becomes a preview and a PNG link, or an alert
// naming the file and what is wrong with it. document.body.dataset.state is
// "busy" while files are waiting or converting, "idle" otherwise.
'use strict';

const list = document.getElementById('results');
const picker = document.getElementById('files');
const downloadAll = document.getElementById('download-all');
const queue = [];
const converted = [];
const pending = new Map();
let worker = null;
let nextId = 1;
let working = false;

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
    const done = pending.get(event.data.id);
    pending.delete(event.data.id);
    if (done) done(event.data);
  };
  worker.postMessage({ type: 'init', wasm: wasm.buffer }, [wasm.buffer]);
}

function convertInWorker(bytes) {
  return new Promise((resolve) => {
    const id = nextId++;
    pending.set(id, resolve);
    worker.postMessage({ type: 'convert', id, bytes }, [bytes]);
  });
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
  const link = document.createElement('a');
  link.href = URL.createObjectURL(result.png);
  link.download = pngName(name);
  link.dataset.width = String(result.width);
  link.dataset.height = String(result.height);
  link.textContent = `Download ${link.download} (${result.width} × ${result.height}, ${
      (result.png.size / 1048576).toFixed(1)} MB)`;
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
  while (queue.length) {
    const { file, view } = queue.shift();
    view.note.textContent = 'Converting…';
    let result;
    try {
      result = await convertInWorker(await file.arrayBuffer());
    } catch (error) {
      result = { ok: false, error: `it could not be read (${error.message})` };
    }
    if (result.ok) showPicture(view, file.name, result); else showFailure(view, file.name, result.error);
  }
  working = false;
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
