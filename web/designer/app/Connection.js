// The page's link to the print control through the bridge that served it, and the words that
// tell the user whether it is there.

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
    retry.addEventListener('click', () => this.open());
  }

  async open() {
    this.retry.hidden = true;
    this.#show('Connecting to the print control…', 'pending');
    try {
      const client = await import('/tavo.js');
      const control = await client.connect();
      const hello = await control.hello();
      this.control = control;
      this.#show(`Connected to the print control ${hello.version}.`, 'ok');
      this.dispatchEvent(new Event('open'));
    } catch (error) {
      this.control = null;
      this.#show(`Not connected: ${error.message}`, 'error');
      this.retry.hidden = false;
    }
  }

  /** @returns {TavoControl} @throws when there is no connection */
  get() {
    if (!this.control) throw new Error('Not connected to the print control');
    return this.control;
  }

  /**
   * Looks at a failed call: when the connection has gone, says so and offers to connect again.
   * @param {unknown} error
   */
  noteFailure(error) {
    if (!(error && typeof error === 'object' && 'code' in error && error.code === CONNECTION_CLOSED)) return;
    this.control = null;
    this.#show(`Connection lost: ${/** @type {Error} */ (error).message}. Start the bridge again, then press Connect.`, 'error');
    this.retry.hidden = false;
  }

  #show(text, kind) {
    this.status.textContent = text;
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
