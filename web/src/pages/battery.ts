import { formatNumber, formatPercent } from '../format';
import {
  batteryProblem,
  clampWhole,
  DEFAULT_LOW_MAX,
  DEFAULT_LOW_MIN,
  levelsFor,
  MARGIN_MAX,
  MARGIN_MIN,
  type BatteryProblem,
} from '../thresholds';
import type { TextKey, Translate } from '../i18n';
import type { AppState, BatterySettings } from '../store';
import { h, setText } from '../ui/dom';
import { button, card, toggle } from '../ui/widgets';
import type { PageContext, PageView } from './page';

const PROBLEM_TEXT: Record<Exclude<BatteryProblem, null>, TextKey> = {
  tip: 'battery.problem.tip',
  shutdown: 'battery.problem.shutdown',
  defaultLow: 'battery.problem.defaultLow',
};

type Plan = Pick<BatterySettings, 'lowPowerTipValue' | 'lowPowerShutdownValue' | 'enableLowPowerShutdown' | 'enableRemoteLowPowerShutdown'>;

function stepper(t: Translate, testId: string, range: { min: number; max: number; unit: string }, onChange: () => void) {
  const input = h('input', {
    type: 'number',
    min: range.min,
    max: range.max,
    class: 'stepper-input',
    'data-testid': testId,
    oninput: onChange,
  });
  const step = (delta: number) => {
    input.value = String(clampWhole(Number(input.value) + delta, range.min, range.max));
    onChange();
  };
  const el = h(
    'div',
    { class: 'stepper' },
    h('button', { type: 'button', class: 'step', 'aria-label': t('battery.less'), onclick: () => step(-1) }, '−'),
    input,
    h('span', { class: 'stepper-unit' }, range.unit),
    h('button', { type: 'button', class: 'step', 'aria-label': t('battery.more'), onclick: () => step(1) }, '+'),
  );
  return { el, input };
}

// The plan in words, with the levels the program will use.
export function planSentences(t: Translate, locale: string, s: Plan, mode: string, low: number | null): string[] {
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
  const margin = { min: MARGIN_MIN, max: MARGIN_MAX, unit: t('battery.points') };
  const tip = stepper(t, 'tip-margin', margin, changed);
  const shutdown = stepper(t, 'shutdown-margin', margin, changed);
  const defaultLow = stepper(t, 'default-charge-low', { min: DEFAULT_LOW_MIN, max: DEFAULT_LOW_MAX, unit: '%' }, changed);
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
          h('div', { class: 'setting-row' }, h('div', null, h('div', { class: 'switch-label' }, t('battery.defaultLow'))), defaultLow.el),
          local.el,
          remote.el,
        ),
        h('div', { class: 'card-actions' }, revert, save),
      ),
      // The save's outcome stands beside the buttons, in the card with room for a long reason.
      card(
        t('battery.planTitle'),
        'info',
        h('div', { class: 'low-line' }, h('span', { class: 'muted' }, t('battery.stationLow')), lowValue),
        plan,
        h('div', { class: 'card-actions status-actions' }, status),
      ),
    ),
  );

  // The range the field must keep to, written the language's way.
  function problemText(problem: Exclude<BatteryProblem, null>): string {
    const range =
      problem === 'defaultLow'
        ? { min: formatPercent(DEFAULT_LOW_MIN, ctx.locale), max: formatPercent(DEFAULT_LOW_MAX, ctx.locale) }
        : { min: formatNumber(MARGIN_MIN, ctx.locale), max: formatNumber(MARGIN_MAX, ctx.locale) };
    return t(PROBLEM_TEXT[problem], range);
  }

  // What the fields say, unclamped: an empty or unreadable field reads as NaN.
  const whole = (input: HTMLInputElement) => (input.value.trim() === '' ? Number.NaN : Number(input.value));

  function current(): Omit<BatterySettings, 'mode'> {
    return {
      lowPowerTipValue: whole(tip.input),
      lowPowerShutdownValue: whole(shutdown.input),
      enableLowPowerShutdown: local.input.checked,
      enableRemoteLowPowerShutdown: remote.input.checked,
      defaultChargeLow: whole(defaultLow.input),
    };
  }

  function showStatus(text: string, ok: boolean): void {
    setText(status, text);
    status.className = `save-status tone-${ok ? 'ok' : 'danger'}`;
  }

  async function doSave(): Promise<void> {
    const values = current();
    const problem = batteryProblem(values);
    if (problem) {
      showStatus(problemText(problem), false);
      return;
    }
    save.disabled = true;
    try {
      const ok = await controller.saveBatterySettings(values);
      // Refused values stay in the form so that the user can correct them.
      if (ok) dirty = false;
      showStatus(ok ? t('common.saved') : t('battery.saveRefused'), ok);
    } catch {
      showStatus(t('common.saveFailed'), false);
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
      defaultLow.input.value = String(stored.defaultChargeLow);
    }
    const mode = s.connect?.mode ?? stored?.mode ?? 'local';
    local.el.classList.toggle('inactive', mode === 'remote');
    remote.el.classList.toggle('inactive', mode !== 'remote');
    setText(lowValue, s.chargeLow && s.chargeLow > 0 ? formatPercent(s.chargeLow, ctx.locale) : t('battery.unknown'));
    const values = current();
    const problem = batteryProblem(values);
    const sentences = problem ? [problemText(problem)] : planSentences(t, ctx.locale, values, mode, s.chargeLow);
    plan.replaceChildren(...sentences.map((line) => h('li', null, line)));
    save.disabled = s.socket !== 'open';
  }

  return { el, update: (s) => render(s) };
}
