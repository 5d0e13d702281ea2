// The decoder module under Node, as the page's worker runs it, against the
// native decoder (mcadec) on the fuzz corpus, the sample and the benchmark
// pictures: the same pixels in every PNG, an indexed PNG exactly where mcadec
// writes one, and a failure exactly where the native decoder fails.
// Usage: node web/tests/module_test.mjs MODULE.wasm MCADEC PICTURE_FOLDER...
import { readFileSync, readdirSync } from 'node:fs';
import { join } from 'node:path';
import { nativePixels, pngPixels, samePixels } from './pixels.mjs';

const [wasmPath, mcadec, ...folders] = process.argv.slice(2);
const source = readFileSync(new URL('../../web/convert.js', import.meta.url), 'utf8');
const { loadMcaModule, convertMca } = new Function(`${source}\nreturn { loadMcaModule, convertMca };`)();
const mod = await loadMcaModule(readFileSync(wasmPath));

const files = folders.flatMap((folder) =>
  readdirSync(folder).filter((name) => name.endsWith('.mca')).sort().map((name) => join(folder, name)));
let failures = 0;
for (const file of files) {
  const bytes = readFileSync(file);
  const result = await convertMca(mod, bytes);
  const expected = nativePixels(mcadec, file);
  let verdict = null;
  if (!result.ok || !expected) {
    if (result.ok !== !!expected) verdict = `module ${result.ok ? 'converts' : `fails (${result.error})`}, mcadec ${expected ? 'converts' : 'fails'}`;
  } else {
    const png = pngPixels(new Uint8Array(await result.png.arrayBuffer()));
    if (!samePixels(png, expected)) verdict = 'pixels differ from the native decoder';
    else if (png.colourType !== expected.colourType) verdict = `PNG colour type ${png.colourType}, not mcadec's`;
    else if (result.width !== expected.width || result.height !== expected.height) verdict = 'size differs';
  }
  if (verdict) {
    failures++;
    console.log(`FAIL ${file}: ${verdict}`);
  }
}
console.log(`${files.length - failures} of ${files.length} pictures as the native decoder gives them`);
process.exit(failures && 1);
