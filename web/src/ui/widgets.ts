import { h, svg } from './dom';
import { ICONS } from './icons';

export function card(title: string, icon: keyof typeof ICONS | null, ...body: (Node | null)[]): HTMLElement {
  return h(
    'section',
    { class: 'card' },
    h('header', { class: 'card-title' }, icon ? svg(ICONS[icon]) : null, h('span', null, title)),
    ...body,
  );
}

export interface Tile {
  el: HTMLElement;
  value: HTMLElement;
  unit: HTMLElement;
  note: HTMLElement;
}

export function tile(label: string, icon: keyof typeof ICONS, testId: string): Tile {
  const value = h('span', { class: 'tile-value', 'data-testid': testId }, '–');
  const unit = h('span', { class: 'tile-unit' });
  const note = h('div', { class: 'tile-note' });
  const el = h(
    'div',
    { class: 'tile' },
    h('div', { class: 'tile-label' }, svg(ICONS[icon]), h('span', null, label)),
    h('div', { class: 'tile-reading' }, value, unit),
    note,
  );
  return { el, value, unit, note };
}

export function toggle(label: string, hint: string, testId: string): { el: HTMLElement; input: HTMLInputElement } {
  const input = h('input', { type: 'checkbox', class: 'switch-input', 'data-testid': testId });
  const el = h(
    'label',
    { class: 'switch-row' },
    h('span', { class: 'switch-text' }, h('span', { class: 'switch-label' }, label), h('span', { class: 'hint' }, hint)),
    input,
    h('span', { class: 'switch', 'aria-hidden': 'true' }),
  );
  return { el, input };
}

export function field(label: string, input: HTMLElement, narrow = false): HTMLElement {
  return h('label', { class: narrow ? 'field narrow' : 'field' }, h('span', { class: 'field-label' }, label), input);
}

export function button(
  text: string,
  onclick: () => void,
  options: { kind?: 'primary' | 'ghost' | 'danger'; testId?: string; icon?: keyof typeof ICONS } = {},
): HTMLButtonElement {
  return h(
    'button',
    { type: 'button', class: `btn ${options.kind ?? ''}`.trim(), onclick, 'data-testid': options.testId },
    options.icon ? svg(ICONS[options.icon]) : null,
    h('span', null, text),
  );
}

export function progress(testId: string): { el: HTMLElement; set(fraction: number | null): void } {
  const bar = h('div', { class: 'progress-bar' });
  const el = h('div', { class: 'progress', role: 'progressbar', 'data-testid': testId }, bar);
  return {
    el,
    set(fraction) {
      el.classList.toggle('indeterminate', fraction === null);
      const percent = Math.round(Math.min(1, Math.max(0, fraction ?? 0)) * 100);
      bar.style.width = fraction === null ? '' : `${percent}%`;
      el.setAttribute('aria-valuenow', String(percent));
    },
  };
}
