// The selected element's keys: every key the engine reads for its kind, as typed in the rule.
import { elementKeys } from '../rule/Keys.js';
import { keyField } from './keyField.js';
import { describe } from './Stage.js';
import { readPicture } from './readPicture.js';

/** @typedef {import('./DesignerState.js').DesignerState} DesignerState */

/** @type {import('../rule/Keys.js').KeyInfo} */
const textKey = { name: 'text', type: 'text', defaultText: 'empty: the label draws nothing' };

export class PropertyPanel {
  /** @param {DesignerState} state @param {HTMLElement} root */
  constructor(state, root) {
    this.state = state;
    this.root = root;
    /** true while the panel's own edit is applied: its inputs already show it */
    this.writing = false;
    state.addEventListener('selection', () => this.render());
    state.addEventListener('change', (e) => {
      if (e.detail.live) return;
      if (this.writing) this.#retitle();
      else this.render();
    });
    state.addEventListener('refused', () => this.render());
  }

  render() {
    const selected = this.state.selected();
    if (selected.length !== 1) {
      const note = document.createElement('p');
      note.className = 'note';
      note.textContent = selected.length === 0 ? 'Select an element.' : `${selected.length} elements selected.`;
      this.root.replaceChildren(note);
      return;
    }
    // Keep the focused key focused across the redraw that its own change causes.
    const focusedKey = /** @type {HTMLElement|null} */ (this.root.querySelector('.key:focus-within'))?.dataset.key;
    const [el] = selected;
    const heading = document.createElement('h2');
    heading.textContent = describe(el);
    const keys = elementKeys[el.kind] ?? elementKeys.text;
    const fields = keys.map((key) => keyField(key, el.get(key.name),
      (value) => this.#write(`Set ${key.name}`, () => el.set(key.name, value))));
    const parts = [heading, ...fields];
    // The "text" property is a child element, not an attribute: a label's words, an image's picture.
    if (el.kind === 'text') {
      parts.splice(1, 0, keyField(textKey, el.text, (value) => this.#write('Set text', () => { el.text = value ?? ''; })));
    }
    if (el.kind === 'image') parts.push(this.#pictureChooser(el));
    this.root.replaceChildren(...parts);
    if (focusedKey) this.root.querySelector(`.key[data-key="${focusedKey}"] input`)?.focus();
  }

  // The panel's own edit: the focus stays where the user moves it (Tab leads on).
  #write(label, edit) {
    this.writing = true;
    try {
      this.state.change(label, edit);
    } finally {
      this.writing = false;
    }
  }

  #retitle() {
    const [el] = this.state.selected();
    const heading = this.root.querySelector('h2');
    if (el && heading) heading.textContent = describe(el);
  }

  #pictureChooser(el) {
    const row = document.createElement('div');
    row.className = 'key';
    const label = document.createElement('label');
    label.textContent = 'Picture (PNG or JPEG, kept in the rule as Base64)';
    const input = document.createElement('input');
    input.type = 'file';
    input.accept = 'image/png,image/jpeg';
    input.id = `picture-${el.uid}`;
    label.htmlFor = input.id;
    input.addEventListener('change', async () => {
      const file = input.files?.[0];
      if (!file) return;
      const { base64 } = await readPicture(file);
      this.state.change('Set picture', () => { el.text = base64; });
    });
    row.append(label, input);
    return row;
  }
}
