import { describe, expect, it } from 'vitest';
import { clampMargin, levelsFor } from '../src/thresholds';
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
