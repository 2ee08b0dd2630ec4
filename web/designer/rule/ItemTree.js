// How the engine sees an XML tree: which elements are items and which are properties, which
// element is the root item of a document, and where the `printing` item stands.

/**
 * @typedef {import('./XmlSource.js').XmlNode} XmlNode
 * @typedef {import('./XmlSource.js').XmlElement} XmlElement
 * @typedef {import('./XmlSource.js').XmlDocument} XmlDocument
 */
import { attributeValue, textContent } from './XmlSource.js';

/** Text, CDATA and comments never make an entry; elements and processing instructions do. */
export function isContent(/** @type {XmlNode} */ node) {
  return node.kind === 'element' || node.kind === 'pi';
}

/** An element is an item exactly when it has at least one content child. */
export function isItem(/** @type {XmlNode} */ node) {
  return node.kind === 'element' && node.children.some(isContent);
}

/** @param {XmlElement} element @returns {XmlElement[]} */
export function childElements(element) {
  return /** @type {XmlElement[]} */ (element.children.filter((c) => c.kind === 'element'));
}

/** The first child element of exactly that name. */
export function firstChild(/** @type {XmlElement} */ element, /** @type {string} */ name) {
  return childElements(element).find((c) => c.name === name) ?? null;
}

/** @param {XmlElement} element */
export function childItems(element) {
  return childElements(element).filter(isItem);
}

/** The attribute value by exact name, as the envelope's lookups read it; '' when absent. */
export function exactAttribute(/** @type {XmlElement} */ element, /** @type {string} */ name) {
  const attr = element.attrs.find((a) => a.name === name);
  return attr ? attributeValue(attr) : '';
}

/**
 * A leaf element as a property: its name (or the "name" of a "prop" element) and its value
 * (the "value" of a "prop" element when not empty, else its text).
 * @param {XmlElement} element
 */
export function propertyOf(element) {
  if (element.name === 'prop') {
    const name = exactAttribute(element, 'name');
    if (name !== '') {
      const value = exactAttribute(element, 'value');
      return { name, value: value !== '' ? value : textContent(element), element };
    }
  }
  return { name: element.name, value: textContent(element), element };
}

/** The properties of an item in document order. @param {XmlElement} element */
export function propertiesOf(element) {
  return childElements(element).filter((c) => !isItem(c)).map(propertyOf);
}

/**
 * The elements whose children make the root item: the body's "items" under a request and under
 * a response (the two merged), else the body itself; none without a body.
 * @param {XmlDocument} doc
 * @returns {XmlElement[]}
 */
export function rootItemElements(doc) {
  const body = firstChild(doc.root, 'body');
  if (!body) return [];
  const request = firstChild(body, 'request');
  const response = firstChild(body, 'response');
  if (!request && !response) return [body];
  return [request, response].map((part) => (part ? firstChild(part, 'items') : null)).filter(Boolean);
}

/** The root item's child items, in order. @param {XmlDocument} doc */
export function rootChildItems(doc) {
  return rootItemElements(doc).flatMap(childItems);
}

/**
 * The `printing` element: the first child item so named of the root item, else of the root's
 * first child item. With `evenEmpty`, an element named printing that has no child element yet
 * (so is no item) is taken at the same places, for a rule being built from nothing.
 * @param {XmlDocument} doc
 * @param {boolean} [evenEmpty]
 * @returns {XmlElement|null}
 */
export function findPrinting(doc, evenEmpty = false) {
  const accept = (/** @type {XmlElement} */ e) => e.name === 'printing' && (evenEmpty || isItem(e));
  const level = rootItemElements(doc).flatMap(childElements);
  const direct = level.find(accept);
  if (direct) return direct;
  const first = level.find(isItem);
  return first ? childElements(first).find(accept) ?? null : null;
}
