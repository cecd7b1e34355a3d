// The battery self-test and the software update, from the button to the explained outcome.
import assert from 'node:assert/strict';
import { after, afterEach, before, beforeEach, describe, it } from 'node:test';
import { FakeProgram } from '../fake-server.mjs';
import { eventually, launchBrowser, openPage, screenshot, text } from '../support.mjs';

describe('self-test and update', () => {
  let server;
  let browser;
  before(async () => (browser = await launchBrowser()));
  after(async () => browser.close());
  beforeEach(async () => {
    server = new FakeProgram({ station: { steady: true } });
    await server.start();
  });
  afterEach(async () => server.stop());

  for (const [result, shown, last] of [
    [3, /^Passed/, /Last test passed on Dec 10, 2026/],
    [4, /^Failed/, /Last test failed on Dec 10, 2026/],
    [255, /did not finish the test in time/, /Last test passed on Dec 6, 2026/],
  ]) {
    it(`runs the self-test and explains result ${result}`, async () => {
      server.station.selfTestResult = result;
      const page = await openPage(browser, server, { page: 'home' });
      await eventually(async () => assert.equal(await text(page, 'charge'), '87%'));
      await page.getByTestId('selftest-start').click();
      await page.getByTestId('selftest-progress').waitFor();
      assert.equal(await page.getByTestId('selftest-start').isDisabled(), true);
      if (result === 3) await screenshot(page, 'light-us-selftest-running');
      await eventually(async () => assert.match(await text(page, 'selftest-state'), shown), 5000);
      await eventually(async () => assert.match(await text(page, 'selftest-last'), last));
      assert.equal(await page.getByTestId('selftest-progress').isVisible(), false);
      assert.equal(server.callsOf('homePage.selfTest').length, 1);
      if (result === 3) await screenshot(page, 'light-us-selftest-passed');
    });
  }

  it('checks an update request before sending it and sends the checksum in lower case', async () => {
    const page = await openPage(browser, server, { page: 'about' });
    await eventually(async () => assert.equal(await text(page, 'app-version'), '1.0.0.14'));
    await page.getByTestId('update-version').fill('../1.0.0.15');
    await page.getByTestId('update-url').fill('http://127.0.0.1:9/1.0.0.15.zip');
    await page.getByTestId('update-md5').fill('D41D8CD98F00B204E9800998ECF8427E');
    await page.getByTestId('update-start').click();
    assert.match(await text(page, 'update-message'), /only letters, digits/);
    await page.getByTestId('update-version').fill('1.0.0.15');
    await page.getByTestId('update-start').click();
    const call = await server.waitForCall('global.softwareUpdate');
    assert.deepEqual(call.params, { version: '1.0.0.15', ossurl: 'http://127.0.0.1:9/1.0.0.15.zip', md5: 'd41d8cd98f00b204e9800998ecf8427e' });
    await eventually(async () => assert.match(await text(page, 'update-message'), /Downloading… \d+%/), 3000);
    await eventually(async () => assert.match(await text(page, 'update-message'), /checksum does not match/), 5000);
    assert.equal(await page.getByTestId('update-start').isDisabled(), false);
    await screenshot(page, 'light-us-update-failed');
  });

  it('waits for the restart after a successful update', async () => {
    server.update.finalState = null;
    const original = server.runUpdate.bind(server);
    // A successful update ends the program, which closes the page's connection.
    server.runUpdate = (reply) => original(() => server.dropConnections());
    const page = await openPage(browser, server, { page: 'about' });
    await eventually(async () => assert.equal(await text(page, 'app-version'), '1.0.0.14'));
    await page.getByTestId('update-version').fill('1.0.0.15');
    await page.getByTestId('update-url').fill('https://updates.example/1.0.0.15.zip');
    await page.getByTestId('update-md5').fill('d41d8cd98f00b204e9800998ecf8427e');
    await page.getByTestId('update-start').click();
    await page.getByTestId('update-overlay').waitFor({ timeout: 5000 });
    await screenshot(page, 'light-us-update-restarting');
  });
});
