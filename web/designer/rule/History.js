// Undo and redo as snapshots of the serialized rule: restoring a snapshot gives back exactly
// the text of that state, whatever the edit was.

/** Steps kept; the oldest go first. */
export const defaultLimit = 500;
/** Characters of text the steps may hold together (large rules keep fewer steps). */
export const defaultBudget = 32 * 1024 * 1024;

export class History {
  /**
   * @param {string} text the state to start from
   * @param {number} [limit] the most steps kept
   * @param {number} [budget] the most characters the kept steps hold; the last step is kept
   *   whatever its size
   */
  constructor(text, limit = defaultLimit, budget = defaultBudget) {
    /** @private @type {{text: string, label: string}[]} */
    this.past = [];
    /** @private @type {{text: string, label: string}[]} */
    this.future = [];
    /** @private */
    this.current = text;
    /** @private */
    this.currentLabel = '';
    /** @private */
    this.limit = Math.max(1, limit);
    /** @private */
    this.budget = budget;
    /** @private the characters held by past and future */
    this.held = 0;
  }

  /** @private */
  push(/** @type {{text: string, label: string}[]} */ stack, /** @type {string} */ text, /** @type {string} */ label) {
    stack.push({ text, label });
    this.held += text.length;
  }

  /** @private */
  pop(/** @type {{text: string, label: string}[]} */ stack) {
    const step = stack.pop();
    if (step) this.held -= step.text.length;
    return step;
  }

  /**
   * Records a new state after an edit; a text equal to the current one records nothing. The
   * redo steps are dropped.
   * @param {string} text
   * @param {string} [label] what the edit did, for the undo button
   */
  record(text, label = '') {
    if (text === this.current) return;
    this.future = [];
    this.held = this.past.reduce((sum, step) => sum + step.text.length, 0);
    this.push(this.past, this.current, this.currentLabel);
    while (this.past.length > this.limit || (this.past.length > 1 && this.held > this.budget)) {
      this.held -= this.past.shift().text.length;
    }
    this.current = text;
    this.currentLabel = label;
  }

  /** The previous state's text, or null when there is none. */
  undo() {
    const previous = this.pop(this.past);
    if (!previous) return null;
    this.push(this.future, this.current, this.currentLabel);
    this.current = previous.text;
    this.currentLabel = previous.label;
    return this.current;
  }

  /** The text of the state undone last, or null. */
  redo() {
    const next = this.pop(this.future);
    if (!next) return null;
    this.push(this.past, this.current, this.currentLabel);
    this.current = next.text;
    this.currentLabel = next.label;
    return this.current;
  }

  get canUndo() {
    return this.past.length > 0;
  }

  get canRedo() {
    return this.future.length > 0;
  }

  /** The label of the edit that undo would take back ('' when none). */
  get undoLabel() {
    return this.canUndo ? this.currentLabel : '';
  }

  /** The label of the edit that redo would make again ('' when none). */
  get redoLabel() {
    return this.future.length > 0 ? this.future[this.future.length - 1].label : '';
  }

  /** The current state's text. */
  get text() {
    return this.current;
  }
}
