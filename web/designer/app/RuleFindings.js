// The rule checker's findings beside the preview: what the engine will ignore or never draw in
// the rule with the sample data, and what lies beyond the chosen printer's sheet, asked of the
// control (checkRuleForPrinter) after the edits stop, one request at a time.
import { inWords } from './Connection.js';
import { placeholderPath, ruleForEngine } from './engineRule.js';

/** @typedef {import('./DesignerState.js').DesignerState} DesignerState */
/** @typedef {import('./Connection.js').Connection} Connection */
/** @typedef {{severity: string, path: string, message: string, hint: string, document: string, line: number}} Finding */

const DEBOUNCE_MS = 400;
const order = { error: 0, warning: 1, note: 2 };

export class RuleFindings {
  /**
   * @param {DesignerState} state @param {Connection} connection @param {HTMLElement} root
   * @param {{data: () => string, printer: () => string}} sources
   */
  constructor(state, connection, root, sources) {
    this.state = state;
    this.connection = connection;
    this.root = root;
    this.sources = sources;
    this.timer = 0;
    this.generation = 0;
    this.busy = false;
    /** @type {Finding[]} the findings on screen */
    this.findings = [];
    /** the edit (generation) the findings on screen are of */
    this.shownGeneration = 0;
    /** resolves each time findings are on screen */
    this.shown = Promise.resolve();
    this.#resetShown();
    state.addEventListener('change', (e) => { if (!e.detail.live) this.schedule(); });
    connection.addEventListener('open', () => this.schedule());
  }

  schedule() {
    this.generation += 1;
    clearTimeout(this.timer);
    this.timer = setTimeout(() => this.#request(), DEBOUNCE_MS);
  }

  async #request() {
    if (this.busy) return;
    const control = this.connection.control;
    if (!control) return;
    const generation = this.generation;
    const printer = this.sources.printer();
    this.busy = true;
    let findings = null;
    let failure = '';
    try {
      findings = await control.checkRuleForPrinter(ruleForEngine(this.state.doc), this.sources.data(), printer);
    } catch (error) {
      this.connection.noteFailure(error);
      failure = inWords(error);
    } finally {
      this.busy = false;
    }
    if (generation !== this.generation) {
      this.#request();
      return;
    }
    this.shownGeneration = generation;
    this.#render(printer, findings?.filter((f) => f.path !== placeholderPath && !f.path.startsWith(`${placeholderPath}/`)) ?? null, failure);
  }

  #render(printer, findings, failure) {
    const heading = document.createElement('h2');
    const list = document.createElement('ul');
    const name = printer.startsWith('pdf:') ? 'the PDF printer' : printer;
    if (!findings) {
      heading.textContent = `The rule could not be checked: ${failure}`;
      this.findings = [];
    } else {
      this.findings = [...findings].sort((a, b) => order[a.severity] - order[b.severity]);
      const count = (severity) => {
        const n = this.findings.filter((f) => f.severity === severity).length;
        return `${n} ${severity}${n === 1 ? '' : 's'}`;
      };
      heading.textContent = this.findings.length === 0
        ? `Checked with the sample data for ${name}: nothing to report.`
        : `Checked with the sample data for ${name}: ${count('error')}, ${count('warning')}, ${count('note')}.`;
      for (const finding of this.findings) {
        const item = document.createElement('li');
        item.className = `finding ${finding.severity}`;
        const where = finding.path ? `${finding.path}: ` : '';
        item.append(Object.assign(document.createElement('strong'), { textContent: `${finding.severity}: ` }), `${where}${finding.message}`);
        if (finding.hint) item.append(Object.assign(document.createElement('span'), { className: 'hint', textContent: ` (${finding.hint})` }));
        list.append(item);
      }
    }
    this.root.replaceChildren(heading, list);
    this.#resolveShown();
    this.#resetShown();
  }

  #resetShown() {
    this.shown = new Promise((resolve) => { this.#resolveShown = resolve; });
  }

  #resolveShown = () => {};
}
