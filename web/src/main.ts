import './styles.css';
import { addressParam, buildHash, DEFAULT_WEBSOCKET_PORT, parseHash, portFromText, websocketUrl } from './address';
import { connectBridge, type Bridge } from './bridge';
import { Controller } from './controller';
import { languageFor, localeFor, storedCodeFor, type Lang } from './language';
import { RpcClient } from './rpc';
import { Shell } from './shell';
import { initialState, Store } from './store';

const LANGUAGE_STORE_WAIT_MS = 2000;

// The program stores the choice in global/language and the page starts afresh in it. Its answer
// to getLanguage comes after setLanguage has run (the bridge's slots run in order), so the
// reloaded page reads the new value. Without the program the address carries the language.
async function switchLanguage(bridge: Bridge | null, lang: Lang): Promise<void> {
  const code = storedCodeFor(lang);
  if (bridge) {
    bridge.setLanguage(code);
    await Promise.race([bridge.getLanguage(), new Promise((r) => setTimeout(r, LANGUAGE_STORE_WAIT_MS))]);
  }
  const route = parseHash(location.hash);
  route.query.set('lang', code);
  history.replaceState(null, '', buildHash(route));
  location.reload();
}

async function start(): Promise<void> {
  const bridge = await connectBridge();
  const [language, port, token] = bridge
    ? await Promise.all([bridge.getLanguage(), bridge.getWebsocketPort(), bridge.getWebsocketToken()])
    : [null, null, null];

  const code = language ?? addressParam(location, 'lang');
  const wsPort = (port && port > 0 ? port : null) ?? portFromText(addressParam(location, 'port')) ?? DEFAULT_WEBSOCKET_PORT;
  const wsToken = token ?? addressParam(location, 'token') ?? '';

  const store = new Store(initialState(languageFor(code), localeFor(code)));
  const rpc = new RpcClient(() => websocketUrl(wsPort, wsToken));
  const host = document.getElementById('app')!;
  let shell: Shell;
  const controller = new Controller(store, rpc, bridge, (page) => shell.navigate(page));
  shell = new Shell(controller, (next) => {
    if (next !== store.state.lang) void switchLanguage(bridge, next);
  });
  shell.mount(host);
  rpc.start();
  // The program shows its loading picture until then. The view is hidden behind that picture,
  // so no animation frame would ever come: a task after the first layout is the signal.
  setTimeout(() => bridge?.pageReady(), 0);
}

void start();
