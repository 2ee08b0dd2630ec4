// The rule as the designer hands it to the control for pictures and checks. A new rule's
// printing element has no element yet, and the engine takes a printing element without a child
// element for no rule at all; a placeholder child (which the engine never draws, and whose
// findings are dropped) lets the empty page be pictured and its sheet checked.
import { RuleDocument } from '../rule/RuleDocument.js';

/** The placeholder's name, and the path of the findings about it. */
export const placeholderName = 'tavo-designer-empty-page';
export const placeholderPath = `printing/${placeholderName}`;

/**
 * @param {RuleDocument} doc
 * @param {{withoutCorrection?: boolean}} [options] withoutCorrection: the custom offsets
 *   (the printer's calibration) left out, so the page shows where the print lands on the form
 * @returns {string}
 */
export function ruleForEngine(doc, { withoutCorrection = false } = {}) {
  const needsPlaceholder = !doc.engineFindsPrinting && doc.printing !== null;
  if (!withoutCorrection && !needsPlaceholder) return doc.serialize();
  const copy = RuleDocument.parse(doc.serialize());
  if (withoutCorrection && copy.printing) {
    copy.setSetting('customOffsetLeft', null);
    copy.setSetting('customOffsetTop', null);
  }
  if (needsPlaceholder) {
    const printing = copy.printing.node;
    if (printing.selfClosing) {
      printing.selfClosing = false;
      printing.close = `</${printing.name}>`;
    }
    printing.children.push({
      kind: 'element', name: placeholderName, attrs: [], tail: '', selfClosing: true, children: [], close: '',
      parent: printing, offset: 0,
    });
  }
  return copy.serialize();
}
