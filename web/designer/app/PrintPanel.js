// The printer the preview is drawn for, the test print with the sample data, and calibration:
// a page of millimetre grid and crosses printed on the pre-printed paper, and the shift the
// user measured on it written into the rule as customOffsetLeft/customOffsetTop.
import { applyMeasuredShift, calibrationRule } from '../rule/Calibration.js';
import { inWords } from './Connection.js';
import { phrase, t } from '../i18n/i18n.js';

/** @typedef {import('./DesignerState.js').DesignerState} DesignerState */
/** @typedef {import('./Connection.js').Connection} Connection */

/** The virtual PDF printer; a test print and a calibration page go to these files in the page's folder. */
export const PDF_PRINTER = 'pdf:';
const TEST_PRINT_FILE = 'test-print.pdf';
const CALIBRATION_FILE = 'calibration.pdf';

/** The printer as the control is told it: the PDF printer with its file in the page's folder. */
const controlName = (printer, file = TEST_PRINT_FILE) => (printer === PDF_PRINTER ? `pdf:${file}` : printer);

export class PrintPanel extends EventTarget {
  /**
   * @param {DesignerState} state @param {Connection} connection @param {HTMLElement} root
   * @param {() => string} data @param {(text: string) => void} say
   */
  constructor(state, connection, root, data, say) {
    super();
    this.state = state;
    this.connection = connection;
    this.data = data;
    this.say = say;
    /** @type {Array<[HTMLElement, string]>} the panel's elements and the keys of their texts */
    this.labelled = [];
    const printerLabel = this.#label(Object.assign(document.createElement('label'), { htmlFor: 'printer' }), 'print.printer');
    this.select = Object.assign(document.createElement('select'), { id: 'printer' });
    this.select.append(this.#label(new Option('', PDF_PRINTER), 'print.pdf'));
    this.select.addEventListener('change', () => this.dispatchEvent(new Event('change')));
    const testPrint = this.#label(button(() => this.#print(this.state.doc.serialize(), phrase('print.what.test'), TEST_PRINT_FILE)), 'print.test');
    testPrint.id = 'test-print';
    this.outcome = Object.assign(document.createElement('p'), { id: 'print-outcome', className: 'note' });
    this.outcome.setAttribute('role', 'status');
    /** @type {string|{toString(): string}} what the outcome line says */
    this.outcomeText = '';

    const calibration = document.createElement('fieldset');
    calibration.append(this.#label(document.createElement('legend'), 'print.calibration'));
    const help = this.#label(Object.assign(document.createElement('p'), { className: 'note' }), 'print.help');
    const printCalibration = this.#label(button(() => this.#print(calibrationRule(this.state.doc), phrase('print.what.calibration'), CALIBRATION_FILE)), 'print.printCalibration');
    printCalibration.id = 'print-calibration';
    const dx = numberInput('shift-x');
    const dy = numberInput('shift-y');
    this.#label(dx.label, 'print.shiftX');
    this.#label(dy.label, 'print.shiftY');
    const apply = this.#label(button(() => {
      const x = Number(dx.input.value || 0);
      const y = Number(dy.input.value || 0);
      if (!Number.isFinite(x) || !Number.isFinite(y)) {
        this.say(phrase('print.shiftNotNumber'));
        return;
      }
      // A print that landed too far right is moved left by as much: the correction is the
      // opposite of the measured shift.
      if (x === 0 && y === 0) {
        this.say(phrase('print.shiftFirst'));
        return;
      }
      this.state.change(phrase('history.calibrate'), (doc) => applyMeasuredShift(doc, -x, -y));
      // The correction is in the rule now: the fields start over for the next measurement.
      dx.input.value = '';
      dy.input.value = '';
      this.say(phrase('print.shifted', {
        left: this.state.doc.setting('customOffsetLeft') ?? '0', top: this.state.doc.setting('customOffsetTop') ?? '0', view: phrase('preview.land'),
      }));
    }), 'print.apply');
    apply.id = 'apply-shift';
    calibration.append(help, printCalibration, dx.row, dy.row, apply);

    const printerRow = document.createElement('div');
    printerRow.className = 'row';
    printerRow.append(printerLabel, this.select);
    root.replaceChildren(printerRow, testPrint, this.outcome, calibration);
    connection.addEventListener('open', () => this.#listPrinters());
    this.retranslate();
  }

  /** Writes the panel's texts in the language of the moment; what was chosen and typed stays. */
  retranslate() {
    for (const [el, key] of this.labelled) {
      el.textContent = key === 'print.help' ? t(key, { instructions: t('calibration.measuring') }) : t(key);
    }
    this.outcome.textContent = String(this.outcomeText);
  }

  /** @template {HTMLElement} E @param {E} el @param {string} key @returns {E} */
  #label(el, key) {
    this.labelled.push([el, key]);
    return el;
  }

  #tell(text) {
    this.outcomeText = text;
    this.outcome.textContent = String(text);
  }

  /** @returns {string} the printer the preview is drawn for (the picture writes no file) */
  printer() { return controlName(this.select.value); }

  async #listPrinters() {
    try {
      const names = (await this.connection.get().GetPrinterList()).split('\n').filter(Boolean);
      const current = this.select.value;
      this.select.replaceChildren(this.select.options[0], ...names.map((name) => new Option(name, name)));
      this.select.value = names.includes(current) ? current : PDF_PRINTER;
    } catch (error) {
      this.connection.noteFailure(error);
      this.say(phrase('print.listFailed', { error: inWords(error) }));
    }
  }

  async #print(rule, what, file) {
    this.#tell(phrase('print.printing', { what }));
    try {
      const control = this.connection.get();
      const printer = controlName(this.select.value, file);
      if (!(await control.SetDefaultPrinter(printer))) throw new Error(t('print.cannotSelect', { printer }));
      await control.PrintXmlData(this.data(), rule);
      const last = await control.lastPrint();
      this.#tell(last.printed
        ? phrase('print.printed', { what, printer: last.printer, job: last.job ? phrase('print.job', { job: last.job }) : '' })
        : phrase('print.notPrinted', { what, message: last.message }));
      this.outcome.dataset.printed = String(last.printed);
    } catch (error) {
      this.connection.noteFailure(error);
      this.#tell(phrase('print.notPrinted', { what, message: inWords(error) }));
      this.outcome.dataset.printed = 'false';
    }
  }
}

function button(onClick) {
  const b = Object.assign(document.createElement('button'), { type: 'button' });
  b.addEventListener('click', onClick);
  return b;
}

function numberInput(id) {
  const row = document.createElement('div');
  row.className = 'row';
  const label = Object.assign(document.createElement('label'), { htmlFor: id });
  const input = Object.assign(document.createElement('input'), { id, type: 'number', step: '0.1', value: '', placeholder: '0', className: 'narrow' });
  row.append(label, input);
  return { row, input, label };
}
