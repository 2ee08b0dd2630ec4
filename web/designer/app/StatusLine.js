// The status line: one message at a time, about the state the designer is in now. A message
// that belongs to a passing state (adding an element, a preview that failed) names that state,
// and goes when the state ends; any newer message replaces it. A phrase is said again in the
// language the user switches to.

export class StatusLine {
  /** @param {HTMLElement} element */
  constructor(element) {
    this.element = element;
    /** @type {string|null} the state the shown message belongs to */
    this.owner = null;
    /** @type {string|{toString(): string}} the message shown */
    this.text = '';
  }

  /**
   * Shows a message; with an owner it lasts until that state ends (`end(owner)`).
   * @param {string|{toString(): string}} text
   * @param {string|null} [owner]
   */
  say(text, owner = null) {
    this.text = text;
    this.element.textContent = String(text);
    this.owner = owner;
  }

  /** Shows the message again, in the language of the moment. */
  retranslate() {
    this.element.textContent = String(this.text);
  }

  /** The state ended: its message, if it is still the one shown, goes. */
  end(/** @type {string} */ owner) {
    if (this.owner !== owner) return;
    this.element.textContent = '';
    this.text = '';
    this.owner = null;
  }
}
