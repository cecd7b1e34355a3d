// The warnings that interrupt the page: the low-battery tip, the two-stage shutdown, the remote
// warning, the station lost while on battery, the USB driver installation and the serial-port tip.
import assert from 'node:assert/strict';
import { after, afterEach, before, beforeEach, describe, it } from 'node:test';
import { FakeProgram } from '../fake-server.mjs';
import { eventually, launchBrowser, openPage, screenshot, text } from '../support.mjs';

const STAGE_ONE = { status: 'lowPowerShutdown', mode: 'local', interval: 20, lowPowerShutdownValue: 10 };
const STAGE_TWO = { status: 'shutdown', mode: 'local', interval: 5 };

describe('warnings', () => {
  let server;
  let browser;
  let page;

  before(async () => {
    browser = await launchBrowser();
  });
  after(async () => browser.close());

  beforeEach(async () => {
    server = new FakeProgram({ station: { steady: true, onBattery: true, charging: false, charge: 14, runtimeMinutes: 38 } });
    await server.start();
  });
  afterEach(async () => server.stop());

  async function openOn(pageName, options = {}) {
    page = await openPage(browser, server, { page: pageName, ...options });
    await server.waitForCall('global.websocketConnected');
    return page;
  }

  it('shows the low-battery tip with its levels until acknowledged', async () => {
    await openOn('home');
    server.notify('global.notifyLowPowerTip', { tipLimitValue: 15, batteryLowLimitValue: 10 });
    await page.getByTestId('tip-overlay').waitFor();
    assert.match(await text(page, 'tip-text'), /15% or less.*off at 10%/);
    await screenshot(page, 'light-us-low-power-tip');
    await page.getByTestId('tip-ok').click();
    await page.getByTestId('tip-overlay').waitFor({ state: 'hidden' });
  });

  it('counts stage one down from any page and does not shut down once cancelled', async () => {
    await openOn('about');
    server.notify('global.notifyLowPowerShutdown', STAGE_ONE);
    await page.getByTestId('shutdown-overlay').waitFor();
    // The countdown brings the overview forward, where the mains state is reported.
    await eventually(async () => assert.equal(await page.locator('[data-page]').getAttribute('data-page'), 'home'));
    const first = Number(await text(page, 'countdown-seconds'));
    assert.ok(first >= 18 && first <= 20, `countdown starts at ${first}`);
    await screenshot(page, 'light-us-shutdown-stage-one');
    await eventually(async () => assert.ok(Number(await text(page, 'countdown-seconds')) < first));
    await page.getByTestId('shutdown-cancel').click();
    await page.getByTestId('shutdown-overlay').waitFor({ state: 'hidden' });
    assert.match(await text(page, 'shutdown-note'), /cancelled/);
    // The program holds its own deadline behind the page's countdown; the cancel disarms it.
    await server.waitForCall('global.cancelLowPowerShutdown', () => true, 2000);
    await page.waitForTimeout(500);
    assert.equal(server.callsOf('global.shutdown').length, 0);
  });

  it('tells the program of a cancel made while the connection was down', async () => {
    await openOn('home');
    server.notify('global.notifyLowPowerShutdown', STAGE_ONE);
    await page.getByTestId('shutdown-overlay').waitFor();
    server.dropConnections();
    await eventually(async () => assert.equal(await text(page, 'status-pill'), 'Connecting to Amperlane…'));
    await page.getByTestId('shutdown-cancel').click();
    await server.waitForCall('global.cancelLowPowerShutdown', () => true, 10000);
    assert.equal(server.callsOf('global.cancelLowPowerShutdown').length, 1);
  });

  it('warns on every page while the station is lost on battery, until it is read again', async () => {
    await openOn('about');
    server.setLinkLost(true);
    await page.getByTestId('link-lost').waitFor();
    assert.match(await text(page, 'link-lost'), /No contact with the station.*on battery at 14%.*USB cable/);
    await screenshot(page, 'light-us-link-lost');
    await page.getByTestId('nav-battery-setting').click();
    assert.equal(await page.getByTestId('link-lost').isVisible(), true);
    // Closed, the message leaves the page free; the title bar keeps the warning.
    await page.getByTestId('link-lost-close').click();
    await page.getByTestId('link-lost').waitFor({ state: 'hidden' });
    assert.equal(await text(page, 'status-pill'), 'No contact with the station');
    server.setLinkLost(false);
    await eventually(async () => assert.match(await text(page, 'status-pill'), /^VESSA 5 Core/));
  });

  it('drops the lost-station warning when the station is connected again', async () => {
    await openOn('home');
    server.setLinkLost(true);
    await page.getByTestId('link-lost').waitFor();
    server.setConnected(false);
    await page.waitForTimeout(300);
    assert.equal(await page.getByTestId('link-lost').isVisible(), true);
    server.station.linkLost = false;
    server.setConnected(true);
    await page.getByTestId('link-lost').waitFor({ state: 'hidden' });
  });

  it('shuts down when stage two has counted its 5 seconds, even after stage one was cancelled', async () => {
    await openOn('home');
    server.notify('global.notifyLowPowerShutdown', STAGE_ONE);
    await page.getByTestId('shutdown-cancel').click();
    const sent = Date.now();
    server.notify('global.notifyLowPowerShutdown', STAGE_TWO);
    await page.getByTestId('shutdown-overlay').waitFor();
    await screenshot(page, 'light-us-shutdown-stage-two');
    assert.equal(server.callsOf('global.shutdown').length, 0);
    const call = await server.waitForCall('global.shutdown', () => true, 9000);
    assert.ok(call.at - sent >= 4500, `shut down after ${call.at - sent} ms`);
    assert.equal(server.callsOf('global.shutdown').length, 1);
  });

  it('shuts down when stage one runs out', async () => {
    page = await openPage(browser, server, { page: 'home' });
    await page.clock.install();
    await server.waitForCall('global.websocketConnected');
    server.notify('global.notifyLowPowerShutdown', STAGE_ONE);
    await page.getByTestId('shutdown-overlay').waitFor();
    await page.clock.runFor(19000);
    assert.equal(server.callsOf('global.shutdown').length, 0);
    await page.clock.runFor(1500);
    await server.waitForCall('global.shutdown', () => true, 3000);
  });

  it('calls the countdown off when the mains return', async () => {
    await openOn('home');
    server.notify('global.notifyLowPowerShutdown', STAGE_ONE);
    await page.getByTestId('shutdown-overlay').waitFor();
    server.station.onBattery = false;
    await page.getByTestId('shutdown-overlay').waitFor({ state: 'hidden', timeout: 3000 });
    assert.match(await text(page, 'shutdown-note'), /Mains power is back/);
    assert.equal(server.callsOf('global.shutdown').length, 0);
  });

  it('asks before shutting down for a remote warning', async () => {
    await openOn('home');
    server.notify('global.notifyLowPowerShutdown', { status: 'lowPowerShutdown', mode: 'remote', lowPowerShutdownValue: 10 });
    await page.getByTestId('shutdown-overlay').waitFor();
    assert.equal(await page.getByTestId('countdown-seconds').isVisible(), false);
    await page.waitForTimeout(600);
    assert.equal(server.callsOf('global.shutdown').length, 0);
    await page.getByTestId('shutdown-now').click();
    await server.waitForCall('global.shutdown', () => true, 3000);
  });

  it('follows a driver installation and retries a failed one', async () => {
    await openOn('home');
    server.notify('global.notifyUsbDriverInstallLoading', {});
    await page.getByTestId('driver-overlay').waitFor();
    assert.equal(await page.getByTestId('driver-retry').isVisible(), false);
    server.notify('global.notifyUsbDriverInstallResult', { status: false });
    await page.getByTestId('driver-retry').waitFor();
    assert.equal(await text(page, 'driver-title'), 'Driver installation failed');
    await screenshot(page, 'light-us-driver-failed');
    await page.getByTestId('driver-retry').click();
    await server.waitForCall('global.usbDriverInstall');
    server.notify('global.notifyUsbDriverInstallResult', { status: true });
    await eventually(async () => assert.equal(await text(page, 'driver-title'), 'Drivers installed'));
    await page.getByTestId('driver-overlay').waitFor({ state: 'hidden', timeout: 5000 });
  });

  it('shows a running installation to a page that comes late', async () => {
    server.methods = ((methods) => () => ({ ...methods(), 'global.getShowWinUsbDriverInstallLoading': (_p, reply) => reply(true) }))(
      server.methods.bind(server),
    );
    await openOn('home');
    await page.getByTestId('driver-overlay').waitFor();
  });

  it('tells the user when the serial port was not found', async () => {
    await openOn('home');
    server.notify('global.notifyUsbSerialTips', {});
    await page.getByTestId('usb-serial-tip').waitFor();
    await screenshot(page, 'light-us-usb-serial-tip');
  });
});
