// What the designer is editing: the rule document, its undo history, the selection and the
// form picture. Views listen for 'change' (the rule changed), 'selection', 'picture' and
// 'rows' (the row-field marks changed), 'refused' (an edit the rule cannot hold), 'sheet' (the
// printer's sheet the page lies on became known).
import { RuleDocument } from '../rule/RuleDocument.js';
import { History } from '../rule/History.js';
import { phrase } from '../i18n/i18n.js';

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
    /** @type {{dataUrl: string, base64: string, name?: string, bytes?: Uint8Array}|null} */
    this.picture = null;
    /** @type {{name: string, base64: string}|null} the form picture at 96 dpi the preview dialog shows */
    this.dialogPicture = null;
    /** @type {{widthMm: number, heightMm: number, label: string}|null} the chosen printer's sheet */
    this.sheet = null;
    /** @type {number|null} the rows the user last gave the form, for the sample data */
    this.rowCount = null;
    /** the rule's text when it was last opened or saved: anything else is unsaved work */
    this.savedText = this.history.text;
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
    this.rowCount = null;
    this.savedText = text;
    this.#emit('change', { label: phrase('history.open') });
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
   * @param {string|{toString(): string}} label what the change was, in words (a phrase, said
   *   in the language of the moment by undo's and redo's titles)
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

  undo() { this.#restore(this.history.undo(), phrase('history.undo')); }

  redo() { this.#restore(this.history.redo(), phrase('history.redo')); }

  /** Whether the rule has changed since it was opened or last saved. */
  get unsaved() {
    return this.doc.serialize() !== this.savedText;
  }

  /** The rule as it now is has been saved. */
  markSaved() {
    this.savedText = this.doc.serialize();
  }

  /**
   * A new form picture; its file name is noted in the rule, so that the rule says which scan it
   * was laid out over.
   * @param {{dataUrl: string, base64: string, name?: string, bytes?: Uint8Array}|null} picture
   */
  setPicture(picture) {
    this.picture = picture;
    this.dialogPicture = null;
    if (picture?.name && this.doc.formPicture !== picture.name) {
      this.change(phrase('history.formPicture'), (doc) => { doc.formPicture = picture.name; });
    }
    this.#emit('picture');
  }

  /** @param {{widthMm: number, heightMm: number, label: string|{toString(): string}}|null} sheet */
  setSheet(sheet) {
    const same = sheet && this.sheet && ['widthMm', 'heightMm', 'label'].every((k) => String(sheet[k]) === String(this.sheet[k]));
    if (same || sheet === this.sheet) return;
    this.sheet = sheet;
    this.#emit('sheet');
  }

  /** @param {{name: string, base64: string}} picture */
  setDialogPicture(picture) {
    this.dialogPicture = picture;
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
