// Undo and redo as snapshots of the serialized rule: restoring a snapshot gives back exactly
// the text of that state, whatever the edit was.

/** Steps kept; the oldest go first. */
export const defaultLimit = 500;

export class History {
  /**
   * @param {string} text the state to start from
   * @param {number} [limit]
   */
  constructor(text, limit = defaultLimit) {
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
  }

  /**
   * Records a new state after an edit; a text equal to the current one records nothing. The
   * redo steps are dropped.
   * @param {string} text
   * @param {string} [label] what the edit did, for the undo button
   */
  record(text, label = '') {
    if (text === this.current) return;
    this.past.push({ text: this.current, label: this.currentLabel });
    if (this.past.length > this.limit) this.past.shift();
    this.current = text;
    this.currentLabel = label;
    this.future = [];
  }

  /** The previous state's text, or null when there is none. */
  undo() {
    const previous = this.past.pop();
    if (!previous) return null;
    this.future.push({ text: this.current, label: this.currentLabel });
    this.current = previous.text;
    this.currentLabel = previous.label;
    return this.current;
  }

  /** The text of the state undone last, or null. */
  redo() {
    const next = this.future.pop();
    if (!next) return null;
    this.past.push({ text: this.current, label: this.currentLabel });
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
