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

export function clampMargin(value: number): number {
  if (!Number.isFinite(value)) return MARGIN_MIN;
  return Math.min(MARGIN_MAX, Math.max(MARGIN_MIN, Math.round(value)));
}
