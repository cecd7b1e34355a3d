import { h } from './dom';

export interface DialogAction {
  text: string;
  kind?: 'primary' | 'ghost' | 'danger';
  testId?: string;
  run?: () => void;
}

// A modal card over the page; any action closes it.
export function openDialog(options: { title: string; body: Node; actions: DialogAction[] }): () => void {
  const close = () => backdrop.remove();
  const buttons = options.actions.map((a) =>
    h(
      'button',
      {
        type: 'button',
        class: `btn ${a.kind ?? ''}`.trim(),
        'data-testid': a.testId,
        onclick: () => {
          close();
          a.run?.();
        },
      },
      a.text,
    ),
  );
  const backdrop = h(
    'div',
    { class: 'backdrop', 'data-testid': 'dialog' },
    h(
      'div',
      { class: 'dialog', role: 'dialog', 'aria-modal': 'true' },
      h('h2', { class: 'dialog-title' }, options.title),
      h('div', { class: 'dialog-body' }, options.body),
      h('div', { class: 'dialog-actions' }, ...buttons),
    ),
  );
  document.querySelector('.app')?.append(backdrop);
  buttons[buttons.length - 1]?.focus();
  return close;
}
