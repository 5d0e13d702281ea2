// mca-viewer.html in Debian's headless Chromium, opened from disk as a user
// opens it: files chosen and dropped, a queue filled while busy, broken and
// oversized files, a 4000 x 3000 picture, the ZIP of all, and not one
// request leaving the page. PNGs are compared with the native decoder's
// pixels (mcadec).
// Usage: node web/tests/page_test.mjs PAGE.html MCADEC MAKE_LARGE BENCH_PICTURES
// (BENCH_PICTURES: a folder that write_bench_pictures wrote)
import { execFileSync } from 'node:child_process';
import { copyFileSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { chromium } from 'playwright-core';
import { nativePixels, pngPixels, samePixels } from './pixels.mjs';

const [pagePath, mcadec, makeLarge, pictures] = process.argv.slice(2);
const work = mkdtempSync(join(tmpdir(), 'mca-page-'));
const failures = [];
const check = (ok, what) => { if (!ok) failures.push(what); };

// Inputs: named as users name them, plus a cut file, a text file and a
// picture over the default pixel limit in a few bytes.
const inputs = {
  photo: join(work, 'Holiday.MCA'),
  indexed: join(work, 'palette.mca'),
  sample: join(work, 'sample.mca'),
  cut: join(work, 'cut.mca'),
  text: join(work, 'notes.txt'),
  huge: join(work, 'huge.mca'),
  large: join(work, 'large.mca'),
  slow: join(work, 'slow.mca'),
};
copyFileSync(join(pictures, 'small', '000.mca'), inputs.photo);
copyFileSync(new URL('../../fuzz/corpus/picture/seed11.mca', import.meta.url), inputs.indexed);
copyFileSync(new URL('../../samples/sample.mca', import.meta.url), inputs.sample);
writeFileSync(inputs.cut, readFileSync(inputs.sample).subarray(0, 200));
writeFileSync(inputs.text, 'not a picture\n');
execFileSync(makeLarge, ['--sparse', inputs.huge, '16000', '44700'], { stdio: 'ignore' });
execFileSync(makeLarge, ['--sparse', inputs.slow, '8000', '8000'], { stdio: 'ignore' });  // seconds to convert
copyFileSync(join(pictures, 'large-0.mca'), inputs.large);

const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
         '--disable-sync', '--no-first-run'],
});
try {
  const context = await browser.newContext({ acceptDownloads: true });
  const requests = [];
  context.on('request', (r) => { if (!/^(file|blob|data):/.test(r.url())) requests.push(r.url()); });
  await context.route(/^(https?|wss?|ftp):/, (route) => route.abort());
  const page = await context.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(`file://${pagePath}`);
  await page.waitForFunction(() => document.body.dataset.state === 'idle');
  const idleWith = (count) => page.waitForFunction(
      (n) => document.body.dataset.state === 'idle' && document.querySelectorAll('#results .item').length === n &&
             !document.querySelector('#results .note:not(.cancelled)'),
      count, { timeout: 120000, polling: 20 });

  // Chosen, then more given while the first are converting: all queued.
  await page.evaluate(() => {
    window.states = [];
    new MutationObserver(() => window.states.push(document.body.dataset.state))
      .observe(document.body, { attributes: true, attributeFilter: ['data-state'] });
  });
  await page.setInputFiles('#files', [inputs.photo, inputs.indexed, inputs.cut]);
  await page.setInputFiles('#files', [inputs.text, inputs.huge]);
  // Dropped anywhere on the page.
  await page.evaluate(async (bytes) => {
    const transfer = new DataTransfer();
    transfer.items.add(new File([new Uint8Array(bytes)], 'dropped.mca'));
    document.body.dispatchEvent(new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true }));
  }, [...readFileSync(inputs.sample)]);
  await idleWith(6);
  const states = await page.evaluate(() => window.states.join());
  check(/^busy(,idle,busy)*,idle$/.test(states), `busy while converting, idle after each batch (${states})`);

  const items = await page.$$eval('#results .item', (list) => list.map((item) => {
    const link = item.querySelector('a[download]');
    return {
      title: item.querySelector('h2').textContent,
      link: link && { name: link.download, href: link.href, width: +link.dataset.width, height: +link.dataset.height },
      alerts: [...item.querySelectorAll('[role=alert]')].map((e) => e.textContent),
      statuses: [...item.querySelectorAll('[role=status]')].map((e) => e.textContent),
    };
  }));
  const byTitle = Object.fromEntries(items.map((i) => [i.title, i]));
  const converted = [['Holiday.MCA', 'Holiday.png', inputs.photo], ['palette.mca', 'palette.png', inputs.indexed],
                     ['dropped.mca', 'dropped.png', inputs.sample]];
  for (const [title, name, file] of converted) {
    const item = byTitle[title];
    check(item && item.link && item.link.name === name && item.alerts.length === 0, `${title} gives ${name}`);
    if (!item || !item.link) continue;
    const bytes = await page.evaluate(async (href) => [...new Uint8Array(await (await fetch(href)).arrayBuffer())],
                                      item.link.href);
    const expected = nativePixels(mcadec, file);
    check(samePixels(pngPixels(Uint8Array.from(bytes)), expected), `${title}: the PNG's pixels are the decoder's`);
    check(item.link.width === expected.width && item.link.height === expected.height, `${title}: data-width/height`);
  }
  const sizes = await page.$$eval('#results a[download]', (links) => links.map((a) => a.textContent));
  check(sizes.every((t) => /\(\d+ × \d+, (\d+ bytes|\d+(\.\d)? KB)\)$/.test(t)),
        `small PNGs' sizes in bytes or KB (${sizes})`);
  const summary = await page.textContent('#summary');
  check(summary === '3 converted, 3 failed', `the batch's summary (${summary})`);
  const refused = [['cut.mca', /cut\.mca.*outside the file/], ['notes.txt', /notes\.txt.*not an MCA picture/],
                   ['huge.mca', /huge\.mca.*16000 x 44700.*limit/]];
  for (const [title, words] of refused) {
    const item = byTitle[title];
    check(item && !item.link && item.alerts.length === 1 && words.test(item.alerts[0]),
          `${title} gets one alert naming it and saying why (${item && item.alerts})`);
  }

  // All of them as one ZIP.
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download-all')]);
  const zip = join(work, 'all.zip');
  await download.saveAs(zip);
  const listing = execFileSync('unzip', ['-Z1', zip], { encoding: 'utf8' }).trim().split('\n').sort();
  check(listing.join() === 'Holiday.png,dropped.png,palette.png', `the ZIP holds the three PNGs (${listing})`);
  execFileSync('unzip', ['-tq', zip], { stdio: 'ignore' });

  // A 4000 x 3000 picture: converted whole, previewed scaled down.
  const started = Date.now();
  await page.setInputFiles('#files', [inputs.large]);
  await idleWith(7);
  const seconds = (Date.now() - started) / 1000;
  const large = await page.$eval('#results .item:last-child', (item) => ({
    width: +item.querySelector('a[download]').dataset.width,
    statuses: [...item.querySelectorAll('[role=status]')].map((e) => e.textContent),
    alerts: item.querySelectorAll('[role=alert]').length,
  }));
  check(large.width === 4000 && large.alerts === 0 && /scaled down/.test(large.statuses[0] || ''),
        'the 4000 x 3000 picture is converted, its preview scaled down');
  console.log(`4000 x 3000 picture, file chosen to PNG link: ${seconds.toFixed(2)} s`);
  // Its preview fits the window's height until clicked for full size.
  const previewHeight = () => page.$eval('#results .item:last-child canvas', (c) => c.getBoundingClientRect().height);
  const windowHeight = await page.evaluate(() => innerHeight);
  const fitted = await previewHeight();
  await page.click('#results .item:last-child canvas');
  const full = await previewHeight();
  check(fitted > 0 && fitted <= windowHeight && full > fitted,
        `the preview fits the window (${fitted} of ${windowHeight} px), then shows full size (${full} px)`);

  // A long conversion says how far it is and what waits; cancelled, the
  // next file goes on; the list can be cleared.
  await page.setInputFiles('#files', [inputs.slow, inputs.sample, inputs.photo]);
  const seen = await page.waitForFunction(() => {
    const text = document.getElementById('now-text').textContent;
    return /row \d+ of 8000/.test(text) && text;
  }, null, { timeout: 60000, polling: 20 });
  const line = await seen.jsonValue();
  check(/^Converting slow\.mca: decoding, row \d+ of 8000 · 2 waiting: sample\.mca, Holiday\.MCA$/.test(line),
        `the progress line names the file, its rows and what waits (${line})`);
  await page.click('#cancel');
  await idleWith(10);
  const after = await page.$$eval('#results .item', (list) => list.slice(-3).map((item) => ({
    note: (item.querySelector('.note') || {}).textContent,
    link: !!item.querySelector('a[download]'),
  })));
  check(after[0].note === 'Cancelled.' && !after[0].link && after[1].link && after[2].link,
        `the cancelled file says so and the next ones convert (${JSON.stringify(after)})`);
  const later = await page.textContent('#summary');
  check(later === '6 converted, 3 failed, 1 cancelled', `the summary counts the cancelled file (${later})`);
  await page.click('#clear');
  const cleared = await page.evaluate(() => ({
    items: document.querySelectorAll('#results .item').length,
    summary: document.getElementById('summary').textContent,
    zip: document.getElementById('download-all').hidden,
  }));
  check(cleared.items === 0 && cleared.summary === '' && cleared.zip, `the list is cleared (${JSON.stringify(cleared)})`);
  await page.setInputFiles('#files', [inputs.sample]);
  await idleWith(1);
  check(await page.$eval('#results .item a[download]', (a) => a.download) === 'sample.png',
        'after clearing, a new file converts');

  // On a phone there is nothing to drop files from: the page does not offer it.
  const phone = await browser.newContext({ viewport: { width: 390, height: 844 }, isMobile: true, hasTouch: true });
  const small = await phone.newPage();
  await small.goto(`file://${pagePath}`);
  const hint = await small.$eval('.drop-hint', (e) => getComputedStyle(e).display);
  check(hint === 'none', `no "drop them anywhere" on a phone (${hint})`);
  await phone.close();

  check(errors.length === 0, `no script errors (${errors})`);
  check(requests.length === 0, `no request leaves the page (${requests})`);
} finally {
  await browser.close();
  rmSync(work, { recursive: true, force: true });
}
for (const f of failures) console.log(`FAIL ${f}`);
console.log(failures.length ? `${failures.length} checks failed` : 'the page converts, refuses and stays offline as it should');
process.exit(failures.length && 1);
