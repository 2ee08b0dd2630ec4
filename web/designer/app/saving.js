// Saving the rule: as a download, and into the page's own folder through the bridge.

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
 * Writes the text into a file of the page's folder (the bridge keeps it inside that folder).
 * @param {TavoControl} control
 */
export async function saveToFolder(control, fileName, text) {
  if (!fileName) throw new Error('Give the file a name');
  // @ts-ignore writeFile is the client's newest method; older clients reach it by name.
  if (typeof control.writeFile === 'function') return control.writeFile(fileName, text);
  return control.call('tavo.writeFile', [fileName, text]);
}
