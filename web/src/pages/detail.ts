import uPlot from 'uplot';
import 'uplot/dist/uPlot.min.css';
import { formatNumber } from '../format';
import type { TextKey } from '../i18n';
import type { AppState } from '../store';
import { h, setText } from '../ui/dom';
import { card } from '../ui/widgets';
import type { PageContext, PageView } from './page';

// The chart always spans at least this many seconds, so a few samples do not fill it.
const WINDOW_S = 60;

const INPUT_PORTS: [string, TextKey][] = [
  ['input.ac.realpower', 'detail.port.ac'],
  ['input.solar.realpower', 'detail.port.solar'],
  ['input.typeC.realpower', 'detail.port.packTypeC'],
];

const OUTPUT_PORTS: [string, TextKey][] = [
  ['output.ac.realpower', 'detail.port.ac'],
  ['output.dc.realpower', 'detail.port.dc'],
  ['output.usb.a.realpower', 'detail.port.usbA'],
  ['output.usb.c.realpower', 'detail.port.usbC'],
  ['output.typeC.realpower', 'detail.port.packTypeC'],
];

function cssVar(name: string): string {
  return getComputedStyle(document.documentElement).getPropertyValue(name).trim();
}

function watts(value: number, locale: string): string {
  return `${formatNumber(value, locale)} W`;
}

function portList(ctx: PageContext, ports: [string, TextKey][], side: string) {
  const values = new Map<string, HTMLElement>();
  const rows = ports.map(([key, label]) => {
    const value = h('span', { class: 'port-value', 'data-testid': `${side}-${key}` }, '–');
    values.set(key, value);
    return h('li', { class: 'port' }, h('span', null, ctx.t(label)), value);
  });
  return { el: h('ul', { class: 'ports' }, ...rows), values };
}

export function createDetailPage(ctx: PageContext): PageView {
  const { t } = ctx;
  const inTotal = h('span', { class: 'total-value', 'data-testid': 'detail-input-total' }, '–');
  const outTotal = h('span', { class: 'total-value', 'data-testid': 'detail-output-total' }, '–');
  const inPorts = portList(ctx, INPUT_PORTS, 'in');
  const outPorts = portList(ctx, OUTPUT_PORTS, 'out');
  const chartBox = h('div', { class: 'chart', 'data-testid': 'power-chart' });
  const waiting = h('div', { class: 'chart-waiting muted' }, t('detail.waiting'));

  const el = h(
    'div',
    { class: 'page page-detail', 'data-page': 'device-detail' },
    h(
      'div',
      { class: 'detail-cols' },
      card(t('detail.input'), 'plugIn', h('div', { class: 'total' }, inTotal, h('span', { class: 'tile-unit' }, 'W')), inPorts.el),
      card(t('detail.output'), 'out', h('div', { class: 'total' }, outTotal, h('span', { class: 'tile-unit' }, 'W')), outPorts.el),
    ),
    card(
      t('detail.history'),
      'detail',
      h(
        'div',
        { class: 'legend' },
        h('span', { class: 'legend-item in' }, t('detail.input')),
        h('span', { class: 'legend-item out' }, t('detail.output')),
      ),
      h('div', { class: 'chart-wrap' }, chartBox, waiting),
    ),
  );

  let plot: uPlot | null = null;
  let shown: AppState['history'] | null = null;
  const resize = new ResizeObserver(() => {
    if (plot && chartBox.clientWidth > 0) plot.setSize({ width: chartBox.clientWidth, height: chartBox.clientHeight });
  });
  resize.observe(chartBox);

  function ensurePlot(): uPlot | null {
    if (plot) return plot;
    const width = chartBox.clientWidth;
    if (width === 0) return null;
    const axis = { stroke: cssVar('--muted'), grid: { stroke: cssVar('--line'), width: 1 }, ticks: { show: false } };
    const clock = new Intl.DateTimeFormat(ctx.locale, { hour: '2-digit', minute: '2-digit', second: '2-digit' });
    plot = new uPlot(
      {
        width,
        height: chartBox.clientHeight || 150,
        legend: { show: false },
        cursor: { show: false },
        scales: {
          x: { time: true, range: (_u, min, max) => [Math.min(min, max - WINDOW_S), max] },
          y: { range: (_u, _min, max) => [0, Math.max(10, Math.ceil((max * 1.15) / 10) * 10)] },
        },
        axes: [
          { ...axis, space: 80, values: (_u, vals) => vals.map((v) => clock.format(new Date(v * 1000))) },
          { ...axis, size: 56, values: (_u, vals) => vals.map((v) => watts(v, ctx.locale)) },
        ],
        series: [
          {},
          { label: t('detail.input'), stroke: cssVar('--accent'), width: 2, fill: cssVar('--accent-soft'), points: { show: false }, spanGaps: true },
          { label: t('detail.output'), stroke: cssVar('--warn'), width: 2, points: { show: false }, spanGaps: true },
        ],
      },
      [[], [], []],
      chartBox,
    );
    return plot;
  }

  function drawHistory(history: AppState['history']): void {
    const p = ensurePlot();
    if (!p) return;
    if (p.width !== chartBox.clientWidth || p.height !== chartBox.clientHeight) {
      p.setSize({ width: chartBox.clientWidth, height: chartBox.clientHeight });
    }
    const gapless = (v: number) => (Number.isFinite(v) ? v : null);
    p.setData([history.times.map((x) => x / 1000), history.input.map(gapless), history.output.map(gapless)] as uPlot.AlignedData);
    shown = history;
  }

  function update(s: AppState): void {
    const total = (value: number | undefined) => (value !== undefined ? formatNumber(value, ctx.locale) : '–');
    const port = (value: number | undefined) => (value !== undefined ? watts(value, ctx.locale) : '–');
    setText(inTotal, total(s.detailInput['input.realpower']));
    setText(outTotal, total(s.detailOutput['output.realpower']));
    for (const [key, value] of inPorts.values) setText(value, port(s.detailInput[key]));
    for (const [key, value] of outPorts.values) setText(value, port(s.detailOutput[key]));
    waiting.hidden = s.history.times.length > 0;
    if (s.history !== shown || !plot) requestAnimationFrame(() => drawHistory(controllerHistory()));
  }

  const controllerHistory = () => ctx.controller.state.history;

  return {
    el,
    update,
    dispose() {
      resize.disconnect();
      plot?.destroy();
      plot = null;
    },
  };
}
