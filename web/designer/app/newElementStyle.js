// The font and size new text labels and data fields start with, as the user last chose them:
// remembered by the browser for the designer's address (its local storage), not in any rule.

const storageKey = 'tavo-designer:new-element-style';
/** The keys the style holds. */
export const styleKeys = Object.freeze(['fontName', 'fontSize']);

/** @returns {Record<string, string>} the remembered keys; none when nothing was chosen */
export function newElementStyle() {
  try {
    const stored = JSON.parse(globalThis.localStorage?.getItem(storageKey) ?? '{}');
    return Object.fromEntries(styleKeys.filter((k) => typeof stored?.[k] === 'string' && stored[k] !== '')
      .map((k) => [k, stored[k]]));
  } catch {
    return {};
  }
}

/**
 * Remembers one key of the style; null or '' forgets it.
 * @param {string} key one of styleKeys
 * @param {string|null} value
 */
export function rememberStyle(key, value) {
  const style = newElementStyle();
  if (value === null || value === '') delete style[key];
  else style[key] = value;
  try {
    globalThis.localStorage?.setItem(storageKey, JSON.stringify(style));
  } catch {
    // A browser that keeps nothing for this page: the style lasts as long as the page.
  }
}
