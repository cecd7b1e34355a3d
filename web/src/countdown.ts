// The page's side of the low-battery shutdown: stage one counts down its interval and can be
// cancelled, stage two shortens any running countdown to its own interval, and at zero the page
// asks the program to shut the PC down. A remote warning only asks the user.

export interface ShutdownNotice {
  status?: unknown;
  mode?: unknown;
  interval?: unknown;
  lowPowerShutdownValue?: unknown;
}

export type ShutdownState =
  | { kind: 'idle'; note?: 'user' | 'mains' }
  | { kind: 'counting'; stage: 1 | 2; deadline: number; total: number; low: number | null }
  | { kind: 'remote'; low: number | null }
  | { kind: 'shuttingDown' };

export const IDLE: ShutdownState = { kind: 'idle' };

const STAGE_ONE_DEFAULT_S = 20;
const STAGE_TWO_DEFAULT_S = 5;

function seconds(value: unknown, fallback: number): number {
  return typeof value === 'number' && Number.isFinite(value) && value > 0 ? value : fallback;
}

function lowOf(notice: ShutdownNotice): number | null {
  return typeof notice.lowPowerShutdownValue === 'number' ? notice.lowPowerShutdownValue : null;
}

export function onNotice(state: ShutdownState, notice: ShutdownNotice, now: number): ShutdownState {
  if (state.kind === 'shuttingDown') return state;
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

// Mains power came back: a countdown that has not fired yet has lost its cause.
export function onMains(state: ShutdownState, onBattery: boolean): ShutdownState {
  if (onBattery || state.kind !== 'counting') return state;
  return { kind: 'idle', note: 'mains' };
}

export function onShutdownNow(state: ShutdownState): ShutdownState {
  return state.kind === 'counting' || state.kind === 'remote' ? { kind: 'shuttingDown' } : state;
}

export function onTick(state: ShutdownState, now: number): ShutdownState {
  return state.kind === 'counting' && now >= state.deadline ? { kind: 'shuttingDown' } : state;
}

export function secondsLeft(state: ShutdownState, now: number): number {
  if (state.kind !== 'counting') return 0;
  return Math.max(0, Math.ceil((state.deadline - now) / 1000));
}
