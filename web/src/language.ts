// The program stores the country part of the locale ("us", "de", "at", …) as the language.

export type Lang = 'en' | 'de';

const GERMAN_CODES = new Set(['de', 'at', 'li', 'ch']);

export function languageFor(code: string | null | undefined): Lang {
  return GERMAN_CODES.has((code ?? '').trim().toLowerCase()) ? 'de' : 'en';
}

export function storedCodeFor(lang: Lang): string {
  return lang === 'de' ? 'de' : 'us';
}
