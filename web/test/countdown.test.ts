import { describe, expect, it } from 'vitest';
import { IDLE, onCancel, onMains, onNotice, onShutdownNow, onTick, secondsLeft, type ShutdownState } from '../src/countdown';

const stageOne = { status: 'lowPowerShutdown', mode: 'local', interval: 20, lowPowerShutdownValue: 10 };
const stageTwo = { status: 'shutdown', mode: 'local', interval: 5 };
const remote = { status: 'lowPowerShutdown', mode: 'remote', lowPowerShutdownValue: 10 };

describe('shutdown countdown', () => {
  it('counts stage one down and shuts down at zero, not before', () => {
    const s = onNotice(IDLE, stageOne, 0);
    expect(s).toMatchObject({ kind: 'counting', stage: 1, total: 20, low: 10 });
    expect(secondsLeft(s, 0)).toBe(20);
    expect(secondsLeft(s, 19001)).toBe(1);
    expect(onTick(s, 19999)).toBe(s);
    expect(onTick(s, 20000)).toEqual({ kind: 'shuttingDown' });
  });

  it('lets stage two shorten a running countdown but never lengthen it', () => {
    const one = onNotice(IDLE, stageOne, 0);
    const shortened = onNotice(one, stageTwo, 1000);
    expect(shortened).toMatchObject({ stage: 2, deadline: 6000, low: 10 });
    const late = onNotice(one, stageTwo, 18000);
    expect(late).toMatchObject({ stage: 2, deadline: 20000 });
  });

  it('starts stage two afresh after stage one was cancelled', () => {
    const cancelled = onCancel(onNotice(IDLE, stageOne, 0));
    expect(cancelled).toEqual({ kind: 'idle', note: 'user' });
    const two = onNotice(cancelled, stageTwo, 30000);
    expect(two).toMatchObject({ kind: 'counting', stage: 2, deadline: 35000 });
  });

  it('calls off a countdown when the mains return, but not a shutdown already asked for', () => {
    const one = onNotice(IDLE, stageOne, 0);
    expect(onMains(one, true)).toBe(one);
    expect(onMains(one, false)).toEqual({ kind: 'idle', note: 'mains' });
    const going: ShutdownState = { kind: 'shuttingDown' };
    expect(onMains(going, false)).toBe(going);
    expect(onNotice(going, stageOne, 0)).toBe(going);
    expect(onCancel(going)).toBe(going);
  });

  it('turns a remote warning into a question without a countdown', () => {
    const r = onNotice(IDLE, remote, 0);
    expect(r).toEqual({ kind: 'remote', low: 10 });
    expect(onTick(r, 10 ** 9)).toBe(r);
    expect(onShutdownNow(r)).toEqual({ kind: 'shuttingDown' });
    expect(onCancel(r)).toEqual({ kind: 'idle', note: 'user' });
  });

  it.each([
    ['unknown status', { status: 'other', interval: 20 }],
    ['missing status', { interval: 20 }],
  ])('ignores a notice with %s', (_name, notice) => {
    expect(onNotice(IDLE, notice, 0)).toBe(IDLE);
  });

  it('falls back to the usual intervals when a notice carries a bad one', () => {
    expect(onNotice(IDLE, { ...stageOne, interval: -3 }, 0)).toMatchObject({ total: 20 });
    expect(onNotice(IDLE, { status: 'shutdown' }, 0)).toMatchObject({ total: 5 });
  });
});
