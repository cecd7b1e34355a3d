import { displayModel, formatNumber, formatPercent, formatRecordTime, formatTemperature, type BatteryTime } from '../format';
import type { Translate } from '../i18n';
import type { AppState } from '../store';
import { h, setText, svg } from '../ui/dom';
import { ICONS } from '../ui/icons';
import { openDialog } from '../ui/dialog';
import { button, card, progress, tile, type Tile } from '../ui/widgets';
import type { PageContext, PageView } from './page';

const RING_RADIUS = 62;
const RING_LENGTH = 2 * Math.PI * RING_RADIUS;
const SELF_TEST_EXPECTED_MS = 20000;

export function durationText(t: Translate, time: BatteryTime): string {
  const parts: string[] = [];
  if (time.days > 0) parts.push(t('unit.days', { n: time.days }));
  if (time.days > 0 || time.hours > 0) parts.push(t('unit.hours', { n: time.hours }));
  parts.push(t('unit.minutes', { n: time.minutes }));
  return parts.join(' ');
}

function chargeRing(locale: string): { el: HTMLElement; set(percent: number | null, tone: string): void; label: HTMLElement } {
  const ns = 'http://www.w3.org/2000/svg';
  const ring = document.createElementNS(ns, 'svg');
  ring.setAttribute('viewBox', '0 0 150 150');
  ring.classList.add('ring');
  const track = document.createElementNS(ns, 'circle');
  const arc = document.createElementNS(ns, 'circle');
  for (const c of [track, arc]) {
    c.setAttribute('cx', '75');
    c.setAttribute('cy', '75');
    c.setAttribute('r', String(RING_RADIUS));
  }
  track.classList.add('ring-track');
  arc.classList.add('ring-arc');
  arc.setAttribute('stroke-dasharray', `${RING_LENGTH} ${RING_LENGTH}`);
  ring.append(track, arc);
  const value = h('span', { class: 'ring-value', 'data-testid': 'charge' }, '–');
  const label = h('span', { class: 'ring-label' });
  const el = h('div', { class: 'ring-wrap' }, ring as unknown as HTMLElement, h('div', { class: 'ring-center' }, value, label));
  return {
    el,
    label,
    set(percent, tone) {
      arc.setAttribute('stroke-dashoffset', String(RING_LENGTH * (1 - (percent ?? 0) / 100)));
      arc.setAttribute('data-tone', tone);
      setText(value, percent === null ? '–' : formatPercent(percent, locale));
    },
  };
}

function reading(target: Tile, value: number | null | undefined, unit: string, locale: string): void {
  const known = value !== null && value !== undefined;
  setText(target.value, known ? formatNumber(value, locale) : '–');
  setText(target.unit, known ? unit : '');
}

export function createHomePage(ctx: PageContext): PageView {
  const { t, controller } = ctx;
  const ring = chargeRing(ctx.locale);
  const stateChip = h('span', { class: 'chip', 'data-testid': 'power-state' });
  const timeLabel = h('div', { class: 'muted small' });
  const timeValue = h('div', { class: 'battery-time', 'data-testid': 'battery-time' }, '–');

  const input = tile(t('home.input'), 'plugIn', 'input-power');
  const output = tile(t('home.output'), 'out', 'output-power');
  const temp = tile(t('home.temperature'), 'thermo', 'temperature');
  const capacity = tile(t('home.capacity'), 'capacity', 'capacity');
  const station = tile(t('home.station'), 'chip', 'station-name');
  const serial = tile(t('home.serial'), 'info', 'serial');

  const failuresCount = h('div', { class: 'big-line', 'data-testid': 'failure-count' });
  const failuresLast = h('div', { class: 'muted small', 'data-testid': 'failure-last' });
  const showAll = button(t('home.failures.showAll'), () => showFailures(), { kind: 'ghost', testId: 'failures-show' });

  const testState = h('div', { class: 'big-line', 'data-testid': 'selftest-state' });
  const testLast = h('div', { class: 'muted small', 'data-testid': 'selftest-last' });
  const testBar = progress('selftest-progress');
  const testButton = button(t('home.selftest.start'), () => void controller.startSelfTest(), {
    kind: 'primary',
    testId: 'selftest-start',
  });
  let testTimer: ReturnType<typeof setInterval> | null = null;

  const connected = h(
    'div',
    { class: 'home-grid' },
    h(
      'section',
      { class: 'card battery-card' },
      ring.el,
      h('div', { class: 'battery-side' }, stateChip, timeLabel, timeValue),
    ),
    h('div', { class: 'tiles' }, input.el, output.el, temp.el, capacity.el, station.el, serial.el),
    card(
      t('home.failures.title'),
      'history',
      h('div', { class: 'card-body' }, failuresCount, failuresLast),
      h('div', { class: 'card-actions' }, showAll),
    ),
    card(
      t('home.selftest.title'),
      'check',
      h('div', { class: 'card-body' }, testState, testLast, testBar.el),
      h('div', { class: 'card-actions' }, testButton),
    ),
  );

  const emptyTitle = h('h2', { 'data-testid': 'empty-title' });
  const emptyText = h('p', { class: 'muted' });
  const empty = h(
    'div',
    { class: 'empty' },
    svg(ICONS.usb, 'empty-icon'),
    emptyTitle,
    emptyText,
    button(t('home.empty.settings'), () => ctx.navigate('connect-mode'), { kind: 'ghost', icon: 'link' }),
  );

  const el = h('div', { class: 'page page-home', 'data-page': 'home' }, connected, empty);

  function showFailures(): void {
    const times = [...controller.state.turnOffTimes].reverse();
    const list = h(
      'ol',
      { class: 'failure-list', 'data-testid': 'failure-list' },
      ...times.map((time) => h('li', null, formatRecordTime(time, ctx.locale))),
    );
    openDialog({
      title: t('home.failures.dialogTitle', { n: times.length }),
      body: times.length ? list : h('p', { class: 'muted' }, t('home.failures.none')),
      actions: [{ text: t('common.close'), kind: 'primary' }],
    });
  }

  function updateEmpty(s: AppState): void {
    if (s.socket !== 'open') {
      setText(emptyTitle, t('home.empty.noProgram'));
      setText(emptyText, t('home.empty.noProgramText'));
      return;
    }
    setText(emptyTitle, t('home.empty.title'));
    const remote = s.connect?.mode === 'remote';
    setText(
      emptyText,
      remote
        ? t('home.empty.remote', { host: s.connect?.nutIP ?? '', port: s.connect?.nutPort ?? '' })
        : t('home.empty.local'),
    );
  }

  function updateSelfTest(s: AppState): void {
    const test = s.selfTest;
    const running = test.kind === 'running';
    testButton.disabled = running || s.dev !== 'connectDev' || s.connect?.mode === 'remote';
    testBar.el.hidden = !running;
    if (running && !testTimer) {
      const tick = () => {
        const st = controller.state.selfTest;
        if (st.kind === 'running') testBar.set(Math.min(0.97, (Date.now() - st.startedAt) / SELF_TEST_EXPECTED_MS));
      };
      tick();
      testTimer = setInterval(tick, 250);
    } else if (!running && testTimer) {
      clearInterval(testTimer);
      testTimer = null;
    }
    testState.className = 'big-line';
    if (running) setText(testState, t('home.selftest.running'));
    else if (test.kind === 'done') {
      const { text, tone } = selfTestOutcome(t, test.result, test.linked);
      setText(testState, text);
      testState.classList.add(`tone-${tone}`);
    } else if (s.connect?.mode === 'remote') setText(testState, t('home.selftest.remote'));
    else setText(testState, t('home.selftest.ready'));
    const last = s.lastSelfTest;
    setText(
      testLast,
      last
        ? t(last.res ? 'home.selftest.lastPassed' : 'home.selftest.lastFailed', {
            time: formatRecordTime(last.time, ctx.locale),
          })
        : t('home.selftest.never'),
    );
  }

  function update(s: AppState): void {
    const showData = s.socket === 'open' && s.dev === 'connectDev';
    connected.hidden = !showData;
    empty.hidden = showData;
    updateEmpty(s);
    const ups = s.ups;
    const tipLevel = s.chargeLow && s.battery ? s.chargeLow + s.battery.lowPowerTipValue : null;
    const low = ups?.charge != null && tipLevel !== null && ups.charge <= tipLevel;
    const tone = !ups ? 'idle' : ups.onBattery ? (low ? 'danger' : 'warn') : ups.charging ? 'charge' : 'ok';
    ring.set(ups?.charge ?? null, tone);
    setText(ring.label, t('home.charge'));
    stateChip.className = `chip tone-${tone}`;
    setText(
      stateChip,
      !ups ? t('home.state.waiting') : ups.onBattery ? t('home.state.onBattery') : ups.charging ? t('home.state.charging') : t('home.state.online'),
    );
    setText(timeLabel, ups?.charging ? t('home.time.toFull') : t('home.time.remaining'));
    setText(timeValue, s.batteryTime ? durationText(t, s.batteryTime) : '');
    timeLabel.hidden = !s.batteryTime;

    const c = s.composite;
    reading(input, c?.input, 'W', ctx.locale);
    reading(output, c?.output, 'W', ctx.locale);
    reading(temp, c?.temperature, '°C', ctx.locale);
    setText(temp.note, c?.packTemperature != null ? t('home.packTemperature', { temp: formatTemperature(c.packTemperature, ctx.locale) }) : '');
    setText(input.note, ups && !c ? t('home.noSerialLink') : '');
    reading(capacity, ups?.nominalWh, 'Wh', ctx.locale);
    setText(station.value, displayModel(s.model) || ups?.devName || '–');
    setText(station.note, s.firmware ? t('home.firmware', { version: s.firmware }) : '');
    setText(serial.value, s.sn || '–');

    const failures = s.turnOffTimes;
    setText(failuresCount, t(failures.length === 1 ? 'home.failures.one' : 'home.failures.count', { n: failures.length }));
    setText(
      failuresLast,
      failures.length
        ? t('home.failures.last', { time: formatRecordTime(failures[failures.length - 1], ctx.locale) })
        : t('home.failures.none'),
    );
    showAll.disabled = failures.length === 0;
    updateSelfTest(s);
  }

  return {
    el,
    update,
    dispose() {
      if (testTimer) clearInterval(testTimer);
    },
  };
}

export function selfTestOutcome(
  t: Translate,
  result: number | 'noAnswer',
  linked: boolean,
): { text: string; tone: 'ok' | 'danger' | 'warn' } {
  if (result === 3) return { text: t('home.selftest.passed'), tone: 'ok' };
  if (result === 4 && !linked) return { text: t('home.selftest.noLink'), tone: 'warn' };
  if (result === 4) return { text: t('home.selftest.failed'), tone: 'danger' };
  if (result === 255) return { text: t('home.selftest.timeout'), tone: 'warn' };
  if (result === 'noAnswer') return { text: t('home.selftest.noAnswer'), tone: 'warn' };
  return { text: t('home.selftest.other', { code: result }), tone: 'warn' };
}
