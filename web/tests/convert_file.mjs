// Converts one MCA file to PNG with the page's module and conversion, as the
// page's worker does; prints the PNG's size or the module's words. For the
// memory test, which measures the process.
// Usage: node web/tests/convert_file.mjs MODULE.wasm FILE.mca
import { readFileSync } from 'node:fs';

const [wasmPath, file] = process.argv.slice(2);
const source = readFileSync(new URL('../../web/convert.js', import.meta.url), 'utf8');
const { loadMcaModule, convertMca } = new Function(`${source}\nreturn { loadMcaModule, convertMca };`)();
const mod = await loadMcaModule(readFileSync(wasmPath));
const result = await convertMca(mod, readFileSync(file));
console.log(result.ok ? `${result.width} x ${result.height}, a PNG of ${result.png.size} bytes` : `refused: ${result.error}`);
