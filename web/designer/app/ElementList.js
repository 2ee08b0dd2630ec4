// The rule's elements as a list box: the keyboard's way to select what the mouse clicks on the
// form. The stage then moves the selection with the arrow keys.
import { describe } from './Stage.js';
import { t } from '../i18n/i18n.js';

/** @typedef {import('./DesignerState.js').DesignerState} DesignerState */

export class ElementList {
  /** @param {DesignerState} state @param {HTMLSelectElement} list @param {HTMLElement} ignored */
  constructor(state, list, ignored) {
    this.state = state;
    this.list = list;
    this.ignored = ignored;
    state.addEventListener('change', (e) => { if (!e.detail.live) this.render(); });
    state.addEventListener('selection', () => this.render());
    list.addEventListener('change', () => {
      const chosen = new Set([...list.selectedOptions].map((o) => o.value));
      state.select(state.doc.elements().filter((el) => chosen.has(el.uid)));
    });
  }

  render() {
    const options = this.state.doc.elements().map((el, i) => {
      const option = new Option(t('elements.option', { n: i + 1, description: describe(el) }), el.uid);
      option.selected = this.state.selection.has(el.uid);
      return option;
    });
    this.list.replaceChildren(...options);
    // What the engine skips: children of printing without a child element of their own.
    const skipped = this.state.doc.ignoredElements();
    this.ignored.hidden = skipped.length === 0;
    this.ignored.textContent = skipped.length === 0 ? ''
      : t('elements.ignored', { list: skipped.map((el) => `<${el.tagName}${el.get('type') ? ` type="${el.get('type')}"` : ''}>`).join(', ') });
  }
}
