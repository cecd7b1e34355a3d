import './styles.css';
import { addressParam, DEFAULT_WEBSOCKET_PORT, portFromText, websocketUrl } from './address';
import { connectBridge } from './bridge';
import { Controller } from './controller';
import { languageFor, storedCodeFor, type Lang } from './language';
import { RpcClient } from './rpc';
import { Shell } from './shell';
import { initialState, Store } from './store';

async function start(): Promise<void> {
  const bridge = await connectBridge();
  const [language, port, token] = bridge
    ? await Promise.all([bridge.getLanguage(), bridge.getWebsocketPort(), bridge.getWebsocketToken()])
    : [null, null, null];

  const lang = languageFor(language ?? addressParam(location, 'lang'));
  const wsPort = (port && port > 0 ? port : null) ?? portFromText(addressParam(location, 'port')) ?? DEFAULT_WEBSOCKET_PORT;
  const wsToken = token ?? addressParam(location, 'token') ?? '';

  const store = new Store(initialState(lang));
  const rpc = new RpcClient(() => websocketUrl(wsPort, wsToken));
  const host = document.getElementById('app')!;
  let shell: Shell;
  const controller = new Controller(store, rpc, bridge, (page) => shell.navigate(page));
  const setLanguage = (next: Lang) => {
    if (next === store.state.lang) return;
    bridge?.setLanguage(storedCodeFor(next));
    store.set({ lang: next });
    shell.mount(host);
  };
  shell = new Shell(controller, setLanguage);
  shell.mount(host);
  rpc.start();
  // The program shows its loading picture until then. The view is hidden behind that picture,
  // so no animation frame would ever come: a task after the first layout is the signal.
  setTimeout(() => bridge?.pageReady(), 0);
}

void start();
