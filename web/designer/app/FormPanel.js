// The form picture: its size and density, and what the preview dialog will make of it. The
// designer draws the scan at the page's size whatever its density; the preview dialog draws a
// picture's pixels as screen pixels (96 dpi), so a scan of another density shows the form at
// another size. "Make the dialog's picture" writes a copy at 96 dpi of the page's size into the
// page's folder, which the dialog then shows at the right size.
import { inWords } from './Connection.js';
import { pageGeometry } from './pageGeometry.js';
import { densityOf, pngWithDensity, screenDpi } from './pictureDensity.js';
import { saveBytesToFolder, whereWritten } from './saving.js';
import { formatNumber, phrase, t } from '../i18n/i18n.js';

/** @typedef {import('./DesignerState.js').DesignerState} DesignerState */
/** @typedef {import('./Connection.js').Connection} Connection */

/** A picture whose dialog size is off the page's by more than this share is told about. */
const TOLERANCE = 0.01;

const mm = (value) => formatNumber(value, 1);

/**
 * What the preview dialog shows of a picture of so many pixels for a page, in millimetres.
 * @param {{width: number, height: number}} pixels
 * @param {{widthMm: number, heightMm: number}} page
 */
export function dialogSize(pixels, page) {
  const widthMm = (pixels.width / screenDpi) * 25.4;
  const heightMm = (pixels.height / screenDpi) * 25.4;
  const scale = widthMm / page.widthMm;
  const fits = Math.abs(scale - 1) <= TOLERANCE && Math.abs(heightMm / page.heightMm - 1) <= TOLERANCE;
  return { widthMm, heightMm, scale, fits };
}

export class FormPanel {
  /**
   * @param {DesignerState} state @param {Connection} connection @param {HTMLElement} root
   * @param {import('./StatusLine.js').StatusLine} status
   */
  constructor(state, connection, root, status) {
    this.state = state;
    this.connection = connection;
    this.root = root;
    this.status = status;
    /** @type {{width: number, height: number}|null} the picture's pixels */
    this.pixels = null;
    /** resolves once the panel shows the picture last chosen */
    this.ready = Promise.resolve();
    state.addEventListener('picture', () => { this.ready = this.#measure(); });
    state.addEventListener('change', (e) => { if (!e.detail.live) this.render(); });
    this.render();
  }

  async #measure() {
    const picture = this.state.picture;
    this.pixels = null;
    if (picture) {
      const img = new Image();
      img.src = picture.dataUrl;
      await img.decode().catch(() => {});
      this.image = img;
      this.pixels = { width: img.naturalWidth, height: img.naturalHeight };
    }
    this.render();
  }

  /** The words of what the dialog will show, for the status line too; '' without a picture. */
  summary() {
    const picture = this.state.picture;
    if (!picture || !this.pixels) return '';
    const page = pageGeometry(this.state.doc);
    const density = picture.bytes ? densityOf(picture.bytes) : null;
    const dpi = density ? t('form.dpi', { dpi: formatNumber(Math.round(density.dpiX), 0) }) : t('form.noDpi');
    const shown = dialogSize(this.pixels, page);
    const intro = t('form.intro', { width: this.pixels.width, height: this.pixels.height, dpi });
    if (shown.fits) return t('form.fits', { intro });
    return t('form.scaled', {
      intro, width: mm(shown.widthMm), height: mm(shown.heightMm), scale: formatNumber(shown.scale, 2, 2),
      pageWidth: mm(page.widthMm), pageHeight: mm(page.heightMm),
    });
  }

  render() {
    const picture = this.state.picture;
    const note = Object.assign(document.createElement('p'), { className: 'note', id: 'form-summary' });
    if (!picture) {
      note.textContent = t('form.none');
      this.root.replaceChildren(note);
      return;
    }
    note.textContent = this.summary();
    const parts = [note];
    const page = pageGeometry(this.state.doc);
    if (this.pixels && !dialogSize(this.pixels, page).fits) {
      const row = document.createElement('div');
      row.className = 'row';
      const label = Object.assign(document.createElement('label'), { htmlFor: 'dialog-picture-name', textContent: t('folder.fileName') });
      const base = (picture.name ?? 'form').replace(/\.[^.]*$/, '');
      const name = Object.assign(document.createElement('input'), { id: 'dialog-picture-name', type: 'text', value: `${base}-96dpi.png` });
      const make = Object.assign(document.createElement('button'), { type: 'button', id: 'make-dialog-picture', textContent: t('form.make') });
      make.addEventListener('click', () => this.#make(name.value.trim()));
      row.append(label, name, make);
      parts.push(row);
    }
    if (this.state.dialogPicture) {
      parts.push(Object.assign(document.createElement('p'), {
        className: 'note',
        textContent: t('form.dialogShows', { name: this.state.dialogPicture.name }),
      }));
    }
    this.root.replaceChildren(...parts);
  }

  // The picture redrawn at the page's size in screen pixels, saying 96 dpi.
  async #make(fileName) {
    try {
      const page = pageGeometry(this.state.doc);
      const canvas = document.createElement('canvas');
      canvas.width = Math.round((page.widthMm / 25.4) * screenDpi);
      canvas.height = Math.round((page.heightMm / 25.4) * screenDpi);
      const context = canvas.getContext('2d');
      context.imageSmoothingQuality = 'high';
      context.drawImage(this.image, 0, 0, canvas.width, canvas.height);
      const blob = await new Promise((resolve) => canvas.toBlob(resolve, 'image/png'));
      const bytes = pngWithDensity(new Uint8Array(await blob.arrayBuffer()), screenDpi);
      let binary = '';
      for (let i = 0; i < bytes.length; i += 0x8000) binary += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
      const base64 = btoa(binary);
      await saveBytesToFolder(this.connection.get(), fileName, base64);
      this.state.setDialogPicture({ name: fileName, base64 });
      this.status.say(phrase('form.wrote', { where: whereWritten(fileName), width: canvas.width, height: canvas.height }));
    } catch (error) {
      this.connection.noteFailure(error);
      this.status.say(phrase('save.notWritten', { name: fileName, error: inWords(error) }));
    }
  }
}
