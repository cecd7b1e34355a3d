import en from './i18n/en.json';
import de from './i18n/de.json';
import es from './i18n/es.json';
import fr from './i18n/fr.json';
import it from './i18n/it.json';
import ja from './i18n/ja.json';
import zh from './i18n/zh.json';
import type { Lang } from './language';

export type Texts = typeof en;
export type TextKey = keyof Texts;
export type Translate = (key: TextKey, vars?: Record<string, string | number>) => string;

// Every table has every key of the English one; a test holds them to that.
export const TABLES: Record<Lang, Record<string, string>> = { en, de, fr, es, it, zh, ja };

export function translator(lang: Lang): Translate {
  const table = TABLES[lang];
  return (key, vars) => {
    const text = table[key] ?? (en as Record<string, string>)[key] ?? key;
    if (!vars) return text;
    return text.replace(/\{(\w+)\}/g, (whole, name: string) => (name in vars ? String(vars[name]) : whole));
  };
}
