// The rule checker's findings beside the preview: what the engine will ignore or never draw in
// the rule with the sample data, and what lies beyond the chosen printer's sheet, asked of the
// control (checkRuleForPrinter) after the edits stop, one request at a time.
import { inWords } from './Connection.js';
import { placeholderPath, ruleForEngine } from './engineRule.js';
import { t } from '../i18n/i18n.js';

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
    /** @type {{printer: string, failure: string}|null} what the findings on screen were asked for */
    this.last = null;
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
    this.last = { printer, failure };
    this.#render(printer, findings?.filter((f) => f.path !== placeholderPath && !f.path.startsWith(`${placeholderPath}/`)) ?? null, failure);
  }

  /** Shows the findings on screen again, in the language of the moment. */
  retranslate() {
    if (!this.last) return;
    this.root.replaceChildren(...this.#parts(this.last.printer, this.last.failure ? null : this.findings, this.last.failure));
  }

  #render(printer, findings, failure) {
    if (findings) this.findings = [...findings].sort((a, b) => order[a.severity] - order[b.severity]);
    else this.findings = [];
    this.root.replaceChildren(...this.#parts(printer, findings ? this.findings : null, failure));
    this.#resolveShown();
    this.#resetShown();
  }

  // The control's findings are its own words (message, hint); the designer says how many of
  // each there are and of what severity.
  #parts(printer, findings, failure) {
    const heading = document.createElement('h2');
    const list = document.createElement('ul');
    const name = printer.startsWith('pdf:') ? t('printer.pdf') : printer;
    if (!findings) {
      heading.textContent = t('findings.failed', { error: failure });
    } else {
      const count = (severity) => {
        const n = findings.filter((f) => f.severity === severity).length;
        return t(`findings.${severity}.${n === 1 ? 'one' : 'other'}`, { n });
      };
      heading.textContent = findings.length === 0
        ? t('findings.none', { printer: name })
        : t('findings.counts', { printer: name, errors: count('error'), warnings: count('warning'), notes: count('note') });
      for (const finding of findings) {
        const item = document.createElement('li');
        item.className = `finding ${finding.severity}`;
        const severity = finding.severity in order ? t(`severity.${finding.severity}`) : finding.severity;
        item.append(Object.assign(document.createElement('strong'), { textContent: t('findings.severity', { severity }) }),
          finding.path ? t('findings.item', { path: finding.path, message: finding.message }) : finding.message);
        if (finding.hint) item.append(Object.assign(document.createElement('span'), { className: 'hint', textContent: t('findings.hint', { hint: finding.hint }) }));
        list.append(item);
      }
    }
    return [heading, list];
  }

  #resetShown() {
    this.shown = new Promise((resolve) => { this.#resolveShown = resolve; });
  }

  #resolveShown = () => {};
}
