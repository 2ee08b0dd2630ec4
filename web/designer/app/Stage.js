// The form on screen: the form picture at the page's millimetre size, the preview picture over
// it and one box per element, which the mouse selects, moves and resizes; the keyboard moves
// and resizes the selection. Coordinates are kept in rule pixels.
import { snap } from '../rule/Geometry.js';
import { clickedBox, elementDefaults } from './elementDefaults.js';
import { newElementStyle } from './newElementStyle.js';
import { stageScale, stageSize } from './pageGeometry.js';
import { phrase, t } from '../i18n/i18n.js';

/** @typedef {import('./DesignerState.js').DesignerState} DesignerState */
/** @typedef {import('../rule/RuleDocument.js').RuleElement} RuleElement */
/** @typedef {{left: number, top: number, right: number, bottom: number}} Box */

const HANDLES = ['nw', 'n', 'ne', 'e', 'se', 's', 'sw', 'w'];

export class Stage {
  /**
   * @param {DesignerState} state
   * @param {{stage: HTMLElement, boxes: HTMLElement, band: HTMLElement, picture: HTMLImageElement,
   *          outline: HTMLElement, status: import('./StatusLine.js').StatusLine}} parts
   */
  constructor(state, parts) {
    this.state = state;
    this.parts = parts;
    this.zoom = 1;
    this.snapOn = true;
    this.grid = 5;
    /** @type {string|null} the kind the next drag adds */
    this.adding = null;
    /** @type {null | {kind: string, start: {x: number, y: number}, moved: boolean, [k: string]: any}} */
    this.drag = null;
    this.onAddingChange = () => {};
    parts.stage.addEventListener('pointerdown', (e) => this.#down(e));
    parts.stage.addEventListener('pointermove', (e) => this.#move(e));
    parts.stage.addEventListener('pointerup', (e) => this.#up(e));
    parts.stage.addEventListener('keydown', (e) => this.#key(e));
    state.addEventListener('change', () => this.render());
    state.addEventListener('selection', () => this.render());
    state.addEventListener('picture', () => this.render());
    state.addEventListener('sheet', () => this.render());
  }

  /** @param {string|null} kind */
  arm(kind) {
    this.adding = kind;
    this.parts.stage.classList.toggle('adding', kind !== null);
    this.onAddingChange(kind);
    if (kind) this.parts.status.say(phrase('stage.adding', { kind: phrase(`kind.${kind}`) }), 'adding');
    else this.parts.status.end('adding');
  }

  setZoom(zoom) {
    this.zoom = zoom;
    this.render();
  }

  render() {
    const { doc, picture } = this.state;
    const size = stageSize(doc, this.zoom);
    const scale = stageScale(doc, this.zoom);
    this.scale = scale;
    Object.assign(this.parts.stage.style, { width: `${size.width}px`, height: `${size.height}px` });
    this.parts.stage.style.setProperty('--grid-x', `${this.grid * scale.x}px`);
    this.parts.stage.style.setProperty('--grid-y', `${this.grid * scale.y}px`);
    this.parts.stage.classList.toggle('snapping', this.snapOn);
    const img = this.parts.picture;
    if (picture) {
      if (img.getAttribute('src') !== picture.dataUrl) img.src = picture.dataUrl;
      img.hidden = false;
    } else {
      img.hidden = true;
    }
    const single = this.state.selection.size === 1;
    const boxes = doc.elements().map((el) => {
      const box = document.createElement('div');
      const b = normalized(el.bounds());
      box.className = `box kind-${el.kind}`;
      box.dataset.uid = el.uid;
      const thin = el.kind === 'line';
      const w = (b.right - b.left) * scale.x;
      const h = (b.bottom - b.top) * scale.y;
      Object.assign(box.style, {
        left: `${b.left * scale.x - (thin && w < 6 ? 3 : 0)}px`,
        top: `${b.top * scale.y - (thin && h < 6 ? 3 : 0)}px`,
        width: `${thin ? Math.max(w, 6) : w}px`,
        height: `${thin ? Math.max(h, 6) : h}px`,
      });
      box.title = describe(el);
      if (el.kind === 'text' || el.kind === 'field') {
        const caption = document.createElement('span');
        caption.className = 'caption';
        caption.textContent = el.kind === 'field' ? `{${el.get('id') ?? ''}}` : el.text;
        box.append(caption);
      }
      if (this.state.selection.has(el.uid)) {
        box.classList.add('selected');
        if (single) {
          for (const handle of HANDLES) {
            const knob = document.createElement('div');
            knob.className = `handle handle-${handle}`;
            knob.dataset.handle = handle;
            box.append(knob);
          }
        }
      }
      return box;
    });
    this.parts.boxes.replaceChildren(...boxes);
    this.#renderSheet();
  }

  // The printer's sheet as the page lies on it, from the paper's corner: where it is smaller
  // than the page, the outline crosses the form where the paper ends.
  #renderSheet() {
    const { sheet } = this.state;
    const outline = this.parts.outline;
    outline.hidden = !sheet;
    if (!sheet) return;
    const perMm = (96 / 25.4) * this.zoom;
    Object.assign(outline.style, { width: `${sheet.widthMm * perMm}px`, height: `${sheet.heightMm * perMm}px` });
    outline.querySelector('span').textContent = String(sheet.label);
  }

  /** @returns {{x: number, y: number}} the pointer in rule pixels */
  #point(event) {
    const rect = this.parts.stage.getBoundingClientRect();
    return { x: (event.clientX - rect.left) / this.scale.x, y: (event.clientY - rect.top) / this.scale.y };
  }

  #snap(value) {
    return this.snapOn ? snap(value, this.grid) : Math.round(value);
  }

  #element(uid) {
    return this.state.doc.elements().find((el) => el.uid === uid) ?? null;
  }

  #down(event) {
    if (event.button !== 0) return;
    this.parts.stage.focus({ preventScroll: true });
    const start = this.#point(event);
    const target = /** @type {HTMLElement} */ (event.target);
    const boxNode = target.closest('.box');
    this.parts.stage.setPointerCapture(event.pointerId);
    event.preventDefault();
    if (this.adding) {
      this.drag = { kind: 'add', start, moved: false };
      this.#showBand(start, start);
      return;
    }
    if (target.dataset.handle && boxNode) {
      const el = this.#element(boxNode.dataset.uid);
      this.drag = { kind: 'resize', start, moved: false, el, handle: target.dataset.handle, from: normalized(el.bounds()) };
      return;
    }
    if (boxNode) {
      const el = this.#element(boxNode.dataset.uid);
      if (event.shiftKey) {
        this.state.toggle(el);
        this.drag = null;
        return;
      }
      if (!this.state.selection.has(el.uid)) this.state.select([el]);
      const moving = this.state.selected();
      this.drag = { kind: 'move', start, moved: false, lead: el.bounds(), items: moving.map((m) => ({ el: m, from: m.bounds() })) };
      return;
    }
    this.drag = { kind: 'band', start, moved: false, extend: event.shiftKey };
    this.#showBand(start, start);
  }

  #move(event) {
    const drag = this.drag;
    if (!drag) return;
    const p = this.#point(event);
    const dx = p.x - drag.start.x;
    const dy = p.y - drag.start.y;
    if (!drag.moved && Math.hypot(dx * this.scale.x, dy * this.scale.y) < 3) return;
    drag.moved = true;
    if (drag.kind === 'add' || drag.kind === 'band') {
      this.#showBand(drag.start, p);
    } else if (drag.kind === 'move') {
      // The element under the pointer snaps; the others keep their distance to it.
      const sx = this.#snap(drag.lead.left + dx) - drag.lead.left;
      const sy = this.#snap(drag.lead.top + dy) - drag.lead.top;
      for (const { el, from } of drag.items) {
        el.setBounds({ left: from.left + sx, top: from.top + sy, right: from.right + sx, bottom: from.bottom + sy });
      }
      this.state.preview();
    } else if (drag.kind === 'resize') {
      drag.el.setBounds(resized(drag.from, drag.handle, p, (v) => this.#snap(v), drag.el.kind === 'line'));
      this.state.preview();
    }
  }

  #up(event) {
    const drag = this.drag;
    this.drag = null;
    if (!drag) return;
    const p = this.#point(event);
    this.parts.band.hidden = true;
    if (drag.kind === 'add') {
      this.#add(drag.moved ? this.#snappedBox(drag.start, p) : clickedBox(this.adding, this.#snap(p.x), this.#snap(p.y)));
    } else if (drag.kind === 'band') {
      if (!drag.moved) {
        if (!drag.extend) this.state.select([]);
        return;
      }
      const band = normalized({ left: drag.start.x, top: drag.start.y, right: p.x, bottom: p.y });
      const hits = this.state.doc.elements().filter((el) => overlaps(normalized(el.bounds()), band));
      this.state.select(hits, drag.extend);
    } else if (drag.moved) {
      this.state.commit(phrase(drag.kind === 'move' ? 'history.move' : 'history.resize'));
    }
  }

  #snappedBox(a, b) {
    const box = normalized({ left: this.#snap(a.x), top: this.#snap(a.y), right: this.#snap(b.x), bottom: this.#snap(b.y) });
    if (this.adding === 'line') {
      // A line is drawn along the drag's longer direction.
      return Math.abs(b.x - a.x) >= Math.abs(b.y - a.y)
        ? { left: box.left, top: this.#snap(a.y), right: box.right, bottom: this.#snap(a.y) }
        : { left: this.#snap(a.x), top: box.top, right: this.#snap(a.x), bottom: box.bottom };
    }
    return box;
  }

  /** @param {Box} box */
  #add(box) {
    const kind = this.adding;
    const usedIds = this.state.doc.elements().map((el) => el.get('id') ?? '');
    const { attrs, text } = elementDefaults(kind, box, usedIds, newElementStyle());
    let added = null;
    this.state.change(phrase(`history.add.${kind}`), (doc) => { added = doc.addElement(kind, attrs, text); });
    this.arm(null);
    this.state.select([added]);
  }

  #showBand(a, b) {
    const box = normalized({ left: a.x, top: a.y, right: b.x, bottom: b.y });
    Object.assign(this.parts.band.style, {
      left: `${box.left * this.scale.x}px`, top: `${box.top * this.scale.y}px`,
      width: `${(box.right - box.left) * this.scale.x}px`, height: `${(box.bottom - box.top) * this.scale.y}px`,
    });
    this.parts.band.hidden = false;
  }

  #key(event) {
    if (event.key === 'Escape') {
      this.arm(null);
      return;
    }
    if (event.key === 'Enter' && this.adding) {
      // From the keyboard: the new element goes below the selection (or into the corner), to
      // be moved and sized with the arrow keys.
      event.preventDefault();
      const last = this.state.selected().at(-1);
      const at = last ? normalized(last.bounds()) : { left: 10, bottom: 0 };
      this.#add(clickedBox(this.adding, at.left, at.bottom + 10));
      return;
    }
    const steps = { ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, -1], ArrowDown: [0, 1] }[event.key];
    const selected = this.state.selected();
    if (!steps || selected.length === 0) return;
    event.preventDefault();
    const step = event.shiftKey ? 10 : 1;
    const [dx, dy] = [steps[0] * step, steps[1] * step];
    if (event.altKey) {
      this.state.change(phrase('history.resize'), () => {
        for (const el of selected) {
          const b = el.bounds();
          el.setBounds({ ...b, right: b.right + dx, bottom: b.bottom + dy });
        }
      });
    } else {
      this.state.change(phrase('history.move'), () => {
        for (const el of selected) {
          const b = el.bounds();
          el.setBounds({ left: b.left + dx, top: b.top + dy, right: b.right + dx, bottom: b.bottom + dy });
        }
      });
    }
  }
}

/** @param {Box} b @returns {Box} */
function normalized(b) {
  return {
    left: Math.min(b.left, b.right), right: Math.max(b.left, b.right),
    top: Math.min(b.top, b.bottom), bottom: Math.max(b.top, b.bottom),
  };
}

function overlaps(a, b) {
  return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

/** The box after dragging one of its handles to `p`; a line keeps its direction. */
function resized(from, handle, p, snapTo, isLine) {
  const box = { ...from };
  if (handle.includes('w')) box.left = snapTo(p.x);
  if (handle.includes('e')) box.right = snapTo(p.x);
  if (handle.includes('n')) box.top = snapTo(p.y);
  if (handle.includes('s')) box.bottom = snapTo(p.y);
  return isLine ? box : normalized(box);
}

/** @param {RuleElement} el */
export function describe(el) {
  switch (el.kind) {
    case 'field': return t('describe.field', { id: el.get('id') ?? '', index: el.get('index') ? t('describe.index', { index: el.get('index') }) : '' });
    case 'text': return t('describe.text', { text: el.text });
    case 'line': return t('describe.line');
    case 'rectangle': return t('describe.rectangle');
    case 'image': return t('describe.image');
    case 'barcode': return t('describe.barcode', { id: el.get('id') ?? '' });
    default: return t('describe.other', { tag: el.tagName, type: el.get('type') ?? t('describe.noType') });
  }
}
