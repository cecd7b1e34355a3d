import { describe, expect, it } from 'vitest';
import { TABLES } from '../src/i18n';
import { LANGS } from '../src/language';

const SOURCES = import.meta.glob('../src/**/*.ts', { query: '?raw', import: 'default', eager: true }) as Record<string, string>;
const EN = TABLES.en;

interface Literal {
  value: string;
  start: number;
  // A template literal with ${…} in it: a text put together at run time.
  built: boolean;
}

// The string literals of a source file, and the file with their contents and all comments
// blanked out, so that brackets can be matched on what is left. Regular expression literals are
// skipped whole: "/^https?:\/\/\S+$/" is neither a comment nor a string.
function scan(source: string): { code: string; literals: Literal[] } {
  const code = source.split('');
  const literals: Literal[] = [];
  const blank = (from: number, to: number) => {
    for (let k = from; k < to; k++) if (code[k] !== '\n') code[k] = ' ';
  };
  let last = '';
  let i = 0;
  while (i < source.length) {
    const c = source[i];
    const next = source[i + 1];
    if (c === '/' && next === '/') {
      const end = source.indexOf('\n', i);
      const stop = end < 0 ? source.length : end;
      blank(i, stop);
      i = stop;
    } else if (c === '/' && next === '*') {
      const stop = source.indexOf('*/', i + 2) + 2;
      blank(i, stop);
      i = stop;
    } else if (c === '/' && (last === '' || '(,=:[!&|?{};'.includes(last))) {
      let j = i + 1;
      let inClass = false;
      while (j < source.length && (source[j] !== '/' || inClass)) {
        if (source[j] === '\\') j++;
        else if (source[j] === '[') inClass = true;
        else if (source[j] === ']') inClass = false;
        j++;
      }
      blank(i, j + 1);
      i = j + 1;
      last = '/';
    } else if (c === "'" || c === '"' || c === '`') {
      let j = i + 1;
      let value = '';
      let built = false;
      while (j < source.length && source[j] !== c) {
        if (source[j] === '\\') {
          value += source[j + 1];
          j += 2;
          continue;
        }
        if (c === '`' && source[j] === '$' && source[j + 1] === '{') built = true;
        value += source[j];
        j++;
      }
      literals.push({ value, start: i, built });
      blank(i + 1, j);
      i = j + 1;
      last = c;
    } else {
      if (!/\s/.test(c)) last = c;
      i++;
    }
  }
  return { code: code.join(''), literals };
}

// Where the first argument of each t(…) call starts and ends.
function keyArguments(code: string): [number, number][] {
  const spans: [number, number][] = [];
  for (const call of code.matchAll(/(?<![\w$])t\(/g)) {
    const start = call.index! + 2;
    let depth = 0;
    let end = start;
    for (; end < code.length; end++) {
      const ch = code[end];
      if ('([{'.includes(ch)) depth++;
      else if (')]}'.includes(ch)) {
        if (depth === 0) break;
        depth--;
      } else if (ch === ',' && depth === 0) break;
    }
    spans.push([start, end]);
  }
  return spans;
}

// The literals inside the key argument that name a key: every key has a namespace ("home.charge"),
// unlike the texts a condition there compares with (t(mode === 'local' ? … : …)).
function keyLiterals(file: { code: string; literals: Literal[] }): Literal[] {
  const spans = keyArguments(file.code);
  return file.literals.filter((l) => l.value.includes('.') && spans.some(([from, to]) => l.start >= from && l.start < to));
}

const placeholders = (text: string) => [...text.matchAll(/\{(\w+)\}/g)].map((m) => m[1]).sort();

describe('texts of the page', () => {
  const keys = Object.keys(EN).sort();

  it.each(LANGS.filter((l) => l !== 'en'))('%s has every key, no other, each with the placeholders of the English text', (lang) => {
    const table = TABLES[lang];
    expect(Object.keys(table).sort()).toEqual(keys);
    for (const key of keys) {
      expect(table[key].trim(), `${lang} ${key}`).not.toBe('');
      expect(placeholders(table[key]), `${lang} ${key}`).toEqual(placeholders(EN[key]));
    }
  });

  it('uses every key, and only keys that exist, each spelt out in full', () => {
    const files = Object.entries(SOURCES).map(([path, source]) => ({ path, ...scan(source) }));
    const written = new Set(files.flatMap((f) => f.literals.filter((l) => !l.built).map((l) => l.value)));
    expect(keys.filter((key) => !written.has(key))).toEqual([]);

    const asKeys = files.flatMap((f) => keyLiterals(f).map((l) => ({ ...l, path: f.path })));
    expect(asKeys.filter((l) => l.built || !(l.value in EN)).map((l) => `${l.path}: ${l.value}`)).toEqual([]);
    // A key put together at run time would pass the checks above unseen.
    expect(files.filter((f) => f.code.includes('as TextKey')).map((f) => f.path)).toEqual([]);
  });

  it('finds the keys past comments, regular expressions and other calls', () => {
    const file = scan("// t('a.b')\nconst ok = /^https?:\\/\\/\\S+$/i.test(u) ? t(x === 'y' ? 'c.d' : 'e.f', { n: 'g' }) : ctx.t(`h.${i}`); /* 'j' */ set('k');");
    expect(file.literals.map((l) => l.value)).toEqual(['y', 'c.d', 'e.f', 'g', 'h.${i}', 'k']);
    expect(keyLiterals(file).map((l) => [l.value, l.built])).toEqual([
      ['c.d', false],
      ['e.f', false],
      ['h.${i}', true],
    ]);
  });
});
