// The program's web-channel object "amperlaneBridge". Inside the program the page finds
// qt.webChannelTransport and loads the channel script from the program's resources; in a plain
// browser there is no bridge and the page uses its defaults.

type Callback<T> = (value: T) => void;

interface RawBridge {
  close(): void;
  minimize(): void;
  maximize(): void;
  getLanguage(cb: Callback<string>): void;
  hasDeviceDetailPage(cb: Callback<boolean>): void;
  getWebsocketPort(cb: Callback<number>): void;
  setLanguage(language: string): void;
  connectMode(cb: Callback<string>): void;
  addLog(log: string): void;
  pageReady(): void;
  getWebsocketToken?(cb: Callback<string>): void;
}

export interface Bridge {
  close(): void;
  minimize(): void;
  maximize(): void;
  getLanguage(): Promise<string>;
  hasDeviceDetailPage(): Promise<boolean>;
  getWebsocketPort(): Promise<number>;
  setLanguage(language: string): void;
  connectMode(): Promise<string>;
  addLog(log: string): void;
  pageReady(): void;
  getWebsocketToken(): Promise<string | null>;
}

interface ChannelWindow {
  qt?: { webChannelTransport?: unknown };
  QWebChannel?: new (transport: unknown, ready: (channel: { objects: Record<string, unknown> }) => void) => unknown;
}

const CHANNEL_SCRIPT = 'qrc:///qtwebchannel/qwebchannel.js';

function loadScript(src: string): Promise<boolean> {
  return new Promise((resolve) => {
    const script = document.createElement('script');
    script.src = src;
    script.onload = () => resolve(true);
    script.onerror = () => resolve(false);
    document.head.appendChild(script);
  });
}

function ask<T>(slot: ((cb: Callback<T>) => void) | undefined, raw: RawBridge): Promise<T | null> {
  if (typeof slot !== 'function') return Promise.resolve(null);
  return new Promise((resolve) => slot.call(raw, (value: T) => resolve(value)));
}

function wrap(raw: RawBridge): Bridge {
  return {
    close: () => raw.close(),
    minimize: () => raw.minimize(),
    maximize: () => raw.maximize(),
    getLanguage: async () => (await ask(raw.getLanguage, raw)) ?? '',
    hasDeviceDetailPage: async () => (await ask(raw.hasDeviceDetailPage, raw)) === true,
    getWebsocketPort: async () => (await ask(raw.getWebsocketPort, raw)) ?? 0,
    setLanguage: (language) => raw.setLanguage(language),
    connectMode: async () => (await ask(raw.connectMode, raw)) ?? '',
    addLog: (log) => raw.addLog(log),
    pageReady: () => raw.pageReady(),
    getWebsocketToken: () => ask(raw.getWebsocketToken, raw),
  };
}

export async function connectBridge(timeoutMs = 3000): Promise<Bridge | null> {
  const w = window as unknown as ChannelWindow;
  const transport = w.qt?.webChannelTransport;
  if (!transport) return null;
  if (!w.QWebChannel && !(await loadScript(CHANNEL_SCRIPT))) return null;
  const Channel = w.QWebChannel;
  if (!Channel) return null;
  return new Promise((resolve) => {
    const timer = setTimeout(() => resolve(null), timeoutMs);
    new Channel(transport, (channel) => {
      clearTimeout(timer);
      const raw = channel.objects.amperlaneBridge as RawBridge | undefined;
      resolve(raw ? wrap(raw) : null);
    });
  });
}
