// The live preview: after each edit (debounced) the engine draws the page, either as the chosen
// printer would receive it (renderPrintPage, shown over the form picture), the same without the
// printer's calibration (where the print lands on the form), or as the 96 dpi preview dialog
// shows it (renderPreview, with the form picture under it). One request at a time; an edit made
// while one is out makes its answer stale, and a fresh one follows. The printer's picture is its
// whole sheet, which also gives the sheet's outline on the form.
import { readBoolean, readReal } from '../rule/ValueSyntax.js';
import { inWords } from './Connection.js';
import { pageGeometry } from './pageGeometry.js';
import { ruleForEngine } from './engineRule.js';
import { sheetWidthMm } from './sheetSize.js';
import { formatNumber, phrase } from '../i18n/i18n.js';

/** @typedef {import('./DesignerState.js').DesignerState} DesignerState */
/** @typedef {import('./Connection.js').Connection} Connection */
/** @typedef {'print'|'land'|'dialog'|'off'} View */

const DEBOUNCE_MS = 300;

/** A length measured off a picture, to the tenth of a millimetre its pixels allow. */
const lengthText = (mm) => formatNumber(Math.abs(mm - Math.round(mm)) < 0.2 ? Math.round(mm) : mm, 1);

/** How the printer is named over its sheet. */
const printerLabel = (printer) => (printer.startsWith('pdf:') ? phrase('printer.pdf') : printer);

export class Preview {
  /**
   * @param {DesignerState} state
   * @param {Connection} connection
   * @param {{picture: HTMLImageElement, stage: HTMLElement,
   *          time: HTMLElement, status: import('./StatusLine.js').StatusLine, data: () => string,
   *          printer: () => string, zoom: () => number}} parts
   */
  constructor(state, connection, parts) {
    this.state = state;
    this.connection = connection;
    this.parts = parts;
    /** @type {View} */
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
    /** the edit (generation) the picture on screen is of */
    this.shownGeneration = 0;
    /** resolves each time a picture is on screen */
    this.shown = Promise.resolve();
    this.#resetShown();
    state.addEventListener('change', (e) => { if (!e.detail.live) this.schedule(); });
    state.addEventListener('picture', () => this.schedule());
    connection.addEventListener('open', () => this.schedule());
  }

  /** @param {View} view */
  setView(view) {
    this.view = view;
    this.parts.stage.dataset.view = view === 'land' ? 'print' : view;
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
    const doc = this.state.doc;
    const rule = ruleForEngine(doc, { withoutCorrection: view === 'land' });
    const data = this.parts.data();
    this.busy = true;
    const asked = performance.now();
    const printer = this.parts.printer();
    const zoom = this.parts.zoom();
    let picture = null;
    let widthCss = 0;
    try {
      if (view === 'dialog') {
        const background = this.state.dialogPicture ?? this.state.picture;
        picture = await control.renderPreview(data, rule, background?.base64 ?? '');
        widthCss = picture.width * zoom; // drawn at 96 dpi, the screen's 100%
      } else {
        // The picture is the printer's whole sheet, whose top-left corner is the form's.
        const landscape = readBoolean(doc.setting('landscape')) ?? false;
        const { widthMm, heightMm } = pageGeometry(doc);
        const key = `${printer}|${landscape}|${widthMm}x${heightMm}`;
        // Until the printer has answered: the PDF printer's sheet is the page, others' mostly A4.
        const given = (readReal(doc.setting('pageWidth')) ?? 0) > 0 && (readReal(doc.setting('pageHeight')) ?? 0) > 0;
        const guessMm = this.sheetWidths.get(key) ?? (printer.startsWith('pdf:') && given ? widthMm : landscape ? 297 : 210);
        const width = Math.round((guessMm / 25.4) * 96 * zoom * (window.devicePixelRatio || 1));
        picture = await control.renderPrintPage(data, rule, printer, width);
        const mm = sheetWidthMm(picture);
        this.sheetWidths.set(key, mm);
        widthCss = (mm / 25.4) * 96 * zoom;
        const heightMmOfSheet = (mm * picture.height) / picture.width;
        // The PDF printer's sheet is the page itself when the rule gives one: no turning.
        const turned = printer.startsWith('pdf:') && given ? '' : phrase(landscape ? 'sheet.landscape' : 'sheet.portrait');
        this.state.setSheet({
          widthMm: mm, heightMm: heightMmOfSheet,
          label: phrase('sheet.label', { printer: printerLabel(printer), turned, width: lengthText(mm), height: lengthText(heightMmOfSheet) }),
        });
      }
    } catch (error) {
      this.connection.noteFailure(error);
      if (generation === this.generation) this.parts.status.say(phrase('preview.failed', { error: inWords(error) }), 'preview');
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
    this.parts.status.end('preview');
    this.lastDrawMs = performance.now() - asked;
    await this.#show(picture, widthCss, generation);
  }

  async #show(picture, widthCss, generation) {
    const img = this.parts.picture;
    img.src = `data:image/png;base64,${picture.png}`;
    img.style.width = `${widthCss}px`;
    await img.decode().catch(() => {});
    img.hidden = false;
    this.shownGeneration = generation;
    if (this.editedAt !== null) {
      this.lastRefreshMs = performance.now() - this.editedAt;
      const sheets = picture.pages > 1 ? phrase('preview.sheets', { pages: picture.pages }) : '';
      this.refreshText = phrase('preview.refreshed', { total: formatNumber(this.lastRefreshMs, 0), draw: formatNumber(this.lastDrawMs, 0), sheets });
      this.parts.time.textContent = String(this.refreshText);
    }
    this.editedAt = null;
    this.#resolveShown();
    this.#resetShown();
  }

  /** Says the refresh time again in the language of the moment. */
  retranslate() {
    if (this.refreshText) this.parts.time.textContent = String(this.refreshText);
  }

  #resetShown() {
    this.shown = new Promise((resolve) => { this.#resolveShown = resolve; });
  }

  #resolveShown = () => {};
}
