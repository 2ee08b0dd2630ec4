// The designer's words in the user's language: a catalog per language (English, simplified
// Chinese), looked up by key with {name} placeholders. The language is the one the user chose
// on the page (remembered by the browser), else the browser's first language we have, else
// English. Outside a page (the model's tests in Node) the words are English until set.
import en from './en.js';
import zhCN from './zh-CN.js';

/** @typedef {'en'|'zh-CN'} Language */

/** The catalogs, by language tag. */
export const catalogs = Object.freeze({ en, 'zh-CN': zhCN });
/** The languages the page offers, each named in itself. */
export const languageNames = Object.freeze({ en: 'English', 'zh-CN': '中文' });

const storageKey = 'tavo-designer:language';
const events = new EventTarget();

/**
 * The catalog's language for a browser's list of languages: any Chinese reads zh-CN (the only
 * Chinese we have), anything else English.
 * @param {ReadonlyArray<string>} tags
 * @returns {Language}
 */
export function languageFor(tags) {
  for (const tag of tags) {
    const lower = String(tag).toLowerCase();
    if (lower === 'zh' || lower.startsWith('zh-')) return 'zh-CN';
    if (lower === 'en' || lower.startsWith('en-')) return 'en';
  }
  return 'en';
}

function initialLanguage() {
  if (typeof document === 'undefined') return 'en';
  try {
    const stored = globalThis.localStorage?.getItem(storageKey);
    if (stored && stored in catalogs) return /** @type {Language} */ (stored);
  } catch {
    // A browser that keeps nothing for this page: follow its languages.
  }
  const nav = globalThis.navigator;
  return languageFor(nav?.languages?.length ? nav.languages : [nav?.language ?? 'en']);
}

/** @type {Language} */
let current = initialLanguage();

/** @returns {Language} the language the words are in now */
export function language() {
  return current;
}

/**
 * Changes the language and remembers the choice; listeners of onLanguageChange redraw.
 * @param {string} lang a key of catalogs; any other is refused
 */
export function setLanguage(lang) {
  if (!(lang in catalogs)) throw new RangeError(`no catalog for language "${lang}"`);
  try {
    globalThis.localStorage?.setItem(storageKey, lang);
  } catch {
    // Not remembered: the choice lasts as long as the page.
  }
  if (lang === current) return;
  current = /** @type {Language} */ (lang);
  events.dispatchEvent(new Event('change'));
}

/** @param {() => void} listener called after each change of language */
export function onLanguageChange(listener) {
  events.addEventListener('change', listener);
}

/**
 * The text of a key in the current language (English when the catalog lacks it, the key
 * itself when no catalog has it), its {name} placeholders filled from values.
 * @param {string} key
 * @param {Record<string, unknown>} [values]
 * @returns {string}
 */
export function t(key, values = {}) {
  const text = catalogs[current][key] ?? en[key] ?? key;
  return text.replace(/\{(\w+)\}/g, (whole, name) => (name in values ? String(values[name]) : whole));
}

/**
 * A text to be shown that follows the language: each use as a string looks it up anew, so a
 * view keeping it redraws it in the language of the moment.
 * @param {string} key
 * @param {Record<string, unknown>} [values] may hold phrases themselves
 */
export function phrase(key, values = {}) {
  return { key, values, toString: () => t(key, values) };
}

/**
 * A number as the language writes it, without grouping (pixel counts are read as they are
 * typed).
 * @param {number} value
 * @param {number} [fractionDigits] at most so many decimals
 * @param {number} [leastDigits] at least so many decimals
 */
export function formatNumber(value, fractionDigits = 2, leastDigits = 0) {
  return new Intl.NumberFormat(current, {
    maximumFractionDigits: fractionDigits, minimumFractionDigits: leastDigits, useGrouping: false,
  }).format(value);
}
