import { describe, expect, it } from 'vitest';
import { LANGS, languageFor, localeFor, storedCodeFor } from '../src/language';

describe('the language code the program gives', () => {
  it.each([
    ['us', 'en', 'en-US'],
    ['gb', 'en', 'en-GB'],
    ['ca', 'en', 'en-CA'],
    ['de', 'de', 'de-DE'],
    ['AT', 'de', 'de-AT'],
    ['ch', 'de', 'de-CH'],
    ['fr', 'fr', 'fr-FR'],
    ['be', 'fr', 'fr-BE'],
    ['es', 'es', 'es-ES'],
    ['mx', 'es', 'es-MX'],
    ['419', 'es', 'es-419'],
    ['it', 'it', 'it-IT'],
    ['cn', 'zh', 'zh-CN'],
    ['sg', 'zh', 'zh-SG'],
    ['tw', 'en', 'en-TW'],
    ['jp', 'ja', 'ja-JP'],
    // What a locale name may carry after its country, and what is no country at all.
    [' de.UTF-8 ', 'de', 'de-DE'],
    ['fr@euro', 'fr', 'fr-FR'],
    ['', 'en', 'en-US'],
    [null, 'en', 'en-US'],
    ['posix', 'en', 'en-US'],
    ['e-s', 'en', 'en-US'],
  ] as const)('%j reads as %s, formatted as %s', (code, lang, locale) => {
    expect(languageFor(code)).toBe(lang);
    expect(localeFor(code)).toBe(locale);
    expect(Intl.getCanonicalLocales(locale)).toEqual([locale]);
  });

  it('stores each language as a code that reads back as that language', () => {
    expect(LANGS.map(storedCodeFor)).toEqual(['us', 'de', 'fr', 'es', 'it', 'cn', 'jp']);
    for (const lang of LANGS) expect(languageFor(storedCodeFor(lang))).toBe(lang);
  });
});
