// The live preview: after each edit (debounced) the engine draws the page, either as the chosen
// printer would receive it (renderPrintPage, shown over the form picture) or as the 96 dpi
// preview dialog shows it (renderPreview, with the form picture under it). One request at a
// time; an edit made while one is out makes its answer stale, and a fresh one follows.
import { readBoolean } from '../rule/ValueSyntax.js';
import { inWords } from './Connection.js';
import { sheetWidthMm } from './sheetSize.js';

/** @typedef {import('./DesignerState.js').DesignerState} DesignerState */
/** @typedef {import('./Connection.js').Connection} Connection */

const DEBOUNCE_MS = 300;

export class Preview {
  /**
   * @param {DesignerState} state
   * @param {Connection} connection
   * @param {{picture: HTMLImageElement, stage: HTMLElement,
   *          time: HTMLElement, say: (text: string) => void, data: () => string,
   *          printer: () => string, zoom: () => number}} parts
   */
  constructor(state, connection, parts) {
    this.state = state;
    this.connection = connection;
    this.parts = parts;
    /** @type {'print'|'dialog'|'off'} */
    this.view = 'print';
    this.timer = 0;
    this.generation = 0;
    this.busy = false;
    /** when the oldest edit not yet on screen was made (performance.now()) */
    this.editedAt = null;
    /** @type {number|null} the last refresh, edit to picture on screen, in milliseconds */
    this.lastRefreshMs = null;
    /** @type {number|null} of which the control's answer took this long */
    this.lastDrawMs = null;
    /** @type {Map<string, number>} the sheet width in millimetres each printer answered with */
    this.sheetWidths = new Map();
    /** resolves each time a picture is on screen */
    this.shown = Promise.resolve();
    this.#resetShown();
    state.addEventListener('change', (e) => { if (!e.detail.live) this.schedule(); });
    state.addEventListener('picture', () => this.schedule());
    connection.addEventListener('open', () => this.schedule());
  }

  /** @param {'print'|'dialog'|'off'} view */
  setView(view) {
    this.view = view;
    this.parts.stage.dataset.view = view;
    this.parts.picture.hidden = true;
    this.schedule();
  }

  /** Asks for a new picture after the edits stop for a moment. */
  schedule() {
    this.generation += 1;
    this.editedAt ??= performance.now();
    clearTimeout(this.timer);
    if (this.view === 'off') {
      this.editedAt = null;
      return;
    }
    this.timer = setTimeout(() => this.#request(), DEBOUNCE_MS);
  }

  async #request() {
    if (this.busy) return; // the answer in flight is stale; #request runs again when it is in
    const control = this.connection.control;
    if (!control) return;
    const generation = this.generation;
    const view = this.view;
    const rule = this.state.doc.serialize();
    const data = this.parts.data();
    this.busy = true;
    const asked = performance.now();
    const printer = this.parts.printer();
    const zoom = this.parts.zoom();
    let picture = null;
    let widthCss = 0;
    try {
      if (view === 'dialog') {
        picture = await control.renderPreview(data, rule, this.state.picture?.base64 ?? '');
        widthCss = picture.width * zoom; // drawn at 96 dpi, the screen's 100%
      } else {
        // The picture is the printer's whole sheet, whose top-left corner is the form's.
        const landscape = readBoolean(this.state.doc.setting('landscape')) ?? false;
        const guessMm = this.sheetWidths.get(`${printer}|${landscape}`) ?? (landscape ? 297 : 210);
        const width = Math.round((guessMm / 25.4) * 96 * zoom * (window.devicePixelRatio || 1));
        picture = await control.renderPrintPage(data, rule, printer, width);
        const mm = sheetWidthMm(picture);
        this.sheetWidths.set(`${printer}|${landscape}`, mm);
        widthCss = (mm / 25.4) * 96 * zoom;
      }
    } catch (error) {
      this.connection.noteFailure(error);
      if (generation === this.generation) this.parts.say(`The preview could not be drawn: ${inWords(error)}`);
    } finally {
      this.busy = false;
    }
    if (generation !== this.generation || view !== this.view) {
      this.#request();
      return;
    }
    if (!picture) {
      this.editedAt = null;
      return;
    }
    this.lastDrawMs = performance.now() - asked;
    await this.#show(picture, widthCss);
  }

  async #show(picture, widthCss) {
    const img = this.parts.picture;
    img.src = `data:image/png;base64,${picture.png}`;
    img.style.width = `${widthCss}px`;
    await img.decode().catch(() => {});
    img.hidden = false;
    if (this.editedAt !== null) {
      this.lastRefreshMs = performance.now() - this.editedAt;
      this.parts.time.textContent = `Preview refreshed in ${Math.round(this.lastRefreshMs)} ms (drawn in ${Math.round(this.lastDrawMs)} ms)`;
    }
    this.editedAt = null;
    this.#resolveShown();
    this.#resetShown();
  }

  #resetShown() {
    this.shown = new Promise((resolve) => { this.#resolveShown = resolve; });
  }

  #resolveShown = () => {};
}
