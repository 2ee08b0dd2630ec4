// A picture file the user chose, as a data URL for the screen, Base64 for the engine, and its
// bytes and file name for what the designer says of it.
import { t } from '../i18n/i18n.js';

/**
 * @param {File|Blob} file
 * @returns {Promise<{dataUrl: string, base64: string, bytes: Uint8Array, name: string}>}
 */
export function readPicture(file) {
  return new Promise((resolve, reject) => {
    const reader = new FileReader();
    reader.onload = () => {
      const dataUrl = String(reader.result);
      const base64 = dataUrl.slice(dataUrl.indexOf(',') + 1);
      const bytes = Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
      resolve({ dataUrl, base64, bytes, name: 'name' in file ? file.name : '' });
    };
    reader.onerror = () => reject(reader.error ?? new Error(t('picture.unreadable')));
    reader.readAsDataURL(file);
  });
}
