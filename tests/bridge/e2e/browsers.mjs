// The browsers the tests drive, both Debian's: chromium through Playwright, firefox-esr through
// puppeteer-core over WebDriver BiDi. A page offers the same calls in both, Playwright's (the
// part of them the tests use), so one test body runs in either browser.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';
import puppeteer from 'puppeteer-core';

/** The browsers to run in: TAVO_BROWSERS (e.g. "chromium"), else both. */
export function browserNames() {
  return (process.env.TAVO_BROWSERS ?? 'chromium,firefox').split(',').map((name) => name.trim()).filter(Boolean);
}

/**
 * Launches a browser with a fresh profile; resolves to {name, newPage(), close()}.
 * @param {'chromium' | 'firefox'} name
 * @param {{publicPage?: {host: string, port: number}, locale?: string}} [options] publicPage: pages of
 *   http://HOST:PORT come from 127.0.0.1:PORT, which the browser takes for a public address;
 *   locale: the browser's language (navigator.languages), e.g. "zh-CN"
 */
export async function launchBrowser(name = 'chromium', { publicPage, locale } = {}) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), `tavo-${name}-`));
  try {
    return name === 'firefox' ? await launchFirefox(profile, publicPage, locale) : await launchChromium(profile, publicPage, locale);
  } catch (error) {
    fs.rmSync(profile, { recursive: true, force: true });
    throw error;
  }
}

async function launchChromium(profile, publicPage, locale) {
  const args = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
    '--disable-component-update', '--disable-sync', '--no-first-run'];
  if (publicPage) {
    const { host, port } = publicPage;
    args.push(`--ip-address-space-overrides=127.0.0.1:${port}=public`, `--host-resolver-rules=MAP ${host} 127.0.0.1`,
      // As an https page would be: a secure context, which Chromium's local network access asks for.
      `--unsafely-treat-insecure-origin-as-secure=http://${host}:${port}`);
  }
  if (locale) args.push(`--lang=${locale}`);
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: process.env.TAVO_CHROMIUM ?? '/usr/bin/chromium', headless: true, args, acceptDownloads: true,
    ...(locale ? { locale } : {}),
  });
  return {
    name: 'chromium',
    newPage: () => context.newPage(),
    async close() {
      await context.close();
      fs.rmSync(profile, { recursive: true, force: true });
    },
  };
}

async function launchFirefox(profile, publicPage, locale) {
  const downloads = path.join(profile, 'downloads');
  fs.mkdirSync(downloads);
  const prefs = {
    'browser.download.folderList': 2,
    'browser.download.dir': downloads,
    'browser.download.useDownloadDir': true,
    'browser.download.always_ask_before_handling_new_types': false,
    'browser.download.start_downloads_in_tmp_dir': false,
  };
  if (locale) prefs['intl.accept_languages'] = locale;
  if (publicPage) {
    prefs['network.lna.address_space.public.override'] = `127.0.0.1:${publicPage.port}`;
    prefs['network.dns.localDomains'] = publicPage.host;
  }
  const browser = await puppeteer.launch({
    browser: 'firefox', executablePath: process.env.TAVO_FIREFOX ?? '/usr/bin/firefox-esr', headless: true,
    userDataDir: profile, extraPrefsFirefox: prefs,
  });
  return {
    name: 'firefox',
    newPage: async () => new FirefoxPage(await browser.newPage(), downloads),
    async close() {
      await browser.close();
      fs.rmSync(profile, { recursive: true, force: true });
    },
  };
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

/** Playwright's key names with modifiers ("Shift+Tab", "Control+z") as puppeteer presses them. */
async function pressCombination(keyboard, combination) {
  const keys = combination === '+' ? ['+'] : combination.split('+');
  const key = keys.pop();
  for (const modifier of keys) await keyboard.down(modifier);
  await keyboard.press(key);
  for (const modifier of keys.reverse()) await keyboard.up(modifier);
}

/** A puppeteer page with the calls of a Playwright page that the tests use. */
class FirefoxPage {
  constructor(page, downloads) {
    this.page = page;
    this.downloads = downloads;
    const { keyboard, mouse } = page;
    this.keyboard = {
      press: (combination) => pressCombination(keyboard, combination),
      type: (text) => keyboard.type(text),
      down: (key) => keyboard.down(key),
      up: (key) => keyboard.up(key),
    };
    this.mouse = {
      move: (x, y, options) => mouse.move(x, y, options),
      down: () => mouse.down(),
      up: () => mouse.up(),
      click: (x, y) => mouse.click(x, y),
    };
  }

  goto(url) { return this.page.goto(url); }
  addInitScript(fn) { return this.page.evaluateOnNewDocument(fn); }
  close() { return this.page.close(); }
  on(event, listener) { this.page.on(event, listener); }
  once(event, listener) { this.page.once(event, listener); }
  $eval(selector, fn, arg) { return this.page.$eval(selector, fn, arg); }
  $$eval(selector, fn, arg) { return this.page.$$eval(selector, fn, arg); }
  reload() { return this.page.reload(); }
  waitForSelector(selector, options) { return this.page.waitForSelector(selector, { timeout: 30000, ...options }); }
  evaluate(fn, arg) { return typeof fn === 'string' ? this.page.evaluate(fn) : this.page.evaluate(fn, arg); }
  waitForFunction(fn, arg, { timeout = 30000 } = {}) { return this.page.waitForFunction(fn, { timeout, polling: 50 }, arg); }
  setViewportSize({ width, height }) { return this.page.setViewport({ width, height }); }
  screenshot(options) { return this.page.screenshot(options); }

  /** The element, waited for as Playwright waits. */
  element(selector) { return this.page.waitForSelector(selector, { timeout: 30000 }); }
  async click(selector) { await (await this.element(selector)).click(); }
  async focus(selector) { await (await this.element(selector)).focus(); }
  async hover(selector) { await (await this.element(selector)).hover(); }
  async press(selector, key) { await this.focus(selector); await this.keyboard.press(key); }
  async textContent(selector) { return (await this.element(selector)).evaluate((e) => e.textContent); }
  async inputValue(selector) { return (await this.element(selector)).evaluate((e) => e.value); }
  async getAttribute(selector, name) { return (await this.element(selector)).evaluate((e, n) => e.getAttribute(n), name); }
  async isDisabled(selector) { return (await this.element(selector)).evaluate((e) => e.disabled); }
  async isVisible(selector) {
    const handle = await this.page.$(selector);
    return handle ? handle.evaluate((e) => e.checkVisibility()) : false;
  }
  async selectOption(selector, value) { await this.page.select(selector, value); }
  async check(selector) { if (!(await (await this.element(selector)).evaluate((e) => e.checked))) await this.click(selector); }
  async uncheck(selector) { if (await (await this.element(selector)).evaluate((e) => e.checked)) await this.click(selector); }

  /** Typed as a person would, replacing what the field holds: the page sees input and change. */
  async fill(selector, value) { await fillElement(this, await this.element(selector), value); }

  /** A file path, or {name, mimeType, buffer} written to a file of that name first. */
  async setInputFiles(selector, file) {
    let name = file;
    if (typeof file !== 'string') {
      name = path.join(fs.mkdtempSync(path.join(this.downloads, '..', 'upload-')), file.name);
      fs.writeFileSync(name, file.buffer);
    }
    await (await this.element(selector)).uploadFile(name);
  }

  locator(selector, options) { return new FirefoxLocator(this, [{ selector, ...options }]); }

  /**
   * A download: the next file that lands whole in the browser's downloads folder. Firefox makes
   * the file empty first and writes NAME.part, renamed over it when done.
   */
  async waitForEvent(event) {
    if (event !== 'download') throw new Error(`no such event in these tests: ${event}`);
    const before = new Set(fs.readdirSync(this.downloads));
    let seen = '';
    for (let waited = 0; waited < 30000; waited += 50) {
      const names = fs.readdirSync(this.downloads);
      const landed = names.find((name) => !before.has(name) && !name.endsWith('.part'));
      if (landed && !names.some((name) => name.endsWith('.part'))) {
        const file = path.join(this.downloads, landed);
        // The same size twice, and not the empty file that stands for it while it is written.
        const size = `${file}:${fs.statSync(file).size}`;
        if (size === seen && fs.statSync(file).size > 0) return { path: async () => file };
        seen = size;
      }
      await sleep(50);
    }
    throw new Error('no download within 30 s');
  }
}

async function fillElement(page, handle, value) {
  await handle.focus();
  await handle.evaluate((e) => e.select?.());
  if (value === '') await page.keyboard.press('Backspace');
  else await page.keyboard.type(value);
}

/** A chain of selectors, each optionally filtered by its text, the first or all matches. */
class FirefoxLocator {
  constructor(page, chain) {
    this.page = page;
    this.chain = chain;
  }

  locator(selector, options) { return new FirefoxLocator(this.page, [...this.chain, { selector, ...options }]); }
  first() { return this; }

  async handle() {
    for (let waited = 0; ; waited += 50) {
      const handle = await this.page.page.evaluateHandle((chain) => {
        let scope = [document];
        for (const { selector, hasText } of chain) {
          scope = scope.flatMap((root) => [...root.querySelectorAll(selector)])
            .filter((e) => hasText === undefined || e.textContent.includes(hasText));
        }
        return scope[0] ?? null;
      }, this.chain);
      const element = handle.asElement();
      if (element) return element;
      if (waited > 30000) throw new Error(`nothing matches ${JSON.stringify(this.chain)}`);
      await sleep(50);
    }
  }

  async getAttribute(name) { return (await this.handle()).evaluate((e, n) => e.getAttribute(n), name); }
  async textContent() { return (await this.handle()).evaluate((e) => e.textContent); }
  async fill(value) { await fillElement(this.page, await this.handle(), value); }
  async press(key) { await (await this.handle()).focus(); await this.page.keyboard.press(key); }
  async selectOption(value) {
    await (await this.handle()).evaluate((e, v) => {
      e.value = v;
      e.dispatchEvent(new Event('input', { bubbles: true }));
      e.dispatchEvent(new Event('change', { bubbles: true }));
    }, value);
  }
}
