import { afterEach, beforeEach, describe, expect, it, vi } from 'vitest';
import { reconnectDelay, RpcClient, RpcDisconnected, RpcTimeout, type SocketLike } from '../src/rpc';

class FakeSocket implements SocketLike {
  readyState = 0;
  sent: Record<string, unknown>[] = [];
  onopen: SocketLike['onopen'] = null;
  onclose: SocketLike['onclose'] = null;
  onmessage: SocketLike['onmessage'] = null;
  onerror: SocketLike['onerror'] = null;
  constructor(readonly url: string) {}
  send(data: string) {
    this.sent.push(JSON.parse(data));
  }
  close() {
    this.readyState = 3;
    this.onclose?.({} as CloseEvent);
  }
  open() {
    this.readyState = 1;
    this.onopen?.({} as Event);
  }
  receive(message: unknown) {
    this.onmessage?.({ data: typeof message === 'string' ? message : JSON.stringify(message) } as MessageEvent);
  }
}

describe('JSON-RPC client', () => {
  let sockets: FakeSocket[];
  let client: RpcClient;
  const last = () => sockets[sockets.length - 1];

  beforeEach(() => {
    vi.useFakeTimers();
    sockets = [];
    client = new RpcClient(() => 'ws://127.0.0.1:1/?token=t', (url) => {
      const s = new FakeSocket(url);
      sockets.push(s);
      return s;
    }, 1000);
    client.start();
    last().open();
  });

  afterEach(() => vi.useRealTimers());

  it('sends string ids and resolves with the data of the matching reply', async () => {
    const a = client.call('global.getVersion', {});
    const b = client.call('global.getDeviceSn');
    const [first, second] = last().sent;
    expect(first).toEqual({ jsonrpc: '2.0', method: 'global.getVersion', params: {}, id: '1' });
    expect(second).not.toHaveProperty('params');
    last().receive({ id: '2', jsonrpc: '2.0', result: { data: 'SN1' } });
    last().receive({ id: '1', jsonrpc: '2.0', result: { data: '1.0.0.14' } });
    await expect(a).resolves.toBe('1.0.0.14');
    await expect(b).resolves.toBe('SN1');
  });

  it('gives up on a method the program never answers', async () => {
    const call = client.call('global.nothing');
    vi.advanceTimersByTime(1001);
    await expect(call).rejects.toBeInstanceOf(RpcTimeout);
  });

  it('hands notifications to their listeners and ignores junk', () => {
    const seen: unknown[] = [];
    client.on('global.notifyBatteryChargeLow', (p) => seen.push(p));
    last().receive('{ broken');
    last().receive([1, 2]);
    last().receive({ jsonrpc: '2.0', method: 'global.notifyBatteryChargeLow', params: 10 });
    last().receive({ id: '99', jsonrpc: '2.0', result: { data: true } });
    expect(seen).toEqual([10]);
  });

  it('fails open calls when the socket drops and reconnects with growing pauses', async () => {
    const states: boolean[] = [];
    client.onConnection((c) => states.push(c));
    const call = client.call('homePage.selfTest');
    last().close();
    await expect(call).rejects.toBeInstanceOf(RpcDisconnected);
    await expect(client.call('global.getVersion')).rejects.toBeInstanceOf(RpcDisconnected);
    expect(sockets).toHaveLength(1);
    vi.advanceTimersByTime(reconnectDelay(0));
    expect(sockets).toHaveLength(2);
    last().close();
    vi.advanceTimersByTime(reconnectDelay(0));
    expect(sockets).toHaveLength(2);
    vi.advanceTimersByTime(reconnectDelay(1) - reconnectDelay(0));
    expect(sockets).toHaveLength(3);
    last().open();
    expect(states).toEqual([false, false, true]);
    expect(last().url).toBe('ws://127.0.0.1:1/?token=t');
  });

  it('caps the pause between attempts', () => {
    expect([0, 1, 2, 3, 4, 10].map(reconnectDelay)).toEqual([500, 1000, 2000, 4000, 8000, 8000]);
  });
});
