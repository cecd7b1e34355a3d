import { describe, expect, it } from 'vitest';
import {
  chargePercent,
  displayModel,
  formatNumber,
  formatPercent,
  formatRecordTime,
  formatTemperature,
  isBatteryTime,
  isMd5,
  isPlainVersion,
  nominalWh,
  parseRecordTime,
} from '../src/format';
import { durationText } from '../src/pages/home';
import { translator } from '../src/i18n';

describe('values from the program', () => {
  it('reads the time records as local time and refuses impossible dates', () => {
    expect(parseRecordTime('2024-3-7 09:05:11')).toEqual(new Date(2024, 2, 7, 9, 5, 11));
    expect(parseRecordTime('2024-2-30 09:05:11')).toBeNull();
    expect(parseRecordTime('2024-3-7;true')).toBeNull();
  });

  it.each([
    ['87', 87],
    [' 100 ', 100],
    ['', null],
    ['n/a', null],
    ['130', 100],
    [undefined, null],
  ])('charge %j', (text, percent) => {
    expect(chargePercent(text)).toBe(percent);
  });

  it('reads the nominal energy only when NUT gave a number', () => {
    expect([nominalWh('2048Wh'), nominalWh('Wh'), nominalWh(2048)]).toEqual([2048, null, null]);
  });

  it('names the station by its model', () => {
    expect([displayModel('TQ-UPS-VESSA 5 Core'), displayModel('Other')]).toEqual(['VESSA 5 Core', 'Other']);
  });

  it('accepts only plain folder names as update versions and 32-digit checksums', () => {
    expect(['1.0.0.15', 'v2_beta-1'].every(isPlainVersion)).toBe(true);
    expect(['..', '.', '../x', 'a/b', 'a b', ''].some(isPlainVersion)).toBe(false);
    expect(isMd5('0123456789abcdefABCDEF0123456789')).toBe(true);
    expect(isMd5('0123456789abcdef')).toBe(false);
  });

  it('shows battery time without empty leading units', () => {
    const t = translator('en');
    expect(durationText(t, { days: 1, hours: 1, minutes: 30 })).toBe('1 d 1 h 30 min');
    expect(durationText(t, { days: 0, hours: 0, minutes: 7 })).toBe('7 min');
    expect(durationText(t, { days: 2, hours: 0, minutes: 0 })).toBe('2 d 0 h 0 min');
    expect(isBatteryTime({ days: 0, hours: 1, minutes: 2 })).toBe(true);
    expect(isBatteryTime({ days: 0, hours: 1 })).toBe(false);
  });

  it.each([
    ['en-US', '87%', '2,048.3', '24.5°C', 'Dec 4, 2026, 9:15 PM'],
    ['de-DE', '87\u00a0%', '2.048,3', '24,5 °C', '04.12.2026, 21:15'],
    ['fr-FR', '87\u00a0%', '2\u202f048,3', '24,5\u202f°C', '4 déc. 2026, 21:15'],
    ['ja-JP', '87%', '2,048.3', '24.5°C', '2026/12/04 21:15'],
  ])('writes numbers and times as %s does', (locale, percent, number, temperature, time) => {
    expect(formatPercent(87, locale)).toBe(percent);
    expect(formatNumber(2048.25, locale)).toBe(number);
    expect(formatTemperature(24.5, locale)).toBe(temperature);
    expect(formatRecordTime('2026-12-4 21:15:02', locale)).toBe(time);
  });
});
