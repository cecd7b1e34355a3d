// Turning the program's values into what the page shows.

export interface BatteryTime {
  days: number;
  hours: number;
  minutes: number;
}

export function isBatteryTime(value: unknown): value is BatteryTime {
  if (typeof value !== 'object' || value === null) return false;
  const v = value as Record<string, unknown>;
  return ['days', 'hours', 'minutes'].every((k) => typeof v[k] === 'number' && (v[k] as number) >= 0);
}

// "2024-3-7 09:05:11", the program's time records, read as local time.
export function parseRecordTime(text: string): Date | null {
  const m = /^(\d{4})-(\d{1,2})-(\d{1,2}) (\d{1,2}):(\d{2}):(\d{2})$/.exec(text.trim());
  if (!m) return null;
  const [y, mo, d, h, mi, s] = m.slice(1).map(Number);
  const date = new Date(y, mo - 1, d, h, mi, s);
  return date.getMonth() === mo - 1 && date.getDate() === d ? date : null;
}

export function formatRecordTime(text: string, locale: string): string {
  const date = parseRecordTime(text);
  if (!date) return text;
  return new Intl.DateTimeFormat(locale, { dateStyle: 'medium', timeStyle: 'short' }).format(date);
}

// Numbers as the language writes them: "87 %" in German, "87%" in English, "2.048" or "2,048".
export function formatPercent(percent: number, locale: string): string {
  return new Intl.NumberFormat(locale, { style: 'percent', maximumFractionDigits: 0 }).format(percent / 100);
}

export function formatNumber(value: number, locale: string): string {
  return new Intl.NumberFormat(locale, { maximumFractionDigits: 1 }).format(value);
}

export function formatTemperature(celsius: number, locale: string): string {
  return new Intl.NumberFormat(locale, { style: 'unit', unit: 'celsius', maximumFractionDigits: 1 }).format(celsius);
}

// The charge arrives as text ("87"); anything that is not a percentage shows as unknown.
export function chargePercent(text: unknown): number | null {
  if (typeof text !== 'string' && typeof text !== 'number') return null;
  const n = Number(String(text).trim());
  if (String(text).trim() === '' || !Number.isFinite(n)) return null;
  return Math.min(100, Math.max(0, Math.round(n)));
}

// "2048Wh" → 2048; the program appends "Wh" to whatever NUT reported, also to nothing.
export function nominalWh(text: unknown): number | null {
  if (typeof text !== 'string') return null;
  const m = /^\s*(\d+(?:\.\d+)?)\s*Wh$/.exec(text);
  return m ? Number(m[1]) : null;
}

export function isPlainVersion(text: string): boolean {
  return /^[A-Za-z0-9._-]+$/.test(text) && text !== '.' && text !== '..';
}

export function isMd5(text: string): boolean {
  return /^[0-9a-fA-F]{32}$/.test(text);
}

// NUT names the station "TQ-UPS-<model>"; people know it by the model alone.
export function displayModel(model: string): string {
  return model.startsWith('TQ-UPS-') ? model.slice(7) : model;
}
