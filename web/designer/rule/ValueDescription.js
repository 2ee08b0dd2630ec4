// What the engine makes of a value the user typed: whether it reads, what it means, and when
// it does not read, what the engine uses instead and how to write it.
import {
  alignmentNames, colourText, equalsIgnoringAsciiCase, isBlank, readBoolean, readInteger,
  readReal, textToAlign, textToColor,
} from './ValueSyntax.js';
import { t } from '../i18n/i18n.js';

/**
 * @typedef {import('./Keys.js').KeyInfo} KeyInfo
 * @typedef {{valid: boolean, effective: string, fallback: string|null, hint: string|null}} ValueDescription
 *   effective: what the engine uses; fallback: set when the value does not read, saying in
 *   words what the engine uses instead; hint: how to write it, or a note on a value that reads.
 */

/** Edits between two words, a swap of neighbours counting as one. */
function editDistance(/** @type {string} */ a, /** @type {string} */ b) {
  const d = Array.from({ length: a.length + 1 }, (_, i) => [i, ...Array(b.length).fill(0)]);
  for (let j = 1; j <= b.length; j += 1) d[0][j] = j;
  for (let i = 1; i <= a.length; i += 1) {
    for (let j = 1; j <= b.length; j += 1) {
      d[i][j] = Math.min(d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] === b[j - 1] ? 0 : 1));
      if (i > 1 && j > 1 && a[i - 1] === b[j - 2] && a[i - 2] === b[j - 1]) d[i][j] = Math.min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[a.length][b.length];
}

/** The name nearest to a misspelt word, or ''. */
export function closestName(/** @type {string} */ word, /** @type {ReadonlyArray<string>} */ names) {
  if (word.length > 64) return '';
  const lower = word.toLowerCase();
  let best = '';
  let bestDistance = Math.max(2, Math.floor(lower.length / 4)) + 1;
  for (const name of names) {
    const distance = editDistance(lower, name.toLowerCase());
    if (distance < bestDistance) {
      bestDistance = distance;
      best = name;
    }
  }
  return best;
}

function hintFor(/** @type {KeyInfo} */ info, /** @type {string} */ text) {
  const trimmed = text.trim();
  switch (info.type) {
    case 'integer': {
      const real = readReal(trimmed);
      return real !== null && Math.abs(real) <= 2147483647
        ? t('value.wholeNumberSuch', { value: Math.trunc(real) }) : t('value.wholeNumber');
    }
    case 'real':
      return t('value.real');
    case 'boolean':
      return t('value.boolean');
    case 'alignment': {
      const closest = closestName(trimmed, alignmentNames) || closestName(`ota${trimmed}`, alignmentNames);
      return closest ? t('value.didYouMean', { name: closest }) : t('value.alignment');
    }
    case 'colour':
    case 'strictColour': {
      const html = /^#([0-9a-f]{2})([0-9a-f]{2})([0-9a-f]{2})$/i.exec(trimmed);
      if (html) return t('value.htmlColour', { value: `$${html[3]}${html[2]}${html[1]}` });
      return t('value.colour');
    }
    default: {
      const closest = info.choices ? closestName(trimmed, info.choices) : '';
      return closest ? t('value.didYouMean', { name: closest }) : info.choices ? t('value.oneOf', { names: info.choices.join(', ') }) : null;
    }
  }
}

/** @returns {ValueDescription} */
function fallsBack(/** @type {KeyInfo} */ info, /** @type {string} */ text) {
  const what = text === '' ? t('value.empty') : t('value.quoted', { text });
  const fallback = info.type === 'strictColour'
    ? t('value.noColour', { what })
    : t('value.fallsBack', { what, fallback: info.defaultText });
  return { valid: false, effective: info.type === 'strictColour' ? t('default.none') : info.defaultText, fallback, hint: hintFor(info, text) };
}

/**
 * What the engine makes of a key's value.
 * @param {KeyInfo} info
 * @param {string|null} text the value as written; null when the key is absent
 * @returns {ValueDescription}
 */
export function describeValue(info, text) {
  if (text === null || text === undefined) {
    if (info.type === 'strictColour') {
      return { valid: false, effective: t('default.none'), fallback: t('value.absentColour'), hint: hintFor(info, '') };
    }
    return { valid: true, effective: info.defaultText, fallback: null, hint: null };
  }
  const ok = (/** @type {string} */ effective, hint = null) => ({ valid: true, effective, fallback: null, hint });
  switch (info.type) {
    case 'integer': {
      const value = readInteger(text);
      if (value === null) return fallsBack(info, text);
      if (info.min !== undefined && value < info.min) {
        return { valid: false, effective: String(value), fallback: t('value.belowMin', { value, min: info.min }), hint: t('value.atLeast', { min: info.min }) };
      }
      return ok(String(value));
    }
    case 'real': {
      const value = readReal(text);
      return value === null ? fallsBack(info, text) : ok(String(value));
    }
    case 'boolean': {
      const value = readBoolean(text);
      return value === null ? fallsBack(info, text) : ok(String(value));
    }
    case 'alignment': {
      const value = textToAlign(text);
      return value === 255 ? fallsBack(info, text) : ok(alignmentNames[value]);
    }
    case 'colour': {
      if (isBlank(text)) return fallsBack(info, text);
      const value = textToColor(text);
      return value === null ? fallsBack(info, text) : ok(colourText(value));
    }
    case 'strictColour': {
      const value = textToColor(text);
      return value === null ? fallsBack(info, text) : ok(colourText(value));
    }
    case 'font':
      return ok(text, text === '' || info.choices?.includes(text) ? null
        : t('value.unmappedFont'));
    default: {
      if (info.strictChoices && info.choices) {
        const known = info.choices.find((c) => equalsIgnoringAsciiCase(c, text));
        return known === undefined ? fallsBack(info, text) : ok(known);
      }
      if (info.name === 'index' && !/^(0|[1-9][0-9]*)$/.test(text)) {
        return ok(text, t('value.badIndex'));
      }
      return ok(text);
    }
  }
}
