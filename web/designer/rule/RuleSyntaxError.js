import { t } from '../i18n/i18n.js';

/**
 * A rule text that is not well-formed XML, with where the problem is (1-based line and
 * column, counted in characters of the text as given).
 */
export class RuleSyntaxError extends Error {
  /**
   * @param {string} message
   * @param {number} line
   * @param {number} column
   */
  constructor(message, line, column) {
    super(t('syntax.at', { message, line, column }));
    this.name = 'RuleSyntaxError';
    this.reason = message;
    this.line = line;
    this.column = column;
  }
}
