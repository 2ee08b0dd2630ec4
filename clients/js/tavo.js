// The JavaScript client of the print control: a web page reaches the control through the
// local bridge (tavobridge) over a WebSocket, and its calls read like the old ones with
// `await` in front. One dependency-free ES module: pages bundle it (the npm package tavo-client),
// or import it from the bridge at /tavo.js. Its own messages are in English or Chinese, as the
// browser's languages say or the page sets (setLanguage); the catalog lives in this file, so
// that a page still fetches one file from this device.

/** The thirteen methods of the control's interface, as it declares them. */
const CONTROL_METHODS = [
  'fprintText', 'fprintImg', 'downloadImg', 'fprintStart', 'fprintEnd', 'PrintXmlData',
  'PreviewXmlData', 'GetVer', 'GetOcxVersion', 'SetDefaultPrinter', 'GetDefaultPrinter',
  'GetPrinterList', 'IFOcxGuid',
];

/** The extension methods, offered by the bridge as tavo.NAME; writeFile is the bridge's own. */
const EXTENSION_METHODS = [
  'renderPreview', 'renderPrintPage', 'lastPrint', 'jobState', 'checkRule', 'checkRuleForPrinter',
  'printBatch', 'writeFile', 'writeBinaryFile',
];

const DEFAULT_PORT = 17370;
const DEFAULT_TIMEOUT_MS = 30000;

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
    // Only the bridge itself serves it from this device; a copy on the page's server is bundled.
    const fromBridge = ['127.0.0.1', 'localhost', '[::1]'].includes(served.hostname);
    if (served.protocol === 'http:' && fromBridge && served.pathname.endsWith('/tavo.js')) {
      return `ws://${served.host}/automation`;
    }
  } catch {
    // Not loaded from an address: use the default port.
  }
  return `ws://127.0.0.1:${DEFAULT_PORT}/automation`;
}

/**
 * A connection that could not be made, with its cause and the command that mends it.
 * reason: "browser-permission" (the browser keeps this site from reaching this device),
 * "origin-not-allowed" (the bridge does not allow this site), "no-bridge" (none is running),
 * "timeout" (no answer in time: the browser is holding the connection for its question).
 */
export class TavoConnectError extends Error {
  /**
   * @param {'browser-permission' | 'origin-not-allowed' | 'no-bridge' | 'timeout'} reason
   * @param {string} message
   * @param {string} fix the command that mends it
   */
  constructor(reason, message, fix) {
    super(message);
    this.name = 'TavoConnectError';
    /** @type {string} */
    this.reason = reason;
    /** @type {string} */
    this.fix = fix;
  }
}

/** @returns {string} the page's origin as the bridge sees it. */
function pageOrigin() {
  return globalThis.location?.origin ?? 'ORIGIN';
}

/**
 * The client's own words, in English and simplified Chinese, each a function of what it names.
 * The control's messages (TavoError) are its own and pass as it gives them; commands stay
 * commands.
 */
const MESSAGES = {
  en: {
    'browser-permission': ({ origin, url, allowSite }) =>
      `The browser refused ${origin} access to this device, where the print control bridge listens (${url}): ` +
      'the site\'s permission "loopback-network" is denied (Chromium: "Local network access"; ' +
      'Firefox: "Device apps and services"). Allow it in the site\'s settings, or an administrator ' +
      `allows the site for every user of this machine with: ${allowSite}`,
    'origin-not-allowed': ({ origin, url, allowSite }) =>
      `The print control bridge at ${url} is running but does not let ${origin} connect: its origin ` +
      'policy does not allow the site, someone answered its question with "Not now" or "Block", or too many ' +
      'of the site\'s pages are connected. An administrator allows the site for every user with: ' +
      `${allowSite} (a user for themselves: tavoprint site allow ${origin})`,
    'no-bridge': ({ url }) =>
      `No print control bridge answers at ${url}: tavobridge is not running. Start it with: ` +
      'systemctl --user start tavobridge (an administrator installs it for every user with: apt install tavo)',
    timeout: ({ origin, url, allowSite, seconds }) =>
      `No answer from the print control bridge at ${url} within ${seconds} s: the browser is holding ` +
      `the connection until someone allows ${origin} access to this device (Firefox asks about "Device apps ` +
      'and services", permission "loopback-network"; Chromium about "Local network access"), or the bridge ' +
      `is waiting for its own question to be answered. An administrator allows the site for every user with: ${allowSite}`,
    'no-socket': ({ url, detail }) => `Cannot connect to the print control bridge at ${url}: ${detail}`,
    closed: ({ code }) => `The connection to the print control bridge closed (code ${code})`,
  },
  'zh-CN': {
    'browser-permission': ({ origin, url, allowSite }) =>
      `浏览器禁止 ${origin} 访问本机，而打印控件桥接服务正在本机监听（${url}）：该网站的“loopback-network”权限被拒绝` +
      '（Chromium 中为“本地网络访问”，Firefox 中为“设备应用和服务”）。请在网站设置中允许，或由管理员用以下命令' +
      `为本机所有用户允许该网站：${allowSite}`,
    'origin-not-allowed': ({ origin, url, allowSite }) =>
      `${url} 上的打印控件桥接服务正在运行，但不允许 ${origin} 连接：其来源策略不允许该网站，或有人对它的询问` +
      '选择了“暂不”或“始终拒绝”，或该网站已连接的页面过多。管理员可用以下命令为所有用户允许该网站：' +
      `${allowSite}（用户只为自己允许：tavoprint site allow ${origin}）`,
    'no-bridge': ({ url }) =>
      `${url} 上没有打印控件桥接服务应答：tavobridge 未运行。请用以下命令启动：` +
      'systemctl --user start tavobridge（管理员可用 apt install tavo 为所有用户安装）',
    timeout: ({ origin, url, allowSite, seconds }) =>
      `${url} 上的打印控件桥接服务在 ${seconds} 秒内没有应答：在有人允许 ${origin} 访问本机之前，浏览器会一直挂起连接` +
      '（Firefox 询问“设备应用和服务”，权限为“loopback-network”；Chromium 询问“本地网络访问”），或者桥接服务' +
      `正在等待对它自己的询问作答。管理员可用以下命令为所有用户允许该网站：${allowSite}`,
    'no-socket': ({ url, detail }) => `无法连接 ${url} 上的打印控件桥接服务：${detail}`,
    closed: ({ code }) => `与打印控件桥接服务的连接已关闭（代码 ${code}）`,
  },
};

/** @type {string|null} the language a page chose with setLanguage */
let chosenLanguage = null;

/**
 * The catalog for a list of language tags: any Chinese reads zh-CN, anything else English.
 * @param {ReadonlyArray<string>} tags
 * @returns {'en' | 'zh-CN'}
 */
function catalogFor(tags) {
  for (const tag of tags) {
    const lower = String(tag).toLowerCase();
    if (lower === 'zh' || lower.startsWith('zh-')) return 'zh-CN';
    if (lower === 'en' || lower.startsWith('en-')) return 'en';
  }
  return 'en';
}

/**
 * Sets the language of the client's own messages: "zh-CN" (any "zh…") or "en" (any other tag);
 * null goes back to the browser's languages (navigator.languages), the default.
 * @param {string | null} tag
 */
export function setLanguage(tag) {
  chosenLanguage = tag === null || tag === undefined ? null : catalogFor([tag]);
}

/** @returns {'en' | 'zh-CN'} the language the client's messages are in now */
export function language() {
  if (chosenLanguage) return /** @type {'en' | 'zh-CN'} */ (chosenLanguage);
  const nav = globalThis.navigator;
  return catalogFor(nav?.languages?.length ? nav.languages : [nav?.language ?? 'en']);
}

/** @param {string} key @param {Record<string, unknown>} values */
function say(key, values) {
  return MESSAGES[language()][key](values);
}

/**
 * @param {string} reason
 * @param {string} url the bridge's address
 * @param {number} timeoutMs
 * @returns {TavoConnectError}
 */
function connectError(reason, url, timeoutMs) {
  const origin = pageOrigin();
  const allowSite = `tavoprint site allow ${origin} --machine`;
  const values = { origin, url, allowSite, seconds: timeoutMs / 1000 };
  switch (reason) {
    case 'browser-permission':
    case 'origin-not-allowed':
      return new TavoConnectError(reason, say(reason, values), allowSite);
    case 'no-bridge':
      return new TavoConnectError(reason, say(reason, values), 'systemctl --user start tavobridge');
    default:
      return new TavoConnectError('timeout', say('timeout', values), allowSite);
  }
}

/** @returns {Promise<boolean>} whether the browser has denied this site access to this device. */
async function permissionDenied() {
  if (typeof navigator === 'undefined' || !navigator.permissions) return false;
  for (const name of ['loopback-network', 'local-network-access', 'local-network']) {
    try {
      if ((await navigator.permissions.query({ name })).state === 'denied') return true;
    } catch {
      // This browser does not know the permission.
    }
  }
  return false;
}

/**
 * Why a WebSocket to `url` closed before it opened: a plain request for the bridge's /status
 * that arrives says the bridge runs and refused this site; one that fails says the browser or
 * the bridge's absence, as the browser's permission tells; one that hangs, the browser's question.
 * @param {string} url
 * @returns {Promise<string>} the reason
 */
async function diagnose(url) {
  const status = url.replace(/^ws/, 'http').replace(/\/automation$/, '/status');
  try {
    // Opaque, but it arrived: no-cors reads nothing the bridge would keep from this site.
    await fetch(status, { mode: 'no-cors', cache: 'no-store', credentials: 'omit' });
    return 'origin-not-allowed';
  } catch {
    return (await permissionDenied()) ? 'browser-permission' : 'no-bridge';
  }
}

/**
 * Opens a connection to the bridge.
 * @param {{url?: string, port?: number, timeout?: number, language?: string}} [options] url: the
 *   bridge's WebSocket address (default: the bridge that served this module, else
 *   ws://127.0.0.1:17370/automation); timeout: milliseconds until a connection that is neither
 *   made nor refused fails (30000); language: as setLanguage, for the client's messages from now on
 * @returns {Promise<import('./tavo.d.ts').TavoControl>} rejects with a TavoConnectError
 */
export function connect(options = {}) {
  const url = options.url ?? (options.port ? `ws://127.0.0.1:${options.port}/automation` : defaultUrl());
  const timeoutMs = options.timeout ?? DEFAULT_TIMEOUT_MS;
  if (options.language !== undefined) setLanguage(options.language);
  return new Promise((resolve, reject) => {
    let socket;
    try {
      socket = new WebSocket(url);
    } catch (error) {
      reject(new Error(say('no-socket', { url, detail: error.message })));
      return;
    }
    let settled = false;
    const settle = (outcome) => {
      if (settled) return;
      settled = true;
      clearTimeout(timer);
      outcome();
    };
    const timer = setTimeout(() => settle(() => {
      socket.close();
      reject(connectError('timeout', url, timeoutMs));
    }), timeoutMs);
    socket.addEventListener('open', () => settle(() => resolve(makeControl(socket))));
    socket.addEventListener('close', async () => {
      if (settled) return;
      const reason = await diagnose(url);
      settle(() => reject(connectError(reason, url, timeoutMs)));
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
    closed = new TavoError(0x80010108 | 0, say('closed', { code: event.code }));
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
