// The page settings: the printing element's attributes, every key the engine reads.
import { pageKeys } from '../rule/Keys.js';
import { resolutionOf } from '../rule/Geometry.js';
import { keyField } from './keyField.js';
import { phrase, t } from '../i18n/i18n.js';

/** @typedef {import('./DesignerState.js').DesignerState} DesignerState */

export class PagePanel {
  /** @param {DesignerState} state @param {HTMLElement} root */
  constructor(state, root) {
    this.state = state;
    this.root = root;
    /** true while the panel's own edit is applied: its inputs already show it */
    this.writing = false;
    state.addEventListener('change', (e) => { if (!e.detail.live && !this.writing) this.render(); });
    state.addEventListener('refused', () => this.render());
  }

  render() {
    const focusedKey = /** @type {HTMLElement|null} */ (this.root.querySelector('.key:focus-within'))?.dataset.key;
    if (!this.state.doc.printing) {
      const note = document.createElement('p');
      note.className = 'note';
      note.textContent = t('page.noPrinting');
      this.root.replaceChildren(note);
      return;
    }
    // The page's size in rule pixels also shows in millimetres.
    const { dpix, dpiy } = resolutionOf(this.state.doc);
    const mm = { width: { dpi: dpix }, height: { dpi: dpiy } };
    this.root.replaceChildren(...pageKeys.map((key) => keyField(key, this.state.doc.setting(key.name),
      (value) => {
        this.writing = true;
        try {
          this.state.change(phrase('history.set', { key: key.name }), (doc) => doc.setSetting(key.name, value));
        } finally {
          this.writing = false;
        }
      }, { mm: mm[key.name] })));
    if (focusedKey) this.root.querySelector(`.key[data-key="${focusedKey}"] input`)?.focus();
  }
}
