// Shared pieces of the browser tests: Debian's Chromium through playwright-core, the built page
// opened from file://, and a folder for the screenshots the tests save.

import { mkdirSync, mkdtempSync, rmSync, existsSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { chromium } from 'playwright-core';

const here = dirname(fileURLToPath(import.meta.url));

export const PAGE_DIR = resolve(process.env.AMPERLANE_PAGE_DIR ?? join(here, '../../web/build'));
export const SCREENSHOT_DIR = resolve(process.env.AMPERLANE_SCREENSHOT_DIR ?? join(tmpdir(), 'amperlane-screenshots'));
export const CHROMIUM = process.env.AMPERLANE_CHROMIUM ?? '/usr/bin/chromium';

export const CHROMIUM_FLAGS = [
  '--headless',
  '--no-sandbox',
  '--disable-gpu',
  '--disable-quic',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
];

// One browser with a fresh profile; close() also removes the profile.
export async function launchBrowser({ colorScheme = 'light', locale = 'en-US' } = {}) {
  if (!existsSync(join(PAGE_DIR, 'index.html'))) throw new Error(`no built page in ${PAGE_DIR}`);
  const profile = mkdtempSync(join(tmpdir(), 'amperlane-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM,
    headless: true,
    args: CHROMIUM_FLAGS,
    viewport: { width: 960, height: 520 },
    colorScheme,
    locale,
  });
  const errors = [];
  context.on('weberror', (e) => errors.push(String(e.error())));
  return {
    context,
    errors,
    async close() {
      await context.close();
      rmSync(profile, { recursive: true, force: true });
    },
  };
}

export function pageUrl({ page = 'connect-mode', lang = 'us', token, port } = {}) {
  const query = new URLSearchParams({ lang });
  if (token !== undefined) query.set('token', token);
  if (port !== undefined) query.set('port', String(port));
  return `${pathToFileURL(join(PAGE_DIR, 'index.html')).href}#/us/${page}?${query}`;
}

export async function openPage(browser, server, options = {}) {
  // A fresh tab each time: the same address with another fragment would not reload the page.
  const stale = browser.context.pages();
  const page = await browser.context.newPage();
  for (const old of stale) await old.close();
  if (options.init) await page.addInitScript(options.init, options.initArg);
  await page.goto(pageUrl({ token: server.token, port: server.port, ...options }));
  return page;
}

export async function screenshot(page, name) {
  mkdirSync(SCREENSHOT_DIR, { recursive: true });
  await page.screenshot({ path: join(SCREENSHOT_DIR, `${name}.png`) });
}

export function text(page, testId) {
  return page.getByTestId(testId).textContent();
}

// Retries an assertion until it holds or the time is up, then throws its last failure.
export async function eventually(check, timeoutMs = 8000, stepMs = 100) {
  const end = Date.now() + timeoutMs;
  for (;;) {
    try {
      return await check();
    } catch (error) {
      if (Date.now() > end) throw error;
      await new Promise((r) => setTimeout(r, stepMs));
    }
  }
}

// Stands in for the program's web channel: qt.webChannelTransport and a QWebChannel whose
// "amperlaneBridge" answers with the given values and records every call in window.bridgeCalls.
// A value { window: name } is read from window[name] at each call, so a test can change it.
// As in the program, the language that setLanguage stores is what getLanguage answers, also
// after the page reloads; the calls are kept across reloads too.
export function fakeBridge(values) {
  const saved = JSON.parse(sessionStorage.getItem('fakeBridge') ?? '{"calls":[]}');
  const keep = () => sessionStorage.setItem('fakeBridge', JSON.stringify(saved));
  window.bridgeCalls = saved.calls;
  const record = (call) => {
    saved.calls.push(call);
    keep();
  };
  window.qt = { webChannelTransport: {} };
  window.QWebChannel = function (_transport, ready) {
    const bridge = {};
    for (const name of ['close', 'minimize', 'maximize', 'addLog', 'pageReady']) {
      bridge[name] = (...args) => record([name, ...args]);
    }
    bridge.setLanguage = (language) => {
      saved.language = language;
      record(['setLanguage', language]);
    };
    for (const [name, value] of Object.entries(values)) {
      bridge[name] = (callback) => {
        record([name]);
        let answer = value && typeof value === 'object' && 'window' in value ? window[value.window] : value;
        if (name === 'getLanguage' && saved.language !== undefined) answer = saved.language;
        setTimeout(() => callback(answer), 0);
      };
    }
    setTimeout(() => ready({ objects: { amperlaneBridge: bridge } }), 0);
  };
}
