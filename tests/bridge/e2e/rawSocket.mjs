// A plain TCP client of the bridge for the rules a browser would never break: HTTP requests
// with any Host header, and a WebSocket client that speaks the frames itself.
import crypto from 'node:crypto';
import net from 'node:net';

/** Sends `head` (CRLF line endings added) and resolves to the whole answer as text. */
export function rawHttp(port, lines, { host = '127.0.0.1' } = {}) {
  return new Promise((resolve, reject) => {
    const socket = net.connect(port, host);
    let answer = '';
    socket.on('data', (chunk) => { answer += chunk; });
    socket.on('end', () => resolve(answer));
    socket.on('error', reject);
    socket.write(`${lines.join('\r\n')}\r\n\r\n`);
  });
}

/** The first line's status code of an HTTP answer. */
export const statusOf = (answer) => Number(/^HTTP\/1\.1 (\d+)/.exec(answer)?.[1]);

function frame(opcode, payload) {
  const length = payload.length;
  const head = length < 126 ? Buffer.from([0x80 | opcode, 0x80 | length])
    : length < 65536 ? Buffer.from([0x80 | opcode, 0x80 | 126, length >> 8, length & 255])
      : (() => {
        const big = Buffer.alloc(10);
        big[0] = 0x80 | opcode;
        big[1] = 0x80 | 127;
        big.writeBigUInt64BE(BigInt(length), 2);
        return big;
      })();
  const mask = crypto.randomBytes(4);
  const masked = Buffer.allocUnsafe(length);
  for (let i = 0; i < length; ++i) masked[i] = payload[i] ^ mask[i & 3];
  return Buffer.concat([head, mask, masked]);
}

/**
 * Opens a WebSocket by hand. Resolves to {status, answer} when the upgrade is refused, else to
 * a connection with send(text), sendBinary(bytes), next() (the next text message, parsed),
 * closed (a Promise of the close code) and close(). `answerPings: false` leaves pings unanswered;
 * `onSocket` gets the TCP socket at once (to close an upgrade that is still waiting); `address`
 * is where it connects (default 127.0.0.1).
 */
export function rawWebSocket(port, { origin, host = `127.0.0.1:${port}`, address = '127.0.0.1', answerPings = true, onSocket } = {}) {
  return new Promise((resolve, reject) => {
    const socket = net.connect(port, address);
    onSocket?.(socket);
    socket.setNoDelay(true);
    const key = crypto.randomBytes(16).toString('base64');
    const headers = [`GET /automation HTTP/1.1`, `Host: ${host}`, 'Upgrade: websocket', 'Connection: Upgrade',
      `Sec-WebSocket-Key: ${key}`, 'Sec-WebSocket-Version: 13'];
    if (origin !== undefined) headers.push(`Origin: ${origin}`);
    let buffer = Buffer.alloc(0);
    let upgraded = false;
    const messages = [];
    const waiting = [];
    let closeCode;
    let onClosed;
    const closed = new Promise((r) => { onClosed = r; });
    const deliver = (message) => (waiting.length ? waiting.shift()(message) : messages.push(message));

    function parseFrames() {
      while (buffer.length >= 2) {
        const opcode = buffer[0] & 15;
        let length = buffer[1] & 127;
        let offset = 2;
        if (length === 126) { if (buffer.length < 4) return; length = buffer.readUInt16BE(2); offset = 4; }
        if (length === 127) { if (buffer.length < 10) return; length = Number(buffer.readBigUInt64BE(2)); offset = 10; }
        if (buffer.length < offset + length) return;
        const payload = buffer.subarray(offset, offset + length);
        buffer = buffer.subarray(offset + length);
        if (opcode === 1) deliver(JSON.parse(payload.toString('utf8')));
        if (opcode === 9 && answerPings) socket.write(frame(10, payload));
        if (opcode === 8) {
          closeCode = payload.length >= 2 ? payload.readUInt16BE(0) : 1005;
          onClosed(closeCode);
          socket.end();
        }
      }
    }

    socket.on('data', (chunk) => {
      buffer = Buffer.concat([buffer, chunk]);
      if (!upgraded) {
        const end = buffer.indexOf('\r\n\r\n');
        if (end < 0) return;
        const head = buffer.subarray(0, end).toString();
        const status = statusOf(head);
        if (status !== 101) {
          socket.on('end', () => resolve({ status, answer: buffer.toString() }));
          return;
        }
        upgraded = true;
        buffer = buffer.subarray(end + 4);
        resolve({
          status,
          send: (text) => socket.write(frame(1, Buffer.from(text))),
          sendBinary: (bytes) => socket.write(frame(2, Buffer.from(bytes))),
          next: () => (messages.length ? Promise.resolve(messages.shift()) : new Promise((r) => waiting.push(r))),
          call: (id, method, params) => socket.write(frame(1, Buffer.from(JSON.stringify({ jsonrpc: '2.0', id, method, params })))),
          closed,
          close: () => socket.destroy(),
        });
      }
      parseFrames();
    });
    socket.on('close', () => onClosed(closeCode ?? 1006));
    socket.on('error', (error) => (upgraded ? onClosed(1006) : reject(error)));
    socket.write(`${headers.join('\r\n')}\r\n\r\n`);
  });
}
