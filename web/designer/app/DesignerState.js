// What the designer is editing: the rule document, its undo history, the selection and the
// form picture. Views listen for 'change' (the rule changed), 'selection', 'picture' and
// 'rows' (the row-field marks changed), 'refused' (an edit the rule cannot hold).
import { RuleDocument } from '../rule/RuleDocument.js';
import { History } from '../rule/History.js';

/** @typedef {import('../rule/RuleDocument.js').RuleElement} RuleElement */

export class DesignerState extends EventTarget {
  constructor() {
    super();
    /** @type {RuleDocument} */
    this.doc = RuleDocument.blank({ pageWidth: 210, pageHeight: 297 });
    /** @type {History} */
    this.history = new History(this.doc.serialize());
    /** @type {Set<string>} element uids */
    this.selection = new Set();
    this.fileName = 'rule.xml';
    /** @type {{dataUrl: string, base64: string}|null} */
    this.picture = null;
    /** @type {Set<string>} field ids the user marked as row fields (the rule cannot say so with automatic rows) */
    this.rowMarks = new Set();
  }

  /** @param {string} id @param {boolean} marked */
  markRowField(id, marked) {
    if (marked) this.rowMarks.add(id);
    else this.rowMarks.delete(id);
    this.#emit('rows');
  }

  /** Starts over with the text of a rule file; throws the parser's RuleSyntaxError. */
  open(text, fileName = 'rule.xml') {
    this.doc = RuleDocument.parse(text);
    this.history = new History(text);
    this.fileName = fileName;
    this.selection.clear();
    this.rowMarks.clear();
    this.#emit('change', { label: 'Open' });
    this.#emit('selection');
  }

  /** @returns {RuleElement[]} the selected elements, in document order */
  selected() {
    return this.doc.elements().filter((el) => this.selection.has(el.uid));
  }

  /** @param {RuleElement[]} elements @param {boolean} [extend] */
  select(elements, extend = false) {
    if (!extend) this.selection.clear();
    for (const el of elements) this.selection.add(el.uid);
    this.#emit('selection');
  }

  /** @param {RuleElement} el */
  toggle(el) {
    if (this.selection.has(el.uid)) this.selection.delete(el.uid);
    else this.selection.add(el.uid);
    this.#emit('selection');
  }

  /**
   * One undoable change: `edit` changes the document, then the new text is recorded.
   * @param {string} label what the change was, in words
   * @param {(doc: RuleDocument) => void} edit
   */
  change(label, edit) {
    try {
      edit(this.doc);
    } catch (error) {
      // The model refuses what XML cannot hold before it changes anything; the views show the
      // rule as it still is, and the user is told why.
      if (!(error instanceof RangeError)) throw error;
      this.#emit('refused', { label, message: error.message });
      return;
    }
    this.commit(label);
  }

  /** Records the document as it now is (after live edits such as a drag). */
  commit(label) {
    this.history.record(this.doc.serialize(), label);
    this.#emit('change', { label });
  }

  /** Redraws the views without recording (during a drag). */
  preview() {
    this.#emit('change', { label: '', live: true });
  }

  undo() { this.#restore(this.history.undo(), 'Undo'); }

  redo() { this.#restore(this.history.redo(), 'Redo'); }

  /** @param {{dataUrl: string, base64: string}|null} picture */
  setPicture(picture) {
    this.picture = picture;
    this.#emit('picture');
  }

  // A restored text is a new document: the selection is kept by position in the element list.
  #restore(text, label) {
    if (text === null) return;
    const elements = this.doc.elements();
    const positions = elements.flatMap((el, i) => (this.selection.has(el.uid) ? [i] : []));
    this.doc = RuleDocument.parse(text);
    const restored = this.doc.elements();
    this.selection = new Set(positions.filter((i) => i < restored.length).map((i) => restored[i].uid));
    this.#emit('change', { label });
    this.#emit('selection');
  }

  #emit(type, detail = {}) {
    this.dispatchEvent(new CustomEvent(type, { detail }));
  }
}
