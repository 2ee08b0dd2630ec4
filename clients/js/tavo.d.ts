// Types of the print control's JavaScript client (tavo.js).

/** A failed call: the control's failure status and description, or a protocol error. */
export class TavoError extends Error {
  constructor(code: number, message: string, hresult?: string);
  /** The HRESULT as a signed 32-bit number, e.g. -2147418113; JSON-RPC codes are -32700..-32000. */
  readonly code: number;
  /** The HRESULT as text, e.g. "0x8000FFFF". */
  readonly hresult: string;
}

/** A connection that could not be made: its cause, and the command that mends it. */
export class TavoConnectError extends Error {
  constructor(reason: TavoConnectError['reason'], message: string, fix: string);
  /**
   * browser-permission: the browser keeps this site from reaching this device (its permission
   * "loopback-network" is denied); origin-not-allowed: the bridge runs but does not let this site
   * connect; no-bridge: no bridge is running; timeout: no answer in time, as when the browser holds
   * the connection until someone answers its question about this device.
   */
  readonly reason: 'browser-permission' | 'origin-not-allowed' | 'no-bridge' | 'timeout';
  /** The command that mends it, e.g. "tavoprint site allow https://erp.example.com --machine". */
  readonly fix: string;
}

export interface ConnectOptions {
  /** The bridge's WebSocket address; default: the bridge that served tavo.js, else ws://127.0.0.1:17370/automation. */
  url?: string;
  /** The bridge's port on 127.0.0.1, when url is not given. */
  port?: number;
  /** Milliseconds until a connection that is neither made nor refused fails; default 30000. */
  timeout?: number;
  /** The language of the client's own messages from now on, as setLanguage takes it. */
  language?: string | null;
}

/**
 * Sets the language of the client's own messages (TavoConnectError's message, the closed
 * connection's): "zh-CN" for any "zh…" tag, else "en"; null follows navigator.languages again
 * (the default). reason, code, hresult and fix do not change with it, nor the control's messages.
 */
export function setLanguage(tag: string | null): void;

/** The language the client's messages are in now. */
export function language(): 'en' | 'zh-CN';

/** A preview or print page as a picture. */
export interface PagePicture {
  /** PNG in Base64. */
  png: string;
  width: number;
  height: number;
  /** The pages the record takes when its rows continue on further sheets; the picture is the first. */
  pages: number;
}

/** A run of records printed as one job. */
export interface BatchPrint {
  /** The job was begun, its pages composed and delivered. */
  printed: boolean;
  pages: number;
  /** CUPS's job id; null for the PDF printer. */
  job: number | null;
  /** The records left out, numbered from 1, each with why. */
  failed: { record: number; message: string }[];
  /** Why nothing, or not everything, printed; "" when all did. */
  message: string;
}

export interface LastPrint {
  printed: boolean;
  printer: string;
  title: string;
  job: number | null;
  message: string;
}

export interface JobState {
  job: number;
  state: 'pending' | 'held' | 'processing' | 'stopped' | 'canceled' | 'aborted' | 'completed';
  reasons: string[];
  message: string;
}

export interface RuleFinding {
  severity: string;
  line: number;
  path: string;
  key: string;
  message: string;
  hint?: string;
}

/** The control of one page; every call answers a Promise. */
export interface TavoControl {
  fprintText(X: number, Y: number, sFont: string, fontSize: number, txt: string): Promise<null>;
  fprintImg(X1: number, Y1: number, X2: number, Y2: number, IMG: string): Promise<null>;
  /** Downloads an http or https address into a file of the page's own folder. */
  downloadImg(sourceImg: string, desImg: string): Promise<null>;
  fprintStart(title: string): Promise<null>;
  fprintEnd(title: string): Promise<null>;
  PrintXmlData(XmlData: string, XmlRule: string): Promise<null>;
  PreviewXmlData(XmlData: string, XmlRule: string, ImagePath: string): Promise<null>;
  GetVer(filepath: string): Promise<string>;
  GetOcxVersion(version: string): Promise<number>;
  /** A CUPS printer name, or "pdf:FILE" with FILE in the page's own folder. */
  SetDefaultPrinter(DefaultPrt: string): Promise<boolean>;
  GetDefaultPrinter(): Promise<string>;
  GetPrinterList(): Promise<string>;
  IFOcxGuid(ARegGuid: string): Promise<boolean>;

  renderPreview(XmlData: string, XmlRule: string, ImagePath: string): Promise<PagePicture>;
  /**
   * The page as the printer (a CUPS name, "pdf:", or "" for the current one) receives it: laid
   * out at its resolution on its whole sheet, Width pixels wide (1 to 10000). Prints nothing.
   */
  renderPrintPage(XmlData: string, XmlRule: string, Printer: string, Width: number): Promise<PagePicture>;
  lastPrint(): Promise<LastPrint>;
  jobState(job: number): Promise<JobState>;
  checkRule(XmlRule: string, XmlData: string): Promise<RuleFinding[]>;
  /**
   * The same findings, and what lies beyond the sheet of the printer (a CUPS name, "pdf:", or ""
   * for the current one) in the rule's orientation. Prints nothing.
   */
  checkRuleForPrinter(XmlRule: string, XmlData: string, Printer: string): Promise<RuleFinding[]>;
  /**
   * Every record of the data document as its own page, as PrintXmlData prints a document holding
   * that record alone, all in one job on the current printer. A record whose page fails is left
   * out and named; the others print.
   */
  printBatch(XmlData: string, XmlRule: string): Promise<BatchPrint>;
  /**
   * Writes UTF-8 text to a file in the page's own folder (folders on the way are made); it lands
   * whole or not at all. A path outside the folder fails with 0x80070005.
   */
  writeFile(relativePath: string, text: string): Promise<null>;
  /** The same for bytes given as Base64 text (a picture, say). */
  writeBinaryFile(relativePath: string, base64: string): Promise<null>;

  hello(): Promise<{ product: string; version: string; protocol: number; origin: string }>;
  /** Any method by its bridge name, with its parameters in declared order. */
  call(method: string, params: unknown[]): Promise<unknown>;
  close(): void;
}

/** Rejects with a TavoConnectError when no connection can be made. */
export function connect(options?: ConnectOptions): Promise<TavoControl>;
