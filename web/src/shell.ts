import { displayModel } from './format';
import { buildHash, parseHash, type PageName } from './address';
import type { Controller } from './controller';
import { translator, type TextKey } from './i18n';
import type { Lang } from './language';
import { createOverlays } from './overlays/overlays';
import { createAboutPage } from './pages/about';
import { createBatteryPage } from './pages/battery';
import { createConnectPage, linkStatus, LINK_STATUS_TEXT, type LinkStatus } from './pages/connect';
import { createDetailPage } from './pages/detail';
import { createHomePage } from './pages/home';
import type { PageContext, PageView } from './pages/page';
import type { AppState } from './store';
import { h, setText, svg } from './ui/dom';
import { ICONS } from './ui/icons';

const NAV: { page: PageName; label: TextKey; icon: keyof typeof ICONS }[] = [
  { page: 'home', label: 'nav.home', icon: 'home' },
  { page: 'device-detail', label: 'nav.detail', icon: 'detail' },
  { page: 'battery-setting', label: 'nav.battery', icon: 'battery' },
  { page: 'connect-mode', label: 'nav.connect', icon: 'link' },
  { page: 'about', label: 'nav.about', icon: 'info' },
];

// The title bar also tells when the program has lost a station that was on battery.
type PillStatus = LinkStatus | 'linkLost';

const PILL_TEXT: Record<PillStatus, TextKey> = { ...LINK_STATUS_TEXT, linkLost: 'connect.status.linkLost' };

// The window frame (title bar with its drag area, navigation) and the current page.
export class Shell {
  private root: HTMLElement | null = null;
  private view: PageView | null = null;
  private viewPage: PageName | null = null;
  private navItems = new Map<PageName, HTMLElement>();
  private content: HTMLElement | null = null;
  private pill: HTMLElement | null = null;
  private pillText: HTMLElement | null = null;
  private overlays: ReturnType<typeof createOverlays> | null = null;
  private t = translator('en');

  constructor(
    private readonly controller: Controller,
    private readonly onLanguage: (lang: Lang) => void,
  ) {
    controller.store.subscribe((s, prev) => this.update(s, prev));
    window.addEventListener('hashchange', () => this.route());
  }

  mount(host: HTMLElement): void {
    const s = this.controller.state;
    this.t = translator(s.lang);
    document.documentElement.lang = s.locale;
    document.title = 'Amperlane';
    this.view?.dispose?.();
    this.view = null;
    this.viewPage = null;
    this.navItems.clear();
    const t = this.t;
    const bridge = this.controller.bridge;

    const windowButton = (icon: keyof typeof ICONS, label: TextKey, action: () => void, testId: string) =>
      h(
        'button',
        { type: 'button', class: `win-btn win-${icon}`, 'data-nodrag-title': '', 'aria-label': t(label), title: t(label), onclick: action, 'data-testid': testId },
        svg(ICONS[icon]),
      );
    this.pillText = h('span', { 'data-testid': 'status-pill' });
    this.pill = h('div', { class: 'pill' }, h('span', { class: 'dot' }), this.pillText);
    const titlebar = h(
      'header',
      { class: 'titlebar', 'data-drag-title': '' },
      h('div', { class: 'brand' }, svg(ICONS.logo, 'brand-logo'), h('span', null, 'Amperlane')),
      this.pill,
      h('div', { class: 'spacer' }),
      windowButton('minimize', 'window.minimize', () => bridge?.minimize(), 'win-minimize'),
      windowButton('maximize', 'window.maximize', () => bridge?.maximize(), 'win-maximize'),
      windowButton('close', 'window.close', () => bridge?.close(), 'win-close'),
    );
    const nav = h(
      'nav',
      { class: 'sidebar' },
      ...NAV.map(({ page, label, icon }) => {
        const item = h(
          'a',
          { class: 'nav-item', href: buildHash({ ...parseHash(location.hash), page }), 'data-testid': `nav-${page}`, onclick: () => (this.controller.userNavigated = true) },
          svg(ICONS[icon]),
          h('span', null, t(label)),
        );
        this.navItems.set(page, item);
        return item;
      }),
    );
    this.content = h('main', { class: 'content' });
    this.overlays = createOverlays(this.controller, t, s.locale);
    this.root = h('div', { class: 'app' }, titlebar, nav, this.content, this.overlays.el);
    host.replaceChildren(this.root);
    this.route();
  }

  navigate(page: PageName): void {
    const route = parseHash(location.hash);
    if (route.page === page) return;
    location.hash = buildHash({ ...route, page });
  }

  private context(): PageContext & { setLanguage(lang: Lang): void; lang: Lang } {
    const { lang, locale } = this.controller.state;
    return {
      controller: this.controller,
      t: this.t,
      locale,
      navigate: (page) => this.navigate(page),
      setLanguage: (l) => this.onLanguage(l),
      lang,
    };
  }

  private route(): void {
    let page = parseHash(location.hash).page;
    if (page === 'device-detail' && !this.controller.state.hasDetail) page = 'home';
    if (page === this.viewPage || !this.content) return;
    this.view?.dispose?.();
    const ctx = this.context();
    const create: Record<PageName, () => PageView> = {
      home: () => createHomePage(ctx),
      'device-detail': () => createDetailPage(ctx),
      'battery-setting': () => createBatteryPage(ctx),
      'connect-mode': () => createConnectPage(ctx),
      about: () => createAboutPage(ctx),
    };
    this.view = create[page]();
    this.viewPage = page;
    this.content.replaceChildren(this.view.el);
    this.controller.enterPage(page);
    this.update(this.controller.state, null);
  }

  private update(s: AppState, prev: AppState | null): void {
    if (!this.root) return;
    if (prev && s.hasDetail !== prev.hasDetail) {
      if (!s.hasDetail && this.viewPage === 'device-detail') this.navigate('home');
      if (s.hasDetail && parseHash(location.hash).page === 'device-detail') this.route();
    }
    for (const [page, item] of this.navItems) {
      item.classList.toggle('active', page === this.viewPage);
      if (page === 'device-detail') item.hidden = !s.hasDetail;
    }
    const link = linkStatus(s);
    const status: PillStatus = link !== 'offline' && s.linkLost ? 'linkLost' : link;
    this.pill!.className = `pill pill-${status}`;
    const name = s.ups?.devName || displayModel(s.model);
    setText(this.pillText!, status === 'connectDev' && name ? name : this.t(PILL_TEXT[status]));
    this.view?.update(s, prev);
    this.overlays?.update(s);
  }
}
