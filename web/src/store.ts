import type { BatteryTime } from './format';
import type { Lang } from './language';
import { IDLE, type ShutdownState } from './countdown';

export interface UpsInfo {
  onBattery: boolean;
  charging: boolean;
  charge: number | null;
  devName: string;
  nominalWh: number | null;
}

export interface CompositeInfo {
  input: number | null;
  output: number | null;
  temperature: number | null;
  packTemperature: number | null;
}

export interface PowerHistory {
  times: number[];
  input: number[];
  output: number[];
}

export interface ConnectSettings {
  mode: string;
  upsName: string;
  nutIP: string;
  nutPort: string;
  nutUser: string;
  nutPassword: string;
}

export interface BatterySettings {
  lowPowerTipValue: number;
  lowPowerShutdownValue: number;
  enableLowPowerShutdown: boolean;
  enableRemoteLowPowerShutdown: boolean;
  // The low level used when the station reports none of its own.
  defaultChargeLow: number;
  mode: string;
}

// The program could not read the station for a while, and it was last seen on battery.
export interface LinkLost {
  mode: string;
  lastCharge: number | null;
  // The user closed the message; the title bar still shows the lost station.
  dismissed: boolean;
}

export type SelfTest =
  | { kind: 'idle' }
  | { kind: 'running'; startedAt: number }
  | { kind: 'done'; result: number | 'noAnswer'; linked: boolean };

export type DriverState = 'idle' | 'installing' | 'failed' | 'done';

export type UpdateState =
  | { kind: 'idle' }
  | { kind: 'running'; percent: number }
  | { kind: 'failed'; code: number }
  | { kind: 'installing' };

export interface AppState {
  lang: Lang;
  // The locale tag for dates and numbers ("de-CH" for a Swiss German user).
  locale: string;
  socket: 'connecting' | 'open' | 'closed';
  dev: 'unknown' | 'noDev' | 'connectDev';
  devMode: string;
  hasDetail: boolean;
  ups: UpsInfo | null;
  batteryTime: BatteryTime | null;
  composite: CompositeInfo | null;
  compositeAt: number;
  sn: string;
  model: string;
  firmware: string;
  appVersion: string;
  system: { cpu: string; os: number | null } | null;
  turnOffTimes: string[];
  lastSelfTest: { time: string; res: boolean } | null;
  selfTest: SelfTest;
  chargeLow: number | null;
  connect: ConnectSettings | null;
  battery: BatterySettings | null;
  detailInput: Record<string, number>;
  detailOutput: Record<string, number>;
  history: PowerHistory;
  shutdown: ShutdownState;
  tip: { limit: number; low: number } | null;
  linkLost: LinkLost | null;
  driver: DriverState;
  usbSerialTip: boolean;
  update: UpdateState;
}

export function initialState(lang: Lang, locale: string): AppState {
  return {
    lang,
    locale,
    socket: 'connecting',
    dev: 'unknown',
    devMode: '',
    hasDetail: false,
    ups: null,
    batteryTime: null,
    composite: null,
    compositeAt: 0,
    sn: '',
    model: '',
    firmware: '',
    appVersion: '',
    system: null,
    turnOffTimes: [],
    lastSelfTest: null,
    selfTest: { kind: 'idle' },
    chargeLow: null,
    connect: null,
    battery: null,
    detailInput: {},
    detailOutput: {},
    history: { times: [], input: [], output: [] },
    shutdown: IDLE,
    tip: null,
    linkLost: null,
    driver: 'idle',
    usbSerialTip: false,
    update: { kind: 'idle' },
  };
}

export type Listener = (state: AppState, previous: AppState) => void;

export class Store {
  private listeners = new Set<Listener>();

  constructor(private current: AppState) {}

  get state(): AppState {
    return this.current;
  }

  set(patch: Partial<AppState>): void {
    const previous = this.current;
    this.current = { ...previous, ...patch };
    this.listeners.forEach((l) => l(this.current, previous));
  }

  subscribe(listener: Listener): () => void {
    this.listeners.add(listener);
    return () => this.listeners.delete(listener);
  }
}
