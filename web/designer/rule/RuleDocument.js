// The rule document as the designer edits it: the source text kept whole, the engine's view of
// it (the `printing` element and its elements), and edits that change only what they must.
import {
  escapeAttribute, escapeText, isXmlName, parseXml, serializeDocument, serializeNode,
} from './XmlSource.js';
import { childElements, findPrinting, isItem } from './ItemTree.js';
import { RuleElement, RuleNode, indentBefore } from './RuleElement.js';
import { elementKinds, keyOrder, tagNames } from './ElementKinds.js';
import { t } from '../i18n/i18n.js';

export { RuleSyntaxError } from './RuleSyntaxError.js';
export { RuleElement, RuleNode };

/**
 * @typedef {import('./XmlSource.js').XmlElement} XmlElement
 * @typedef {import('./XmlSource.js').XmlNode} XmlNode
 */

const indentUnit = '  ';

/** The processing instruction that names the rule's form picture; the engine ignores it. */
const formPictureTarget = 'tavo-form-picture';
const formPicturePi = new RegExp(`^<\\?${formPictureTarget}(?:[ \\t\\r\\n]+([^]*?))?[ \\t\\r\\n]*\\?>$`);

/** The blanks a node's line starts with, '' when it shares its line. */
function lineIndent(/** @type {XmlNode} */ node) {
  return (indentBefore(node) ?? '').replace(/^\r?\n/, '');
}

/**
 * Inserts a node as a child of parent after `after` (or as the last element when null), on a
 * line of its own with the indentation of its siblings.
 * @param {XmlElement} parent
 * @param {XmlNode|null} after
 * @param {XmlElement} node
 */
function insertChild(parent, after, node) {
  node.parent = parent;
  const text = (/** @type {string} */ raw) => ({ kind: 'text', raw, parent });
  const own = lineIndent(parent);
  const siblingBreak = after ? indentBefore(after) : null;
  const lineBreak = siblingBreak ?? `\n${own}${indentUnit}`;
  if (after) {
    parent.children.splice(parent.children.indexOf(after) + 1, 0, text(lineBreak), node);
    return;
  }
  if (parent.selfClosing) {
    parent.selfClosing = false;
    parent.close = `</${parent.name}>`;
  }
  const children = parent.children;
  const closing = children[children.length - 1];
  if (closing && closing.kind === 'text' && /^[ \t\r\n]*\n[ \t]*$/.test(closing.raw)) {
    children.splice(children.length - 1, 0, text(lineBreak), node);
  } else {
    children.push(text(lineBreak), node, text(`\n${own}`));
  }
}

/** Takes a node out of its parent together with the line break and blanks before it. */
function removeChild(/** @type {XmlNode} */ node) {
  const parent = node.parent;
  if (!parent) return;
  const children = parent.children;
  const at = children.indexOf(node);
  if (at === -1) return;
  const before = indentBefore(node);
  children.splice(at, 1);
  if (before !== null) {
    const previous = children[at - 1];
    previous.raw = previous.raw.slice(0, previous.raw.length - before.length);
    if (previous.raw === '') children.splice(at - 1, 1);
  }
  node.parent = null;
}

/** The rule document. Parse a text, or start from a blank page. */
export class RuleDocument {
  /** @param {import('./XmlSource.js').XmlDocument} xml */
  constructor(xml) {
    /** @private */
    this.xml = xml;
    /** @private @type {WeakMap<XmlElement, RuleElement>} */
    this.wrappers = new WeakMap();
    /** @private @type {WeakMap<XmlElement, RuleNode>} */
    this.printingWrappers = new WeakMap();
  }

  /**
   * @param {string} text
   * @throws {import('./RuleSyntaxError.js').RuleSyntaxError} when the text is not well-formed
   */
  static parse(text) {
    return new RuleDocument(parseXml(text));
  }

  /**
   * A rule with page settings and no elements yet.
   * @param {{pageWidth: number, pageHeight: number, dpix?: number, dpiy?: number, landscape?: boolean}} page
   */
  static blank({ pageWidth, pageHeight, dpix = 96, dpiy = 96, landscape = false }) {
    const a = (/** @type {unknown} */ v) => escapeAttribute(String(v));
    return RuleDocument.parse(
      '<?xml version="1.0" encoding="UTF-8"?>\n<rule>\n  <body>\n' +
        `    <printing pageWidth="${a(pageWidth)}" pageHeight="${a(pageHeight)}" dpix="${a(dpix)}" ` +
        `dpiy="${a(dpiy)}" offsetLeft="0" offsetTop="0" landscape="${landscape ? 'true' : 'false'}">\n` +
        '    </printing>\n  </body>\n</rule>\n',
    );
  }

  /** The text, byte for byte what was parsed where nothing changed. */
  serialize() {
    return serializeDocument(this.xml);
  }

  /**
   * The file name of the form picture the rule was designed over, as the designer noted it in
   * a processing instruction before the root element; null when there is none.
   * @returns {string|null}
   */
  get formPicture() {
    const node = this.xml.prolog.find((n) => n.kind === 'pi' && formPicturePi.test(n.raw));
    return node ? formPicturePi.exec(node.raw)[1] ?? '' : null;
  }

  /**
   * Notes the form picture's file name (null removes the note). The note stands on its own
   * line after the XML declaration; the rest of the text stays as it was.
   * @param {string|null} name
   */
  set formPicture(name) {
    const prolog = this.xml.prolog;
    const at = prolog.findIndex((n) => n.kind === 'pi' && formPicturePi.test(n.raw));
    if (name === null || name === undefined) {
      if (at === -1) return;
      const next = prolog[at + 1];
      prolog.splice(at, next?.kind === 'text' && next.raw === '\n' ? 2 : 1);
      return;
    }
    const text = String(name);
    if (text.includes('?>') || /[\u0000-\u001f\u007f]/.test(text) || text.trim() !== text || text === '') {
      throw new RangeError(t('refused.formPicture'));
    }
    const raw = `<?${formPictureTarget} ${text}?>`;
    if (at !== -1) {
      prolog[at].raw = raw;
      return;
    }
    const declaration = prolog.findIndex((n) => n.kind === 'pi' && n.raw.startsWith('<?xml'));
    if (declaration !== -1) prolog.splice(declaration + 1, 0, { kind: 'text', raw: '\n' }, { kind: 'pi', raw });
    else prolog.splice(prolog[0]?.kind === 'text' ? 1 : 0, 0, { kind: 'pi', raw }, { kind: 'text', raw: '\n' });
  }

  /**
   * The `printing` element the engine uses; while it has no element yet (a new rule), the
   * element named printing where the engine looks, so that elements can be added to it.
   * @returns {RuleNode|null}
   */
  get printing() {
    const node = findPrinting(this.xml) ?? findPrinting(this.xml, true);
    if (!node) return null;
    let wrapper = this.printingWrappers.get(node);
    if (!wrapper) {
      wrapper = new RuleNode(node);
      this.printingWrappers.set(node, wrapper);
    }
    return wrapper;
  }

  /** Whether the engine finds the `printing` item (it needs at least one child element). */
  get engineFindsPrinting() {
    return findPrinting(this.xml) !== null;
  }

  /** A page setting, its name matched ignoring letter case; null when absent. */
  setting(/** @type {string} */ key) {
    return this.printing?.get(key) ?? null;
  }

  /** Sets a page setting (null removes it), keeping the spelling of an existing attribute. */
  setSetting(/** @type {string} */ key, /** @type {string|null} */ value) {
    const printing = this.printing;
    if (!printing) throw new Error('the rule has no printing element');
    printing.set(key, value);
  }

  /** @private */
  wrap(/** @type {XmlElement} */ node) {
    let wrapper = this.wrappers.get(node);
    if (!wrapper) {
      wrapper = new RuleElement(node);
      this.wrappers.set(node, wrapper);
    }
    return wrapper;
  }

  /** The drawn elements: the child items of `printing`, in document order. */
  elements() {
    const printing = this.printing;
    return printing ? childElements(printing.node).filter(isItem).map((n) => this.wrap(n)) : [];
  }

  /**
   * The children of `printing` the engine never draws because they have no child element of
   * their own (a line written as an empty tag, say), in document order. Setting one's text,
   * even to '', gives it a text child and so makes it an element the engine draws.
   */
  ignoredElements() {
    const printing = this.printing;
    return printing ? childElements(printing.node).filter((n) => !isItem(n)).map((n) => this.wrap(n)) : [];
  }

  /** The element of a uid, or null. */
  elementByUid(/** @type {string} */ uid) {
    return this.elements().find((e) => e.uid === uid) ?? null;
  }

  /**
   * Appends an element after the last one, with the siblings' indentation, its attributes in
   * the usual order of its kind, and a "text" child (which also makes it an item the engine
   * draws). A line or rectangle without colour gets clBlack (the engine stops the page at one
   * without), and a bound element without index gets index 0 (else it matches no row).
   * @param {import('./ElementKinds.js').ElementKind} kind
   * @param {Record<string, string>} attrs
   * @param {string} [text]
   */
  addElement(kind, attrs = {}, text = '') {
    if (!elementKinds.includes(kind)) throw new RangeError(t('refused.kind', { kind }));
    const printing = this.printing;
    if (!printing) throw new Error('the rule has no printing element');
    const given = { type: kind, ...attrs };
    const has = (/** @type {string} */ key) => Object.keys(given).some((k) => k.toLowerCase() === key);
    if ((kind === 'line' || kind === 'rectangle') && !has('color')) given.color = 'clBlack';
    // With indexed rows an element without index receives no field at all.
    if ((kind === 'field' || has('id')) && !has('index')) given.index = '0';
    const order = keyOrder[kind];
    const names = Object.keys(given).sort((a, b) => {
      const ia = order.indexOf(a);
      const ib = order.indexOf(b);
      return (ia === -1 ? order.length : ia) - (ib === -1 ? order.length : ib);
    });
    const badName = names.find((n) => !isXmlName(n));
    if (badName !== undefined) throw new RangeError(t('refused.attributeName', { name: badName }));
    const tag = tagNames[kind];
    const attributes = names.map((n) => ` ${n}="${escapeAttribute(String(given[n]))}"`).join('');
    const content = text === '' ? '<text/>' : `<text>${escapeText(String(text))}</text>`;
    const node = parseXml(`<${tag}${attributes}>${content}</${tag}>`).root;
    const last = this.elements().pop();
    insertChild(printing.node, last ? last.node : null, node);
    return this.wrap(node);
  }

  /** Takes an element out of the rule, with its line. */
  removeElement(/** @type {RuleElement} */ el) {
    removeChild(el.node);
  }

  /**
   * A copy of an element (all its attributes and children as written), placed right after it
   * (or after `after`) and moved by dx, dy rule pixels.
   * @param {RuleElement} el
   * @param {number} [dx]
   * @param {number} [dy]
   * @param {RuleElement} [after] the element to place the copy after, of the same parent
   */
  duplicateElement(el, dx = 0, dy = 0, after = el) {
    if (!Number.isFinite(dx) || !Number.isFinite(dy)) throw new RangeError(t('refused.shiftPx'));
    if (!el.node.parent) throw new Error('the element is no longer in the rule');
    if (after.node.parent !== el.node.parent) throw new Error('the copy must stand beside the element');
    const node = parseXml(serializeNode(el.node), { entities: this.xml.hasDoctype }).root;
    insertChild(el.node.parent, after.node, node);
    const copy = this.wrap(node);
    const b = copy.bounds();
    copy.setBounds({ left: b.left + dx, top: b.top + dy, right: b.right + dx, bottom: b.bottom + dy });
    return copy;
  }
}
