import { describe, expect, it } from 'vitest';
import { batteryProblem, clampMargin, levelsFor } from '../src/thresholds';
import { planSentences } from '../src/pages/battery';
import { translator } from '../src/i18n';

const base = { low: 10, tipMargin: 5, shutdownMargin: 4, enableLocal: true, enableRemote: true };

describe('low-battery levels', () => {
  it.each([
    ['local, shutdown on', { mode: 'local' }, { tip: 15, stageOne: 14, stageTwo: 11, remote: null }],
    ['local, shutdown off', { mode: 'local', enableLocal: false }, { tip: 15, stageOne: null, stageTwo: null, remote: null }],
    // The remote warning keeps its fixed margin of 4 whatever the shutdown margin says.
    ['remote, margin 10', { mode: 'remote', shutdownMargin: 10 }, { tip: 15, stageOne: null, stageTwo: null, remote: 14 }],
    ['unknown mode', { mode: 'serial' }, { tip: 15, stageOne: null, stageTwo: null, remote: null }],
  ])('%s', (_name, patch, expected) => {
    expect(levelsFor({ ...base, ...patch })).toEqual(expected);
  });

  it('keeps margins whole and within bounds', () => {
    expect([clampMargin(0), clampMargin(4.6), clampMargin(500), clampMargin(Number.NaN)]).toEqual([1, 5, 50, 1]);
  });
});

describe('battery settings the program accepts', () => {
  const good = { lowPowerTipValue: 5, lowPowerShutdownValue: 4, defaultChargeLow: 10 };
  it.each([
    ['the defaults', {}, null],
    ['the smallest values', { lowPowerTipValue: 1, lowPowerShutdownValue: 1, defaultChargeLow: 0 }, null],
    ['the largest values', { lowPowerTipValue: 50, lowPowerShutdownValue: 50, defaultChargeLow: 90 }, null],
    ['no warning margin', { lowPowerTipValue: 0 }, 'tip'],
    ['a warning margin above 50', { lowPowerTipValue: 51 }, 'tip'],
    ['an empty warning margin', { lowPowerTipValue: Number.NaN }, 'tip'],
    ['a shutdown margin in tenths', { lowPowerShutdownValue: 4.5 }, 'shutdown'],
    ['a shutdown margin above 50', { lowPowerShutdownValue: 90 }, 'shutdown'],
    ['a negative low level', { defaultChargeLow: -1 }, 'defaultLow'],
    ['a low level above 90', { defaultChargeLow: 91 }, 'defaultLow'],
    ['an empty low level', { defaultChargeLow: Number.NaN }, 'defaultLow'],
  ])('%s', (_name, patch, problem) => {
    expect(batteryProblem({ ...good, ...patch })).toBe(problem);
  });
});

describe('the plan in words', () => {
  const t = translator('en');
  const settings = { lowPowerTipValue: 5, lowPowerShutdownValue: 4, enableLowPowerShutdown: true, enableRemoteLowPowerShutdown: false };

  it('names the levels the program will use', () => {
    const text = planSentences(t, 'en-US', settings, 'local', 10).join(' ');
    expect(text).toContain('off at 10%');
    expect(text).toContain('At 15% or less you are warned');
    expect(text).toContain('At 14% or less Amperlane counts down');
    expect(text).toContain('At 11% it shuts down after 5 seconds');
  });

  it('speaks in margins while the low level is unknown, and warns about a late tip', () => {
    const lines = planSentences(t, 'en-US', { ...settings, lowPowerTipValue: 3 }, 'local', 0);
    expect(lines.join(' ')).not.toMatch(/\d+\s?%/);
    expect(planSentences(t, 'en-US', { ...settings, lowPowerTipValue: 3 }, 'local', 10).at(-1)).toBe(t('battery.plan.order'));
  });
});
