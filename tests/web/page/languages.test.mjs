// The page in each of its languages: its own texts, numbers and dates written the language's way,
// and nothing in the 960 x 520 window cut off or pushed out by the longer translations.
import assert from 'node:assert/strict';
import { after, before, describe, it } from 'node:test';
import { FakeProgram } from '../fake-server.mjs';
import { eventually, launchBrowser, openPage, screenshot, text } from '../support.mjs';

const PAGES = ['home', 'device-detail', 'battery-setting', 'connect-mode', 'about'];

// By the code the program stores for each language.
const EXPECTED = {
  us: { home: 'Overview', charge: '87%', capacity: '2,048', last: 'Last: Dec 4, 2026, 9:15 PM' },
  de: { home: 'Übersicht', charge: '87\u00a0%', capacity: '2.048', last: 'Zuletzt: 04.12.2026, 21:15' },
  fr: { home: 'Aperçu', charge: '87\u00a0%', capacity: '2\u202f048', last: 'Dernière\u00a0: 4 déc. 2026, 21:15' },
  es: { home: 'Resumen', charge: '87\u00a0%', capacity: '2048', last: 'Último: 4 dic 2026, 21:15' },
  it: { home: 'Panoramica', charge: '87%', capacity: '2048', last: 'Ultima: 4 dic 2026, 21:15' },
  cn: { home: '概览', charge: '87%', capacity: '2,048', last: '最近一次：2026年12月4日 21:15' },
  jp: { home: '概要', charge: '87%', capacity: '2,048', last: '最終：2026/12/04 21:15' },
};

const STAGE_ONE = { status: 'lowPowerShutdown', mode: 'local', interval: 20, lowPowerShutdownValue: 10 };
// As long as a system's refusal gets: it has to wrap inside its box, in every language.
const REASON = 'Failed to power off system via logind: Access denied (org.freedesktop.login1.power-off)';

// Text that is wider than its box, or that sticks out of a button, card, tile, dialog or bar it
// sits in, and a page taller than the window. Checked once the dialogs have faded in.
function layoutProblems() {
  const BOXES = '.card, .tile, .dialog, .toast, .sidebar, .titlebar, .btn, .nav-item';
  const problems = [];
  const describe = (el) => `${el.tagName.toLowerCase()}.${el.className} "${el.textContent.trim().slice(0, 40)}"`;
  const hasText = (el) => [...el.childNodes].some((n) => n.nodeType === Node.TEXT_NODE && n.textContent.trim());
  for (const el of document.querySelectorAll('.app *')) {
    if (!(hasText(el) || el.matches(BOXES)) || el.closest('svg, .chart, option') || !el.checkVisibility()) continue;
    if (hasText(el) && getComputedStyle(el).display !== 'inline') {
      // The text's own extent, which a box that clips or ends it with "…" does not shorten.
      const range = document.createRange();
      range.selectNodeContents(el);
      const t = range.getBoundingClientRect();
      const style = getComputedStyle(el);
      const b = el.getBoundingClientRect();
      const left = b.left + parseFloat(style.borderLeftWidth) + parseFloat(style.paddingLeft);
      const right = b.right - parseFloat(style.borderRightWidth) - parseFloat(style.paddingRight);
      if (t.left < left - 0.5 || t.right > right + 0.5) problems.push(`wider than its box: ${describe(el)}`);
    }
    const r = el.getBoundingClientRect();
    for (let box = el.parentElement.closest(BOXES); box; box = box.parentElement.closest(BOXES)) {
      const b = box.getBoundingClientRect();
      if (r.left < b.left - 1 || r.right > b.right + 1 || r.top < b.top - 1 || r.bottom > b.bottom + 1) {
        problems.push(`outside its ${box.className}: ${describe(el)}`);
      }
    }
  }
  const content = document.querySelector('.content');
  if (content.scrollHeight > content.clientHeight) problems.push(`page scrolls: ${content.scrollHeight} > ${content.clientHeight}`);
  if (document.documentElement.scrollWidth > 960) problems.push('window scrolls sideways');
  return problems;
}

// The dialogs fade in; they are measured once they stand still.
function settle(page) {
  return page.evaluate(() =>
    Promise.all(
      document
        .getAnimations()
        .filter((a) => a.effect.getTiming().iterations !== Infinity)
        .map((a) => a.finished.catch(() => {})),
    ),
  );
}

async function fits(page, name) {
  await settle(page);
  await screenshot(page, name);
  assert.deepEqual(await page.evaluate(layoutProblems), [], name);
}

describe('languages', () => {
  let server;
  let browser;
  before(async () => {
    server = new FakeProgram({ station: { steady: true } });
    await server.start();
    browser = await launchBrowser();
  });
  after(async () => {
    await browser.close();
    await server.stop();
  });

  for (const [lang, want] of Object.entries(EXPECTED)) {
    it(`speaks ${lang} and fits every page into the window`, async () => {
      Object.assign(server.station, { onBattery: false, charging: true });
      const page = await openPage(browser, server, { page: 'home', lang });
      await eventually(async () => assert.equal(await text(page, 'charge'), want.charge));
      assert.equal(await text(page, 'nav-home'), want.home);
      assert.equal(await text(page, 'capacity'), want.capacity);
      assert.equal(await text(page, 'failure-last'), want.last);
      await eventually(async () => assert.equal(await text(page, 'station-name'), 'VESSA 5 Core'));

      for (const name of PAGES) {
        await page.getByTestId(`nav-${name}`).click();
        await page.locator(`[data-page="${name}"]`).waitFor();
        if (name === 'about') await eventually(async () => assert.equal(await text(page, 'firmware-version'), '1.2.3.4'));
        if (name === 'device-detail') await eventually(async () => assert.notEqual(await text(page, 'detail-output-total'), '–'));
        await fits(page, `language-${lang}-${name}`);
        if (name === 'battery-setting') {
          // The longest refusal, under the plan and beside the buttons.
          await page.getByTestId('default-charge-low').fill('91');
          await page.getByTestId('battery-save').click();
          await eventually(async () => assert.notEqual(await text(page, 'battery-status'), ''));
          await fits(page, `language-${lang}-battery-refused`);
        }
      }

      // A countdown runs only on battery: the mains coming back would call it off.
      Object.assign(server.station, { onBattery: true, charging: false });
      server.notify('global.notifyLowPowerShutdown', STAGE_ONE);
      await page.getByTestId('shutdown-overlay').waitFor();
      await fits(page, `language-${lang}-countdown`);
      await page.getByTestId('shutdown-cancel').click();
      await page.getByTestId('shutdown-overlay').waitFor({ state: 'hidden' });

      // The system refused: its words in their box, "Close" and "Try again".
      await page.getByTestId('nav-home').click();
      server.notify('global.notifyShutdownResult', { ok: false, reason: REASON });
      await page.getByTestId('shutdown-retry').waitFor();
      assert.equal(await page.getByTestId('shutdown-close').isVisible(), true);
      assert.match(await text(page, 'shutdown-reason'), /Access denied/);
      await fits(page, `language-${lang}-shutdown-failed`);
      await page.getByTestId('shutdown-close').click();
      await page.getByTestId('shutdown-overlay').waitFor({ state: 'hidden' });

      // The station lost while on battery: the message and the title bar's word for it.
      server.setLinkLost(true);
      await page.getByTestId('link-lost').waitFor();
      await fits(page, `language-${lang}-link-lost`);
      server.setLinkLost(false);
      await page.getByTestId('link-lost').waitFor({ state: 'hidden' });

      // A shutdown that started but left the PC running for a minute; the clock stays faked.
      await page.clock.install();
      server.notify('global.notifyShutdownResult', { ok: true, reason: 'shutdown started' });
      await page.getByTestId('shutdown-overlay').waitFor();
      await page.clock.runFor(61000);
      await page.getByTestId('shutdown-retry').waitFor();
      assert.equal(await page.getByTestId('shutdown-reason').isVisible(), false);
      await fits(page, `language-${lang}-still-running`);
      assert.deepEqual(browser.errors, []);
    });
  }
});
