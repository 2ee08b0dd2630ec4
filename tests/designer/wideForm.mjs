// A new form that is not the sample: a 230 x 127 mm courier waybill scanned at 200 dpi, drawn
// by the browser and given its density, and an office queue whose paper is upright A4 (a
// private CUPS scheduler), on which the wide form does not fit unless it is turned.
import fs from 'node:fs';
import path from 'node:path';
import { startCups } from '../bridge/e2e/cups.mjs';
import { pngWithDensity } from '../../web/designer/app/pictureDensity.js';

export const formMm = { width: 230, height: 127 };
export const scanDpi = 200;
export const a4Queue = 'tavo-a4';

// An A4 printer of 300 dpi that prints to the paper's edges.
const a4Ppd = `*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "TAVOA4.PPD"
*Manufacturer: "Tavo"
*Product: "(Tavo A4 printer)"
*ModelName: "Tavo A4 printer"
*ShortNickName: "Tavo A4"
*NickName: "Tavo A4 printer"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: False
*DefaultColorSpace: Gray
*FileSystem: False
*Throughput: "1"
*TTRasterizer: Type42
*OpenUI *PageSize/Media Size: PickOne
*DefaultPageSize: A4
*PageSize A4/A4: "<</PageSize[595 842]>>setpagedevice"
*CloseUI: *PageSize
*OpenUI *PageRegion: PickOne
*DefaultPageRegion: A4
*PageRegion A4/A4: "<</PageSize[595 842]>>setpagedevice"
*CloseUI: *PageRegion
*DefaultImageableArea: A4
*ImageableArea A4/A4: "0 0 595.2756 841.8898"
*DefaultPaperDimension: A4
*PaperDimension A4/A4: "595.2756 841.8898"
*OpenUI *Resolution/Resolution: PickOne
*DefaultResolution: 300dpi
*Resolution 300dpi/300 dpi: "<</HWResolution[300 300]>>setpagedevice"
*CloseUI: *Resolution
`;

/** A private scheduler with the A4 queue; resolves to {socket, stop()}. */
export async function startA4Printer() {
  const cups = await startCups();
  const ppd = path.join(path.dirname(cups.socket), `${a4Queue}.ppd`);
  fs.writeFileSync(ppd, a4Ppd);
  const added = cups.run(['lpadmin', '-p', a4Queue, '-E', '-v', 'file:///dev/null', '-P', ppd]);
  if (added.status !== 0) {
    await cups.stop();
    throw new Error(`lpadmin: ${added.stdout}${added.stderr}`);
  }
  return cups;
}

/**
 * Writes the scan of the blank waybill (a frame 5 mm in, labels, a goods table of four rows
 * 9 mm apart from 62 mm down) into `folder`; answers its path.
 * @param {import('playwright-core').Page} page a browser page to draw it in
 */
export async function writeWideForm(page, folder) {
  const base64 = await page.evaluate(({ widthMm, heightMm, dpi }) => {
    const px = (mm) => Math.round((mm / 25.4) * dpi);
    const canvas = document.createElement('canvas');
    canvas.width = px(widthMm);
    canvas.height = px(heightMm);
    const g = canvas.getContext('2d');
    g.fillStyle = '#fbf8f0';
    g.fillRect(0, 0, canvas.width, canvas.height);
    g.strokeStyle = '#1d4f91';
    g.fillStyle = '#1d4f91';
    g.lineWidth = px(0.5);
    g.strokeRect(px(5), px(5), px(widthMm - 10), px(heightMm - 10));
    g.font = `bold ${px(6)}px sans-serif`;
    g.fillText('COURIER WAYBILL', px(10), px(15));
    g.font = `${px(3)}px sans-serif`;
    for (const [text, x, y] of [['Waybill no.', 120, 12], ['Sender', 10, 25], ['Receiver', 120, 25], ['Weight', 10, 35], ['Phone', 175, 35]]) g.fillText(text, px(x), px(y));
    for (let row = 0; row <= 4; row += 1) {
      g.beginPath();
      g.moveTo(px(10), px(60 + row * 9));
      g.lineTo(px(160), px(60 + row * 9));
      g.stroke();
    }
    g.fillText('Goods', px(10), px(58));
    return canvas.toDataURL('image/png').slice('data:image/png;base64,'.length);
  }, { widthMm: formMm.width, heightMm: formMm.height, dpi: scanDpi });
  const file = path.join(folder, `waybill-${scanDpi}dpi.png`);
  fs.writeFileSync(file, pngWithDensity(new Uint8Array(Buffer.from(base64, 'base64')), scanDpi));
  return file;
}
