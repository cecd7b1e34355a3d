// The page in Chromium against the real program, which watches a simulated station through the
// installation's own NUT (upsd + dummy-ups) in local mode. The local NUT server listens on a free
// port named in settings.ini, so other NUT tests on port 3493 neither disturb nor see it.
//
// Safety: the page's global.shutdown requests are caught in the browser and recorded, never sent;
// the program gets no page of its own (its folder has no build/), and its shutdown command is
// replaced by `true` all the same, so nothing can switch this machine off.
import assert from 'node:assert/strict';
import { spawn, spawnSync } from 'node:child_process';
import { createServer } from 'node:net';
import { copyFileSync, cpSync, existsSync, mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { homedir, tmpdir } from 'node:os';
import { basename, join } from 'node:path';
import { after, before, describe, it } from 'node:test';
import { eventually, launchBrowser, screenshot, text, pageUrl } from '../support.mjs';

const PROGRAM = process.env.AMPERLANE_PROGRAM;
const STATION_SIM = process.env.AMPERLANE_STATION_SIM;
const NUT_LINUX_DIR = process.env.AMPERLANE_NUT_LINUX_DIR;
const ready = [PROGRAM, STATION_SIM, NUT_LINUX_DIR].every((p) => p && existsSync(p));

// Scenario seconds (the simulator runs twice as fast as the clock): mains at 80 % while the pages,
// the settings and the self-test are checked, then on battery down to the station's low level
// plus one (low 20: tip at 25, first stage at 24, second stage at 21).
const SPEED = 2;
const ON_BATTERY_AT = 160;
const SCENARIO = {
  serial: 'SN00001234',
  model: 'TQ-UPS-VESSA 5 Core',
  realpowerNominal: 1024,
  firmware: '1.2.3.4',
  chargeLow: 20,
  duration: 400,
  charge: [[0, 80], [ON_BATTERY_AT, 80], [ON_BATTERY_AT + 40, 26], [ON_BATTERY_AT + 80, 24], [ON_BATTERY_AT + 140, 21]],
  onBattery: [[ON_BATTERY_AT, 400]],
  runtime: [[0, 96], [ON_BATTERY_AT, 96], [400, 25]],
  attributes: { 'output.ac.realpower': 58.4, 'input.ac.realpower': 65, 'battery.temperature': 27 },
  selfTest: { result: 'pass', seconds: 4 },
};

// The program's JSON-RPC port is fixed; ports of a test's own program are checked by owner.
function portOwner(port) {
  const out = spawnSync('ss', ['-ltnpH', `sport = :${port}`], { encoding: 'utf8' }).stdout ?? '';
  const m = /pid=(\d+),/.exec(out);
  return m ? Number(m[1]) : null;
}

function freePort() {
  return new Promise((resolve) => {
    const server = createServer().listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

// Keeps global.shutdown from leaving the browser and counts the page's requests.
function catchShutdown() {
  window.shutdownRequests = 0;
  const send = WebSocket.prototype.send;
  WebSocket.prototype.send = function (data) {
    if (typeof data === 'string' && data.includes('"global.shutdown"')) {
      window.shutdownRequests += 1;
      return;
    }
    return send.call(this, data);
  };
}

describe('the page against the program', { skip: ready ? false : 'the program or the station simulator is not built' }, () => {
  let root;
  let appDir;
  let settingsDir;
  let program;
  let station;
  let browser;
  let page;
  const programLog = [];

  const settingsIni = () => readFileSync(join(settingsDir, 'settings.ini'), 'utf8');

  before(async () => {
    root = mkdtempSync(join(tmpdir(), 'amperlane-e2e-'));
    appDir = join(root, '1.0.0.14');
    settingsDir = join(appDir, 'AmperlaneSettings', basename(homedir()));
    mkdirSync(join(settingsDir, 'nut'), { recursive: true });
    copyFileSync(PROGRAM, join(appDir, 'Amperlane'));
    spawnSync('chmod', ['755', join(appDir, 'Amperlane')]);
    cpSync(NUT_LINUX_DIR, join(appDir, 'linux'), { recursive: true });
    writeFileSync(join(root, 'scenario.json'), JSON.stringify(SCENARIO));
    writeFileSync(join(settingsDir, 'settings.ini'), `[connectModeParam]\nlocalNutPort=${await freePort()}\n`);

    // The variables file makes the installation's NUT serve the simulated station, and the
    // program offers the link beside it as the station's serial port.
    const nutDir = join(settingsDir, 'nut');
    station = spawn(STATION_SIM, [join(root, 'scenario.json'), '--speed', String(SPEED), '--dev', join(nutDir, 'nutdev1.dev'), '--link', join(nutDir, 'nutdev1.tty')], {
      stdio: 'ignore',
    });
    await eventually(() => assert.ok(existsSync(join(nutDir, 'nutdev1.dev')) && existsSync(join(nutDir, 'nutdev1.tty'))), 10000);

    // Another program (a developer's, on a shared machine) may hold the fixed port for a while.
    await eventually(() => assert.equal(portOwner(57890), null, 'port 57890 is busy'), 180000, 1000);
    const runtime = join(root, 'runtime');
    mkdirSync(runtime, { mode: 0o700 });
    program = spawn(join(appDir, 'Amperlane'), [], {
      cwd: appDir,
      env: {
        ...process.env,
        QT_QPA_PLATFORM: 'offscreen',
        QTWEBENGINE_DISABLE_SANDBOX: '1',
        XDG_RUNTIME_DIR: runtime,
        AMPERLANE_SHUTDOWN_COMMAND: 'true',
      },
      stdio: ['ignore', 'pipe', 'pipe'],
    });
    program.stdout.on('data', (d) => programLog.push(String(d)));
    program.stderr.on('data', (d) => programLog.push(String(d)));
    const tokenFile = join(settingsDir, 'websocket.token');
    await eventually(() => assert.ok(existsSync(tokenFile) && readFileSync(tokenFile, 'utf8').trim().length === 32), 20000);
    const token = readFileSync(tokenFile, 'utf8').trim();
    await eventually(() => assert.equal(portOwner(57890), program.pid, 'port 57890 belongs to another program'), 10000, 250);

    browser = await launchBrowser();
    page = await browser.context.newPage();
    await page.addInitScript(catchShutdown);
    await page.goto(pageUrl({ page: 'home', token }));
  });

  after(async () => {
    await browser?.close();
    program?.kill('SIGTERM');
    station?.kill('SIGTERM');
    // The program stops its NUT only on a regular quit; this test ends it with a signal.
    if (appDir && existsSync(join(appDir, 'linux', 'kill_processes.sh'))) spawnSync(join(appDir, 'linux', 'kill_processes.sh'), { stdio: 'ignore' });
    if (program && program.exitCode !== null && program.exitCode !== 0) console.log(programLog.join(''));
    if (root && !process.env.AMPERLANE_E2E_KEEP) rmSync(root, { recursive: true, force: true });
    else if (root) console.log(`kept ${root}`);
  });

  it('shows the live station', async () => {
    await eventually(async () => assert.equal(await text(page, 'charge'), '80%'), 60000, 500);
    assert.equal(await text(page, 'power-state'), 'Charging');
    assert.equal(await text(page, 'capacity'), '1,024');
    await eventually(async () => assert.equal(await text(page, 'serial'), 'SN00001234'), 10000);
    await eventually(async () => assert.equal(await text(page, 'station-name'), 'VESSA 5 Core'), 10000);
    // The serial link: the station's own readings.
    await eventually(async () => assert.equal(await text(page, 'input-power'), '65'), 30000, 500);
    assert.equal(await text(page, 'output-power'), '58');
    assert.equal(await text(page, 'temperature'), '27');
    await screenshot(page, 'e2e-home');
    await page.getByTestId('nav-device-detail').click();
    await eventually(async () => assert.equal(await text(page, 'detail-input-total'), '65'), 15000, 500);
    assert.equal(await text(page, 'out-output.ac.realpower'), '58 W');
    await page.waitForTimeout(3000);
    await screenshot(page, 'e2e-device-detail');
    await page.getByTestId('nav-about').click();
    await eventually(async () => assert.equal(await text(page, 'app-version'), '1.0.0.14'));
    await screenshot(page, 'e2e-about');
  });

  it('stores the battery settings in settings.ini', async () => {
    await page.getByTestId('nav-battery-setting').click();
    await eventually(async () => assert.equal(await text(page, 'charge-low'), '20%'), 20000);
    await page.getByTestId('tip-margin').fill('5');
    await page.getByTestId('shutdown-margin').fill('4');
    if (!(await page.getByTestId('enable-local').isChecked())) await page.locator('label:has([data-testid=enable-local])').click();
    await page.getByTestId('battery-save').click();
    await eventually(async () => assert.equal(await text(page, 'battery-status'), 'Saved'));
    await eventually(() => {
      const ini = settingsIni();
      assert.match(ini, /lowPowerTipValue=5/);
      assert.match(ini, /lowPowerShutdownValue=4/);
      assert.match(ini, /enableLowPowerShutdown=true/);
    }, 15000, 500);
    await screenshot(page, 'e2e-battery-setting');
  });

  it('stores the connection settings in settings.ini', async () => {
    await page.getByTestId('nav-connect-mode').click();
    await eventually(async () => assert.equal(await page.getByTestId('nut-port').inputValue(), '3496'));
    await page.getByTestId('mode-remote').check();
    await page.getByTestId('nut-user').fill('monitor');
    await page.getByTestId('mode-local').check();
    await page.getByTestId('connect-apply').click();
    await eventually(async () => assert.match(await text(page, 'connect-message'), /Applied/));
    await eventually(() => assert.match(settingsIni(), /nutUser=monitor/), 15000, 500);
    assert.match(settingsIni(), /mode=local/);
    await eventually(async () => assert.equal(await page.getByTestId('connect-status').getAttribute('data-status'), 'connectDev'), 60000, 500);
  });

  it('runs the self-test and shows its result', async () => {
    await page.getByTestId('nav-home').click();
    await eventually(async () => assert.equal(await page.getByTestId('selftest-start').isDisabled(), false), 30000, 500);
    await page.getByTestId('selftest-start').click();
    await eventually(async () => assert.doesNotMatch(await text(page, 'selftest-state'), /Testing/), 40000, 500);
    assert.match(await text(page, 'selftest-state'), /^Passed/);
    await eventually(async () => assert.match(await text(page, 'selftest-last'), /Last test passed on/));
    await screenshot(page, 'e2e-selftest');
  });

  it('warns at the thresholds, counts down and cancels', async () => {
    await eventually(async () => assert.equal(await text(page, 'power-state'), 'On battery'), 150000, 1000);
    await page.getByTestId('tip-overlay').waitFor({ timeout: 120000 });
    assert.match(await text(page, 'tip-text'), /25% or less.*20%/);
    await screenshot(page, 'e2e-low-power-tip');
    await page.getByTestId('tip-ok').click();
    await page.getByTestId('shutdown-overlay').waitFor({ timeout: 120000 });
    await screenshot(page, 'e2e-shutdown-countdown');
    const left = Number(await text(page, 'countdown-seconds'));
    assert.ok(left > 10 && left <= 20, `stage one counts ${left}`);
    await page.getByTestId('shutdown-cancel').click();
    await page.getByTestId('shutdown-overlay').waitFor({ state: 'hidden' });
    assert.equal(await page.evaluate(() => window.shutdownRequests), 0);
    await page.getByTestId('shutdown-overlay').waitFor({ timeout: 150000 });
    assert.match(await page.locator('.shutdown-dialog .dialog-title').textContent(), /almost empty/);
    await eventually(async () => assert.equal(await page.evaluate(() => window.shutdownRequests), 1), 8000, 200);
  });
});
