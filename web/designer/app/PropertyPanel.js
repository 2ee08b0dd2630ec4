// The selected elements' keys: every key the engine reads for the kind of one element, as typed
// in the rule; for several, the keys they share, set on all at once; with none selected, the
// font and size new elements start with.
import { elementKeys } from '../rule/Keys.js';
import { resolutionOf } from '../rule/Geometry.js';
import { keyField } from './keyField.js';
import { describe } from './Stage.js';
import { readPicture } from './readPicture.js';
import { newElementStyle, rememberStyle, styleKeys } from './newElementStyle.js';
import { phrase, t } from '../i18n/i18n.js';

/** @typedef {import('./DesignerState.js').DesignerState} DesignerState */
/** @typedef {import('../rule/RuleDocument.js').RuleElement} RuleElement */

/** @type {import('../rule/Keys.js').KeyInfo} */
const textKey = { name: 'text', type: 'text', get defaultText() { return t('properties.textDefault'); } };

/** Keys in rule pixels, by the axis whose resolution they are written at. */
const axisOf = { left: 'x', right: 'x', fromx: 'x', tox: 'x', top: 'y', bottom: 'y', fromy: 'y', toy: 'y' };

/** Keys that name one element: set on several at once they would all bind the same field. */
const ownKeys = new Set(['id']);

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
    // Keep the focused key focused across the redraw that its own change causes.
    const focusedKey = /** @type {HTMLElement|null} */ (this.root.querySelector('.key:focus-within'))?.dataset.key;
    if (selected.length === 0) this.root.replaceChildren(...this.#newElementKeys());
    else if (selected.length === 1) this.root.replaceChildren(...this.#oneElement(selected[0]));
    else this.root.replaceChildren(...this.#severalElements(selected));
    if (focusedKey) this.root.querySelector(`.key[data-key="${focusedKey}"] input`)?.focus();
  }

  /** Millimetres beside the rule pixels of a key along its axis. */
  #mm(name) {
    const axis = axisOf[name];
    if (!axis) return undefined;
    const { dpix, dpiy } = resolutionOf(this.state.doc);
    return { dpi: axis === 'x' ? dpix : dpiy };
  }

  /** @param {RuleElement} el */
  #oneElement(el) {
    const heading = document.createElement('h2');
    heading.textContent = describe(el);
    const keys = elementKeys[el.kind] ?? elementKeys.text;
    const fields = keys.map((key) => keyField(key, el.get(key.name),
      (value) => this.#write(phrase('history.set', { key: key.name }), () => el.set(key.name, value)), { mm: this.#mm(key.name) }));
    const parts = [heading, ...fields];
    // The "text" property is a child element, not an attribute: a label's words, an image's picture.
    if (el.kind === 'text') {
      parts.splice(1, 0, keyField(textKey, el.text, (value) => this.#write(phrase('history.setText'), () => { el.text = value ?? ''; })));
    }
    if (el.kind === 'image') parts.push(this.#pictureChooser(el));
    return parts;
  }

  /** @param {RuleElement[]} elements */
  #severalElements(elements) {
    const heading = document.createElement('h2');
    heading.textContent = t('properties.several', { count: elements.length });
    const keyLists = elements.map((el) => elementKeys[el.kind] ?? elementKeys.other);
    const shared = keyLists[0].filter((key) => !ownKeys.has(key.name)
      && keyLists.every((keys) => keys.some((k) => k.name === key.name)));
    const fields = shared.map((key) => {
      const values = elements.map((el) => el.get(key.name));
      const same = values.every((v) => v === values[0]);
      return keyField(key, same ? values[0] : null, (value) => this.#write(phrase('history.setSeveral', { key: key.name, count: elements.length }), () => {
        for (const el of elements) el.set(key.name, value);
      }), { mm: this.#mm(key.name), placeholder: same ? undefined : t('properties.severalValues') });
    });
    return [heading, ...fields];
  }

  #newElementKeys() {
    const heading = document.createElement('h2');
    heading.textContent = t('properties.newHeading');
    const note = Object.assign(document.createElement('p'), {
      className: 'note',
      textContent: t('properties.newNote'),
    });
    const style = newElementStyle();
    const fields = styleKeys.map((name) => {
      const key = elementKeys.field.find((k) => k.name === name);
      return keyField({ ...key, defaultText: name === 'fontName' ? '宋体' : '10' }, style[name] ?? null,
        (value) => rememberStyle(name, value));
    });
    return [heading, note, ...fields];
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
    const selected = this.state.selected();
    const heading = this.root.querySelector('h2');
    if (selected.length === 1 && heading) heading.textContent = describe(selected[0]);
  }

  #pictureChooser(el) {
    const row = document.createElement('div');
    row.className = 'key';
    const label = document.createElement('label');
    label.textContent = t('properties.picture');
    const input = document.createElement('input');
    input.type = 'file';
    input.accept = 'image/png,image/jpeg';
    input.id = `picture-${el.uid}`;
    label.htmlFor = input.id;
    input.addEventListener('change', async () => {
      const file = input.files?.[0];
      if (!file) return;
      const { base64 } = await readPicture(file);
      this.state.change(phrase('history.setPicture'), () => { el.text = base64; });
    });
    row.append(label, input);
    return row;
  }
}
