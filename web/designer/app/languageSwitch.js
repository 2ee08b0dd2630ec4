// The page's own texts in the chosen language: the elements of index.html that name a catalog
// key (data-i18n for the text, data-i18n-title, -aria-label, -placeholder, -alt for those
// attributes), the page's lang and title, and the English / 中文 switch that changes them.
import { language, onLanguageChange, setLanguage, t } from '../i18n/i18n.js';

const attributes = ['title', 'aria-label', 'placeholder', 'alt'];

/** Writes the static texts of the page in the current language. */
export function translatePage(root = document) {
  document.documentElement.lang = language();
  for (const el of root.querySelectorAll('[data-i18n]')) el.textContent = t(el.dataset.i18n);
  for (const name of attributes) {
    for (const el of root.querySelectorAll(`[data-i18n-${name}]`)) el.setAttribute(name, t(el.getAttribute(`data-i18n-${name}`)));
  }
  for (const b of root.querySelectorAll('[data-language]')) b.setAttribute('aria-pressed', String(b.dataset.language === language()));
}

/** Wires the switch's buttons and translates the page now and after each change. */
export function languageSwitch(root = document) {
  for (const b of root.querySelectorAll('[data-language]')) {
    b.addEventListener('click', () => setLanguage(/** @type {HTMLElement} */ (b).dataset.language));
  }
  onLanguageChange(() => translatePage(root));
  translatePage(root);
}
