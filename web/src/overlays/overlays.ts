import { secondsLeft, type ShutdownNote } from '../countdown';
import type { Controller } from '../controller';
import { formatPercent } from '../format';
import type { TextKey, Translate } from '../i18n';
import type { AppState, DriverState } from '../store';
import { h, setText, svg } from '../ui/dom';
import { ICONS } from '../ui/icons';
import { button } from '../ui/widgets';

const DRIVER_TEXT: Record<Exclude<DriverState, 'idle'>, { title: TextKey; text: TextKey }> = {
  installing: { title: 'driver.installingTitle', text: 'driver.installingText' },
  failed: { title: 'driver.failedTitle', text: 'driver.failedText' },
  done: { title: 'driver.doneTitle', text: 'driver.doneText' },
};

const NOTE_TEXT: Record<ShutdownNote, TextKey> = {
  mains: 'shutdown.mainsBack',
  mainsLate: 'shutdown.mainsLate',
  user: 'shutdown.cancelled',
};

// Everything that interrupts the page: the shutdown countdown, the remote shutdown warning, a
// shutdown that did not happen, the low-battery tip, the lost station, the USB driver
// installation, the serial-port tip and the update restart.
export function createOverlays(
  controller: Controller,
  t: Translate,
  locale: string,
): { el: HTMLElement; update(s: AppState): void } {
  const percent = (value: number) => formatPercent(value, locale);
  // --- shutdown countdown and remote warning ---
  const count = h('div', { class: 'count', 'data-testid': 'countdown-seconds' });
  const countRing = h('div', { class: 'count-ring' }, count);
  const shutIcon = h('div', { class: 'dialog-icon tone-danger' }, svg(ICONS.warn));
  const shutTitle = h('h2', { class: 'dialog-title' });
  const shutText = h('p', null);
  // The system's own words, always as text.
  const shutReason = h('p', { class: 'shutdown-reason', 'data-testid': 'shutdown-reason' });
  const cancel = button(t('shutdown.cancel'), () => controller.cancelShutdown(), { kind: 'ghost', testId: 'shutdown-cancel' });
  const now = button(t('shutdown.now'), () => controller.shutdownNow(), { kind: 'danger', testId: 'shutdown-now', icon: 'power' });
  const close = button(t('common.close'), () => controller.closeShutdownOverlay(), { kind: 'ghost', testId: 'shutdown-close' });
  const retry = button(t('shutdown.retry'), () => controller.shutdownNow(), { kind: 'danger', testId: 'shutdown-retry', icon: 'power' });
  const shutActions = h('div', { class: 'dialog-actions' }, cancel, now, close, retry);
  const shutdown = h(
    'div',
    { class: 'backdrop urgent', 'data-testid': 'shutdown-overlay' },
    h('div', { class: 'dialog shutdown-dialog', role: 'alertdialog' }, countRing, shutIcon, shutTitle, shutText, shutReason, shutActions),
  );

  // --- a note after the countdown ended without a shutdown ---
  const noteText = h('span', { 'data-testid': 'shutdown-note' });
  const note = h('div', { class: 'toast' }, svg(ICONS.info), noteText, h('button', { type: 'button', class: 'icon-btn', 'aria-label': t('common.close'), onclick: () => controller.dismissShutdownNote() }, svg(ICONS.close)));

  // --- low-battery tip ---
  const tipText = h('p', { 'data-testid': 'tip-text' });
  const tip = h(
    'div',
    { class: 'backdrop', 'data-testid': 'tip-overlay' },
    h(
      'div',
      { class: 'dialog' },
      h('div', { class: 'dialog-icon tone-warn' }, svg(ICONS.battery)),
      h('h2', { class: 'dialog-title' }, t('tip.title')),
      tipText,
      h('div', { class: 'dialog-actions' }, button(t('common.ok'), () => controller.store.set({ tip: null }), { kind: 'primary', testId: 'tip-ok' })),
    ),
  );

  // --- USB driver installation ---
  const driverIcon = h('div', { class: 'dialog-icon' });
  const driverTitle = h('h2', { class: 'dialog-title', 'data-testid': 'driver-title' });
  const driverText = h('p', null);
  const driverRetry = button(t('driver.retry'), () => controller.retryDriverInstall(), { kind: 'primary', testId: 'driver-retry' });
  const driverClose = button(t('common.close'), () => controller.closeDriverOverlay(), { kind: 'ghost', testId: 'driver-close' });
  const driverActions = h('div', { class: 'dialog-actions' }, driverClose, driverRetry);
  const driver = h(
    'div',
    { class: 'backdrop', 'data-testid': 'driver-overlay' },
    h('div', { class: 'dialog' }, driverIcon, driverTitle, driverText, driverActions),
  );
  let driverDoneTimer: ReturnType<typeof setTimeout> | null = null;

  // --- serial-port tip ---
  const serial = h(
    'div',
    { class: 'toast warn', 'data-testid': 'usb-serial-tip' },
    svg(ICONS.usb),
    h('span', null, t('serialTip.text')),
    h('button', { type: 'button', class: 'icon-btn', 'aria-label': t('common.close'), onclick: () => controller.store.set({ usbSerialTip: false }) }, svg(ICONS.close)),
  );

  // --- the station could not be read while it was on battery ---
  const linkLostText = h('span', null);
  const linkLostHint = h('span', null);
  const linkLost = h(
    'div',
    { class: 'toast danger', 'data-testid': 'link-lost', role: 'alert' },
    svg(ICONS.warn),
    h('div', { class: 'toast-text' }, h('strong', null, t('linkLost.title')), linkLostText, linkLostHint),
    h('button', { type: 'button', class: 'icon-btn', 'aria-label': t('common.close'), 'data-testid': 'link-lost-close', onclick: () => controller.dismissLinkLost() }, svg(ICONS.close)),
  );

  // --- the program restarts after an update ---
  const restarting = h(
    'div',
    { class: 'backdrop', 'data-testid': 'update-overlay' },
    h('div', { class: 'dialog' }, h('div', { class: 'spinner' }), h('h2', { class: 'dialog-title' }, t('update.installingTitle')), h('p', null, t('update.installing'))),
  );

  const toasts = h('div', { class: 'toasts' }, linkLost, serial, note);
  const el = h('div', { class: 'overlays' }, toasts, tip, driver, restarting, shutdown);

  function updateShutdown(s: AppState): void {
    const st = s.shutdown;
    shutdown.hidden = st.kind === 'idle';
    note.hidden = !(st.kind === 'idle' && st.note);
    if (st.kind === 'idle') {
      if (st.note) setText(noteText, t(NOTE_TEXT[st.note]));
      return;
    }
    countRing.hidden = st.kind !== 'counting';
    shutIcon.hidden = st.kind !== 'notShutDown';
    const asking = st.kind === 'counting' || st.kind === 'remote';
    cancel.hidden = !asking;
    now.hidden = !asking;
    close.hidden = st.kind !== 'notShutDown';
    retry.hidden = st.kind !== 'notShutDown';
    shutReason.hidden = !(st.kind === 'notShutDown' && st.reason);
    if (st.kind === 'counting') {
      const left = secondsLeft(st, Date.now());
      setText(count, String(left));
      countRing.style.setProperty('--frac', String(left / st.total));
      setText(shutTitle, t(st.stage === 1 ? 'shutdown.stageOneTitle' : 'shutdown.stageTwoTitle'));
      setText(shutText, st.low !== null ? t('shutdown.text', { n: left, low: percent(st.low) }) : t('shutdown.textNoLow', { n: left }));
    } else if (st.kind === 'remote') {
      setText(shutTitle, t('shutdown.remoteTitle'));
      setText(shutText, st.low !== null ? t('shutdown.remoteText', { low: percent(st.low) }) : t('shutdown.remoteTextNoLow'));
      setText(cancel.querySelector('span')!, t('shutdown.dismiss'));
    } else if (st.kind === 'notShutDown') {
      const failed = st.cause === 'failed';
      setText(shutTitle, t(failed ? 'shutdown.failedTitle' : 'shutdown.stillRunningTitle'));
      setText(shutText, t(failed ? 'shutdown.failed' : 'shutdown.stillRunning'));
      setText(shutReason, st.reason ? t('shutdown.reason', { reason: st.reason }) : '');
    } else {
      setText(shutTitle, t('shutdown.goingTitle'));
      setText(shutText, t('shutdown.going'));
    }
    if (st.kind === 'counting') setText(cancel.querySelector('span')!, t('shutdown.cancel'));
  }

  function updateDriver(s: AppState): void {
    driver.hidden = s.driver === 'idle';
    driverRetry.hidden = s.driver !== 'failed';
    driverClose.hidden = s.driver === 'installing';
    driverIcon.className = `dialog-icon ${s.driver === 'failed' ? 'tone-danger' : s.driver === 'done' ? 'tone-ok' : ''}`;
    driverIcon.replaceChildren(s.driver === 'installing' ? h('div', { class: 'spinner' }) : svg(s.driver === 'failed' ? ICONS.warn : ICONS.check));
    const texts = DRIVER_TEXT[s.driver === 'idle' ? 'installing' : s.driver];
    setText(driverTitle, t(texts.title));
    setText(driverText, t(texts.text));
    if (s.driver === 'done' && !driverDoneTimer) {
      driverDoneTimer = setTimeout(() => {
        driverDoneTimer = null;
        if (controller.state.driver === 'done') controller.closeDriverOverlay();
      }, 3000);
    }
  }

  function updateLinkLost(s: AppState): void {
    linkLost.hidden = !s.linkLost || s.linkLost.dismissed;
    if (!s.linkLost) return;
    const charge = s.linkLost.lastCharge;
    setText(linkLostText, charge !== null ? t('linkLost.text', { charge: percent(charge) }) : t('linkLost.textNoCharge'));
    setText(linkLostHint, t(s.linkLost.mode === 'remote' ? 'linkLost.remote' : 'linkLost.local'));
  }

  function update(s: AppState): void {
    updateShutdown(s);
    tip.hidden = !s.tip || s.shutdown.kind !== 'idle';
    if (s.tip) setText(tipText, t('tip.text', { limit: percent(s.tip.limit), low: percent(s.tip.low) }));
    updateDriver(s);
    serial.hidden = !s.usbSerialTip;
    updateLinkLost(s);
    restarting.hidden = s.update.kind !== 'installing';
  }

  return { el, update };
}
