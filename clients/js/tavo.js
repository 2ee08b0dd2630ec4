// The JavaScript client of the print control: a web page reaches the control through the
// local bridge (tavobridge) over a WebSocket, and its calls read like the old ones with
// `await` in front. One dependency-free ES module; the bridge serves it at /tavo.js.

/** The thirteen methods of the control's interface, as it declares them. */
const CONTROL_METHODS = [
  'fprintText', 'fprintImg', 'downloadImg', 'fprintStart', 'fprintEnd', 'PrintXmlData',
  'PreviewXmlData', 'GetVer', 'GetOcxVersion', 'SetDefaultPrinter', 'GetDefaultPrinter',
  'GetPrinterList', 'IFOcxGuid',
];

/** The extension methods, offered by the bridge as tavo.NAME; writeFile is the bridge's own. */
const EXTENSION_METHODS = ['renderPreview', 'renderPrintPage', 'lastPrint', 'jobState', 'checkRule', 'writeFile'];

const DEFAULT_PORT = 17370;

/** A failed call: the control's failure status and description, or a protocol error. */
export class TavoError extends Error {
  /**
   * @param {number} code the HRESULT as a signed 32-bit number (or a JSON-RPC error code)
   * @param {string} message the control's description
   * @param {string} [hresult] "0x8000FFFF"
   */
  constructor(code, message, hresult) {
    super(message);
    this.name = 'TavoError';
    /** @type {number} */
    this.code = code;
    /** @type {string} */
    this.hresult = hresult ?? '0x' + (code >>> 0).toString(16).toUpperCase().padStart(8, '0');
  }
}

/** @returns {string} the bridge's WebSocket address: the one that served this module, else the default. */
function defaultUrl() {
  try {
    const served = new URL(import.meta.url);
    if (served.protocol === 'http:' && served.pathname.endsWith('/tavo.js')) {
      return `ws://${served.host}/automation`;
    }
  } catch {
    // Not loaded from an address: use the default port.
  }
  return `ws://127.0.0.1:${DEFAULT_PORT}/automation`;
}

/** @returns {Promise<string>} what the browser says of this site's access to the device. */
async function permissionHint() {
  if (typeof navigator === 'undefined' || !navigator.permissions) return '';
  for (const name of ['loopback-network', 'local-network-access']) {
    try {
      const status = await navigator.permissions.query({ name });
      if (status.state === 'denied') {
        return ` The browser refused this site access to this device (permission "${name}" is denied): allow it in the site's settings.`;
      }
      if (status.state === 'granted') {
        return ` The browser allows this site access to this device (permission "${name}"), so the bridge is not running or does not allow this site.`;
      }
      return ` The browser has not yet asked about access to this device (permission "${name}" is "${status.state}"): connect after a click so that it can ask.`;
    } catch {
      // This browser does not know the permission; try the next name.
    }
  }
  return ' If the browser asked about access to this device, check the answer in the site\'s settings (permission "loopback-network").';
}

/**
 * Opens a connection to the bridge.
 * @param {{url?: string, port?: number}} [options] url: the bridge's WebSocket address
 *   (default: the bridge that served this module, else ws://127.0.0.1:17370/automation)
 * @returns {Promise<import('./tavo.d.ts').TavoControl>}
 */
export function connect(options = {}) {
  const url = options.url ?? (options.port ? `ws://127.0.0.1:${options.port}/automation` : defaultUrl());
  return new Promise((resolve, reject) => {
    let socket;
    try {
      socket = new WebSocket(url);
    } catch (error) {
      reject(new Error(`Cannot connect to the print control bridge at ${url}: ${error.message}`));
      return;
    }
    let opened = false;
    socket.addEventListener('open', () => {
      opened = true;
      resolve(makeControl(socket));
    });
    socket.addEventListener('close', async (event) => {
      if (opened) return;
      const hint = await permissionHint();
      reject(new Error(
        `Cannot connect to the print control bridge at ${url} (close code ${event.code}): ` +
        'either tavobridge is not running, or this site is not allowed by its origin policy, ' +
        `or the browser refused this page access to this device.${hint}`));
    });
  });
}

/**
 * @param {WebSocket} socket
 * @returns {import('./tavo.d.ts').TavoControl}
 */
function makeControl(socket) {
  /** @type {Map<number, {resolve: Function, reject: Function}>} */
  const pending = new Map();
  let nextId = 1;
  let closed = null;

  socket.addEventListener('message', (event) => {
    let message;
    try {
      message = JSON.parse(event.data);
    } catch {
      return;
    }
    const waiting = pending.get(message.id);
    if (!waiting) return;
    pending.delete(message.id);
    if (message.error) {
      const { code, message: text, data } = message.error;
      waiting.reject(new TavoError(code, text, data?.hresult));
    } else {
      waiting.resolve(message.result);
    }
  });
  socket.addEventListener('close', (event) => {
    closed = new TavoError(0x80010108 | 0, `The connection to the print control bridge closed (code ${event.code})`);
    for (const waiting of pending.values()) waiting.reject(closed);
    pending.clear();
  });

  /**
   * @param {string} method
   * @param {unknown[]} params
   */
  function call(method, params) {
    if (closed) return Promise.reject(closed);
    const id = nextId++;
    return new Promise((resolve, reject) => {
      pending.set(id, { resolve, reject });
      socket.send(JSON.stringify({ jsonrpc: '2.0', id, method, params }));
    });
  }

  const control = {
    call,
    hello: () => call('tavo.hello', []),
    close: () => socket.close(1000),
  };
  for (const name of CONTROL_METHODS) control[name] = (...params) => call(name, params);
  for (const name of EXTENSION_METHODS) control[name] = (...params) => call(`tavo.${name}`, params);
  return /** @type {any} */ (control);
}
