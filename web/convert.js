// MCA to PNG with the decoder module: the module decodes and filters the
// rows (or gives palette indexes for an 8-bit picture of few colours); the scanlines are deflated by the browser's CompressionStream and
// written as PNG chunks here. Shared by the page's worker and the Node tests.
'use strict';

const kPreviewSide = 2048;  // a preview larger than this is area-averaged down
const kPngSignature = new Uint8Array([137, 80, 78, 71, 13, 10, 26, 10]);

const kCrcTable = (() => {
  const table = new Uint32Array(256);
  for (let n = 0; n < 256; n++) {
    let c = n;
    for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    table[n] = c >>> 0;
  }
  return table;
})();

// CRC-32 (PNG, ZIP) of `bytes`, continuing from `crc` (0 to start).
function crc32(bytes, crc = 0) {
  let c = ~crc;
  for (let i = 0; i < bytes.length; i++) c = kCrcTable[(c ^ bytes[i]) & 255] ^ (c >>> 8);
  return ~c >>> 0;
}

// The module, with the system calls its C library may name answered "not
// supported": it reads and writes nothing but memory. Its rows-decoded
// reports go to the module's onProgress, and its bands of scanlines to its
// onScanlines (which answers a promise), while a conversion sets them. The
// module is built with binaryen's asyncify: a band suspends it (its stack is
// unwound into asyncData) until the page has taken the band, then
// callSuspending resumes it where it stopped.
async function loadMcaModule(wasmBytes) {
  const unsupported = () => 52;
  const mod = { onProgress: null, onScanlines: null, waiting: null, resuming: false };
  const { instance } = await WebAssembly.instantiate(wasmBytes, {
    wasi_snapshot_preview1: new Proxy({}, { get: () => unsupported }),
    env: {
      zv_progress: (rows, height) => { if (mod.onProgress) mod.onProgress('decode', rows, height); },
      zv_scanlines: (bytes, size) => {
        if (mod.resuming) {  // back where it stopped: the band was taken
          mod.asyncify_stop_rewind();
          mod.resuming = false;
          return;
        }
        const band = new Uint8Array(mod.memory.buffer, bytes, size).slice();
        mod.waiting = mod.onScanlines(band);
        new Uint32Array(mod.memory.buffer, mod.asyncData, 1)[0] = mod.asyncData + 8;
        mod.asyncify_start_unwind(mod.asyncData);
      },
    },
  });
  Object.assign(mod, instance.exports);
  mod._initialize();
  // What the suspended stack takes: the decode's frames, with room to spare.
  const kAsyncBytes = 1 << 16;
  mod.asyncData = mod.zv_alloc(8 + kAsyncBytes);
  new Uint32Array(mod.memory.buffer, mod.asyncData, 2).set([mod.asyncData + 8, mod.asyncData + 8 + kAsyncBytes]);
  return mod;
}

// Calls the module's export `name`, letting it suspend as often as it needs.
async function callSuspending(mod, name, ...args) {
  let result = mod[name](...args);
  while (mod.waiting) {
    mod.asyncify_stop_unwind();
    const waiting = mod.waiting;
    mod.waiting = null;
    await waiting;
    mod.asyncify_start_rewind(mod.asyncData);
    mod.resuming = true;
    result = mod[name](...args);
  }
  return result;
}

function pngChunk(type, data) {
  const chunk = new Uint8Array(12 + data.length);
  const view = new DataView(chunk.buffer);
  view.setUint32(0, data.length);
  for (let i = 0; i < 4; i++) chunk[4 + i] = type.charCodeAt(i);
  chunk.set(data, 8);
  view.setUint32(8 + data.length, crc32(chunk.subarray(4, 8 + data.length)));
  return chunk;
}

// A deflater of scanlines fed a band at a time: feed(band) answers once the
// band is deflated (so that bands never pile up), finish() the zlib stream's
// pieces.
function scanlineDeflater() {
  const stream = new CompressionStream('deflate');
  const writer = stream.writable.getWriter();
  const pieces = [];
  const reading = (async () => {
    const reader = stream.readable.getReader();
    for (let r; !(r = await reader.read()).done;) if (r.value.length) pieces.push(r.value);
  })();
  reading.catch(() => {});  // an abandoned stream's end is nobody's error; finish() still sees any other

  return {
    // Awaiting the write itself, not just ready: Node's stream reports ready
    // while its deflater still holds every band written.
    feed: (band) => writer.write(band),
    finish: async () => {
      await writer.close();
      await reading;
      return pieces;
    },
    abandon: () => writer.abort().catch(() => {}),
  };
}

// The PNG of the zlib stream of 8-bit scanlines, RGB or, given a palette
// (red, green, blue triples), indexed: its Blob and the CRC-32 of the whole
// file.
function writePng(width, height, zlibPieces, palette) {
  const head = new Uint8Array(13);
  const view = new DataView(head.buffer);
  view.setUint32(0, width);
  view.setUint32(4, height);
  head.set([8, palette ? 3 : 2, 0, 0, 0], 8);  // 8 bits, RGB or indexed, deflate, adaptive filters, no interlace
  const parts = [kPngSignature, pngChunk('IHDR', head)];
  if (palette) parts.push(pngChunk('PLTE', palette));
  for (const piece of zlibPieces) parts.push(pngChunk('IDAT', piece));
  parts.push(pngChunk('IEND', new Uint8Array(0)));
  let crc = 0;
  for (const part of parts) crc = crc32(part, crc);
  return { png: new Blob(parts, { type: 'image/png' }), crc };
}

// Converts one file's bytes. Failures come back with the decoder's words.
// onProgress(phase, done, total), if given, hears the rows decoded and
// compressed ("decode").
async function convertMca(mod, fileBytes, previewSide = kPreviewSide, onProgress = null) {
  const input = mod.zv_alloc(fileBytes.length);
  if (!input) return { ok: false, error: 'there is not enough memory for the file' };
  new Uint8Array(mod.memory.buffer, input, fileBytes.length).set(fileBytes);
  const deflater = scanlineDeflater();
  mod.onProgress = onProgress;
  mod.onScanlines = deflater.feed;
  let result;
  try {
    result = await callSuspending(mod, 'zv_convert', input, fileBytes.length, previewSide);
  } finally {
    mod.onProgress = null;
    mod.onScanlines = null;
    mod.zv_free(input);
  }
  if (!result) {
    deflater.abandon();
    return { ok: false, error: 'there is not enough memory for the picture' };
  }
  const word = (offset) => new DataView(mod.memory.buffer).getInt32(result + offset, true);
  const status = word(0), width = word(4), height = word(8), pixelFormat = word(12);
  if (status !== 0) {
    const text = new Uint8Array(mod.memory.buffer, result + 800, 256);
    const words = new TextDecoder().decode(text.subarray(0, text.indexOf(0)));
    mod.zv_release(result);
    deflater.abandon();
    return { ok: false, status, error: words };
  }
  const previewWidth = word(20), previewHeight = word(24);
  const rgba = new Uint8ClampedArray(mod.memory.buffer, word(16) >>> 0, 4 * previewWidth * previewHeight).slice();
  const paletteCount = word(28);
  const palette = paletteCount ? new Uint8Array(mod.memory.buffer, result + 32, 3 * paletteCount).slice() : null;
  mod.zv_release(result);
  const { png, crc } = writePng(width, height, await deflater.finish(), palette);
  return { ok: true, width, height, pixelFormat, png, crc, preview: { width: previewWidth, height: previewHeight, rgba } };
}
