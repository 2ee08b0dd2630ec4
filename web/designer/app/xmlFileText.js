// XML files as the control reads them: a byte-order mark, else the encoding the XML declaration
// names (GBK and GB2312 included, as many rule files are), else UTF-8. The page can only write
// UTF-8, so a file saved from it declares UTF-8.
import { t } from '../i18n/i18n.js';

const DECLARED = /^(<\?xml\b[^>]*?\bencoding\s*=\s*)(["'])([A-Za-z0-9._:-]+)\2/;

/**
 * The text of an XML file's bytes, and the encoding it was read in.
 * @param {ArrayBuffer} bytes
 * @returns {{text: string, encoding: string}}
 */
export function decodeXmlFile(bytes) {
  const head = new Uint8Array(bytes, 0, Math.min(bytes.byteLength, 4));
  if (head[0] === 0xef && head[1] === 0xbb && head[2] === 0xbf) return read(bytes, 'utf-8');
  if (head[0] === 0xff && head[1] === 0xfe) return read(bytes, 'utf-16le');
  if (head[0] === 0xfe && head[1] === 0xff) return read(bytes, 'utf-16be');
  // The declaration is ASCII in every encoding a rule file may have.
  const start = String.fromCharCode(...new Uint8Array(bytes, 0, Math.min(bytes.byteLength, 200)));
  const declared = DECLARED.exec(start)?.[3];
  if (declared) {
    try {
      return read(bytes, declared);
    } catch {
      throw new Error(t('xml.badEncoding', { encoding: declared }));
    }
  }
  return read(bytes, 'utf-8');
}

/** @param {ArrayBuffer} bytes @param {string} label */
function read(bytes, label) {
  const decoder = new TextDecoder(label);
  return { text: decoder.decode(bytes), encoding: decoder.encoding };
}

/**
 * The text as the page saves it, in UTF-8: a declaration naming another encoding is changed to
 * name UTF-8, so that no reader decodes the saved bytes as what they no longer are.
 * @param {string} text
 * @returns {string}
 */
export function textToSave(text) {
  return text.replace(DECLARED, (whole, before, quote, name) =>
    /^utf-?8$/i.test(name) ? whole : `${before}${quote}UTF-8${quote}`);
}
