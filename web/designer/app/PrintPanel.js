// The printer the preview is drawn for, the test print with the sample data, and calibration:
// a page of millimetre grid and crosses printed on the pre-printed paper, and the shift the
// user measured on it written into the rule as customOffsetLeft/customOffsetTop.
import { applyMeasuredShift, calibrationRule, measuringInstructions } from '../rule/Calibration.js';
import { inWords } from './Connection.js';

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
    const printerLabel = Object.assign(document.createElement('label'), { htmlFor: 'printer', textContent: 'Printer' });
    this.select = Object.assign(document.createElement('select'), { id: 'printer' });
    this.select.append(new Option('PDF file (pdf:)', PDF_PRINTER));
    this.select.addEventListener('change', () => this.dispatchEvent(new Event('change')));
    const testPrint = button('Test print', () => this.#print(this.state.doc.serialize(), 'Test print', TEST_PRINT_FILE));
    testPrint.id = 'test-print';
    this.outcome = Object.assign(document.createElement('p'), { id: 'print-outcome', className: 'note' });
    this.outcome.setAttribute('role', 'status');

    const calibration = document.createElement('fieldset');
    calibration.append(Object.assign(document.createElement('legend'), { textContent: 'Calibration' }));
    const help = Object.assign(document.createElement('p'), {
      className: 'note',
      textContent: `Print the calibration page on the pre-printed paper, then ${measuringInstructions} Applying it moves the whole print back by that much (the rule's customOffsetLeft and customOffsetTop), once.`,
    });
    const printCalibration = button('Print calibration page', () => this.#print(calibrationRule(this.state.doc), 'Calibration page', CALIBRATION_FILE));
    printCalibration.id = 'print-calibration';
    const dx = numberInput('shift-x', 'Measured shift: printed to the right by (mm)');
    const dy = numberInput('shift-y', 'Measured shift: printed lower by (mm)');
    const apply = button('Apply the measured shift', () => {
      const x = Number(dx.input.value || 0);
      const y = Number(dy.input.value || 0);
      if (!Number.isFinite(x) || !Number.isFinite(y)) {
        this.say('The measured shift must be a number of millimetres.');
        return;
      }
      // A print that landed too far right is moved left by as much: the correction is the
      // opposite of the measured shift.
      if (x === 0 && y === 0) {
        this.say('Type the shift measured on the calibration page first.');
        return;
      }
      this.state.change('Calibrate', (doc) => applyMeasuredShift(doc, -x, -y));
      // The correction is in the rule now: the fields start over for the next measurement.
      dx.input.value = '';
      dy.input.value = '';
      this.say(`customOffsetLeft is now ${this.state.doc.setting('customOffsetLeft') ?? '0'} mm, customOffsetTop ${this.state.doc.setting('customOffsetTop') ?? '0'} mm. Preview "As it will land on the form" shows the print over the form without the correction.`);
    });
    apply.id = 'apply-shift';
    calibration.append(help, printCalibration, dx.row, dy.row, apply);

    const printerRow = document.createElement('div');
    printerRow.className = 'row';
    printerRow.append(printerLabel, this.select);
    root.replaceChildren(printerRow, testPrint, this.outcome, calibration);
    connection.addEventListener('open', () => this.#listPrinters());
  }

  /** @returns {string} the printer the preview is drawn for (the picture writes no file) */
  printer() { return controlName(this.select.value); }

  async #listPrinters() {
    try {
      const names = (await this.connection.get().GetPrinterList()).split('\n').filter(Boolean);
      const current = this.select.value;
      this.select.replaceChildren(new Option('PDF file (pdf:)', PDF_PRINTER), ...names.map((name) => new Option(name, name)));
      this.select.value = names.includes(current) ? current : PDF_PRINTER;
    } catch (error) {
      this.connection.noteFailure(error);
      this.say(`The printer list could not be read: ${inWords(error)}`);
    }
  }

  async #print(rule, what, file) {
    this.outcome.textContent = `${what}: printing…`;
    try {
      const control = this.connection.get();
      const printer = controlName(this.select.value, file);
      if (!(await control.SetDefaultPrinter(printer))) throw new Error(`The printer ${printer} cannot be selected`);
      await control.PrintXmlData(this.data(), rule);
      const last = await control.lastPrint();
      this.outcome.textContent = last.printed
        ? `${what}: printed on ${last.printer}${last.job ? `, job ${last.job}` : ''}.`
        : `${what}: not printed. ${last.message}`;
      this.outcome.dataset.printed = String(last.printed);
    } catch (error) {
      this.connection.noteFailure(error);
      this.outcome.textContent = `${what}: not printed. ${inWords(error)}`;
      this.outcome.dataset.printed = 'false';
    }
  }
}

function button(text, onClick) {
  const b = Object.assign(document.createElement('button'), { type: 'button', textContent: text });
  b.addEventListener('click', onClick);
  return b;
}

function numberInput(id, text) {
  const row = document.createElement('div');
  row.className = 'row';
  const label = Object.assign(document.createElement('label'), { htmlFor: id, textContent: text });
  const input = Object.assign(document.createElement('input'), { id, type: 'number', step: '0.1', value: '', placeholder: '0', className: 'narrow' });
  row.append(label, input);
  return { row, input };
}
