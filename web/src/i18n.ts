import en from './i18n/en.json';
import de from './i18n/de.json';
import type { Lang } from './language';

export type Texts = typeof en;
export type TextKey = keyof Texts;
export type Translate = (key: TextKey, vars?: Record<string, string | number>) => string;

const TABLES: Record<Lang, Record<string, string>> = { en, de };

export const LOCALES: Record<Lang, string> = { en: 'en-US', de: 'de-DE' };

export function translator(lang: Lang): Translate {
  const table = TABLES[lang];
  return (key, vars) => {
    const text = table[key] ?? (en as Record<string, string>)[key] ?? key;
    if (!vars) return text;
    return text.replace(/\{(\w+)\}/g, (whole, name: string) => (name in vars ? String(vars[name]) : whole));
  };
}
