// Pictures of the page for the documentation: the overview with a connected station, in English,
// German and Japanese, against the fake program, in Debian's headless Chromium.
//
//   node screenshots.mjs [output folder]      (default: docs/screenshots of the repository)
//
// It needs the built page (web/build, or AMPERLANE_PAGE_DIR) and this folder's npm packages.

import { mkdirSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { FakeProgram } from './fake-server.mjs';
import { eventually, launchBrowser, openPage, text } from './support.mjs';

const LANGUAGES = { us: 'en', de: 'de', jp: 'ja' };

const out = resolve(process.argv[2] ?? join(dirname(fileURLToPath(import.meta.url)), '../../docs/screenshots'));
mkdirSync(out, { recursive: true });

const server = new FakeProgram({ station: { steady: true } });
await server.start();
const browser = await launchBrowser();
try {
  for (const [code, name] of Object.entries(LANGUAGES)) {
    const page = await openPage(browser, server, { page: 'home', lang: code });
    await eventually(async () => {
      const shown = await Promise.all(['charge', 'battery-time', 'input-power', 'station-name', 'failure-count'].map((id) => text(page, id)));
      if (shown.some((value) => value === '–' || value === '' || value.startsWith('0'))) throw new Error(`not all shown yet: ${shown}`);
    });
    // The charge ring sweeps to its value.
    await page.evaluate(() =>
      Promise.all(
        document
          .getAnimations()
          .filter((a) => a.effect.getTiming().iterations !== Infinity)
          .map((a) => a.finished.catch(() => {})),
      ),
    );
    const file = join(out, `home-${name}.png`);
    await page.screenshot({ path: file });
    console.log(file);
  }
  if (browser.errors.length) throw new Error(`the page failed: ${browser.errors.join('; ')}`);
} finally {
  await browser.close();
  await server.stop();
}
