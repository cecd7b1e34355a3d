// Every text the page shows from NUT or the station (model, serial number, firmware version, the
// mains-failure and self-test records, and the same texts in notifications) is shown as text:
// markup in it never becomes part of the page.
import assert from 'node:assert/strict';
import { after, before, describe, it } from 'node:test';
import { FakeProgram } from '../fake-server.mjs';
import { eventually, launchBrowser, openPage, text } from '../support.mjs';

const markup = (tag) => `<img src=x onerror="window.injected=(window.injected||[]).concat('${tag}')">`;

async function injected(page) {
  return page.evaluate(() => ({
    ran: window.injected ?? [],
    elements: document.querySelectorAll('img[src="x"]').length,
  }));
}

describe('texts from NUT and the station', () => {
  let server;
  let browser;
  before(async () => {
    server = new FakeProgram({
      station: {
        steady: true,
        sn: markup('sn'),
        model: `TQ-UPS-VESSA 5 Core ${markup('model')}`,
        firmware: markup('firmware'),
        turnOffTimes: [markup('turnOff')],
        lastSelfTest: { time: markup('selfTest'), res: true },
      },
    });
    await server.start();
    browser = await launchBrowser();
  });
  after(async () => {
    await browser.close();
    await server.stop();
  });

  it('are shown as text on every page and in notifications', async () => {
    const page = await openPage(browser, server, { page: 'home' });
    await eventually(async () => assert.equal(await text(page, 'serial'), markup('sn')));
    await eventually(async () => assert.match(await text(page, 'station-name'), /<img src=x/));
    assert.match(await text(page, 'failure-last'), /<img src=x/);
    assert.match(await text(page, 'selftest-last'), /<img src=x/);
    await page.getByTestId('failures-show').click();
    assert.match(await page.getByTestId('failure-list').textContent(), /<img src=x/);
    await page.getByTestId('dialog').getByRole('button').last().click();
    await page.getByTestId('dialog').waitFor({ state: 'detached' });

    // Notifications carry the same texts as they change.
    server.notify('homePage.notifyLastTurnOffChargeTime', { time: markup('turnOffNotice') });
    server.station.model = '';
    server.notify('homePage.notifyUPSDeviceInfo', {
      'ups.status': false,
      'ups.chargeStatus': true,
      'battery.charge': '87',
      'ups.devName': markup('devName'),
      'ups.realpower.nominal': markup('nominal'),
    });
    await eventually(async () => assert.match(await text(page, 'failure-last'), /turnOffNotice/));

    await page.getByTestId('nav-about').click();
    await eventually(async () => assert.equal(await text(page, 'firmware-version'), markup('firmware')));

    await page.waitForTimeout(500);
    assert.deepEqual(await injected(page), { ran: [], elements: 0 });
    assert.deepEqual(browser.errors, []);
  });
});
