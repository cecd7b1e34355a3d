import { describe, expect, it } from 'vitest';
import {
  ASKING,
  IDLE,
  onAnswer,
  onCancel,
  onClose,
  onMains,
  onNotice,
  onResult,
  onShutdownNow,
  onTick,
  secondsLeft,
  STILL_RUNNING_MS,
  type ShutdownState,
} from '../src/countdown';

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
    expect(onTick(s, 20000)).toEqual(ASKING);
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

  it('calls off a countdown when the mains return', () => {
    const one = onNotice(IDLE, stageOne, 0);
    expect(onMains(one, true)).toBe(one);
    expect(onMains(one, false)).toEqual({ kind: 'idle', note: 'mains' });
  });

  it('neither restarts nor cancels a shutdown already asked for', () => {
    expect(onNotice(ASKING, stageOne, 0)).toBe(ASKING);
    expect(onNotice(ASKING, stageTwo, 0)).toBe(ASKING);
    expect(onCancel(ASKING)).toBe(ASKING);
  });

  it('turns a remote warning into a question without a countdown', () => {
    const r = onNotice(IDLE, remote, 0);
    expect(r).toEqual({ kind: 'remote', low: 10 });
    expect(onTick(r, 10 ** 9)).toBe(r);
    expect(onShutdownNow(r)).toEqual(ASKING);
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

const accepted: ShutdownState = { kind: 'shuttingDown', accepted: 1000 };
const failed: ShutdownState = { kind: 'notShutDown', cause: 'failed', reason: 'Access denied' };
const stillRunning: ShutdownState = { kind: 'notShutDown', cause: 'stillRunning', reason: '' };
const counting = onNotice(IDLE, stageOne, 0);

describe('shutdown request', () => {
  // [name, state before, event, state after]; events happen at 5000 ms.
  const at = 5000;
  it.each<[string, ShutdownState, (s: ShutdownState) => ShutdownState, ShutdownState]>([
    ['the program starts it', ASKING, (s) => onAnswer(s, true, at), { kind: 'shuttingDown', accepted: at }],
    ['the program cannot start it', ASKING, (s) => onAnswer(s, false, at), { kind: 'notShutDown', cause: 'failed', reason: '' }],
    ['its failure report brings the reason', ASKING, (s) => onResult(s, { ok: false, reason: 'Access denied' }, at), failed],
    ['the false answer after the report keeps the reason', failed, (s) => onAnswer(s, false, at), failed],
    ['the report of a started shutdown before the answer', ASKING, (s) => onResult(s, { ok: true, reason: 'started' }, at), { kind: 'shuttingDown', accepted: at }],
    ['a second report keeps the first start', accepted, (s) => onResult(s, { ok: true, reason: 'started' }, at), accepted],
    ['the answer after the report keeps the first start', accepted, (s) => onAnswer(s, true, at), accepted],
    ['a failure report after a start', accepted, (s) => onResult(s, { ok: false, reason: 'Access denied' }, at), failed],
    ["the program's own deadline while idle", IDLE, (s) => onResult(s, { ok: true, reason: 'started' }, at), { kind: 'shuttingDown', accepted: at }],
    ["the program's own deadline during a countdown", counting, (s) => onResult(s, { ok: true, reason: 'started' }, at), { kind: 'shuttingDown', accepted: at }],
    ["the program's own deadline fails while idle", IDLE, (s) => onResult(s, { ok: false, reason: 'Access denied' }, at), failed],
    ['a late answer after the user closed', IDLE, (s) => onAnswer(s, false, at), IDLE],
    ['a late answer after the mains returned', { kind: 'idle', note: 'mainsLate' }, (s) => onAnswer(s, true, at), { kind: 'idle', note: 'mainsLate' }],
    ['the PC still runs a minute after the start', accepted, (s) => onTick(s, 1000 + STILL_RUNNING_MS), stillRunning],
    ['the PC is given the whole minute', accepted, (s) => onTick(s, 999 + STILL_RUNNING_MS), accepted],
    ['no minute is counted while the page still asks', ASKING, (s) => onTick(s, 10 ** 9), ASKING],
    ['"Try again" after a failure', failed, onShutdownNow, ASKING],
    ['"Try again" when the PC still runs', stillRunning, onShutdownNow, ASKING],
    ['"Close" after a failure', failed, onClose, IDLE],
    ['"Close" when the PC still runs', stillRunning, onClose, IDLE],
    ['the mains return while asking', ASKING, (s) => onMains(s, false), { kind: 'idle', note: 'mainsLate' }],
    ['the mains return after the start', accepted, (s) => onMains(s, false), { kind: 'idle', note: 'mainsLate' }],
    ['the mains return after a failure', failed, (s) => onMains(s, false), { kind: 'idle', note: 'mainsLate' }],
    ['a reading on battery after a failure', failed, (s) => onMains(s, true), failed],
    ['a new stage after a failure', failed, (s) => onNotice(s, stageTwo, at), failed],
    ['cancel does not hide a failure', failed, onCancel, failed],
  ])('%s', (_name, before, event, after) => {
    expect(event(before)).toEqual(after);
  });
});
