// The page's link to the print control through the bridge that served it, and the words that
// tell the user whether it is there.

import { language, phrase, t } from '../i18n/i18n.js';

/** @typedef {import('../../../clients/js/tavo.d.ts').TavoControl} TavoControl */

/** The client's failure for a call on a connection that has closed (RPC_E_DISCONNECTED). */
const CONNECTION_CLOSED = 0x80010108 | 0;

export class Connection extends EventTarget {
  /** @param {HTMLElement} status @param {HTMLButtonElement} retry */
  constructor(status, retry) {
    super();
    this.status = status;
    this.retry = retry;
    /** @type {TavoControl|null} */
    this.control = null;
    /** @type {{text: string|{toString(): string}, kind: string}} what the status says */
    this.shown = { text: '', kind: 'pending' };
    /** @type {any} the client module, once loaded */
    this.client = null;
    retry.addEventListener('click', () => this.open());
  }

  async open() {
    this.retry.hidden = true;
    this.#show(phrase('connection.connecting'), 'pending');
    try {
      const client = await import('/tavo.js');
      this.client = client;
      // The client's own messages (why it could not connect) in the designer's language.
      client.setLanguage?.(language());
      const control = await client.connect();
      const hello = await control.hello();
      this.control = control;
      this.#show(phrase('connection.connected', { version: hello.version }), 'ok');
      this.dispatchEvent(new Event('open'));
    } catch (error) {
      this.control = null;
      this.#show(phrase('connection.failed', { message: error.message }), 'error');
      this.retry.hidden = false;
    }
  }

  /** @returns {TavoControl} @throws when there is no connection */
  get() {
    if (!this.control) throw new Error(t('connection.none'));
    return this.control;
  }

  /**
   * Looks at a failed call: when the connection has gone, says so and offers to connect again.
   * @param {unknown} error
   */
  noteFailure(error) {
    if (!(error && typeof error === 'object' && 'code' in error && error.code === CONNECTION_CLOSED)) return;
    this.control = null;
    this.#show(phrase('connection.lost', { message: /** @type {Error} */ (error).message }), 'error');
    this.retry.hidden = false;
  }

  /** Says the state again in the language of the moment; the client follows it too. */
  retranslate() {
    this.client?.setLanguage?.(language());
    this.#show(this.shown.text, this.shown.kind);
  }

  #show(text, kind) {
    this.shown = { text, kind };
    this.status.textContent = String(text);
    this.status.dataset.state = kind;
  }
}

/**
 * A failure in words for the status line: the control's message and HRESULT when it gave one.
 * @param {unknown} error
 */
export function inWords(error) {
  if (error && typeof error === 'object' && 'hresult' in error) {
    return `${/** @type {Error} */ (error).message} (${/** @type {any} */ (error).hresult})`;
  }
  return error instanceof Error ? error.message : String(error);
}
