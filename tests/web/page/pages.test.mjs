// Every page renders live values from the program, in both languages and colour schemes,
// and switches the program's notifications on and off as it comes and goes.
import assert from 'node:assert/strict';
import { after, before, describe, it } from 'node:test';
import { FakeProgram } from '../fake-server.mjs';
import { eventually, launchBrowser, openPage, screenshot, text } from '../support.mjs';

const PAGES = ['home', 'device-detail', 'battery-setting', 'connect-mode', 'about'];

const EXPECTED = {
  us: { home: 'Overview', charge: '87%', charging: 'Charging', time: '1 h 35 min', capacity: '2,048', failures: '3 recorded', plan: 'At 15% or less you are warned', low: '10%' },
  de: { home: 'Übersicht', charge: '87\u00a0%', charging: 'Lädt', time: '1 Std 35 Min', capacity: '2.048', failures: '3 erfasst', plan: 'Bei 15\u00a0% oder weniger werden Sie gewarnt', low: '10\u00a0%' },
};

for (const colorScheme of ['light', 'dark']) {
  describe(`pages in the ${colorScheme} scheme`, () => {
    let server;
    let browser;
    before(async () => {
      server = new FakeProgram({ station: { steady: true } });
      await server.start();
      browser = await launchBrowser({ colorScheme });
    });
    after(async () => {
      await browser.close();
      await server.stop();
    });

    for (const lang of ['us', 'de']) {
      it(`shows live values in ${lang}`, async () => {
        const want = EXPECTED[lang];
        const page = await openPage(browser, server, { page: 'home', lang });
        await eventually(async () => assert.equal(await text(page, 'charge'), want.charge));
        assert.equal(await text(page, 'nav-home'), want.home);
        assert.equal(await text(page, 'power-state'), want.charging);
        assert.equal(await text(page, 'battery-time'), want.time);
        assert.equal(await text(page, 'input-power'), '312');
        assert.equal(await text(page, 'output-power'), '148');
        assert.equal(await text(page, 'temperature'), '26');
        assert.equal(await text(page, 'capacity'), want.capacity);
        await eventually(async () => assert.equal(await text(page, 'station-name'), 'VESSA 5 Core'));
        assert.equal(await text(page, 'serial'), 'SN00001234');
        assert.equal(await text(page, 'failure-count'), want.failures);
        await screenshot(page, `${colorScheme}-${lang}-home`);

        await page.getByTestId('nav-device-detail').click();
        await eventually(async () => assert.equal(await text(page, 'detail-output-total'), '148'));
        assert.equal(await text(page, 'out-output.usb.a.realpower'), '5 W');
        await page.locator('[data-testid=power-chart] canvas').waitFor();
        await page.waitForTimeout(1200);
        await screenshot(page, `${colorScheme}-${lang}-device-detail`);

        await page.getByTestId('nav-battery-setting').click();
        await eventually(async () => assert.match(await text(page, 'plan'), new RegExp(want.plan)));
        assert.equal(await text(page, 'charge-low'), want.low);
        await screenshot(page, `${colorScheme}-${lang}-battery-setting`);

        await page.getByTestId('nav-connect-mode').click();
        await eventually(async () => assert.equal(await page.getByTestId('connect-status').getAttribute('data-status'), 'connectDev'));
        assert.equal(await page.getByTestId('nut-port').inputValue(), '3496');
        await screenshot(page, `${colorScheme}-${lang}-connect-mode`);

        await page.getByTestId('nav-about').click();
        await eventually(async () => assert.equal(await text(page, 'firmware-version'), '1.2.3.4'));
        assert.equal(await text(page, 'app-version'), '1.0.0.14');
        await screenshot(page, `${colorScheme}-${lang}-about`);

        assert.deepEqual(browser.errors, []);
        const overflow = await page.evaluate(() => document.documentElement.scrollWidth > 960 || document.querySelector('.content').scrollHeight > document.querySelector('.content').clientHeight);
        assert.equal(overflow, false);
      });
    }
  });
}

describe('notifications follow the page', () => {
  it('enables the page that is shown and disables the one that was left', async () => {
    const server = new FakeProgram({ station: { steady: true } });
    await server.start();
    const browser = await launchBrowser();
    try {
      const page = await openPage(browser, server, { page: 'home' });
      await server.waitForCall('global.enableNotify', (p) => p.pageName === 'homePage');
      await eventually(async () => assert.equal(await text(page, 'charge'), '87%'));
      await page.getByTestId('nav-device-detail').click();
      await server.waitForCall('global.disableNotify', (p) => p.pageName === 'homePage');
      await server.waitForCall('global.enableNotify', (p) => p.pageName === 'deviceDetail');
      await page.getByTestId('nav-about').click();
      await server.waitForCall('global.disableNotify', (p) => p.pageName === 'deviceDetail');
      assert.equal(server.callsOf('global.websocketConnected').length, 1);
      const order = server.calls.map((c) => c.method);
      assert.ok(order.indexOf('global.websocketConnected') < order.indexOf('global.enableNotify'));
    } finally {
      await browser.close();
      await server.stop();
    }
  });

  it('opens the overview once the station is found and offers help while it is missing', async () => {
    const server = new FakeProgram({ station: { connected: false, steady: true } });
    await server.start();
    const browser = await launchBrowser();
    try {
      const page = await openPage(browser, server, { page: 'connect-mode' });
      await eventually(async () => assert.equal(await page.getByTestId('connect-status').getAttribute('data-status'), 'noDev'));
      assert.equal(await text(page, 'status-pill'), 'No station connected');
      await page.goto(page.url().replace('connect-mode', 'home'));
      await eventually(async () => assert.equal(await text(page, 'empty-title'), 'No station connected'));
      await screenshot(page, 'light-us-home-no-station');
      await page.goto(page.url().replace('/home', '/connect-mode'));
      await page.getByTestId('connect-status').waitFor();
      server.setConnected(true);
      await eventually(async () => assert.equal(await page.locator('[data-page]').getAttribute('data-page'), 'home'));
      await eventually(async () => assert.equal(await text(page, 'charge'), '87%'));
    } finally {
      await browser.close();
      await server.stop();
    }
  });
});
