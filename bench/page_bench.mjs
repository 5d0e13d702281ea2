// The page's time for one picture in headless Chromium, from choosing the file
// to its PNG link, beside mcadec's time for the same file; medians of 5.
// Usage: node bench/page_bench.mjs PAGE.html MCADEC PICTURE.mca
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync, statSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { chromium } from '../web/tests/node_modules/playwright-core/index.mjs';

const [pagePath, mcadec, picture] = process.argv.slice(2);
const median = (v) => v.sort((a, b) => a - b)[v.length >> 1];
const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
         '--disable-sync', '--no-first-run'],
});
const page = await browser.newPage();
await page.goto(`file://${pagePath}`);
await page.waitForFunction(() => document.body.dataset.state === 'idle');
const pageTimes = [];
for (let round = 0; round < 5; round++) {
  const started = Date.now();
  await page.setInputFiles('#files', [picture]);
  await page.waitForFunction((n) => document.querySelectorAll('#results a[download]').length === n, round + 1,
                             { polling: 5, timeout: 60000 });
  pageTimes.push((Date.now() - started) / 1000);
}
await browser.close();
const work = mkdtempSync(join(tmpdir(), 'page-bench-'));
const mcadecTimes = [];
for (let round = 0; round < 5; round++) {
  const started = process.hrtime.bigint();
  execFileSync(mcadec, ['-q', '-f', '-o', join(work, 'out.png'), picture]);
  mcadecTimes.push(Number(process.hrtime.bigint() - started) / 1e9);
}
rmSync(work, { recursive: true });
console.log('| | seconds (median of 5) |\n|---|---|');
console.log(`| mca-viewer.html in headless Chromium, file chosen to PNG link | ${median(pageTimes).toFixed(2)} |`);
console.log(`| mcadec, file to PNG file | ${median(mcadecTimes).toFixed(2)} |`);
console.log(`page with its module: ${(statSync(pagePath).size / 1024).toFixed(1)} KB`);
