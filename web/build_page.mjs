// Writes the one self-contained page: the module (base64), the worker's
// script and the page's script and style, all inline.
// Usage: node web/build_page.mjs MODULE.wasm OUT.html VERSION
import { readFileSync, writeFileSync } from 'node:fs';

const [wasmPath, outPath, version] = process.argv.slice(2);
const read = (name) => readFileSync(new URL(name, import.meta.url), 'utf8');
// Nothing inline may end its <script> or <style> element early.
const inline = (text) => {
  if (/<\/(script|style)/i.test(text)) throw new Error('inline text holds a closing tag');
  return text;
};
const page = read('viewer.html')
  .replace('/*@STYLE@*/', () => inline(read('viewer.css')))
  .replace('@MODULE@', () => readFileSync(wasmPath).toString('base64'))
  .replace('/*@WORKER@*/', () => inline(read('convert.js') + read('worker.js')))
  .replace('/*@PAGE@*/', () => inline(read('zip.js') + read('viewer.js')))
  .replace('@VERSION@', () => version);
writeFileSync(outPath, page);
console.log(`wrote ${outPath} (${page.length} bytes)`);
