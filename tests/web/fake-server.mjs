// A stand-in for the program's JSON-RPC WebSocket server, for developing the page and testing it
// in a browser without the program: it answers every page method with realistic values, plays a
// station that reports once a second, and records what the page called.
//
//   node fake-server.mjs [--port 57890] [--token secret] [--on-battery] [--no-device]

import { WebSocketServer } from 'ws';

const SORTED = (value) =>
  value && typeof value === 'object' && !Array.isArray(value)
    ? Object.fromEntries(Object.keys(value).sort().map((k) => [k, SORTED(value[k])]))
    : Array.isArray(value)
      ? value.map(SORTED)
      : value;

// The program writes indented JSON with its keys in ascending order.
const encode = (message) => JSON.stringify(SORTED(message), null, 4) + '\n';

export function defaultStation() {
  return {
    connected: true,
    sn: 'SN00001234',
    model: 'TQ-UPS-VESSA 5 Core',
    firmware: '1.2.3.4',
    charge: 87,
    chargeLow: 10,
    onBattery: false,
    charging: true,
    nominal: '2048',
    runtimeMinutes: 1530,
    inputPower: 312,
    outputPower: 148,
    temperature: 26,
    packTemperature: 24,
    turnOffTimes: ['2026-11-2 07:41:09', '2026-11-20 18:03:55', '2026-12-4 21:15:02'],
    lastSelfTest: { time: '2026-12-6 10:12:40', res: true },
    selfTestResult: 3,
    selfTestDelayMs: 1500,
    steady: false,
    // The monitor cannot read the station (cable pulled, server gone): it reports nothing.
    linkLost: false,
  };
}

export class FakeProgram {
  constructor({ port = 0, token = 'test-token', station = {} } = {}) {
    this.port = port;
    this.token = token;
    this.station = { ...defaultStation(), ...station };
    this.calls = [];
    this.refused = 0;
    this.clients = new Set();
    this.pages = new Set();
    this.connect = {
      mode: 'local',
      upsName: 'nutdev1',
      nutIP: '127.0.0.1',
      nutPort: '3496',
      nutUser: 'drel',
      nutPassword: '480917',
    };
    this.battery = {
      lowPowerTipValue: 5,
      lowPowerShutdownValue: 4,
      enableLowPowerShutdown: true,
      enableRemoteLowPowerShutdown: false,
      defaultChargeLow: 10,
    };
    // What the shutdown command does: it starts, or it fails with its own words.
    this.shutdownOutcome = { ok: true, reason: 'shutdown started' };
    this.history = [];
    this.fullHistory = false;
    this.tickCount = 0;
    this.waiters = [];
    this.update = { steps: [5, 20, 45, 70, 100], finalState: 3 };
  }

  start() {
    return new Promise((resolve) => {
      this.wss = new WebSocketServer({ host: '127.0.0.1', port: this.port });
      this.wss.on('connection', (ws, req) => this.accept(ws, req));
      this.wss.on('listening', () => {
        this.port = this.wss.address().port;
        this.timer = setInterval(() => this.tick(), 1000);
        resolve(this.port);
      });
    });
  }

  async stop() {
    clearInterval(this.timer);
    for (const ws of this.clients) ws.terminate();
    await new Promise((resolve) => this.wss.close(resolve));
  }

  // A browser page carries an Origin header and must bring the session token.
  accept(ws, req) {
    const url = new URL(req.url ?? '/', 'ws://127.0.0.1');
    if (req.headers.origin !== undefined && url.searchParams.get('token') !== this.token) {
      this.refused += 1;
      ws.close(1008, 'token');
      return;
    }
    this.clients.add(ws);
    ws.on('message', (data) => this.receive(ws, String(data)));
    ws.on('close', () => this.clients.delete(ws));
  }

  dropConnections() {
    for (const ws of this.clients) ws.terminate();
    this.clients.clear();
    this.pages.clear();
  }

  notify(method, params) {
    const text = encode({ jsonrpc: '2.0', method, params });
    for (const ws of this.clients) ws.send(text);
  }

  // Resolves with the first call of `method` that satisfies `match`, including earlier ones.
  waitForCall(method, match = () => true, timeoutMs = 10000) {
    const found = this.calls.find((c) => c.method === method && match(c.params));
    if (found) return Promise.resolve(found);
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => reject(new Error(`no call of ${method} within ${timeoutMs} ms`)), timeoutMs);
      this.waiters.push({ method, match, resolve: (c) => (clearTimeout(timer), resolve(c)) });
    });
  }

  callsOf(method) {
    return this.calls.filter((c) => c.method === method);
  }

  receive(ws, text) {
    let request;
    try {
      request = JSON.parse(text);
    } catch {
      return;
    }
    if (request?.jsonrpc !== '2.0' || typeof request.method !== 'string') return;
    const call = { method: request.method, params: request.params, at: Date.now() };
    this.calls.push(call);
    this.waiters = this.waiters.filter((w) => {
      if (w.method !== call.method || !w.match(call.params)) return true;
      w.resolve(call);
      return false;
    });
    const id = typeof request.id === 'string' ? request.id : '';
    const reply = (data) => {
      if (ws.readyState === ws.OPEN) ws.send(encode({ id, jsonrpc: '2.0', result: { data } }));
    };
    const handler = this.methods()[request.method];
    if (handler) handler(request.params ?? {}, reply);
  }

  methods() {
    const s = this.station;
    return {
      'connectModeParam.getSettings': (_p, reply) => reply({ ...this.connect }),
      'connectModeParam.setSettings': (p, reply) => {
        for (const key of Object.keys(this.connect)) this.connect[key] = typeof p[key] === 'string' ? p[key] : '';
        reply(true);
      },
      'connectModeParam.setEnableConnectStatus': (_p, reply) => reply(true),
      'homePage.getModeAndFirmwareVersion': (_p, reply) =>
        setTimeout(() => reply({ mode: s.connected ? s.model : '', firmwareVersion: s.connected ? s.firmware : '' }), 150),
      'homePage.selfTest': (_p, reply) => {
        if (s.selfTestResult === null) return;
        setTimeout(() => {
          if (s.selfTestResult === 3 || s.selfTestResult === 4) {
            s.lastSelfTest = { time: '2026-12-10 09:30:00', res: s.selfTestResult === 3 };
          }
          reply(s.selfTestResult);
        }, s.selfTestDelayMs);
      },
      'homePage.getLast100TurnOffChargeTime': (_p, reply) => reply(s.connected ? s.turnOffTimes.slice(-100) : []),
      'homePage.getLastSelfTestTime': (_p, reply) => reply(s.connected && s.lastSelfTest ? s.lastSelfTest : {}),
      'batterySetting.getSettingParam': (_p, reply) => reply({ ...this.battery, mode: this.connect.mode }),
      'batterySetting.setSettingParam': (p, reply) => reply(this.setBatterySetting(p)),
      'batterySetting.getBatteryChargeLow': (_p, reply) => reply(s.connected ? s.chargeLow : 0),
      'global.getDeviceSn': (_p, reply) => reply(s.connected ? s.sn : ''),
      'global.softwareUpdate': (_p, reply) => this.runUpdate(reply),
      'global.shutdown': (_p, reply) => this.shutDown(reply),
      'global.cancelLowPowerShutdown': (_p, reply) => reply(true),
      'global.getSystemInfoAndVersion': (_p, reply) => reply({ cpu: '', os: 1, version: '1.0.0.14' }),
      'global.getVersion': (_p, reply) => reply('1.0.0.14'),
      'global.enableNotify': (p, reply) => {
        if (p.pageName === 'deviceDetail' && !this.pages.has('deviceDetail')) this.fullHistory = true;
        this.pages.add(p.pageName);
        reply(true);
      },
      'global.disableNotify': (p, reply) => {
        this.pages.delete(p.pageName);
        reply(true);
      },
      'global.openByDefaultApp': (_p, reply) => reply(false),
      'global.websocketConnected': (_p, reply) => reply(true),
      'global.getShowWinUsbDriverInstallLoading': (_p, reply) => reply(false),
      'global.getLowPowerTip': (_p, reply) => reply({}),
      'global.getLowPowerShutdown': (_p, reply) => reply({}),
      'global.usbDriverInstall': (_p, reply) => reply(true),
    };
  }

  // Out-of-range margins or low level are refused whole, and the stored values kept.
  setBatterySetting(p) {
    const whole = (value, min, max) => Number.isInteger(value) && value >= min && value <= max;
    const defaultChargeLow = p.defaultChargeLow ?? this.battery.defaultChargeLow;
    if (!whole(p.lowPowerTipValue, 1, 50) || !whole(p.lowPowerShutdownValue, 1, 50) || !whole(defaultChargeLow, 0, 90)) return false;
    this.battery = {
      lowPowerTipValue: p.lowPowerTipValue,
      lowPowerShutdownValue: p.lowPowerShutdownValue,
      enableLowPowerShutdown: p.enableLowPowerShutdown === true,
      enableRemoteLowPowerShutdown: p.enableRemoteLowPowerShutdown === true,
      defaultChargeLow,
    };
    return true;
  }

  // Every attempt is reported to every page, and answered to the page that asked.
  shutDown(reply) {
    const { ok, reason } = this.shutdownOutcome;
    this.notify('global.notifyShutdownResult', { ok, reason });
    reply(ok);
  }

  runUpdate(reply) {
    const steps = [...this.update.steps];
    const next = () => {
      if (steps.length) {
        this.notify('global.notifyUpdateProgress', steps.shift());
        setTimeout(next, 200);
        return;
      }
      if (this.update.finalState) this.notify('global.notifyUpdateState', this.update.finalState);
      reply(true);
    };
    setTimeout(next, 300);
  }

  // Station changes as the monitor would report them.
  setConnected(connected) {
    this.station.connected = connected;
    if (!connected) this.pages.clear();
    this.notify('global.notifyDevConnectStatus', { mode: this.connect.mode, status: connected ? 'connectDev' : 'noDev' });
  }

  // The monitor's word after 15 s without a reading while on battery, and again when it reads.
  setLinkLost(lost) {
    const s = this.station;
    s.linkLost = lost;
    this.notify('global.notifyUpsLinkLost', { mode: this.connect.mode, onBattery: true, lastCharge: s.charge, seconds: lost ? 15 : 0 });
  }

  wobble(value, spread) {
    if (this.station.steady) return value;
    return Math.max(0, Math.round(value + (Math.random() - 0.5) * spread));
  }

  tick() {
    const s = this.station;
    this.tickCount += 1;
    if (!s.connected || s.linkLost) return;
    const input = s.onBattery ? 0 : this.wobble(s.inputPower, 30);
    const output = this.wobble(s.outputPower, 20);
    this.history.push([input, output]);
    if (this.history.length > 20) this.history.shift();
    if (this.pages.has('homePage')) {
      const status = s.onBattery ? 'OB DISCHRG' : s.charging ? 'OL CHRG' : 'OL';
      this.notify('homePage.notifyUPSDeviceInfo', {
        'ups.status': status.includes('OB'),
        'ups.chargeStatus': status.includes('OL CHRG'),
        'battery.charge': String(s.charge),
        'ups.devName': `${s.model.replace(/^TQ-UPS-/, '')}-${s.sn.slice(-4)}`,
        'ups.realpower.nominal': `${s.nominal}Wh`,
      });
      const m = s.charging ? 95 : s.runtimeMinutes;
      this.notify('homePage.notifyBatteryTime', { days: Math.floor(m / 1440), hours: Math.floor((m % 1440) / 60), minutes: m % 60 });
      this.notify('homePage.notifyCompositeDeviceInfo', {
        'battery.temperature': s.temperature,
        'battery.ext1.temperature': s.packTemperature,
        'input.realpower': input,
        'output.realpower': output,
      });
    }
    if (this.pages.has('deviceDetail')) {
      const full = this.fullHistory;
      this.fullHistory = false;
      const ins = full ? this.history.map((h) => h[0]) : [input];
      const outs = full ? this.history.map((h) => h[1]) : [output];
      this.notify('deviceDetail.notifyInfo', {
        input: {
          'input.realpower': ins,
          'input.ac.realpower': input,
          'input.solar.realpower': 0,
          'input.typeC.realpower': 0,
        },
        output: {
          'output.realpower': outs,
          'output.ac.realpower': Math.round(output * 0.7),
          'output.dc.realpower': Math.round(output * 0.1),
          'output.usb.a.realpower': 5,
          'output.usb.c.realpower': Math.max(0, output - Math.round(output * 0.7) - Math.round(output * 0.1) - 5),
          'output.typeC.realpower': 0,
        },
      });
    }
  }
}

if (import.meta.url === `file://${process.argv[1]}`) {
  const arg = (name, fallback) => {
    const i = process.argv.indexOf(name);
    return i >= 0 ? process.argv[i + 1] : fallback;
  };
  const program = new FakeProgram({
    port: Number(arg('--port', '57890')),
    token: arg('--token', 'dev-token'),
    station: {
      connected: !process.argv.includes('--no-device'),
      ...(process.argv.includes('--on-battery') ? { onBattery: true, charging: false, charge: 42 } : {}),
    },
  });
  const port = await program.start();
  console.log(`fake Amperlane on ws://127.0.0.1:${port}; open the page with …#/us/home?lang=us&token=${program.token}&port=${port}`);
}
