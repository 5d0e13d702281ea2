// Pixels to compare: a PNG's (RGB or palette, 8 bits, not interlaced) and
// the native decoder's, read from the PNG mcadec writes.
import { execFileSync } from 'node:child_process';
import { inflateSync } from 'node:zlib';

export function pngPixels(bytes) {
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  let width = 0, height = 0, colourType = 0, palette = null;
  const idat = [];
  for (let at = 8; at < bytes.length;) {
    const length = view.getUint32(at);
    const type = String.fromCharCode(...bytes.subarray(at + 4, at + 8));
    const data = bytes.subarray(at + 8, at + 8 + length);
    if (type === 'IHDR') {
      width = view.getUint32(at + 8);
      height = view.getUint32(at + 12);
      colourType = data[9];
      if (data[8] !== 8 || data[12] !== 0) throw new Error('not an 8-bit non-interlaced PNG');
    } else if (type === 'PLTE') palette = data;
    else if (type === 'IDAT') idat.push(data);
    at += 12 + length;
  }
  const channels = colourType === 2 ? 3 : 1;
  const raw = inflateSync(Buffer.concat(idat));
  const rowBytes = width * channels;
  const rows = new Uint8Array(rowBytes * height);
  for (let y = 0; y < height; y++) {
    const filter = raw[y * (rowBytes + 1)];
    const line = raw.subarray(y * (rowBytes + 1) + 1, (y + 1) * (rowBytes + 1));
    const out = rows.subarray(y * rowBytes, (y + 1) * rowBytes);
    const up = y ? rows.subarray((y - 1) * rowBytes, y * rowBytes) : new Uint8Array(rowBytes);
    for (let i = 0; i < rowBytes; i++) {
      const a = i >= channels ? out[i - channels] : 0, b = up[i], c = i >= channels ? up[i - channels] : 0;
      let p;
      if (filter === 0) p = 0;
      else if (filter === 1) p = a;
      else if (filter === 2) p = b;
      else if (filter === 3) p = (a + b) >> 1;
      else {
        const pa = Math.abs(b - c), pb = Math.abs(a - c), pc = Math.abs(a + b - 2 * c);
        p = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      }
      out[i] = (line[i] + p) & 255;
    }
  }
  if (channels === 3) return { width, height, colourType, rgb: rows };
  const rgb = new Uint8Array(width * height * 3);
  rows.forEach((index, i) => rgb.set(palette.subarray(3 * index, 3 * index + 3), 3 * i));
  return { width, height, colourType, rgb };
}

// The native decoder's pixels and PNG colour type (2: RGB, 3: indexed), or
// null when it refuses the file.
export function nativePixels(mcadec, file) {
  try {
    const png = execFileSync(mcadec, ['-q', '-f', '-o', '-', file], { maxBuffer: 1 << 30, stdio: ['ignore', 'pipe', 'ignore'] });
    return pngPixels(png);
  } catch {
    return null;
  }
}

export function samePixels(a, b) {
  return a.width === b.width && a.height === b.height && Buffer.compare(Buffer.from(a.rgb), Buffer.from(b.rgb)) === 0;
}
