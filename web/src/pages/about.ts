import { displayModel, formatPercent, isMd5, isPlainVersion } from '../format';
import { LANGS, LANGUAGE_NAMES, type Lang } from '../language';
import type { AppState, UpdateState } from '../store';
import type { Translate, TextKey } from '../i18n';
import { h, setText, svg } from '../ui/dom';
import { ICONS } from '../ui/icons';
import { button, card, field, progress } from '../ui/widgets';
import type { PageContext, PageView } from './page';

const OS_NAMES: Record<number, string> = { 0: 'Windows', 1: 'Linux', 2: 'macOS' };

// The program's update states after a failed update.
const UPDATE_STATE_TEXT: Record<number, TextKey> = {
  1: 'update.state.1',
  2: 'update.state.2',
  3: 'update.state.3',
  4: 'update.state.4',
  5: 'update.state.5',
};

export function updateMessage(t: Translate, locale: string, update: UpdateState): string {
  switch (update.kind) {
    case 'idle':
      return '';
    case 'running':
      return t('update.downloading', { percent: formatPercent(update.percent, locale) });
    case 'installing':
      return t('update.installing');
    case 'failed': {
      const key = UPDATE_STATE_TEXT[update.code];
      return key ? t(key) : t('update.state.other', { code: update.code });
    }
  }
}

export function createAboutPage(ctx: PageContext & { setLanguage(lang: Lang): void; lang: Lang }): PageView {
  const { t, controller } = ctx;
  const row = (label: string, testId: string) => {
    const value = h('dd', { 'data-testid': testId }, '–');
    return { el: [h('dt', null, label), value], value };
  };
  const app = row(t('about.appVersion'), 'app-version');
  const model = row(t('about.model'), 'about-model');
  const firmware = row(t('about.firmware'), 'firmware-version');
  const system = row(t('about.system'), 'system');

  // The page starts afresh in the language picked here.
  const language = h(
    'select',
    {
      class: 'select',
      'data-testid': 'language',
      'aria-label': t('about.language'),
      onchange: () => ctx.setLanguage(language.value as Lang),
    },
    ...LANGS.map((lang) => h('option', { value: lang, selected: lang === ctx.lang, lang }, LANGUAGE_NAMES[lang])),
  );

  const version = h('input', { type: 'text', spellcheck: false, placeholder: '1.0.0.15', 'data-testid': 'update-version' });
  const url = h('input', { type: 'text', spellcheck: false, placeholder: 'https://…/1.0.0.15.zip', 'data-testid': 'update-url' });
  const md5 = h('input', { type: 'text', spellcheck: false, placeholder: t('update.md5Placeholder'), 'data-testid': 'update-md5' });
  const bar = progress('update-progress');
  const message = h('div', { class: 'update-message', role: 'status', 'data-testid': 'update-message' });
  const start = button(t('update.start'), () => void doUpdate(), { kind: 'primary', icon: 'download', testId: 'update-start' });

  const el = h(
    'div',
    { class: 'page page-about', 'data-page': 'about' },
    h(
      'div',
      { class: 'two-cols' },
      h(
        'div',
        { class: 'stack' },
        h(
          'section',
          { class: 'card about-card' },
          h('div', { class: 'about-head' }, svg(ICONS.logo, 'about-logo'), h('div', null, h('h2', null, 'Amperlane'), h('p', { class: 'muted small' }, t('about.tagline')))),
          h('dl', { class: 'facts' }, ...app.el, ...model.el, ...firmware.el, ...system.el),
        ),
        card(t('about.language'), 'globe', language, h('p', { class: 'hint' }, t('about.languageHint'))),
      ),
      card(
        t('update.title'),
        'download',
        h('p', { class: 'hint' }, t('update.intro')),
        h('div', { class: 'form tight' }, field(t('update.version'), version), field(t('update.url'), url), field(t('update.md5'), md5)),
        bar.el,
        message,
        h('div', { class: 'card-actions' }, start),
      ),
    ),
  );

  async function doUpdate(): Promise<void> {
    const v = version.value.trim();
    const u = url.value.trim();
    const m = md5.value.trim();
    const problem = !isPlainVersion(v) ? 'update.problem.version' : !/^https?:\/\/\S+$/i.test(u) ? 'update.problem.url' : !isMd5(m) ? 'update.problem.md5' : null;
    if (problem) {
      setText(message, t(problem));
      message.className = 'update-message tone-danger';
      return;
    }
    await controller.startUpdate(v, u, m);
  }

  function update(s: AppState): void {
    setText(app.value, s.appVersion || '–');
    setText(model.value, displayModel(s.model) || s.ups?.devName || '–');
    setText(firmware.value, s.firmware || '–');
    const os = s.system?.os != null ? OS_NAMES[s.system.os] ?? '' : '';
    setText(system.value, os ? [os, s.system?.cpu].filter(Boolean).join(' · ') : '–');
    const u = s.update;
    bar.el.hidden = u.kind !== 'running' && u.kind !== 'installing';
    bar.set(u.kind === 'running' ? u.percent / 100 : u.kind === 'installing' ? null : 0);
    if (u.kind !== 'idle' || !message.classList.contains('tone-danger')) {
      setText(message, updateMessage(t, ctx.locale, u));
      message.className = `update-message ${u.kind === 'failed' ? 'tone-danger' : ''}`;
    }
    start.disabled = s.socket !== 'open' || u.kind === 'running' || u.kind === 'installing';
    // Switching the language starts the page afresh, which would lose sight of a running update.
    for (const input of [version, url, md5, language]) input.disabled = u.kind === 'running' || u.kind === 'installing';
  }

  return { el, update };
}
