// Saving the rule: as a download, and into the page's own folder through the bridge.
import { t } from '../i18n/i18n.js';

/** @typedef {import('../../../clients/js/tavo.d.ts').TavoControl} TavoControl */

/** Offers the text as a file download. */
export function saveDownload(text, fileName) {
  const url = URL.createObjectURL(new Blob([text], { type: 'application/xml' }));
  const link = Object.assign(document.createElement('a'), { href: url, download: fileName });
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
}

/**
 * The name of the page's folder among the bridge's files: its origin as scheme_host_port, bytes
 * other than letters, digits, "." and "-" percent-encoded, as the bridge names it.
 * @param {string} origin such as "http://127.0.0.1:17370"
 */
export function pageFolderName(origin) {
  const url = new URL(origin);
  const scheme = url.protocol.replace(/:$/, '');
  const port = url.port || ({ http: '80', https: '443' })[scheme] || '';
  const encode = (text) => Array.from(new TextEncoder().encode(text), (b) => {
    const c = String.fromCharCode(b);
    return /[A-Za-z0-9.-]/.test(c) ? c : `%${b.toString(16).toUpperCase().padStart(2, '0')}`;
  }).join('');
  return [scheme, url.hostname, port].map(encode).join('_');
}

/** Where a file written into the page's folder is, in words for the status line. */
export function whereWritten(fileName, origin = globalThis.location?.origin ?? '') {
  const folder = origin ? `${pageFolderName(origin)}/` : '';
  return t('save.where', { name: fileName, folder });
}

/**
 * Writes the text into a file of the page's folder (the bridge keeps it inside that folder).
 * @param {TavoControl} control
 */
export async function saveToFolder(control, fileName, text) {
  if (!fileName) throw new Error(t('save.noName'));
  // @ts-ignore writeFile is the client's newest method; older clients reach it by name.
  if (typeof control.writeFile === 'function') return control.writeFile(fileName, text);
  return control.call('tavo.writeFile', [fileName, text]);
}

/**
 * Writes bytes (Base64 text) into a file of the page's folder.
 * @param {TavoControl} control
 */
export async function saveBytesToFolder(control, fileName, base64) {
  if (!fileName) throw new Error(t('save.noName'));
  // @ts-ignore writeBinaryFile is the client's newest method; older clients reach it by name.
  if (typeof control.writeBinaryFile === 'function') return control.writeBinaryFile(fileName, base64);
  return control.call('tavo.writeBinaryFile', [fileName, base64]);
}
