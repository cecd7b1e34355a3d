// The page's side of the low-battery shutdown: stage one counts down its interval and can be
// cancelled, stage two shortens any running countdown to its own interval, and at zero the page
// asks the program to shut the PC down. A remote warning only asks the user. Whatever happens to
// that request, the user is never left without a way back to the page.

export interface ShutdownNotice {
  status?: unknown;
  mode?: unknown;
  interval?: unknown;
  lowPowerShutdownValue?: unknown;
}

export interface ShutdownResult {
  ok: boolean;
  reason: string;
}

// Why a countdown or a wait for the shutdown ended without one.
export type ShutdownNote = 'user' | 'mains' | 'mainsLate';

export type ShutdownState =
  | { kind: 'idle'; note?: ShutdownNote }
  | { kind: 'counting'; stage: 1 | 2; deadline: number; total: number; low: number | null }
  | { kind: 'remote'; low: number | null }
  // `accepted` is when the program said it started the shutdown; null while the page still asks.
  | { kind: 'shuttingDown'; accepted: number | null }
  | { kind: 'notShutDown'; cause: 'failed' | 'stillRunning'; reason: string };

export const IDLE: ShutdownState = { kind: 'idle' };
export const ASKING: ShutdownState = { kind: 'shuttingDown', accepted: null };

// A system that has accepted the shutdown has normally ended this page well before then.
export const STILL_RUNNING_MS = 60000;

const STAGE_ONE_DEFAULT_S = 20;
const STAGE_TWO_DEFAULT_S = 5;

function seconds(value: unknown, fallback: number): number {
  return typeof value === 'number' && Number.isFinite(value) && value > 0 ? value : fallback;
}

function lowOf(notice: ShutdownNotice): number | null {
  return typeof notice.lowPowerShutdownValue === 'number' ? notice.lowPowerShutdownValue : null;
}

export function isAsking(state: ShutdownState): boolean {
  return state.kind === 'shuttingDown' && state.accepted === null;
}

// Only the countdown and the wait for a started shutdown run against the clock.
export function needsClock(state: ShutdownState): boolean {
  return state.kind === 'counting' || (state.kind === 'shuttingDown' && state.accepted !== null);
}

export function onNotice(state: ShutdownState, notice: ShutdownNotice, now: number): ShutdownState {
  // Once asked, or once the user has seen the shutdown fail, a new stage does not start over.
  if (state.kind === 'shuttingDown' || state.kind === 'notShutDown') return state;
  if (notice.status === 'shutdown') {
    const total = seconds(notice.interval, STAGE_TWO_DEFAULT_S);
    const deadline = now + total * 1000;
    if (state.kind === 'counting' && state.deadline <= deadline) return { ...state, stage: 2 };
    const low = state.kind === 'counting' || state.kind === 'remote' ? state.low : null;
    return { kind: 'counting', stage: 2, deadline, total, low };
  }
  if (notice.status !== 'lowPowerShutdown') return state;
  if (notice.mode === 'remote' || typeof notice.interval !== 'number') {
    return state.kind === 'counting' ? state : { kind: 'remote', low: lowOf(notice) };
  }
  if (state.kind === 'counting') return state;
  const total = seconds(notice.interval, STAGE_ONE_DEFAULT_S);
  return { kind: 'counting', stage: 1, deadline: now + total * 1000, total, low: lowOf(notice) };
}

export function onCancel(state: ShutdownState): ShutdownState {
  return state.kind === 'counting' || state.kind === 'remote' ? { kind: 'idle', note: 'user' } : state;
}

// "Close" after the PC was not shut down: back to the page.
export function onClose(state: ShutdownState): ShutdownState {
  return state.kind === 'notShutDown' ? IDLE : state;
}

// Mains power came back: a countdown that has not fired yet has lost its cause, and the page
// stops waiting for a shutdown that was asked for.
export function onMains(state: ShutdownState, onBattery: boolean): ShutdownState {
  if (onBattery) return state;
  if (state.kind === 'counting') return { kind: 'idle', note: 'mains' };
  if (state.kind === 'shuttingDown' || state.kind === 'notShutDown') return { kind: 'idle', note: 'mainsLate' };
  return state;
}

// "Shut down now", and "Try again" after a shutdown that did not happen.
export function onShutdownNow(state: ShutdownState): ShutdownState {
  return state.kind === 'counting' || state.kind === 'remote' || state.kind === 'notShutDown' ? ASKING : state;
}

// The program's answer to the page's own request; a late answer never reopens a closed overlay.
export function onAnswer(state: ShutdownState, ok: boolean, now: number): ShutdownState {
  if (state.kind !== 'shuttingDown') return state;
  if (!ok) return { kind: 'notShutDown', cause: 'failed', reason: '' };
  return state.accepted === null ? { kind: 'shuttingDown', accepted: now } : state;
}

// The program reports every attempt, also those of its own deadline that the page never asked for.
export function onResult(state: ShutdownState, result: ShutdownResult, now: number): ShutdownState {
  if (!result.ok) return { kind: 'notShutDown', cause: 'failed', reason: result.reason };
  if (state.kind === 'shuttingDown' && state.accepted !== null) return state;
  return { kind: 'shuttingDown', accepted: now };
}

export function onTick(state: ShutdownState, now: number): ShutdownState {
  if (state.kind === 'counting' && now >= state.deadline) return ASKING;
  if (state.kind === 'shuttingDown' && state.accepted !== null && now - state.accepted >= STILL_RUNNING_MS) {
    return { kind: 'notShutDown', cause: 'stillRunning', reason: '' };
  }
  return state;
}

export function secondsLeft(state: ShutdownState, now: number): number {
  if (state.kind !== 'counting') return 0;
  return Math.max(0, Math.ceil((state.deadline - now) / 1000));
}
