// A source-preserving XML reader: every byte of the text is kept in the node tree, so that
// writing an unchanged tree gives the text back exactly and an edit touches only its own span.
// It rejects what the engine's XML parser rejects that matters to a rule author (mismatched or
// unclosed tags, bad attributes, text outside the root) and works in one pass with an explicit
// stack, so hostile input cannot make it loop or recurse without bound.
import { RuleSyntaxError } from './RuleSyntaxError.js';
import { t } from '../i18n/i18n.js';

/** Texts above this many characters are refused: no form's rule comes near it. */
export const maxTextLength = 16 * 1024 * 1024;
/** The engine's XML parser refuses deeper nesting. */
export const maxDepth = 256;

/**
 * @typedef {{lead: string, name: string, eq: string, quote: string, raw: string}} XmlAttribute
 *   lead: the blanks before the name; eq: the text from the name to the quote ("=", maybe
 *   with blanks); raw: the value as written between the quotes, references undecoded.
 * @typedef {{kind: 'text'|'cdata'|'comment'|'pi'|'doctype', raw: string, parent?: XmlElement|null}} XmlLeaf
 * @typedef {{kind: 'element', name: string, attrs: XmlAttribute[], tail: string,
 *   selfClosing: boolean, children: XmlNode[], close: string, parent: XmlElement|null,
 *   offset: number}} XmlElement
 *   tail: the blanks before ">" or "/>"; close: the end tag as written ("" when self-closing).
 * @typedef {XmlLeaf|XmlElement} XmlNode
 * @typedef {{prolog: XmlNode[], root: XmlElement, epilog: XmlNode[], hasDoctype: boolean}} XmlDocument
 */

const nameStart =
  ':A-Z_a-z\\u00C0-\\u00D6\\u00D8-\\u00F6\\u00F8-\\u02FF\\u0370-\\u037D\\u037F-\\u1FFF' +
  '\\u200C-\\u200D\\u2070-\\u218F\\u2C00-\\u2FEF\\u3001-\\uD7FF\\uF900-\\uFDCF\\uFDF0-\\uFFFD' +
  '\\u{10000}-\\u{EFFFF}';
const nameChar = nameStart + '\\-.0-9\\u00B7\\u0300-\\u036F\\u203F-\\u2040';
const namePattern = new RegExp(`[${nameStart}][${nameChar}]*`, 'uy');
const wholeName = new RegExp(`^[${nameStart}][${nameChar}]*$`, 'u');
const blanks = /[ \t\r\n]*/y;
const reference = /&(?:#([0-9]+)|#x([0-9a-fA-F]+)|([^;&<\s]*));/y;
const eqPart = '[ \\t\\r\\n]*=[ \\t\\r\\n]*';
const declaration = new RegExp(
  `^<\\?xml[ \\t\\r\\n]+version${eqPart}(["'])1\\.[0-9]+\\1` +
    `(?:[ \\t\\r\\n]+encoding${eqPart}(["'])[A-Za-z][A-Za-z0-9._-]*\\2)?` +
    `(?:[ \\t\\r\\n]+standalone${eqPart}(["'])(?:yes|no)\\3)?[ \\t\\r\\n]*\\?>$`,
);
const forbiddenChar = /[\u0000-\u0008\u000B\u000C\u000E-\u001F\uFFFE\uFFFF]/;
const predefined = new Map([['lt', '<'], ['gt', '>'], ['amp', '&'], ['quot', '"'], ['apos', "'"]]);

/** @param {string} name */
export function isXmlName(name) {
  return wholeName.test(name);
}

/** @param {number} code */
function isXmlChar(code) {
  return (
    code === 0x9 || code === 0xa || code === 0xd || (code >= 0x20 && code <= 0xd7ff) ||
    (code >= 0xe000 && code <= 0xfffd) || (code >= 0x10000 && code <= 0x10ffff)
  );
}

/**
 * 1-based line and column of an offset.
 * @param {string} text
 * @param {number} offset
 */
export function positionOf(text, offset) {
  let line = 1;
  let lineStart = 0;
  for (let i = text.indexOf('\n'); i !== -1 && i < offset; i = text.indexOf('\n', i + 1)) {
    line += 1;
    lineStart = i + 1;
  }
  return { line, column: offset - lineStart + 1 };
}

class Reader {
  /** @param {string} text */
  constructor(text, entities) {
    this.text = text;
    this.at = 0;
    this.hasDoctype = entities;
  }

  /** @param {string} message @param {number} [offset] @returns {never} */
  fail(message, offset = this.at) {
    const { line, column } = positionOf(this.text, offset);
    throw new RuleSyntaxError(message, line, column);
  }

  /** @param {string} s */
  startsWith(s) {
    return this.text.startsWith(s, this.at);
  }

  readBlanks() {
    blanks.lastIndex = this.at;
    blanks.exec(this.text);
    const found = this.text.slice(this.at, blanks.lastIndex);
    this.at = blanks.lastIndex;
    return found;
  }

  readName(what) {
    namePattern.lastIndex = this.at;
    const match = namePattern.exec(this.text);
    if (!match) this.fail(t('syntax.expected', { what }));
    this.at = namePattern.lastIndex;
    return match[0];
  }

  /** Text up to the terminator, which is consumed; the whole construct is returned. */
  readThrough(terminator, what, start) {
    const end = this.text.indexOf(terminator, this.at);
    if (end === -1) this.fail(t('syntax.notClosed', { what }), start);
    this.at = end + terminator.length;
    return this.text.slice(start, this.at);
  }

  /** Checks the references in a span of character data or an attribute value. */
  checkReferences(from, to) {
    for (let amp = this.text.indexOf('&', from); amp !== -1 && amp < to;
      amp = this.text.indexOf('&', amp + 1)) {
      reference.lastIndex = amp;
      const match = reference.exec(this.text);
      if (!match || reference.lastIndex > to) this.fail(t('syntax.ampersand'), amp);
      if (match[1] !== undefined || match[2] !== undefined) {
        const code = match[1] !== undefined ? Number.parseInt(match[1], 10) : Number.parseInt(match[2], 16);
        if (!isXmlChar(code)) this.fail(t('syntax.charRef', { ref: match[0] }), amp);
      } else if (!isXmlName(match[3])) {
        this.fail(t('syntax.badRef', { ref: match[0] }), amp);
      } else if (!predefined.has(match[3]) && !this.hasDoctype) {
        this.fail(t('syntax.entity', { name: match[3] }), amp);
      }
    }
  }

  readComment() {
    const start = this.at;
    this.at += 4;
    const raw = this.readThrough('-->', t('syntax.what.comment'), start);
    const body = raw.slice(4, -3);
    if (body.includes('--') || body.endsWith('-')) this.fail(t('syntax.comment'), start);
    return { kind: 'comment', raw };
  }

  readPi() {
    const start = this.at;
    this.at += 2;
    const target = this.readName(t('syntax.what.piName'));
    if (target.toLowerCase() === 'xml') this.fail(t('syntax.declarationPlace'), start);
    if (!this.startsWith('?>') && this.readBlanks() === '') this.fail(t('syntax.afterTarget', { target }));
    return { kind: 'pi', raw: this.readThrough('?>', t('syntax.what.pi'), start) };
  }

  readDeclaration() {
    const start = this.at;
    const raw = this.readThrough('?>', t('syntax.what.declaration'), start);
    if (!declaration.test(raw)) {
      this.fail(t('syntax.declaration'), start);
    }
    return { kind: 'pi', raw };
  }

  readDoctype() {
    const start = this.at;
    this.at += 9;
    // Up to the ">" that ends it, skipping quoted literals and the internal subset.
    let depth = 0;
    while (this.at < this.text.length) {
      const c = this.text[this.at];
      if (c === '"' || c === "'") {
        const end = this.text.indexOf(c, this.at + 1);
        if (end === -1) break;
        this.at = end + 1;
        continue;
      }
      this.at += 1;
      if (c === '[') depth += 1;
      else if (c === ']') depth -= 1;
      else if (c === '>' && depth <= 0) {
        this.hasDoctype = true;
        return { kind: 'doctype', raw: this.text.slice(start, this.at) };
      }
    }
    return this.fail(t('syntax.doctypeOpen'), start);
  }

  /** A start tag; the caller reads the content of an element that is not self-closing. */
  readStartTag(parent) {
    const offset = this.at;
    this.at += 1;
    const name = this.readName(t('syntax.what.elementName'));
    /** @type {XmlAttribute[]} */
    const attrs = [];
    const seen = new Set();
    for (;;) {
      const lead = this.readBlanks();
      if (this.at >= this.text.length) this.fail(t('syntax.startTag', { name }), offset);
      if (this.startsWith('>') || this.startsWith('/>')) {
        const selfClosing = this.startsWith('/>');
        this.at += selfClosing ? 2 : 1;
        return { kind: 'element', name, attrs, tail: lead, selfClosing, children: [], close: '', parent, offset };
      }
      if (lead === '') this.fail(t('syntax.attributeBlanks', { name }));
      const nameAt = this.at;
      const attrName = this.readName(t('syntax.what.attributeName', { name }));
      if (seen.has(attrName)) this.fail(t('syntax.attributeTwice', { name: attrName }), nameAt);
      seen.add(attrName);
      const eqStart = this.at;
      this.readBlanks();
      if (!this.startsWith('=')) this.fail(t('syntax.equals', { name: attrName }));
      this.at += 1;
      this.readBlanks();
      const eq = this.text.slice(eqStart, this.at);
      const quote = this.text[this.at];
      if (quote !== '"' && quote !== "'") this.fail(t('syntax.quoted', { name: attrName }));
      const valueStart = this.at + 1;
      const valueEnd = this.text.indexOf(quote, valueStart);
      if (valueEnd === -1) this.fail(t('syntax.valueOpen', { name: attrName }), this.at);
      const lt = this.text.slice(valueStart, valueEnd).indexOf('<');
      if (lt !== -1) this.fail(t('syntax.lessThan', { name: attrName }), valueStart + lt);
      this.checkReferences(valueStart, valueEnd);
      attrs.push({ lead, name: attrName, eq, quote, raw: this.text.slice(valueStart, valueEnd) });
      this.at = valueEnd + 1;
    }
  }

  readText() {
    const start = this.at;
    let end = this.text.indexOf('<', start);
    if (end === -1) end = this.text.length;
    this.at = end;
    const raw = this.text.slice(start, end);
    const cdataEnd = raw.indexOf(']]>');
    if (cdataEnd !== -1) this.fail(t('syntax.cdataEnd'), start + cdataEnd);
    this.checkReferences(start, end);
    return { kind: 'text', raw };
  }

  /** The root element and everything inside it. */
  readRoot() {
    const root = this.readStartTag(null);
    if (root.selfClosing) return root;
    const open = [root];
    while (open.length > 0) {
      const current = open[open.length - 1];
      if (this.at >= this.text.length) this.fail(t('syntax.elementOpen', { name: current.name }), current.offset);
      /** @type {XmlNode} */
      let node;
      if (this.startsWith('</')) {
        const closeStart = this.at;
        this.at += 2;
        const name = this.readName(t('syntax.what.elementName'));
        this.readBlanks();
        if (!this.startsWith('>')) this.fail(t('syntax.endTagOpen', { name }), closeStart);
        this.at += 1;
        if (name !== current.name) {
          const opened = positionOf(this.text, current.offset);
          this.fail(t('syntax.endTagMismatch', { name, open: current.name, line: opened.line }), closeStart);
        }
        current.close = this.text.slice(closeStart, this.at);
        open.pop();
        continue;
      } else if (this.startsWith('<!--')) {
        node = this.readComment();
      } else if (this.startsWith('<![CDATA[')) {
        const start = this.at;
        this.at += 9;
        node = { kind: 'cdata', raw: this.readThrough(']]>', t('syntax.what.cdata'), start) };
      } else if (this.startsWith('<?')) {
        node = this.readPi();
      } else if (this.startsWith('<!')) {
        this.fail(t('syntax.bang'));
      } else if (this.startsWith('<')) {
        if (open.length >= maxDepth) this.fail(t('syntax.depth', { depth: maxDepth }));
        node = this.readStartTag(current);
        if (!node.selfClosing) open.push(node);
      } else {
        node = this.readText();
      }
      node.parent = current;
      current.children.push(node);
    }
    return root;
  }

  /** @returns {XmlDocument} */
  readDocument() {
    const text = this.text;
    /** @type {XmlNode[]} */
    const prolog = [];
    // The engine trims blanks and control characters before parsing; a byte-order mark stays.
    let lead = 0;
    while (lead < text.length && text.charCodeAt(lead) <= 0x20) lead += 1;
    if (text[lead] === '\uFEFF') lead += 1;
    if (lead > 0) prolog.push({ kind: 'text', raw: text.slice(0, lead) });
    this.at = lead;
    if (this.startsWith('<?xml') && /[ \t\r\n]/.test(text[this.at + 5] ?? '')) prolog.push(this.readDeclaration());
    /** @type {XmlElement|null} */
    let root = null;
    /** @type {XmlNode[]} */
    const epilog = [];
    while (this.at < text.length) {
      const list = root ? epilog : prolog;
      const space = this.readBlanks();
      if (space) {
        list.push({ kind: 'text', raw: space });
        continue;
      }
      if (this.startsWith('<!--')) list.push(this.readComment());
      else if (this.startsWith('<?')) list.push(this.readPi());
      else if (this.startsWith('<!DOCTYPE')) {
        if (root || this.hasDoctype) this.fail(t('syntax.doctypeOnce'));
        list.push(this.readDoctype());
      } else if (this.startsWith('<') && !this.startsWith('</') && !this.startsWith('<!')) {
        if (root) this.fail(t('syntax.oneRoot'));
        root = this.readRoot();
      } else {
        this.fail(t(root ? 'syntax.textAfter' : 'syntax.textBefore'));
      }
    }
    if (!root) this.fail(t(text.trim() === '' ? 'syntax.empty' : 'syntax.noRoot'), text.length);
    return { prolog, root, epilog, hasDoctype: this.hasDoctype };
  }
}

/**
 * Reads an XML text into a tree that keeps all of it.
 * @param {string} text
 * @param {{entities?: boolean}} [options] entities: accept references to entities other
 *   than the predefined five, as a document type declaration may define them
 * @returns {XmlDocument}
 * @throws {RuleSyntaxError}
 */
export function parseXml(text, options = {}) {
  if (typeof text !== 'string') throw new TypeError('the rule text must be a string');
  if (text.length > maxTextLength) {
    throw new RuleSyntaxError(t('syntax.tooLarge', { size: maxTextLength / 1024 / 1024 }), 1, 1);
  }
  const bad = forbiddenChar.exec(text);
  if (bad) {
    const { line, column } = positionOf(text, bad.index);
    throw new RuleSyntaxError(t('syntax.character', { code: bad[0].charCodeAt(0).toString(16).toUpperCase().padStart(4, '0') }), line, column);
  }
  return new Reader(text, options.entities === true).readDocument();
}

/**
 * The text of one node as it stands.
 * @param {XmlNode} node
 * @returns {string}
 */
export function serializeNode(node) {
  if (node.kind !== 'element') return node.raw;
  let out = '<' + node.name;
  for (const a of node.attrs) out += a.lead + a.name + a.eq + a.quote + a.raw + a.quote;
  out += node.tail;
  if (node.selfClosing) return out + '/>';
  out += '>';
  for (const child of node.children) out += serializeNode(child);
  return out + node.close;
}

/** @param {XmlDocument} doc */
export function serializeDocument(doc) {
  return [...doc.prolog, doc.root, ...doc.epilog].map(serializeNode).join('');
}

/**
 * Decodes the references of character data or an attribute value; unknown entities (possible
 * only with a document type declaration) stay as written.
 * @param {string} raw
 */
export function decodeReferences(raw) {
  if (!raw.includes('&')) return raw;
  return raw.replace(/&(?:#([0-9]+)|#x([0-9a-fA-F]+)|([^;&<\s]*));/g, (whole, dec, hex, name) => {
    if (dec !== undefined) return String.fromCodePoint(Number.parseInt(dec, 10));
    if (hex !== undefined) return String.fromCodePoint(Number.parseInt(hex, 16));
    return predefined.get(name) ?? whole;
  });
}

/**
 * An attribute's value as an XML parser reports it: line ends and blanks normalised, then
 * references decoded.
 * @param {XmlAttribute} attr
 */
export function attributeValue(attr) {
  return decodeReferences(attr.raw.replace(/\r\n?|[\t\n]/g, ' '));
}

/**
 * The character data of a node and all its descendants (the DOM's text), line ends normalised.
 * @param {XmlNode} node
 * @returns {string}
 */
export function textContent(node) {
  switch (node.kind) {
    case 'text':
      return decodeReferences(node.raw.replace(/\r\n?/g, '\n'));
    case 'cdata':
      return node.raw.slice(9, -3).replace(/\r\n?/g, '\n');
    case 'element':
      return node.children.map(textContent).join('');
    default:
      return '';
  }
}

/**
 * Refuses a value that XML cannot hold (control characters other than tab and line ends, not
 * even as references), so that a saved rule always reads back.
 * @param {string} value
 */
export function checkWritable(value) {
  const bad = forbiddenChar.exec(value);
  if (bad) throw new RangeError(t('refused.character', { code: bad[0].charCodeAt(0).toString(16).toUpperCase().padStart(4, '0') }));
  return value;
}

/**
 * Escapes a value for an attribute written with the given quote; tabs and line ends become
 * references so that they survive the parser's normalisation.
 * @param {string} value
 * @param {string} quote
 */
export function escapeAttribute(value, quote = '"') {
  let out = checkWritable(value).replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;');
  out = quote === "'" ? out.replace(/'/g, '&apos;') : out.replace(/"/g, '&quot;');
  return out.replace(/\t/g, '&#9;').replace(/\n/g, '&#10;').replace(/\r/g, '&#13;');
}

/** @param {string} value */
export function escapeText(value) {
  return checkWritable(value).replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;').replace(/\r/g, '&#13;');
}
