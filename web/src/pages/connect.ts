import { portFromText } from '../address';
import type { TextKey } from '../i18n';
import type { AppState, ConnectSettings } from '../store';
import { h, setText, svg } from '../ui/dom';
import { ICONS } from '../ui/icons';
import { button, card, field } from '../ui/widgets';
import type { PageContext, PageView } from './page';

export type ConnectProblem = 'host' | 'port' | 'name' | null;

const PROBLEM_TEXT: Record<Exclude<ConnectProblem, null>, TextKey> = {
  host: 'connect.problem.host',
  port: 'connect.problem.port',
  name: 'connect.problem.name',
};

export type LinkStatus = 'offline' | 'searching' | 'noDev' | 'connectDev';

export const LINK_STATUS_TEXT: Record<LinkStatus, TextKey> = {
  offline: 'connect.status.offline',
  searching: 'connect.status.searching',
  noDev: 'connect.status.noDev',
  connectDev: 'connect.status.connectDev',
};

// How far the page got: to the program, and through it to a station.
export function linkStatus(s: AppState): LinkStatus {
  if (s.socket !== 'open') return 'offline';
  return s.dev === 'connectDev' ? 'connectDev' : s.dev === 'noDev' ? 'noDev' : 'searching';
}

// The remote fields must address a NUT server; local mode uses none of them.
export function connectProblem(s: ConnectSettings): ConnectProblem {
  if (s.mode !== 'remote') return null;
  if (!s.upsName.trim()) return 'name';
  if (!s.nutIP.trim() || /\s/.test(s.nutIP.trim())) return 'host';
  if (portFromText(s.nutPort.trim()) === null) return 'port';
  return null;
}

export function createConnectPage(ctx: PageContext): PageView {
  const { t, controller } = ctx;
  let dirty = false;
  const touch = () => {
    dirty = true;
    setText(message, '');
    render(controller.state);
  };

  const modeOption = (mode: 'local' | 'remote', icon: keyof typeof ICONS) => {
    const input = h('input', { type: 'radio', name: 'mode', value: mode, 'data-testid': `mode-${mode}`, onchange: touch });
    const el = h(
      'label',
      { class: 'mode-option' },
      input,
      svg(ICONS[icon]),
      h(
        'span',
        { class: 'mode-text' },
        h('span', { class: 'switch-label' }, t(mode === 'local' ? 'connect.local' : 'connect.remote')),
        h('span', { class: 'hint' }, t(mode === 'local' ? 'connect.localHint' : 'connect.remoteHint')),
      ),
    );
    return { el, input };
  };
  const local = modeOption('local', 'usb');
  const remote = modeOption('remote', 'globe');

  const text = (testId: string, extra: Record<string, unknown> = {}) =>
    h('input', { type: 'text', spellcheck: false, autocomplete: 'off', 'data-testid': testId, oninput: touch, ...extra });
  const upsName = text('ups-name');
  const host = text('nut-host');
  const port = text('nut-port', { inputmode: 'numeric' });
  const user = text('nut-user');
  const password = text('nut-password', { type: 'password' });
  const reveal = h(
    'button',
    {
      type: 'button',
      class: 'icon-btn',
      'aria-label': t('connect.showPassword'),
      title: t('connect.showPassword'),
      onclick: () => (password.type = password.type === 'password' ? 'text' : 'password'),
    },
    svg(ICONS.eye),
  );

  const statusDot = h('span', { class: 'dot' });
  const statusText = h('span', { 'data-testid': 'connect-status' });
  const message = h('span', { class: 'save-status', role: 'status', 'data-testid': 'connect-message' });
  const apply = button(t('connect.apply'), () => void doApply(), { kind: 'primary', testId: 'connect-apply' });

  const remoteFields = h(
    'div',
    { class: 'remote-fields' },
    field(t('connect.upsName'), upsName),
    h('div', { class: 'field-row' }, field(t('connect.host'), host), field(t('connect.port'), port, true)),
    h('div', { class: 'field-row' }, field(t('connect.user'), user), field(t('connect.password'), h('div', { class: 'with-btn' }, password, reveal))),
  );

  const el = h(
    'div',
    { class: 'page page-connect', 'data-page': 'connect-mode' },
    h(
      'div',
      { class: 'connect-layout' },
      card(
        t('connect.title'),
        'link',
        h('div', { class: 'modes' }, local.el, remote.el),
        h('p', { class: 'hint' }, t('connect.applyHint')),
        h('div', { class: 'status-line' }, statusDot, statusText),
      ),
      card(
        t('connect.server'),
        'globe',
        h('p', { class: 'hint' }, t('connect.serverHint')),
        remoteFields,
        h('div', { class: 'card-actions' }, message, apply),
      ),
    ),
  );

  function current(): ConnectSettings {
    return {
      mode: remote.input.checked ? 'remote' : 'local',
      upsName: upsName.value.trim(),
      nutIP: host.value.trim(),
      nutPort: port.value.trim(),
      nutUser: user.value,
      nutPassword: password.value,
    };
  }

  async function doApply(): Promise<void> {
    const settings = current();
    const problem = connectProblem(settings);
    if (problem) {
      setText(message, t(PROBLEM_TEXT[problem]));
      message.className = 'save-status tone-danger';
      return;
    }
    apply.disabled = true;
    setText(message, t('connect.applying'));
    message.className = 'save-status';
    try {
      await controller.applyConnectSettings(settings);
      dirty = false;
      setText(message, t('connect.applied'));
      message.className = 'save-status tone-ok';
    } catch {
      setText(message, t('common.saveFailed'));
      message.className = 'save-status tone-danger';
    } finally {
      apply.disabled = false;
      render(controller.state);
    }
  }

  function render(s: AppState): void {
    if (s.connect && !dirty) {
      local.input.checked = s.connect.mode !== 'remote';
      remote.input.checked = s.connect.mode === 'remote';
      upsName.value = s.connect.upsName;
      host.value = s.connect.nutIP;
      port.value = s.connect.nutPort;
      user.value = s.connect.nutUser;
      password.value = s.connect.nutPassword;
    }
    const isRemote = remote.input.checked;
    remoteFields.classList.toggle('inactive', !isRemote);
    for (const input of [upsName, host, port, user, password]) input.disabled = !isRemote;
    local.el.classList.toggle('selected', !isRemote);
    remote.el.classList.toggle('selected', isRemote);
    const status = linkStatus(s);
    statusDot.className = `dot dot-${status}`;
    statusText.setAttribute('data-status', status);
    setText(statusText, t(LINK_STATUS_TEXT[status]));
    apply.disabled = s.socket !== 'open';
  }

  return { el, update: render };
}
