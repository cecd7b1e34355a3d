import type { Bridge } from './bridge';
import {
  isAsking,
  needsClock,
  onAnswer,
  onCancel,
  onClose,
  onMains,
  onNotice,
  onResult,
  onShutdownNow,
  onTick,
  type ShutdownNotice,
} from './countdown';
import { chargePercent, isBatteryTime, nominalWh } from './format';
import { mergeHistory, scalarValues } from './history';
import type { PageName } from './address';
import { RpcClient, RpcTimeout } from './rpc';
import type { AppState, BatterySettings, ConnectSettings, Store } from './store';

// The page names the program knows for enableNotify / disableNotify.
const NOTIFY_NAMES: Partial<Record<PageName, string>> = {
  home: 'homePage',
  'device-detail': 'deviceDetail',
};

const SELF_TEST_TIMEOUT_MS = 30000;
const UPDATE_TIMEOUT_MS = 15 * 60 * 1000;
const SHUTDOWN_RETRY_MS = 2000;
// The program waits up to 5 s for the shutdown command before it answers.
const SHUTDOWN_ANSWER_MS = 15000;
const DEFAULT_CHARGE_LOW = 10;
const DETAIL_POLL_MS = 3000;
const SERIAL_LINK_FRESH_MS = 5000;
const MAX_TURN_OFF_TIMES = 100;

function obj(value: unknown): Record<string, unknown> {
  return typeof value === 'object' && value !== null && !Array.isArray(value) ? (value as Record<string, unknown>) : {};
}

function str(value: unknown): string {
  return typeof value === 'string' ? value : '';
}

function num(value: unknown): number | null {
  return typeof value === 'number' && Number.isFinite(value) ? value : null;
}

// Connects the program's methods and notifications to the page's state.
export class Controller {
  private page: PageName | null = null;
  private ticker: ReturnType<typeof setInterval> | null = null;
  private askingShutdown = false;
  // A cancel the program has not heard of because the connection was down.
  private cancelUnsent = false;
  // Set once the user picks a page; until then the first station found opens the home page.
  userNavigated = false;

  constructor(
    readonly store: Store,
    readonly rpc: RpcClient,
    readonly bridge: Bridge | null,
    private readonly goTo: (page: PageName) => void,
  ) {
    this.listen();
    rpc.onConnection((connected) => (connected ? this.connected() : this.disconnected()));
    store.subscribe((s, prev) => this.watch(s, prev));
    if (bridge) setInterval(() => void this.refreshDetailFlag(), DETAIL_POLL_MS);
  }

  get state(): AppState {
    return this.store.state;
  }

  log(text: string): void {
    this.bridge?.addLog(`page: ${text}`);
  }

  // --- page life -------------------------------------------------------------------------

  enterPage(page: PageName): void {
    const previous = this.page;
    this.page = page;
    if (previous && previous !== page) this.setNotify(previous, false);
    this.setNotify(page, true);
    void this.loadPage(page);
  }

  private setNotify(page: PageName, enable: boolean): void {
    const pageName = NOTIFY_NAMES[page];
    if (!pageName || !this.rpc.connected) return;
    this.rpc.call(enable ? 'global.enableNotify' : 'global.disableNotify', { pageName }).catch(() => {});
  }

  private async loadPage(page: PageName): Promise<void> {
    if (!this.rpc.connected) return;
    const jobs: Promise<unknown>[] = [];
    if (page === 'home') jobs.push(this.loadTurnOffTimes(), this.loadLastSelfTest(), this.loadIdentity());
    if (page === 'about') jobs.push(this.loadIdentity(), this.loadVersions());
    if (page === 'battery-setting') jobs.push(this.loadBatterySettings());
    if (page === 'connect-mode') jobs.push(this.loadConnectSettings());
    await Promise.allSettled(jobs);
  }

  // --- connection ------------------------------------------------------------------------

  private async connected(): Promise<void> {
    this.store.set({ socket: 'open' });
    if (this.cancelUnsent) this.tellCancel();
    await this.rpc.call('global.websocketConnected').catch(() => {});
    if (this.page) this.enterPage(this.page);
    await Promise.allSettled([
      this.loadDeviceState(),
      this.loadConnectSettings(),
      this.loadBatterySettings(),
      this.loadVersions(),
      this.rpc.call<boolean>('global.getShowWinUsbDriverInstallLoading').then((on) => {
        if (on === true) this.store.set({ driver: 'installing' });
      }),
      this.rpc.call('global.getLowPowerTip').then((tip) => this.restoreTip(tip)),
    ]);
    if (isAsking(this.state.shutdown)) void this.requestShutdown();
  }

  private disconnected(): void {
    const update = this.state.update;
    // A successful update ends the program; its socket closing is the sign of success.
    const installing = update.kind === 'running' && update.percent >= 100;
    this.store.set({ socket: 'closed', ...(installing ? { update: { kind: 'installing' as const } } : {}) });
  }

  // The connection status is only pushed on changes, so a page that comes later asks for the
  // serial number: the monitor has one exactly while a station is identified.
  private async loadDeviceState(): Promise<void> {
    const sn = await this.rpc.call<string>('global.getDeviceSn');
    const known = this.state.dev !== 'unknown';
    this.store.set({ sn: str(sn), ...(known ? {} : { dev: str(sn) ? 'connectDev' : 'noDev' }) });
    if (this.state.dev === 'connectDev' && !this.state.model) await this.loadIdentity();
    else await this.refreshDetailFlag();
  }

  private async loadIdentity(): Promise<void> {
    if (this.state.dev !== 'connectDev') return;
    const [sn, info] = await Promise.all([
      this.rpc.call<string>('global.getDeviceSn'),
      this.rpc.call('homePage.getModeAndFirmwareVersion'),
    ]);
    const o = obj(info);
    this.store.set({ sn: str(sn), model: str(o.mode), firmware: str(o.firmwareVersion) });
    await this.refreshDetailFlag();
  }

  private async loadVersions(): Promise<void> {
    const [version, system] = await Promise.all([
      this.rpc.call<string>('global.getVersion'),
      this.rpc.call('global.getSystemInfoAndVersion'),
    ]);
    const o = obj(system);
    this.store.set({
      appVersion: str(version),
      system: 'os' in o ? { cpu: str(o.cpu), os: num(o.os) } : null,
    });
  }

  private async loadTurnOffTimes(): Promise<void> {
    const lines = await this.rpc.call<unknown>('homePage.getLast100TurnOffChargeTime');
    this.store.set({ turnOffTimes: Array.isArray(lines) ? lines.filter((l): l is string => typeof l === 'string') : [] });
  }

  private async loadLastSelfTest(): Promise<void> {
    const o = obj(await this.rpc.call('homePage.getLastSelfTestTime'));
    this.store.set({ lastSelfTest: typeof o.time === 'string' ? { time: o.time, res: o.res === true } : null });
  }

  async loadConnectSettings(): Promise<void> {
    const o = obj(await this.rpc.call('connectModeParam.getSettings'));
    const connect: ConnectSettings = {
      mode: str(o.mode) || 'local',
      upsName: str(o.upsName),
      nutIP: str(o.nutIP),
      nutPort: str(o.nutPort),
      nutUser: str(o.nutUser),
      nutPassword: str(o.nutPassword),
    };
    this.store.set({ connect });
  }

  async loadBatterySettings(): Promise<void> {
    const [settings, low] = await Promise.all([
      this.rpc.call('batterySetting.getSettingParam'),
      this.rpc.call('batterySetting.getBatteryChargeLow'),
    ]);
    const o = obj(settings);
    const battery: BatterySettings = {
      lowPowerTipValue: num(o.lowPowerTipValue) ?? 5,
      lowPowerShutdownValue: num(o.lowPowerShutdownValue) ?? 4,
      enableLowPowerShutdown: o.enableLowPowerShutdown === true,
      enableRemoteLowPowerShutdown: o.enableRemoteLowPowerShutdown === true,
      defaultChargeLow: num(o.defaultChargeLow) ?? DEFAULT_CHARGE_LOW,
      mode: str(o.mode) || 'local',
    };
    const lowLevel = num(low);
    this.store.set({ battery, chargeLow: lowLevel && lowLevel > 0 ? lowLevel : this.state.chargeLow });
  }

  private async refreshDetailFlag(): Promise<void> {
    let hasDetail: boolean;
    if (this.bridge) hasDetail = await this.bridge.hasDeviceDetailPage();
    else hasDetail = this.state.dev === 'connectDev' && this.state.model.includes('VESSA 5 Core');
    if (hasDetail !== this.state.hasDetail) this.store.set({ hasDetail });
  }

  // A tip given earlier in this outage is still worth showing while the charge stays that low.
  private restoreTip(value: unknown): void {
    const o = obj(value);
    const limit = num(o.tipLimitValue);
    const low = num(o.batteryLowLimitValue);
    const ups = this.state.ups;
    if (limit === null || low === null || !ups?.onBattery || ups.charge === null || ups.charge > limit) return;
    this.store.set({ tip: { limit, low } });
  }

  // --- notifications ---------------------------------------------------------------------

  private listen(): void {
    const on = (method: string, fn: (params: unknown) => void) => this.rpc.on(method, fn);
    on('global.notifyDevConnectStatus', (p) => this.devStatus(obj(p)));
    on('homePage.notifyUPSDeviceInfo', (p) => this.upsInfo(obj(p)));
    on('homePage.notifyBatteryTime', (p) => {
      if (isBatteryTime(p)) this.store.set({ batteryTime: p });
    });
    on('homePage.notifyLastTurnOffChargeTime', (p) => {
      const time = str(obj(p).time);
      if (time) this.store.set({ turnOffTimes: [...this.state.turnOffTimes, time].slice(-MAX_TURN_OFF_TIMES) });
    });
    on('homePage.notifyCompositeDeviceInfo', (p) => this.compositeInfo(obj(p)));
    on('deviceDetail.notifyInfo', (p) => this.detailInfo(obj(p)));
    on('global.notifyBatteryChargeLow', (p) => {
      const low = num(p);
      if (low !== null) this.store.set({ chargeLow: low });
    });
    on('global.notifyLowPowerTip', (p) => this.lowPowerTip(obj(p)));
    on('global.notifyLowPowerShutdown', (p) => this.lowPowerShutdown(obj(p) as ShutdownNotice));
    on('global.notifyShutdownResult', (p) => this.shutdownResult(obj(p)));
    on('global.notifyUpsLinkLost', (p) => this.upsLinkLost(obj(p)));
    on('global.notifyUsbDriverInstallLoading', () => this.store.set({ driver: 'installing' }));
    on('global.notifyUsbDriverInstallResult', (p) =>
      this.store.set({ driver: obj(p).status === true ? 'done' : 'failed' }),
    );
    on('global.notifyUsbSerialTips', () => this.store.set({ usbSerialTip: true }));
    on('global.notifyUpdateProgress', (p) => {
      const percent = num(p);
      if (percent !== null) this.store.set({ update: { kind: 'running', percent: Math.min(100, percent) } });
    });
    on('global.notifyUpdateState', (p) => {
      const code = num(p);
      if (code !== null) this.store.set({ update: { kind: 'failed', code } });
    });
  }

  private devStatus(p: Record<string, unknown>): void {
    const status = p.status === 'connectDev' ? 'connectDev' : 'noDev';
    const wasConnected = this.state.dev === 'connectDev';
    if (status === 'connectDev') {
      this.store.set({ dev: status, devMode: str(p.mode), usbSerialTip: false, linkLost: null });
      // The program forgets which pages want notifications when it loses the station.
      if (this.page) this.enterPage(this.page);
      void this.loadDeviceState();
      if (!wasConnected && this.page === 'connect-mode' && !this.userNavigated) this.goTo('home');
    } else {
      this.store.set({
        dev: status,
        devMode: str(p.mode),
        sn: '',
        model: '',
        firmware: '',
        hasDetail: false,
        ups: null,
        batteryTime: null,
        composite: null,
        detailInput: {},
        detailOutput: {},
        history: { times: [], input: [], output: [] },
      });
    }
  }

  private upsInfo(p: Record<string, unknown>): void {
    const ups = {
      onBattery: p['ups.status'] === true,
      charging: p['ups.chargeStatus'] === true,
      charge: chargePercent(p['battery.charge']),
      devName: str(p['ups.devName']),
      nominalWh: nominalWh(p['ups.realpower.nominal']),
    };
    const patch: Partial<AppState> = { ups, shutdown: onMains(this.state.shutdown, ups.onBattery) };
    // Battery time means time to empty while discharging and time to full while charging.
    if (this.state.ups && this.state.ups.charging !== ups.charging) patch.batteryTime = null;
    if (!ups.onBattery) patch.tip = null;
    if (this.state.dev === 'unknown') patch.dev = 'connectDev';
    this.store.set(patch);
  }

  private compositeInfo(p: Record<string, unknown>): void {
    this.store.set({
      composite: {
        input: num(p['input.realpower']),
        output: num(p['output.realpower']),
        temperature: num(p['battery.temperature']),
        packTemperature: num(p['battery.ext1.temperature']),
      },
      compositeAt: Date.now(),
    });
  }

  private detailInfo(p: Record<string, unknown>): void {
    const input = obj(p.input);
    const output = obj(p.output);
    this.store.set({
      detailInput: scalarValues(input),
      detailOutput: scalarValues(output),
      history: mergeHistory(this.state.history, input['input.realpower'], output['output.realpower'], Date.now()),
      compositeAt: Date.now(),
    });
  }

  private lowPowerTip(p: Record<string, unknown>): void {
    const limit = num(p.tipLimitValue);
    const low = num(p.batteryLowLimitValue);
    if (limit === null || low === null) return;
    this.store.set({ tip: { limit, low } });
    this.log(`low power tip at ${limit}`);
  }

  private lowPowerShutdown(notice: ShutdownNotice): void {
    const shutdown = onNotice(this.state.shutdown, notice, Date.now());
    if (shutdown === this.state.shutdown) return;
    this.log(`low power shutdown ${String(notice.status)} ${String(notice.interval ?? '')}`);
    // A cancel of an earlier stage must not call off this one.
    if (shutdown.kind === 'counting') this.cancelUnsent = false;
    this.store.set({ shutdown, tip: null });
    // The home page shows the battery and tells the page when the mains return.
    if (this.page !== 'home') this.goTo('home');
  }

  private shutdownResult(p: Record<string, unknown>): void {
    if (typeof p.ok !== 'boolean') return;
    const reason = str(p.reason);
    this.log(`shutdown ${p.ok ? 'started' : 'failed'}: ${reason}`);
    this.store.set({ shutdown: onResult(this.state.shutdown, { ok: p.ok, reason }, Date.now()) });
  }

  private upsLinkLost(p: Record<string, unknown>): void {
    const seconds = num(p.seconds);
    if (seconds === null) return;
    if (seconds <= 0) {
      if (this.state.linkLost) this.store.set({ linkLost: null });
      return;
    }
    const lastCharge = num(p.lastCharge);
    this.log(`station not read for ${seconds} s while on battery at ${String(lastCharge)}`);
    const dismissed = this.state.linkLost?.dismissed ?? false;
    this.store.set({ linkLost: { mode: str(p.mode) || this.state.devMode, lastCharge, dismissed } });
  }

  dismissLinkLost(): void {
    if (this.state.linkLost) this.store.set({ linkLost: { ...this.state.linkLost, dismissed: true } });
  }

  // --- actions ---------------------------------------------------------------------------

  cancelShutdown(): void {
    this.log('shutdown cancelled by the user');
    const counting = this.state.shutdown.kind === 'counting';
    this.store.set({ shutdown: onCancel(this.state.shutdown) });
    // The program shuts down by itself some time after a stage unless it hears of the cancel.
    if (counting) this.tellCancel();
  }

  private tellCancel(): void {
    this.cancelUnsent = true;
    this.rpc.call('global.cancelLowPowerShutdown').then(
      () => (this.cancelUnsent = false),
      () => (this.cancelUnsent = !this.rpc.connected),
    );
  }

  closeShutdownOverlay(): void {
    this.store.set({ shutdown: onClose(this.state.shutdown) });
  }

  shutdownNow(): void {
    this.store.set({ shutdown: onShutdownNow(this.state.shutdown) });
  }

  dismissShutdownNote(): void {
    if (this.state.shutdown.kind === 'idle') this.store.set({ shutdown: { kind: 'idle' } });
  }

  private watch(s: AppState, prev: AppState): void {
    if (s.shutdown !== prev.shutdown) {
      if (needsClock(s.shutdown) && !this.ticker) {
        this.ticker = setInterval(() => this.tick(), 200);
      } else if (!needsClock(s.shutdown) && this.ticker) {
        clearInterval(this.ticker);
        this.ticker = null;
      }
      if (isAsking(s.shutdown)) void this.requestShutdown();
    }
    if (s.dev !== prev.dev || s.model !== prev.model) void this.refreshDetailFlag();
  }

  private tick(): void {
    const next = onTick(this.state.shutdown, Date.now());
    if (next !== this.state.shutdown) this.store.set({ shutdown: next });
  }

  // The moment to switch the PC off must not be lost to a dropped connection or a lost reply:
  // ask until the program answers. Its answer, true or false, is final; the user may try again.
  private async requestShutdown(): Promise<void> {
    if (this.askingShutdown) return;
    this.askingShutdown = true;
    this.log('requesting system shutdown');
    try {
      while (isAsking(this.state.shutdown)) {
        try {
          const ok = await this.rpc.call('global.shutdown', undefined, SHUTDOWN_ANSWER_MS);
          if (ok !== true) this.log('the program could not shut the PC down');
          this.store.set({ shutdown: onAnswer(this.state.shutdown, ok === true, Date.now()) });
          return;
        } catch (error) {
          if (!this.rpc.connected) return; // asked again by connected()
          if (!(error instanceof RpcTimeout)) this.log(`shutdown request failed: ${String(error)}`);
        }
        await new Promise((r) => setTimeout(r, SHUTDOWN_RETRY_MS));
      }
    } finally {
      this.askingShutdown = false;
    }
  }

  async applyConnectSettings(settings: ConnectSettings): Promise<boolean> {
    const ok = await this.rpc.call('connectModeParam.setSettings', settings);
    // The monitor reads the mode when it resumes, so pause and resume it.
    await this.rpc.call('connectModeParam.setEnableConnectStatus', { enable: false });
    await this.rpc.call('connectModeParam.setEnableConnectStatus', { enable: true });
    this.store.set({ connect: settings });
    void this.loadBatterySettings().catch(() => {});
    return ok === true;
  }

  // False when the program refused the values (it then keeps the stored ones).
  async saveBatterySettings(settings: Omit<BatterySettings, 'mode'>): Promise<boolean> {
    const ok = await this.rpc.call('batterySetting.setSettingParam', settings);
    await this.loadBatterySettings();
    return ok === true;
  }

  async startSelfTest(): Promise<void> {
    if (this.state.selfTest.kind === 'running') return;
    this.store.set({ selfTest: { kind: 'running', startedAt: Date.now() } });
    let result: number | 'noAnswer';
    try {
      const value = await this.rpc.call('homePage.selfTest', undefined, SELF_TEST_TIMEOUT_MS);
      result = num(value) ?? 'noAnswer';
    } catch {
      result = 'noAnswer';
    }
    const linked = Date.now() - this.state.compositeAt < SERIAL_LINK_FRESH_MS;
    this.store.set({ selfTest: { kind: 'done', result, linked } });
    this.log(`self-test result ${String(result)}`);
    await this.loadLastSelfTest().catch(() => {});
  }

  retryDriverInstall(): void {
    this.store.set({ driver: 'installing' });
    this.rpc.call('global.usbDriverInstall').catch(() => this.store.set({ driver: 'failed' }));
  }

  closeDriverOverlay(): void {
    this.store.set({ driver: 'idle' });
  }

  async startUpdate(version: string, ossurl: string, md5: string): Promise<void> {
    this.store.set({ update: { kind: 'running', percent: 0 } });
    try {
      await this.rpc.call('global.softwareUpdate', { version, ossurl, md5: md5.toLowerCase() }, UPDATE_TIMEOUT_MS);
      if (this.state.update.kind === 'running') this.store.set({ update: { kind: 'installing' } });
    } catch {
      if (this.state.update.kind === 'running' && this.state.update.percent < 100) {
        this.store.set({ update: { kind: 'failed', code: 1 } });
      }
    }
  }

  openLink(url: string): void {
    this.rpc.call('global.openByDefaultApp', { url }).catch(() => {});
  }
}
