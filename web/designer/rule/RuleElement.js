// Elements of a rule as the designer edits them: attribute access that keeps the text's own
// spelling, quoting and references, and edits that touch only the value they change.
import {
  attributeValue, escapeAttribute, escapeText, isXmlName, parseXml, textContent,
} from './XmlSource.js';
import { childElements, exactAttribute, isItem } from './ItemTree.js';
import { kindOfType } from './ElementKinds.js';
import { readInteger } from './ValueSyntax.js';
import { t } from '../i18n/i18n.js';

/** @typedef {import('./XmlSource.js').XmlElement} XmlElement */

const fold = (/** @type {string} */ s) => s.replace(/[A-Z]/g, (c) => c.toLowerCase());

/** An element of the rule with attribute access (the `printing` element, or a drawn element). */
export class RuleNode {
  /** @param {XmlElement} node */
  constructor(node) {
    /** @readonly the underlying source element */
    this.node = node;
  }

  get tagName() {
    return this.node.name;
  }

  /**
   * The attribute's value, its name matched ignoring ASCII letter case; the first of several.
   * @param {string} key
   * @returns {string|null}
   */
  get(key) {
    const want = fold(key);
    const attr = this.node.attrs.find((a) => fold(a.name) === want);
    return attr ? attributeValue(attr) : null;
  }

  /**
   * Sets the attribute in place (only its value text changes, in its own quotes); a new one is
   * appended after the last; null removes every spelling of it.
   * @param {string} key
   * @param {string|null} value
   */
  set(key, value) {
    const want = fold(key);
    if (value === null || value === undefined) {
      this.node.attrs = this.node.attrs.filter((a) => fold(a.name) !== want);
      return;
    }
    const text = String(value);
    const attr = this.node.attrs.find((a) => fold(a.name) === want);
    if (!attr && !isXmlName(key)) throw new RangeError(t('refused.attributeName', { name: key }));
    if (attr) {
      if (attributeValue(attr) !== text) attr.raw = escapeAttribute(text, attr.quote);
      return;
    }
    const last = this.node.attrs[this.node.attrs.length - 1];
    const quote = last ? last.quote : '"';
    this.node.attrs.push({ lead: ' ', name: key, eq: '=', quote, raw: escapeAttribute(text, quote) });
  }

  /** Every attribute as written, in order. @returns {{name: string, value: string}[]} */
  attributes() {
    return this.node.attrs.map((a) => ({ name: a.name, value: attributeValue(a) }));
  }
}

let lastUid = 0;

/** The element's "text" property: its first leaf child named text, or a prop named text. */
function textProperty(/** @type {XmlElement} */ node) {
  for (const child of childElements(node)) {
    if (isItem(child)) continue;
    if (child.name === 'prop' && exactAttribute(child, 'name') !== '') {
      if (exactAttribute(child, 'name') === 'text') return child;
    } else if (child.name === 'text') {
      return child;
    }
  }
  return null;
}

/** The line break and blanks that stand before a node, when only blanks do. */
export function indentBefore(/** @type {import('./XmlSource.js').XmlNode} */ node) {
  const siblings = node.parent ? node.parent.children : [];
  const previous = siblings[siblings.indexOf(node) - 1];
  if (previous && previous.kind === 'text') {
    const m = /\r?\n[ \t]*$/.exec(previous.raw);
    if (m) return m[0];
  }
  return null;
}

/** A drawn element of the rule (a child item of `printing`). */
export class RuleElement extends RuleNode {
  /** @param {XmlElement} node */
  constructor(node) {
    super(node);
    lastUid += 1;
    /** Stable for the session. */
    this.uid = `e${lastUid}`;
  }

  /** @returns {import('./ElementKinds.js').ElementKind|'other'} */
  get kind() {
    return kindOfType(this.get('type'));
  }

  /** The "text" property as the engine reads it ('' when there is none). */
  get text() {
    const property = textProperty(this.node);
    if (!property) return '';
    if (property.name === 'prop') {
      const value = exactAttribute(property, 'value');
      if (value !== '') return value;
    }
    return textContent(property);
  }

  set text(value) {
    const text = String(value ?? '');
    // An element without child element gets its text child even for an empty text: that is
    // what makes the engine draw it.
    if (text === this.text && (textProperty(this.node) || isItem(this.node))) return;
    const escaped = escapeText(text);
    let property = textProperty(this.node);
    if (property && property.name === 'prop' && exactAttribute(property, 'value') !== '') {
      const attr = property.attrs.find((a) => a.name === 'value');
      attr.raw = escapeAttribute(text, attr.quote);
      return;
    }
    if (!property) {
      if (this.node.selfClosing) {
        this.node.selfClosing = false;
        this.node.tail = '';
        this.node.close = `</${this.node.name}>`;
      }
      // After the last child element, on its line or with its indentation.
      property = parseXml('<text/>').root;
      property.parent = this.node;
      const children = this.node.children;
      const last = childElements(this.node).pop();
      const at = last ? children.indexOf(last) + 1 : children.length;
      const indent = last ? indentBefore(last) : null;
      children.splice(at, 0, ...(indent ? [{ kind: 'text', raw: indent, parent: this.node }] : []), property);
    }
    if (text === '' && property.selfClosing) return;
    if (property.selfClosing) {
      property.selfClosing = false;
      property.tail = '';
      property.close = `</${property.name}>`;
    }
    property.children = text === '' ? [] : [{ kind: 'text', raw: escaped, parent: property }];
  }

  /** @returns {[string, string, string, string]} */
  boundsKeys() {
    return this.kind === 'line' ? ['fromx', 'fromy', 'tox', 'toy'] : ['left', 'top', 'right', 'bottom'];
  }

  /**
   * The box in rule pixels as the engine reads it (absent or bad values 0). A line gives its
   * end points as written: left/top the start, right/bottom the end, not sorted.
   */
  bounds() {
    const [left, top, right, bottom] = this.boundsKeys().map((k) => readInteger(this.get(k)) ?? 0);
    return { left, top, right, bottom };
  }

  /**
   * Writes the box (rounded to whole rule pixels); a value that already reads the same keeps
   * its text.
   * @param {{left: number, top: number, right: number, bottom: number}} box
   */
  setBounds(box) {
    const keys = this.boundsKeys();
    const current = this.bounds();
    const sides = ['left', 'top', 'right', 'bottom'];
    const values = sides.map((side) => Math.round(box[side]));
    const bad = sides.find((_, i) => !Number.isFinite(values[i]));
    if (bad) throw new RangeError(t('refused.notNumber', { name: bad }));
    sides.forEach((side, i) => {
      if (values[i] !== current[side]) this.set(keys[i], String(values[i]));
    });
  }
}
