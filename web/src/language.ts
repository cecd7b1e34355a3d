// The program gives the language as the lower-cased country part of the system locale ("us",
// "de", "at", …), or as what the user picked on the About page, which is stored as the code of
// the language's home country (STORED_CODES). Countries not named here read as English.

export const LANGS = ['en', 'de', 'fr', 'es', 'it', 'zh', 'ja'] as const;
export type Lang = (typeof LANGS)[number];

// Each language under its own name, as people look for it in a language menu.
export const LANGUAGE_NAMES: Record<Lang, string> = {
  en: 'English',
  de: 'Deutsch',
  fr: 'Français',
  es: 'Español',
  it: 'Italiano',
  zh: '简体中文',
  ja: '日本語',
};

export const STORED_CODES: Record<Lang, string> = { en: 'us', de: 'de', fr: 'fr', es: 'es', it: 'it', zh: 'cn', ja: 'jp' };

// The country part cannot tell which of a country's languages the user reads, so each country
// gets the one most of its people do: Switzerland reads as German, Belgium as French, Canada as
// English, Singapore (which writes Simplified Chinese) as Chinese. "419" is Latin America (es_419).
const COUNTRIES: Record<Exclude<Lang, 'en'>, readonly string[]> = {
  de: ['de', 'at', 'ch', 'li'],
  fr: ['fr', 'be', 'lu', 'mc', 'sn', 'ci', 'ml', 'bf', 'ne', 'tg', 'bj', 'gn', 'ga', 'cg', 'cd', 'ht', 're', 'gp', 'mq', 'gf', 'yt', 'nc', 'pf', 'pm'],
  es: ['es', 'mx', 'ar', 'co', 'cl', 'pe', 've', 'ec', 'gt', 'cu', 'bo', 'do', 'hn', 'py', 'sv', 'ni', 'cr', 'pa', 'uy', 'pr', 'gq', '419'],
  it: ['it', 'sm', 'va'],
  zh: ['cn', 'sg'],
  ja: ['jp'],
};

const LANGUAGE_OF_COUNTRY = new Map<string, Lang>(
  Object.entries(COUNTRIES).flatMap(([lang, countries]) => countries.map((c) => [c, lang as Lang] as const)),
);

// "de", " AT ", "ch@euro" and "fr.UTF-8" all name their country by the leading letters or digits.
function countryOf(code: string | null | undefined): string {
  return /^[a-z0-9]*/.exec((code ?? '').trim().toLowerCase())![0];
}

export function languageFor(code: string | null | undefined): Lang {
  return LANGUAGE_OF_COUNTRY.get(countryOf(code)) ?? 'en';
}

export function storedCodeFor(lang: Lang): string {
  return STORED_CODES[lang];
}

// The locale tag for dates and numbers: the language with the country the code names, so "ch"
// formats as in Switzerland and "gb" as in Britain; a code that is no country formats as the
// language's home country.
export function localeFor(code: string | null | undefined): string {
  const lang = languageFor(code);
  const country = countryOf(code);
  const region = /^([a-z]{2}|\d{3})$/.test(country) ? country : storedCodeFor(lang);
  return `${lang}-${region.toUpperCase()}`;
}
