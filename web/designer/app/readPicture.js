// A picture file the user chose, as a data URL for the screen and Base64 for the engine.

/**
 * @param {Blob} file
 * @returns {Promise<{dataUrl: string, base64: string}>}
 */
export function readPicture(file) {
  return new Promise((resolve, reject) => {
    const reader = new FileReader();
    reader.onload = () => {
      const dataUrl = String(reader.result);
      resolve({ dataUrl, base64: dataUrl.slice(dataUrl.indexOf(',') + 1) });
    };
    reader.onerror = () => reject(reader.error ?? new Error('The picture could not be read'));
    reader.readAsDataURL(file);
  });
}
