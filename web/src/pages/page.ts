import type { Controller } from '../controller';
import type { Translate } from '../i18n';
import type { PageName } from '../address';
import type { AppState } from '../store';

export interface PageContext {
  controller: Controller;
  t: Translate;
  locale: string;
  navigate(page: PageName): void;
}

export interface PageView {
  el: HTMLElement;
  update(state: AppState, previous: AppState | null): void;
  dispose?(): void;
}
