// The bare reference for the check-run throughput: the steps the program takes for each parcel,
// driven in Debian's headless Chromium through playwright-core, against the same tracking-site
// double with the same fixture. Load the page once per run; then per number: click
// "internal-2", set "item", click the last input, read the page text until the loading text is
// gone, read the page's HTML. Nothing is stored and nothing is extracted: this is the floor
// that the browser and the double set.
//
//   node checkrun_reference.mjs --double <kurierix-sitedouble> --fixture <fixture.json>
//        [--runs 5] [--chromium /usr/bin/chromium]
//
// The fixture comes from `bench_checkrun --write-fixture <path> --parcels 200`. The first run
// warms the browser up and is reported apart; the median of the later runs is the figure.
import { chromium } from 'playwright-core';
import { spawn } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { performance } from 'node:perf_hooks';
import { createInterface } from 'node:readline';

function option(name, fallback) {
  const at = process.argv.indexOf(name);
  return at >= 0 && at + 1 < process.argv.length ? process.argv[at + 1] : fallback;
}

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  const middle = Math.floor(sorted.length / 2);
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

function report(line) {
  console.log(`[reference] ${line}`);
}

const doublePath = option('--double');
const fixturePath = option('--fixture');
const runs = Math.max(1, Number(option('--runs', '5')));
const executablePath = option('--chromium', '/usr/bin/chromium');
if (!doublePath || !fixturePath) {
  console.error('usage: node checkrun_reference.mjs --double <kurierix-sitedouble> --fixture <fixture.json> [--runs N]');
  process.exit(2);
}

const numbers = Object.keys(JSON.parse(readFileSync(fixturePath, 'utf8')).answers);

// The double prints its address once it listens.
const site = spawn(doublePath, ['--port', '0', '--fixture', fixturePath], { stdio: ['ignore', 'pipe', 'inherit'] });
const url = await new Promise((resolve, reject) => {
  const timer = setTimeout(() => reject(new Error('the site double printed no address')), 10000);
  createInterface({ input: site.stdout }).once('line', (line) => {
    clearTimeout(timer);
    resolve(line.trim());
  });
  site.once('exit', (code) => reject(new Error(`the site double ended with ${code}`)));
});

let browser;
try {
  browser = await chromium.launch({
    executablePath,
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
           '--disable-component-update', '--no-first-run'],
  });
  const page = await browser.newPage();
  report(`command: node ${process.argv.slice(1).join(' ')}`);
  report(`${numbers.length} parcels answered at once by the double at ${url}; Chromium ${browser.version()}; ` +
         `one first run, then ${runs} runs`);

  const perParcel = [];
  for (let run = 0; run <= runs; ++run) {
    await page.goto(url, { waitUntil: 'load' });
    const started = performance.now();
    for (const number of numbers) {
      await page.evaluate(() => document.getElementById('internal-2').click());
      await page.evaluate((value) => { document.getElementById('item').value = value; }, number);
      await page.evaluate(() => {
        const inputs = document.getElementsByTagName('input');
        inputs[inputs.length - 1].click();
      });
      let text = await page.evaluate(() => document.documentElement.innerText);
      while (text.includes('Загрузка'))
        text = await page.evaluate(() => document.documentElement.innerText);
      const html = await page.evaluate(() => document.documentElement.innerHTML);
      if (!html.includes('class="events"'))
        throw new Error(`no event table for ${number}`);
    }
    const ms = (performance.now() - started) / numbers.length;
    if (run === 0)
      report(`figure: first run, per parcel: ${ms.toFixed(2)} ms`);
    else
      perParcel.push(ms);
  }
  report(`figure: later runs, per parcel: ${median(perParcel).toFixed(2)} (${Math.min(...perParcel).toFixed(2)} .. ` +
         `${Math.max(...perParcel).toFixed(2)}, ${perParcel.length} runs) ms (median; min .. max)`);
  console.log(`reference-per-parcel-ms ${median(perParcel).toFixed(3)}`);
} finally {
  if (browser)
    await browser.close();
  site.kill('SIGTERM');
}
