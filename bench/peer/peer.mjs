// The same page operations driven by Playwright on Debian's Chromium, and the table of
// both runs.
//
//   node peer.mjs PAGES_DIR OURS_JSON
//
// PAGES_DIR holds the pages page_bench wrote; OURS_JSON its results.
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { chromium } from 'playwright-core';

const [dir, oursFile] = process.argv.slice(2);
if (!dir || !oursFile) {
  console.error('usage: node peer.mjs PAGES_DIR OURS_JSON');
  process.exit(2);
}
const ours = JSON.parse(fs.readFileSync(oursFile, 'utf8'));

const server = http.createServer((req, res) => {
  const file = path.join(dir, path.basename(new URL(req.url, 'http://x').pathname));
  fs.readFile(file, (err, data) => {
    if (err) { res.writeHead(404); res.end(); return; }
    res.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8' });
    res.end(data);
  });
});
await new Promise((r) => server.listen(0, '127.0.0.1', r));
const base = `http://127.0.0.1:${server.address().port}`;

async function median(fn, runs = 30, warm = 3) {
  for (let i = 0; i < warm; i++) await fn();
  const t = [];
  for (let i = 0; i < runs; i++) {
    const s = process.hrtime.bigint();
    await fn();
    t.push(Number(process.hrtime.bigint() - s) / 1e6);
  }
  t.sort((a, b) => a - b);
  return t[Math.floor(t.length / 2)];
}

const browser = await chromium.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  headless: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
         '--disable-component-update', '--no-first-run'],
});
const page = await browser.newPage({ viewport: { width: 1280, height: 900 } });
const peer = {};

await page.goto(`${base}/product_list.html`);
// Playwright has no capture; the nearest is one evaluate that walks the same collections.
const walk = () => page.evaluate(() => {
  const b = document.body, c = {};
  for (const t of ['input', 'form', 'img', 'button', 'table', 'select', 'textarea', 'a', 'div',
                   'span', 'li', 'cite']) c[t] = Array.from(b.getElementsByTagName(t)).length;
  return c;
});
peer.capture_20k = await median(walk);

await page.goto(`${base}/large.html`);
const last = ours.last_row;
peer.fill = await median(() => page.locator(`#price_${last}`).fill('9.99'));
peer.click = await median(() => page.locator(`#edit_${last}`).click());
peer.content = await median(() => page.content(), 15);
await browser.close();
server.close();

const rows = [
  [`capture, ${ours.list_elements} elements (attach_page | evaluate walk)`, ours.capture_20k, peer.capture_20k],
  [`capture, 1 MB page, ${ours.large_elements} elements (attach_page)`, ours.capture_1mb, null],
  ['set_textbox_text | locator.fill (1 MB page)', ours.set_textbox_text, peer.fill],
  ['live_set_input_text | locator.fill (1 MB page)', ours.live_set_input_text, peer.fill],
  ['click_button | locator.click (1 MB page)', ours.click_button, peer.click],
  ['live_click_button | locator.click (1 MB page)', ours.live_click_button, peer.click],
  ['get_document_html | page.content() (1 MB page)', ours.get_document_html, peer.content],
];
const f = (x) => (x == null ? '-' : x.toFixed(2));
const w = Math.max(...rows.map((r) => r[0].length));
console.log(`${'operation (ours | Playwright)'.padEnd(w)}  ours ms  Playwright ms  Playwright/ours`);
for (const [name, a, b] of rows) {
  const ratio = a != null && b != null ? (b / a).toFixed(1) + 'x' : '-';
  console.log(`${name.padEnd(w)}  ${f(a).padStart(7)}  ${f(b).padStart(13)}  ${ratio.padStart(15)}`);
}
console.log(`(medians; 1 MB page = ${ours.large_bytes} bytes, HTML read back ${ours.html_bytes} bytes)`);
