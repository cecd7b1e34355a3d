import { formatPercent } from '../format';
import { clampMargin, levelsFor, MARGIN_MAX, MARGIN_MIN } from '../thresholds';
import type { Translate } from '../i18n';
import type { AppState, BatterySettings } from '../store';
import { h, setText } from '../ui/dom';
import { button, card, toggle } from '../ui/widgets';
import type { PageContext, PageView } from './page';

function stepper(t: Translate, testId: string, onChange: () => void) {
  const input = h('input', {
    type: 'number',
    min: MARGIN_MIN,
    max: MARGIN_MAX,
    class: 'stepper-input',
    'data-testid': testId,
    oninput: onChange,
  });
  const step = (delta: number) => {
    input.value = String(clampMargin(Number(input.value) + delta));
    onChange();
  };
  const el = h(
    'div',
    { class: 'stepper' },
    h('button', { type: 'button', class: 'step', 'aria-label': t('battery.less'), onclick: () => step(-1) }, '−'),
    input,
    h('span', { class: 'stepper-unit' }, t('battery.points')),
    h('button', { type: 'button', class: 'step', 'aria-label': t('battery.more'), onclick: () => step(1) }, '+'),
  );
  return { el, input };
}

// The plan in words, with the levels the program will use.
export function planSentences(
  t: Translate,
  locale: string,
  s: Omit<BatterySettings, 'mode'>,
  mode: string,
  low: number | null,
): string[] {
  const known = low !== null && low > 0;
  const percent = (level: number | null) => formatPercent(level ?? 0, locale);
  const levels = levelsFor({
    low: known ? low : 0,
    tipMargin: s.lowPowerTipValue,
    shutdownMargin: s.lowPowerShutdownValue,
    enableLocal: s.enableLowPowerShutdown,
    enableRemote: s.enableRemoteLowPowerShutdown,
    mode,
  });
  const lines: string[] = [];
  lines.push(known ? t('battery.plan.low', { low: percent(low) }) : t('battery.plan.lowUnknown'));
  lines.push(
    known ? t('battery.plan.tip', { level: percent(levels.tip) }) : t('battery.plan.tipRelative', { n: s.lowPowerTipValue }),
  );
  if (levels.stageOne !== null && levels.stageTwo !== null) {
    lines.push(
      known
        ? t('battery.plan.stageOne', { level: percent(levels.stageOne) })
        : t('battery.plan.stageOneRelative', { n: s.lowPowerShutdownValue }),
    );
    lines.push(known ? t('battery.plan.stageTwo', { level: percent(levels.stageTwo) }) : t('battery.plan.stageTwoRelative'));
  } else if (levels.remote !== null) {
    lines.push(known ? t('battery.plan.remote', { level: percent(levels.remote) }) : t('battery.plan.remoteRelative'));
  } else {
    lines.push(mode === 'remote' ? t('battery.plan.remoteOff') : t('battery.plan.localOff'));
  }
  if (levels.stageOne !== null && levels.stageOne >= levels.tip) lines.push(t('battery.plan.order'));
  return lines;
}

export function createBatteryPage(ctx: PageContext): PageView {
  const { t, controller } = ctx;
  let dirty = false;
  const changed = () => {
    dirty = true;
    setText(status, '');
    render(controller.state);
  };
  const tip = stepper(t, 'tip-margin', changed);
  const shutdown = stepper(t, 'shutdown-margin', changed);
  const local = toggle(t('battery.local'), t('battery.localHint'), 'enable-local');
  const remote = toggle(t('battery.remote'), t('battery.remoteHint'), 'enable-remote');
  local.input.addEventListener('change', changed);
  remote.input.addEventListener('change', changed);
  const lowValue = h('span', { class: 'low-value', 'data-testid': 'charge-low' }, '–');
  const plan = h('ul', { class: 'plan', 'data-testid': 'plan' });
  const status = h('span', { class: 'save-status', 'data-testid': 'battery-status', role: 'status' });
  const save = button(t('common.save'), () => void doSave(), { kind: 'primary', testId: 'battery-save' });
  const revert = button(t('common.revert'), () => {
    dirty = false;
    render(controller.state);
  }, { kind: 'ghost' });

  const el = h(
    'div',
    { class: 'page page-battery', 'data-page': 'battery-setting' },
    h(
      'div',
      { class: 'two-cols' },
      card(
        t('battery.title'),
        'battery',
        h(
          'div',
          { class: 'form' },
          h('div', { class: 'setting-row' }, h('div', null, h('div', { class: 'switch-label' }, t('battery.tip')), h('div', { class: 'hint' }, t('battery.tipHint'))), tip.el),
          h('div', { class: 'setting-row' }, h('div', null, h('div', { class: 'switch-label' }, t('battery.shutdown')), h('div', { class: 'hint' }, t('battery.shutdownHint'))), shutdown.el),
          local.el,
          remote.el,
        ),
        h('div', { class: 'card-actions' }, status, revert, save),
      ),
      card(
        t('battery.planTitle'),
        'info',
        h('div', { class: 'low-line' }, h('span', { class: 'muted' }, t('battery.stationLow')), lowValue),
        plan,
      ),
    ),
  );

  function current(): Omit<BatterySettings, 'mode'> {
    return {
      lowPowerTipValue: clampMargin(Number(tip.input.value)),
      lowPowerShutdownValue: clampMargin(Number(shutdown.input.value)),
      enableLowPowerShutdown: local.input.checked,
      enableRemoteLowPowerShutdown: remote.input.checked,
    };
  }

  async function doSave(): Promise<void> {
    const values = current();
    tip.input.value = String(values.lowPowerTipValue);
    shutdown.input.value = String(values.lowPowerShutdownValue);
    save.disabled = true;
    try {
      const ok = await controller.saveBatterySettings(values);
      dirty = false;
      setText(status, ok ? t('common.saved') : t('common.saveFailed'));
      status.className = `save-status tone-${ok ? 'ok' : 'danger'}`;
    } catch {
      setText(status, t('common.saveFailed'));
      status.className = 'save-status tone-danger';
    } finally {
      save.disabled = false;
      render(controller.state);
    }
  }

  function render(s: AppState): void {
    const stored = s.battery;
    if (stored && !dirty) {
      tip.input.value = String(stored.lowPowerTipValue);
      shutdown.input.value = String(stored.lowPowerShutdownValue);
      local.input.checked = stored.enableLowPowerShutdown;
      remote.input.checked = stored.enableRemoteLowPowerShutdown;
    }
    const mode = s.connect?.mode ?? stored?.mode ?? 'local';
    local.el.classList.toggle('inactive', mode === 'remote');
    remote.el.classList.toggle('inactive', mode !== 'remote');
    setText(lowValue, s.chargeLow && s.chargeLow > 0 ? formatPercent(s.chargeLow, ctx.locale) : t('battery.unknown'));
    const sentences = planSentences(t, ctx.locale, current(), mode, s.chargeLow);
    plan.replaceChildren(...sentences.map((line) => h('li', null, line)));
    save.disabled = s.socket !== 'open';
  }

  return { el, update: (s) => render(s) };
}
