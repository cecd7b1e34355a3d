// The program opens the page at "…/build/index.html#/us/connect-mode?lang=us"; a plain browser
// adds "token" (and for tests "port") to the same query.

export const PAGES = ['connect-mode', 'home', 'device-detail', 'battery-setting', 'about'] as const;
export type PageName = (typeof PAGES)[number];

export interface Route {
  region: string;
  page: PageName;
  query: URLSearchParams;
}

export function parseHash(hash: string): Route {
  const text = hash.startsWith('#') ? hash.slice(1) : hash;
  const q = text.indexOf('?');
  const path = q >= 0 ? text.slice(0, q) : text;
  const query = new URLSearchParams(q >= 0 ? text.slice(q + 1) : '');
  const parts = path.split('/').filter((p) => p.length > 0);
  const region = parts.length >= 2 ? parts[0] : 'us';
  const name = parts.length >= 2 ? parts[1] : parts[0];
  const page = (PAGES as readonly string[]).includes(name ?? '') ? (name as PageName) : 'home';
  return { region, page, query };
}

export function buildHash(route: Route): string {
  const query = route.query.toString();
  return `#/${route.region}/${route.page}${query ? `?${query}` : ''}`;
}

// A parameter of the page address: the query inside the fragment wins over the ordinary one.
export function addressParam(location: { hash: string; search: string }, name: string): string | null {
  const fromHash = parseHash(location.hash).query.get(name);
  if (fromHash !== null) return fromHash;
  return new URLSearchParams(location.search).get(name);
}

export const DEFAULT_WEBSOCKET_PORT = 57890;

export function portFromText(text: string | null): number | null {
  if (text === null || !/^\d{1,5}$/.test(text)) return null;
  const port = Number(text);
  return port >= 1 && port <= 65535 ? port : null;
}

export function websocketUrl(port: number, token: string): string {
  const base = `ws://127.0.0.1:${port}`;
  return token ? `${base}/?token=${encodeURIComponent(token)}` : base;
}
