// A client of the bridge's port run as one of the tests' users (node userClient.mjs JOB.json),
// doing over plain sockets what a page of that user does. JOB: {port, address, origin} and one of
//   status: true       GET /status          -> {"status":200,"text":"..."}
//   calls: [[m, p]]    a WebSocket's calls  -> {"ready":true} once connected; after a line on
//                      standard input the calls go, one after the other -> {"status":101,"results":[...]}
//                      (a refused upgrade: {"status":503,"answer":"..."}; a closed one: "closed")
//   garbage: N         N connections that break every rule -> {"garbage":N}
import fs from 'node:fs';
import net from 'node:net';
import readline from 'node:readline';
import { rawHttp, rawWebSocket, statusOf } from './rawSocket.mjs';

const job = JSON.parse(fs.readFileSync(process.argv[2], 'utf8'));
const { port, address = '127.0.0.1', origin } = job;
const host = `${address.includes(':') ? `[${address}]` : address}:${port}`;
const say = (value) => console.log(JSON.stringify(value));

async function calls() {
  const ws = await rawWebSocket(port, { origin, host, address });
  if (ws.status !== 101) return say({ status: ws.status, answer: ws.answer });
  let closed = false;
  ws.closed.then(() => { closed = true; });
  say({ ready: true });
  await new Promise((resolve) => readline.createInterface({ input: process.stdin }).once('line', resolve));
  const results = [];
  for (const [index, [method, params]] of job.calls.entries()) {
    ws.call(index + 1, method, params);
    const answer = await Promise.race([ws.next(), ws.closed.then(() => 'closed')]);
    results.push(answer);
    if (closed || answer === 'closed') break;
  }
  ws.close();
  return say({ status: 101, results });
}

async function garbage(count) {
  const one = (i) => new Promise((resolve) => {
    const socket = net.connect(port, address);
    socket.on('error', resolve);
    socket.on('close', resolve);
    socket.on('data', () => {});
    socket.on('connect', () => {
      if (i % 3 === 0) socket.end(Buffer.from(Array.from({ length: 300 }, (_, k) => (k * 37 + i) & 255)));
      else if (i % 3 === 1) socket.destroy();
      else { socket.write('GET /status HTTP/1.1\r\nHost: '); setTimeout(() => socket.destroy(), 50); }
    });
  });
  await Promise.all(Array.from({ length: count }, (_, i) => one(i)));
  say({ garbage: count });
}

if (job.status) {
  const answer = await rawHttp(port, ['GET /status HTTP/1.1', `Host: ${host}`], { host: address })
    .catch((error) => `closed: ${error.code}`);
  say({ status: statusOf(answer) || 0, text: answer });
} else if (job.calls) {
  await calls();
} else if (job.garbage) {
  await garbage(job.garbage);
}
process.exit(0);
