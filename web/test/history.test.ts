import { describe, expect, it } from 'vitest';
import { HISTORY_LIMIT, mergeHistory, scalarValues } from '../src/history';

const empty = { times: [], input: [], output: [] };

describe('power history', () => {
  it('replaces the history with a full one and spaces it a second apart', () => {
    const h = mergeHistory({ times: [1], input: [9], output: [9] }, [1, 2, 3], [4, 5, 6], 10000);
    expect(h).toEqual({ times: [8000, 9000, 10000], input: [1, 2, 3], output: [4, 5, 6] });
  });

  it('appends single samples and pads a shorter side with gaps', () => {
    let h = mergeHistory(empty, [5], [7], 1000);
    h = mergeHistory(h, [6], undefined, 2000);
    expect(h.times).toEqual([1000, 2000]);
    expect(h.input).toEqual([5, 6]);
    expect(h.output[1]).toBeNaN();
    const full = mergeHistory(empty, [1, 2, 3], [4], 3000);
    expect(full.output.slice(0, 2).every(Number.isNaN)).toBe(true);
  });

  it('keeps a bounded window', () => {
    let h = empty as ReturnType<typeof mergeHistory>;
    for (let i = 0; i < HISTORY_LIMIT + 5; i++) h = mergeHistory(h, [i], [i], i * 1000);
    expect(h.times.length).toBe(HISTORY_LIMIT);
    expect(h.input[0]).toBe(5);
  });

  it('ignores payloads without samples', () => {
    expect(mergeHistory(empty, 'x', null, 0)).toBe(empty);
    expect(mergeHistory(empty, [], [], 0)).toBe(empty);
  });

  it('takes the newest value of a history member as the current reading', () => {
    expect(scalarValues({ 'input.realpower': [1, 2, 30], 'input.ac.realpower': 12, bad: 'x' })).toEqual({
      'input.realpower': 30,
      'input.ac.realpower': 12,
    });
  });
});
