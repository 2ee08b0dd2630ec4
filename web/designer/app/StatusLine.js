// The status line: one message at a time, about the state the designer is in now. A message
// that belongs to a passing state (adding an element, a preview that failed) names that state,
// and goes when the state ends; any newer message replaces it.

export class StatusLine {
  /** @param {HTMLElement} element */
  constructor(element) {
    this.element = element;
    /** @type {string|null} the state the shown message belongs to */
    this.owner = null;
  }

  /**
   * Shows a message; with an owner it lasts until that state ends (`end(owner)`).
   * @param {string} text
   * @param {string|null} [owner]
   */
  say(text, owner = null) {
    this.element.textContent = text;
    this.owner = owner;
  }

  /** The state ended: its message, if it is still the one shown, goes. */
  end(/** @type {string} */ owner) {
    if (this.owner !== owner) return;
    this.element.textContent = '';
    this.owner = null;
  }
}
