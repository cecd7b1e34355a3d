// JSON-RPC 2.0 over one WebSocket to the program, reconnecting with back-off when it drops.
// The program reads "id" as a string (a number comes back as ""), and it never answers a
// method it does not know, so every call carries a string id and a time limit.

export type NotificationHandler = (params: unknown) => void;

export interface SocketLike {
  readyState: number;
  onopen: ((ev: Event) => void) | null;
  onclose: ((ev: CloseEvent) => void) | null;
  onmessage: ((ev: MessageEvent) => void) | null;
  onerror: ((ev: Event) => void) | null;
  send(data: string): void;
  close(): void;
}

export type SocketFactory = (url: string) => SocketLike;

export class RpcTimeout extends Error {}
export class RpcDisconnected extends Error {}

const OPEN = 1;

export function reconnectDelay(attempt: number): number {
  return Math.min(8000, 500 * 2 ** Math.max(0, attempt));
}

interface Pending {
  resolve: (value: unknown) => void;
  reject: (error: Error) => void;
  timer: ReturnType<typeof setTimeout>;
}

export class RpcClient {
  private socket: SocketLike | null = null;
  private nextId = 1;
  private attempt = 0;
  private stopped = false;
  private retryTimer: ReturnType<typeof setTimeout> | null = null;
  private readonly pending = new Map<string, Pending>();
  private readonly handlers = new Map<string, Set<NotificationHandler>>();
  private readonly connectionHandlers = new Set<(connected: boolean) => void>();

  constructor(
    private readonly url: () => string,
    private readonly factory: SocketFactory = (u) => new WebSocket(u),
    private readonly defaultTimeoutMs = 8000,
  ) {}

  get connected(): boolean {
    return this.socket !== null && this.socket.readyState === OPEN;
  }

  start(): void {
    this.stopped = false;
    this.open();
  }

  stop(): void {
    this.stopped = true;
    if (this.retryTimer) clearTimeout(this.retryTimer);
    this.socket?.close();
  }

  onConnection(handler: (connected: boolean) => void): () => void {
    this.connectionHandlers.add(handler);
    return () => this.connectionHandlers.delete(handler);
  }

  on(method: string, handler: NotificationHandler): () => void {
    let set = this.handlers.get(method);
    if (!set) this.handlers.set(method, (set = new Set()));
    set.add(handler);
    return () => set!.delete(handler);
  }

  // Resolves with the "data" member of the result.
  call<T = unknown>(method: string, params?: unknown, timeoutMs = this.defaultTimeoutMs): Promise<T> {
    if (!this.connected) return Promise.reject(new RpcDisconnected(method));
    const id = String(this.nextId++);
    const message: Record<string, unknown> = { jsonrpc: '2.0', method, id };
    if (params !== undefined) message.params = params;
    return new Promise<T>((resolve, reject) => {
      const timer = setTimeout(() => {
        this.pending.delete(id);
        reject(new RpcTimeout(method));
      }, timeoutMs);
      this.pending.set(id, { resolve: resolve as (v: unknown) => void, reject, timer });
      this.socket!.send(JSON.stringify(message));
    });
  }

  private open(): void {
    const socket = this.factory(this.url());
    this.socket = socket;
    socket.onopen = () => {
      this.attempt = 0;
      this.connectionHandlers.forEach((h) => h(true));
    };
    socket.onmessage = (ev) => this.receive(String(ev.data));
    socket.onclose = () => this.closed(socket);
    socket.onerror = () => {};
  }

  private closed(socket: SocketLike): void {
    if (this.socket !== socket) return;
    this.socket = null;
    for (const [, p] of this.pending) {
      clearTimeout(p.timer);
      p.reject(new RpcDisconnected('connection closed'));
    }
    this.pending.clear();
    this.connectionHandlers.forEach((h) => h(false));
    if (this.stopped) return;
    this.retryTimer = setTimeout(() => this.open(), reconnectDelay(this.attempt++));
  }

  private receive(text: string): void {
    let message: unknown;
    try {
      message = JSON.parse(text);
    } catch {
      return;
    }
    if (typeof message !== 'object' || message === null || Array.isArray(message)) return;
    const m = message as Record<string, unknown>;
    if (typeof m.method === 'string' && !('id' in m)) {
      this.handlers.get(m.method)?.forEach((h) => h(m.params));
      return;
    }
    const pending = typeof m.id === 'string' ? this.pending.get(m.id) : undefined;
    if (!pending) return;
    this.pending.delete(m.id as string);
    clearTimeout(pending.timer);
    const result = m.result as Record<string, unknown> | undefined;
    if (result && typeof result === 'object' && 'data' in result) pending.resolve(result.data);
    else pending.reject(new Error(`no result for ${m.id}`));
  }
}
