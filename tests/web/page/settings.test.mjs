// Settings pages: what the page sends when the user applies them, and what it refuses to send.
import assert from 'node:assert/strict';
import { after, afterEach, before, beforeEach, describe, it } from 'node:test';
import { FakeProgram } from '../fake-server.mjs';
import { eventually, launchBrowser, openPage, screenshot, text } from '../support.mjs';

describe('settings', () => {
  let server;
  let browser;
  before(async () => (browser = await launchBrowser()));
  after(async () => browser.close());
  beforeEach(async () => {
    server = new FakeProgram({ station: { steady: true } });
    await server.start();
  });
  afterEach(async () => server.stop());

  it('applies a remote server and restarts monitoring in that order', async () => {
    const page = await openPage(browser, server, { page: 'connect-mode' });
    await eventually(async () => assert.equal(await page.getByTestId('nut-host').inputValue(), '127.0.0.1'));
    assert.equal(await page.getByTestId('nut-host').isDisabled(), true);
    await page.getByTestId('mode-remote').check();
    await page.getByTestId('nut-host').fill(' nas.local ');
    await page.getByTestId('nut-port').fill('3493');
    await page.getByTestId('nut-password').fill('s3cret');
    await page.getByTestId('connect-apply').click();
    await eventually(async () => assert.equal(server.callsOf('connectModeParam.setEnableConnectStatus').length, 2));
    assert.deepEqual(server.callsOf('connectModeParam.setSettings')[0].params, {
      mode: 'remote',
      upsName: 'nutdev1',
      nutIP: 'nas.local',
      nutPort: '3493',
      nutUser: 'drel',
      nutPassword: 's3cret',
    });
    const order = server.calls
      .filter((c) => c.method.startsWith('connectModeParam.set'))
      .map((c) => `${c.method}${c.params?.enable === undefined ? '' : `:${c.params.enable}`}`);
    assert.deepEqual(order, [
      'connectModeParam.setSettings',
      'connectModeParam.setEnableConnectStatus:false',
      'connectModeParam.setEnableConnectStatus:true',
    ]);
    await eventually(async () => assert.match(await text(page, 'connect-message'), /Applied/));
    await screenshot(page, 'light-us-connect-mode-remote');
  });

  for (const [field, value, message] of [
    ['nut-port', '70000', /port is a number/],
    ['nut-port', 'abc', /port is a number/],
    ['nut-host', '  ', /host name/],
    ['ups-name', '', /station's name/],
  ]) {
    it(`refuses to apply ${field} = ${JSON.stringify(value)}`, async () => {
      const page = await openPage(browser, server, { page: 'connect-mode' });
      await eventually(async () => assert.equal(await page.getByTestId('nut-port').inputValue(), '3496'));
      await page.getByTestId('mode-remote').check();
      await page.getByTestId(field).fill(value);
      await page.getByTestId('connect-apply').click();
      assert.match(await text(page, 'connect-message'), message);
      await page.waitForTimeout(300);
      assert.equal(server.callsOf('connectModeParam.setSettings').length, 0);
    });
  }

  it('saves the battery settings and shows them again after a reload', async () => {
    const page = await openPage(browser, server, { page: 'battery-setting' });
    await eventually(async () => assert.equal(await page.getByTestId('tip-margin').inputValue(), '5'));
    assert.equal(await page.getByTestId('default-charge-low').inputValue(), '10');
    await page.getByRole('button', { name: 'More' }).first().click();
    await page.getByRole('button', { name: 'More' }).first().click();
    await page.getByTestId('shutdown-margin').fill('9');
    await page.getByTestId('default-charge-low').fill('0');
    await page.locator('label:has([data-testid=enable-local])').click();
    assert.match(await text(page, 'plan'), /not shut down automatically/);
    await page.getByTestId('battery-save').click();
    const call = await server.waitForCall('batterySetting.setSettingParam');
    assert.deepEqual(call.params, {
      lowPowerTipValue: 7,
      lowPowerShutdownValue: 9,
      enableLowPowerShutdown: false,
      enableRemoteLowPowerShutdown: false,
      defaultChargeLow: 0,
    });
    await eventually(async () => assert.equal(await text(page, 'battery-status'), 'Saved'));

    const again = await openPage(browser, server, { page: 'battery-setting' });
    await eventually(async () => assert.equal(await again.getByTestId('tip-margin').inputValue(), '7'));
    assert.equal(await again.getByTestId('shutdown-margin').inputValue(), '9');
    assert.equal(await again.getByTestId('default-charge-low').inputValue(), '0');
    assert.equal(await again.getByTestId('enable-local').isChecked(), false);
  });

  for (const [field, value, message] of [
    ['shutdown-margin', '90', /shutdown margin is a whole number from 1 to 50/],
    ['tip-margin', '', /warning margin is a whole number from 1 to 50/],
    ['default-charge-low', '91', /low level is a whole number from 0% to 90%/],
  ]) {
    it(`refuses to save ${field} = ${JSON.stringify(value)}`, async () => {
      const page = await openPage(browser, server, { page: 'battery-setting' });
      await eventually(async () => assert.equal(await page.getByTestId('tip-margin').inputValue(), '5'));
      await page.getByTestId(field).fill(value);
      assert.match(await text(page, 'plan'), message);
      await page.getByTestId('battery-save').click();
      assert.match(await text(page, 'battery-status'), message);
      await page.waitForTimeout(300);
      assert.equal(server.callsOf('batterySetting.setSettingParam').length, 0);
    });
  }

  it('says so when the program refuses the values, and keeps them for correcting', async () => {
    const methods = server.methods.bind(server);
    server.methods = () => ({ ...methods(), 'batterySetting.setSettingParam': (_p, reply) => reply(false) });
    const page = await openPage(browser, server, { page: 'battery-setting' });
    await eventually(async () => assert.equal(await page.getByTestId('tip-margin').inputValue(), '5'));
    await page.getByTestId('shutdown-margin').fill('8');
    await page.getByTestId('battery-save').click();
    await eventually(async () => assert.equal(await text(page, 'battery-status'), 'Amperlane did not accept these values. Nothing was changed.'));
    await screenshot(page, 'light-us-battery-refused');
    assert.equal(await page.getByTestId('shutdown-margin').inputValue(), '8');
  });
});
