// How the page reaches the program: the session token, reconnecting, and the web-channel bridge.
import assert from 'node:assert/strict';
import { after, afterEach, before, beforeEach, describe, it } from 'node:test';
import { FakeProgram } from '../fake-server.mjs';
import { eventually, fakeBridge, launchBrowser, openPage, pageUrl, text } from '../support.mjs';

describe('connection', () => {
  let server;
  let browser;
  before(async () => (browser = await launchBrowser()));
  after(async () => browser.close());
  beforeEach(async () => {
    server = new FakeProgram({ token: 'a1b2c3', station: { steady: true } });
    await server.start();
  });
  afterEach(async () => server.stop());

  it('is refused without the session token and says it is still connecting', async () => {
    const page = await openPage(browser, server, { page: 'home', token: 'wrong' });
    await eventually(() => assert.ok(server.refused >= 2));
    await eventually(async () => assert.equal(await text(page, 'status-pill'), 'Connecting to Amperlane…'));
    assert.equal(await text(page, 'empty-title'), 'Connecting to Amperlane…');
    assert.equal(server.calls.length, 0);
  });

  it('reconnects after the program went away and asks for its notifications again', async () => {
    const page = await openPage(browser, server, { page: 'home' });
    await eventually(async () => assert.equal(await text(page, 'charge'), '87%'));
    const enables = () => server.callsOf('global.enableNotify').length;
    const before = enables();
    server.dropConnections();
    await eventually(async () => assert.equal(await text(page, 'status-pill'), 'Connecting to Amperlane…'), 3000);
    await eventually(() => assert.equal(server.callsOf('global.websocketConnected').length, 2), 6000);
    await eventually(() => assert.ok(enables() > before));
    await eventually(async () => assert.equal(await text(page, 'status-pill'), 'VESSA 5 Core-1234'));
  });

  it('takes language, port and token from the bridge and drives the window through it', async () => {
    const page = await openPage(browser, server, {
      page: 'home',
      lang: 'us',
      token: 'not-this-one',
      port: 1,
      init: fakeBridge,
      initArg: {
        getLanguage: 'de',
        getWebsocketPort: server.port,
        getWebsocketToken: server.token,
        hasDeviceDetailPage: false,
        connectMode: 'local',
      },
    });
    await eventually(async () => assert.equal(await text(page, 'charge'), '87\u00a0%'));
    assert.equal(await text(page, 'nav-home'), 'Übersicht');
    // The program decides about the detail page, whatever the model says.
    await page.waitForTimeout(500);
    assert.equal(await page.getByTestId('nav-device-detail').isVisible(), false);
    await page.getByTestId('win-minimize').click();
    await page.getByTestId('win-maximize').click();
    await page.getByTestId('win-close').click();
    const calls = await page.evaluate(() => window.bridgeCalls.map((c) => c.join(' ')));
    assert.equal(calls.filter((c) => c === 'pageReady').length, 1);
    for (const expected of ['minimize', 'maximize', 'close']) assert.ok(calls.includes(expected), expected);
    assert.equal(server.refused, 0);
  });

  it('stores the language picked on the About page in the program and starts afresh in it', async () => {
    const page = await openPage(browser, server, {
      page: 'about',
      lang: 'de',
      init: fakeBridge,
      initArg: {
        getLanguage: 'at',
        getWebsocketPort: server.port,
        getWebsocketToken: server.token,
        hasDeviceDetailPage: false,
        connectMode: 'local',
      },
    });
    await eventually(async () => assert.equal(await text(page, 'firmware-version'), '1.2.3.4'));
    assert.equal(await page.getByTestId('language').inputValue(), 'de');
    await page.getByTestId('language').selectOption('ja');
    await eventually(async () => assert.equal(await text(page, 'nav-home'), '概要'));
    const calls = await page.evaluate(() => window.bridgeCalls.map((c) => c.join(' ')));
    assert.deepEqual(calls.filter((c) => c.startsWith('setLanguage')), ['setLanguage jp']);
    // A fresh page: it asked the program for everything again and said it was ready again.
    assert.equal(calls.filter((c) => c === 'pageReady').length, 2);
    assert.equal(await page.evaluate(() => document.documentElement.lang), 'ja-JP');
    assert.equal(await page.getByTestId('language').inputValue(), 'ja');
    await eventually(async () => assert.equal(await text(page, 'firmware-version'), '1.2.3.4'));
  });

  it('changes the language in the address without the program', async () => {
    const page = await openPage(browser, server, { page: 'about', lang: 'us' });
    await page.getByTestId('language').selectOption('fr');
    await eventually(async () => assert.equal(await text(page, 'nav-about'), 'À propos'));
    const address = new URL(page.url());
    assert.equal(address.hash, `#/us/about?lang=fr&token=${server.token}&port=${server.port}`);
    await eventually(async () => assert.equal(await text(page, 'app-version'), '1.0.0.14'));
  });

  it('reports ready while the program still hides the view behind its loading picture', async () => {
    // A hidden view gets no animation frames.
    const page = await browser.context.newPage();
    await page.addInitScript(() => (window.requestAnimationFrame = () => 0));
    await page.addInitScript(fakeBridge, { getLanguage: 'us', getWebsocketPort: server.port, getWebsocketToken: server.token, hasDeviceDetailPage: false, connectMode: 'local' });
    await page.goto(pageUrl({ page: 'home' }));
    await eventually(async () => assert.deepEqual(await page.evaluate(() => window.bridgeCalls.filter((c) => c[0] === 'pageReady')), [['pageReady']]));
    await page.close();
  });

  it('shows the detail page while the program offers it', async () => {
    const page = await openPage(browser, server, {
      page: 'device-detail',
      init: fakeBridge,
      initArg: {
        getLanguage: 'us',
        getWebsocketPort: server.port,
        getWebsocketToken: server.token,
        hasDeviceDetailPage: { window: 'detailOffered' },
        connectMode: 'local',
      },
    });
    // Without the offer the address of the detail page falls back to the overview.
    await eventually(async () => assert.equal(await page.locator('[data-page]').getAttribute('data-page'), 'home'));
    await page.evaluate(() => (window.detailOffered = true));
    await page.getByTestId('nav-device-detail').waitFor({ timeout: 5000 });
    await page.getByTestId('nav-device-detail').click();
    await eventually(async () => assert.equal(await text(page, 'detail-input-total'), '312'));
    await page.evaluate(() => (window.detailOffered = false));
    await eventually(async () => assert.equal(await page.locator('[data-page]').getAttribute('data-page'), 'home'), 5000);
  });
});
