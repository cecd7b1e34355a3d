// What follows the page's shutdown request: a shutdown that fails, one that is started but does
// not happen, one the program starts by itself, and the mains coming back meanwhile. The page's
// clock is driven, so the stage-two countdown and the minute of waiting pass at once.
import assert from 'node:assert/strict';
import { after, afterEach, before, beforeEach, describe, it } from 'node:test';
import { FakeProgram } from '../fake-server.mjs';
import { eventually, launchBrowser, openPage, screenshot, text } from '../support.mjs';

const STAGE_TWO = { status: 'shutdown', mode: 'local', interval: 5 };
// Command output that looks like markup must reach the user as the words it is.
const REASON = 'shutdown: <b>Access denied</b> (polkit: "org.freedesktop.login1.power-off")';

describe('shutdown result', () => {
  let server;
  let browser;
  let page;

  before(async () => {
    browser = await launchBrowser();
  });
  after(async () => browser.close());

  beforeEach(async () => {
    server = new FakeProgram({ station: { steady: true, onBattery: true, charging: false, charge: 11, runtimeMinutes: 6 } });
    await server.start();
    page = await openPage(browser, server, { page: 'home' });
    await page.clock.install();
    await server.waitForCall('global.websocketConnected');
  });
  afterEach(async () => server.stop());

  const title = () => page.locator('.shutdown-dialog .dialog-title').textContent();
  const visible = (testId) => page.getByTestId(testId).isVisible();

  async function countStageTwoDown() {
    server.notify('global.notifyLowPowerShutdown', STAGE_TWO);
    await page.getByTestId('shutdown-overlay').waitFor();
    await page.clock.runFor(5500);
    return server.waitForCall('global.shutdown', () => true, 3000);
  }

  it('says why the PC could not be shut down, asks again on "Try again" and goes back on "Close"', async () => {
    server.shutdownOutcome = { ok: false, reason: REASON };
    await countStageTwoDown();
    await eventually(async () => assert.equal(await title(), 'This PC could not be shut down'));
    assert.equal(await text(page, 'shutdown-reason'), `The system said: ${REASON}`);
    assert.equal(await page.locator('.shutdown-reason b').count(), 0);
    assert.deepEqual(await Promise.all(['shutdown-retry', 'shutdown-close', 'shutdown-cancel', 'shutdown-now'].map(visible)), [true, true, false, false]);
    await screenshot(page, 'light-us-shutdown-failed');

    // An honest "no" is not asked again by itself.
    await page.clock.runFor(10000);
    assert.equal(server.callsOf('global.shutdown').length, 1);

    await page.getByTestId('shutdown-retry').click();
    await eventually(() => assert.equal(server.callsOf('global.shutdown').length, 2));
    await eventually(async () => assert.equal(await title(), 'This PC could not be shut down'));
    await page.getByTestId('shutdown-close').click();
    await page.getByTestId('shutdown-overlay').waitFor({ state: 'hidden' });
    assert.equal(await page.locator('[data-page]').getAttribute('data-page'), 'home');
  });

  it('shows "Shutting down" after "Try again" succeeds', async () => {
    server.shutdownOutcome = { ok: false, reason: 'exit status 1' };
    await countStageTwoDown();
    await page.getByTestId('shutdown-retry').waitFor();
    server.shutdownOutcome = { ok: true, reason: 'shutdown started' };
    await page.getByTestId('shutdown-retry').click();
    await eventually(async () => assert.equal(await title(), 'Shutting down'));
    assert.equal(await visible('shutdown-retry'), false);
  });

  it('says so when the PC still runs a minute after the shutdown was started', async () => {
    await countStageTwoDown();
    await eventually(async () => assert.equal(await title(), 'Shutting down'));
    await page.clock.runFor(59000);
    assert.equal(await title(), 'Shutting down');
    await page.clock.runFor(1500);
    await eventually(async () => assert.equal(await title(), 'This PC is still running'));
    assert.equal(await visible('shutdown-reason'), false);
    await screenshot(page, 'light-us-shutdown-still-running');
    await page.getByTestId('shutdown-retry').click();
    await eventually(() => assert.equal(server.callsOf('global.shutdown').length, 2));
  });

  it('closes by itself when the mains return', async () => {
    await countStageTwoDown();
    await eventually(async () => assert.equal(await title(), 'Shutting down'));
    server.station.onBattery = false;
    await page.clock.runFor(2000);
    await page.getByTestId('shutdown-overlay').waitFor({ state: 'hidden', timeout: 5000 });
    assert.match(await text(page, 'shutdown-note'), /Mains power is back/);
  });

  it('shows a shutdown that the program started by itself', async () => {
    server.notify('global.notifyShutdownResult', { ok: true, reason: 'shutdown started' });
    await page.getByTestId('shutdown-overlay').waitFor();
    assert.equal(await title(), 'Shutting down');
    await page.clock.runFor(3000);
    assert.equal(server.callsOf('global.shutdown').length, 0);
  });

  it('asks again when the connection dropped before the answer', async () => {
    const methods = server.methods.bind(server);
    let first = true;
    server.methods = () => ({
      ...methods(),
      'global.shutdown': (_p, reply) => {
        if (!first) return server.shutDown(reply);
        first = false;
        server.dropConnections();
      },
    });
    await countStageTwoDown();
    // The page reconnects after its back-off and asks once more.
    await page.clock.runFor(2000);
    await eventually(() => assert.equal(server.callsOf('global.shutdown').length, 2));
    await eventually(async () => assert.equal(await title(), 'Shutting down'));
  });
});
