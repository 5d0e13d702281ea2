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
// reports go to the module's onProgress while a conversion sets one.
async function loadMcaModule(wasmBytes) {
  const unsupported = () => 52;
  const mod = { onProgress: null };
  const { instance } = await WebAssembly.instantiate(wasmBytes, {
    wasi_snapshot_preview1: new Proxy({}, { get: () => unsupported }),
    env: { zv_progress: (rows, height) => { if (mod.onProgress) mod.onProgress('decode', rows, height); } },
  });
  Object.assign(mod, instance.exports);
  mod._initialize();
  return mod;
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

// The PNG of 8-bit scanlines (each row's filter byte first), RGB or, given a
// palette (red, green, blue triples), indexed: its Blob and the CRC-32 of the
// whole file.
async function writePng(width, height, scanlines, palette, onProgress) {
  const head = new Uint8Array(13);
  const view = new DataView(head.buffer);
  view.setUint32(0, width);
  view.setUint32(4, height);
  head.set([8, palette ? 3 : 2, 0, 0, 0], 8);  // 8 bits, RGB or indexed, deflate, adaptive filters, no interlace
  const parts = [kPngSignature, pngChunk('IHDR', head)];
  if (palette) parts.push(pngChunk('PLTE', palette));
  // Fed a megabyte at a time, so that the bytes compressed so far can be told.
  const kPiece = 1 << 20;
  let fed = 0;
  const source = new ReadableStream({
    pull(controller) {
      if (fed >= scanlines.length) {
        controller.close();
        return;
      }
      const piece = scanlines.subarray(fed, fed + kPiece);
      fed += piece.length;
      controller.enqueue(piece);
      if (onProgress) onProgress('compress', fed, scanlines.length);
    },
  }, { highWaterMark: 0 });
  const zlib = source.pipeThrough(new CompressionStream('deflate'));
  const reader = zlib.getReader();
  for (let r; !(r = await reader.read()).done;) {
    if (r.value.length) parts.push(pngChunk('IDAT', r.value));
  }
  parts.push(pngChunk('IEND', new Uint8Array(0)));
  let crc = 0;
  for (const part of parts) crc = crc32(part, crc);
  return { png: new Blob(parts, { type: 'image/png' }), crc };
}

// Converts one file's bytes. Failures come back with the decoder's words.
// onProgress(phase, done, total), if given, hears the rows decoded ("decode")
// and then the scanline bytes compressed ("compress").
async function convertMca(mod, fileBytes, previewSide = kPreviewSide, onProgress = null) {
  const input = mod.zv_alloc(fileBytes.length);
  if (!input) return { ok: false, error: 'there is not enough memory for the file' };
  new Uint8Array(mod.memory.buffer, input, fileBytes.length).set(fileBytes);
  mod.onProgress = onProgress;
  const result = mod.zv_convert(input, fileBytes.length, previewSide);
  mod.onProgress = null;
  mod.zv_free(input);
  if (!result) return { ok: false, error: 'there is not enough memory for the picture' };
  const word = (offset) => new DataView(mod.memory.buffer).getInt32(result + offset, true);
  const status = word(0), width = word(4), height = word(8), pixelFormat = word(12);
  if (status !== 0) {
    const text = new Uint8Array(mod.memory.buffer, result + 808, 256);
    const words = new TextDecoder().decode(text.subarray(0, text.indexOf(0)));
    mod.zv_release(result);
    return { ok: false, status, error: words };
  }
  const scanlines = new Uint8Array(mod.memory.buffer, word(16) >>> 0, word(20) >>> 0).slice();
  const previewWidth = word(28), previewHeight = word(32);
  const rgba = new Uint8ClampedArray(mod.memory.buffer, word(24) >>> 0, 4 * previewWidth * previewHeight).slice();
  const paletteCount = word(36);
  const palette = paletteCount ? new Uint8Array(mod.memory.buffer, result + 40, 3 * paletteCount).slice() : null;
  mod.zv_release(result);
  const { png, crc } = await writePng(width, height, scanlines, palette, onProgress);
  return { ok: true, width, height, pixelFormat, png, crc, preview: { width: previewWidth, height: previewHeight, rgba } };
}
