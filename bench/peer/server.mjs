// The load benchmark's peer: a JSON-RPC 2.0 server on a WebSocket answering global.getVersion
// with the same result object as the program. Listens on an ephemeral loopback port, prints
// "port <n>" and ends when its standard input closes.
import { JSONRPCServer } from "json-rpc-2.0";
import { WebSocketServer } from "ws";

const version = process.argv[2] ?? "1.0.0.14";
const rpc = new JSONRPCServer();
rpc.addMethod("global.getVersion", () => ({ data: version }));

const wss = new WebSocketServer({ host: "127.0.0.1", port: 0 });
wss.on("connection", (socket) => {
  socket.on("message", async (message) => {
    const reply = await rpc.receiveJSON(message.toString());
    if (reply) socket.send(JSON.stringify(reply));
  });
});
wss.on("listening", () => console.log(`port ${wss.address().port}`));

process.stdin.resume();
process.stdin.on("end", () => {
  wss.close();
  process.exit(0);
});
