import type { PowerHistory } from './store';

// The device sends its whole recent history (up to 20 samples, one a second) when the detail page
// is switched on and then one sample at a time; the page keeps a longer window of its own.
export const HISTORY_LIMIT = 180;
const SAMPLE_MS = 1000;

function numbers(value: unknown): number[] | null {
  if (!Array.isArray(value)) return null;
  return value.filter((v): v is number => typeof v === 'number' && Number.isFinite(v));
}

function padFront(values: number[], length: number): number[] {
  return [...new Array(length - values.length).fill(Number.NaN), ...values];
}

export function mergeHistory(history: PowerHistory, input: unknown, output: unknown, now: number): PowerHistory {
  const ins = numbers(input);
  const outs = numbers(output);
  if (!ins && !outs) return history;
  const length = Math.max(ins?.length ?? 0, outs?.length ?? 0);
  if (length === 0) return history;
  let next: PowerHistory;
  if (length > 1) {
    const times = Array.from({ length }, (_, i) => now - (length - 1 - i) * SAMPLE_MS);
    next = { times, input: padFront(ins ?? [], length), output: padFront(outs ?? [], length) };
  } else {
    next = {
      times: [...history.times, now],
      input: [...history.input, ins?.[0] ?? Number.NaN],
      output: [...history.output, outs?.[0] ?? Number.NaN],
    };
  }
  const drop = Math.max(0, next.times.length - HISTORY_LIMIT);
  return drop ? { times: next.times.slice(drop), input: next.input.slice(drop), output: next.output.slice(drop) } : next;
}

// The single values of one side of a detail notification, without the history arrays.
export function scalarValues(side: unknown): Record<string, number> {
  const result: Record<string, number> = {};
  if (typeof side !== 'object' || side === null) return result;
  for (const [key, value] of Object.entries(side)) {
    if (typeof value === 'number' && Number.isFinite(value)) result[key] = value;
    else if (Array.isArray(value) && value.length > 0 && typeof value[value.length - 1] === 'number') {
      result[key] = value[value.length - 1] as number;
    }
  }
  return result;
}
