// Opens the program's page in Debian's chromium, waits for the running code
// to change, saves a screenshot, clicks Pause, waits for the page to say so
// and saves a second one beside the first ("-paused"). Prints one JSON line:
// the codes seen, when Pause was clicked and when the page showed the pause
// (milliseconds since the epoch).
//
//   node pause.js <url> <screenshot.png> <profile folder>
"use strict";
const puppeteer = require("puppeteer-core");

const [url, shot, profile] = process.argv.slice(2);
const deadline = (ms) => ({ timeout: ms, polling: 50 });

(async () => {
  const browser = await puppeteer.launch({
    executablePath: "/usr/bin/chromium",
    headless: true,
    userDataDir: profile,
    // Without the background-networking flags chromium keeps dialling
    // hosts that a closed network refuses.
    args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
           "--disable-background-networking", "--disable-component-update", "--disable-sync"],
  });
  try {
    const page = await browser.newPage();
    await page.setViewport({ width: 412, height: 860, deviceScaleFactor: 1 }); // a phone
    await page.goto(url, { waitUntil: "load", timeout: 20000 });
    const codes = [];
    await page.waitForFunction(() => /^\d\d:\d\d:\d\d:\d\d$/.test(
      document.getElementById("code").textContent), deadline(20000));
    codes.push(await page.$eval("#code", (e) => e.textContent));
    for (let i = 0; i < 3; ++i) {
      await page.waitForFunction((last) => document.getElementById("code").textContent !== last,
                                 deadline(10000), codes[codes.length - 1]);
      codes.push(await page.$eval("#code", (e) => e.textContent));
    }
    const running = await page.$eval("#state", (e) => e.textContent);
    const label = await page.$eval("#playpause", (e) => e.textContent);
    await page.screenshot({ path: shot, fullPage: true });
    const clickedAt = Date.now();
    await page.click("#playpause");
    await page.waitForFunction(() => document.getElementById("clock").className === "stopped",
                               deadline(10000));
    const pausedAt = Date.now();
    const paused = await page.$eval("#state", (e) => e.textContent);
    const shown = await page.$eval("#code", (e) => e.textContent);
    await page.screenshot({ path: shot.replace(/(\.png)?$/, "-paused.png"), fullPage: true });
    console.log(JSON.stringify({ codes, running, label, clickedAt, pausedAt, paused, shown }));
  } finally {
    await browser.close();
  }
})().catch((error) => {
  console.error(String(error && error.stack || error));
  process.exit(1);
});
