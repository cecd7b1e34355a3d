import { describe, expect, it } from 'vitest';
import { addressParam, buildHash, parseHash, portFromText, websocketUrl } from '../src/address';

describe('page address', () => {
  it('reads the address the program opens', () => {
    const route = parseHash('#/us/connect-mode?lang=de&token=ab12');
    expect(route.region).toBe('us');
    expect(route.page).toBe('connect-mode');
    expect(route.query.get('lang')).toBe('de');
    expect(buildHash({ ...route, page: 'home' })).toBe('#/us/home?lang=de&token=ab12');
  });

  it.each(['', '#', '#/us/unknown-page', '#/nowhere'])('opens the overview for %j', (hash) => {
    expect(parseHash(hash).page).toBe('home');
  });

  it('prefers parameters inside the fragment over the ordinary query', () => {
    expect(addressParam({ hash: '#/us/home?token=inner', search: '?token=outer' }, 'token')).toBe('inner');
    expect(addressParam({ hash: '#/us/home', search: '?token=outer' }, 'token')).toBe('outer');
    expect(addressParam({ hash: '', search: '' }, 'token')).toBeNull();
  });

  it.each([
    ['57890', 57890],
    ['0', null],
    ['65536', null],
    ['12ab', null],
    [null, null],
  ])('port %j', (text, port) => {
    expect(portFromText(text)).toBe(port);
  });

  it('puts the session token into the socket address', () => {
    expect(websocketUrl(57890, 'a b&c')).toBe('ws://127.0.0.1:57890/?token=a%20b%26c');
    expect(websocketUrl(57890, '')).toBe('ws://127.0.0.1:57890');
  });
});
