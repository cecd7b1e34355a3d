// The levels at which the program warns and shuts down, as the monitor compares them:
// charge <= low + margin, all inclusive.

export interface BatteryPlan {
  low: number;
  tipMargin: number;
  shutdownMargin: number;
  enableLocal: boolean;
  enableRemote: boolean;
  mode: string;
}

export interface Levels {
  tip: number;
  stageOne: number | null;
  stageTwo: number | null;
  remote: number | null;
}

// The remote warning uses a fixed margin of 4, whatever the shutdown margin says.
const REMOTE_MARGIN = 4;

export function levelsFor(plan: BatteryPlan): Levels {
  const local = plan.mode === 'local' && plan.enableLocal;
  const remote = plan.mode === 'remote' && plan.enableRemote;
  return {
    tip: plan.low + plan.tipMargin,
    stageOne: local ? plan.low + plan.shutdownMargin : null,
    stageTwo: local ? plan.low + 1 : null,
    remote: remote ? plan.low + REMOTE_MARGIN : null,
  };
}

export const MARGIN_MIN = 1;
export const MARGIN_MAX = 50;
export const DEFAULT_LOW_MIN = 0;
export const DEFAULT_LOW_MAX = 90;

export function clampWhole(value: number, min: number, max: number): number {
  if (!Number.isFinite(value)) return min;
  return Math.min(max, Math.max(min, Math.round(value)));
}

export function clampMargin(value: number): number {
  return clampWhole(value, MARGIN_MIN, MARGIN_MAX);
}

export interface BatteryLimits {
  lowPowerTipValue: number;
  lowPowerShutdownValue: number;
  defaultChargeLow: number;
}

export type BatteryProblem = 'tip' | 'shutdown' | 'defaultLow' | null;

function wholeIn(value: number, min: number, max: number): boolean {
  return Number.isInteger(value) && value >= min && value <= max;
}

// The program refuses the whole setting when any of these is out of its range.
export function batteryProblem(s: BatteryLimits): BatteryProblem {
  if (!wholeIn(s.lowPowerTipValue, MARGIN_MIN, MARGIN_MAX)) return 'tip';
  if (!wholeIn(s.lowPowerShutdownValue, MARGIN_MIN, MARGIN_MAX)) return 'shutdown';
  if (!wholeIn(s.defaultChargeLow, DEFAULT_LOW_MIN, DEFAULT_LOW_MAX)) return 'defaultLow';
  return null;
}
