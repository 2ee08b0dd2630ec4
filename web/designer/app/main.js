// The designer page: puts the views together and wires the toolbar, files and shortcuts.
import { align, distribute } from '../rule/Geometry.js';
import { RuleDocument } from '../rule/RuleDocument.js';
import { Connection, inWords } from './Connection.js';
import { DesignerState } from './DesignerState.js';
import { ElementList } from './ElementList.js';
import { FormPanel } from './FormPanel.js';
import { PagePanel } from './PagePanel.js';
import { pageGeometry } from './pageGeometry.js';
import { Preview } from './Preview.js';
import { PrintPanel } from './PrintPanel.js';
import { PropertyPanel } from './PropertyPanel.js';
import { RowsPanel } from './RowsPanel.js';
import { RuleFindings } from './RuleFindings.js';
import { SamplePanel } from './SamplePanel.js';
import { Stage } from './Stage.js';
import { StatusLine } from './StatusLine.js';
import { readPicture } from './readPicture.js';
import { saveDownload, saveToFolder, whereWritten } from './saving.js';
import { decodeXmlFile, textToSave } from './xmlFileText.js';
import { languageSwitch } from './languageSwitch.js';
import { onLanguageChange, phrase, t } from '../i18n/i18n.js';

const $ = (id) => /** @type {any} */ (document.getElementById(id));

languageSwitch();
const status = new StatusLine($('message'));
/** @param {string|{toString(): string}} text a phrase follows the language */
const say = (text) => status.say(text);

const state = new DesignerState();
const connection = new Connection($('connection'), $('reconnect'));
const stage = new Stage(state, {
  stage: $('stage'), boxes: $('boxes'), band: $('band'), picture: $('form-picture'), outline: $('sheet-outline'), status,
});
const sample = new SamplePanel(state, $('sample-data'));
const printing = new PrintPanel(state, connection, $('printing'), () => sample.data(), say);
const preview = new Preview(state, connection, {
  picture: $('preview-picture'), stage: $('stage'), time: $('refresh-time'), status,
  data: () => sample.data(), printer: () => printing.printer(), zoom: () => stage.zoom,
});
const findings = new RuleFindings(state, connection, $('findings'), { data: () => sample.data(), printer: () => printing.printer() });
const form = new FormPanel(state, connection, $('form-info'), status);
const properties = new PropertyPanel(state, $('properties'));
const pagePanel = new PagePanel(state, $('page-settings'));
const rows = new RowsPanel(state, $('rows'), say);
const elementList = new ElementList(state, $('element-list'), $('ignored-elements'));
properties.render();
pagePanel.render();
rows.render();
sample.addEventListener('change', () => { preview.schedule(); findings.schedule(); });
state.addEventListener('refused', (e) => say(phrase('state.refused', { message: e.detail.message })));
printing.addEventListener('change', () => { state.setSheet(null); preview.schedule(); findings.schedule(); });

// Files.
$('open-rule').addEventListener('change', async (event) => {
  const file = event.target.files?.[0];
  if (!file) return;
  try {
    const { text, encoding } = decodeXmlFile(await file.arrayBuffer());
    state.open(text, file.name);
    $('save-name').value = file.name;
    const saved = encoding === 'utf-8' ? '' : phrase('open.savedUtf8', { encoding });
    const picture = state.doc.formPicture;
    const scan = picture && picture !== state.picture?.name ? phrase('open.scan', { picture }) : '';
    say(phrase('open.opened', { name: file.name, count: state.doc.elements().length, saved, scan }));
  } catch (error) {
    // The parser's message is made in the language of the moment; the line and column with it.
    const where = error.line ? phrase('open.where', { line: error.line, column: error.column }) : '';
    say(phrase('open.notRule', { name: file.name, message: error.reason ?? error.message, where }));
  }
  event.target.value = '';
});
$('open-form').addEventListener('change', async (event) => {
  const file = event.target.files?.[0];
  if (!file) return;
  state.setPicture(await readPicture(file));
  await form.ready;
  say(phrase('form.opened', { name: file.name, summary: { toString: () => form.summary() } }));
  event.target.value = '';
});
$('new-rule').addEventListener('click', () => {
  const { widthMm, heightMm } = pageGeometry(state.doc);
  if (state.unsaved && !window.confirm(t('new.confirm'))) return;
  state.open(RuleDocument.blank({ pageWidth: widthMm, pageHeight: heightMm }).serialize(), 'rule.xml');
  say(phrase('new.done'));
});
$('save-download').addEventListener('click', () => {
  saveDownload(textToSave(state.doc.serialize()), $('save-name').value || state.fileName);
  state.markSaved();
  say(phrase('save.downloaded', { name: $('save-name').value || state.fileName }));
});
$('save-folder').addEventListener('click', async () => {
  const name = $('save-name').value.trim();
  try {
    const text = state.doc.serialize();
    await saveToFolder(connection.get(), name, textToSave(text));
    if (state.doc.serialize() === text) state.markSaved();
    say(phrase('save.wrote', { where: whereWritten(name) }));
  } catch (error) {
    connection.noteFailure(error);
    say(phrase('save.notWritten', { name, error: inWords(error) }));
  }
});

// Editing.
$('undo').addEventListener('click', () => state.undo());
$('redo').addEventListener('click', () => state.redo());
$('duplicate').addEventListener('click', duplicate);
$('delete').addEventListener('click', remove);
for (const b of document.querySelectorAll('[data-add]')) {
  b.addEventListener('click', () => stage.arm(stage.adding === b.dataset.add ? null : b.dataset.add));
}
stage.onAddingChange = (kind) => {
  for (const b of document.querySelectorAll('[data-add]')) b.setAttribute('aria-pressed', String(b.dataset.add === kind));
};
for (const b of document.querySelectorAll('[data-align]')) {
  b.addEventListener('click', () => arrange(phrase(`history.align.${b.dataset.align}`), 2, (els) => align(els, b.dataset.align)));
}
for (const b of document.querySelectorAll('[data-distribute]')) {
  b.addEventListener('click', () => arrange(phrase(`history.distribute.${b.dataset.distribute}`), 3, (els) => distribute(els, b.dataset.distribute)));
}
state.addEventListener('change', updateButtons);
state.addEventListener('selection', updateButtons);

// View.
$('zoom').addEventListener('change', () => { stage.setZoom(Number($('zoom').value)); preview.schedule(); });
$('snap').addEventListener('change', () => { stage.snapOn = $('snap').checked; stage.render(); });
$('grid').addEventListener('change', () => { stage.grid = Math.max(1, Number($('grid').value) || 1); stage.render(); });
$('view').addEventListener('change', () => preview.setView($('view').value));

document.addEventListener('keydown', (event) => {
  const inField = event.target instanceof HTMLInputElement || event.target instanceof HTMLTextAreaElement;
  const ctrl = event.ctrlKey || event.metaKey;
  if (ctrl && !inField && (event.key === 'z' || event.key === 'Z')) {
    event.preventDefault();
    if (event.shiftKey) state.redo(); else state.undo();
  } else if (ctrl && !inField && (event.key === 'y' || event.key === 'Y')) {
    event.preventDefault();
    state.redo();
  } else if (ctrl && !inField && (event.key === 'd' || event.key === 'D')) {
    event.preventDefault();
    duplicate();
  } else if (event.key === 'Delete' && (event.target === $('stage') || event.target === $('element-list'))) {
    event.preventDefault();
    remove();
  }
});

function duplicate() {
  const selected = state.selected();
  if (selected.length === 0) return;
  const copies = [];
  state.change(phrase('history.duplicate'), (doc) => { for (const el of selected) copies.push(doc.duplicateElement(el, 10, 10)); });
  state.select(copies);
}

function remove() {
  const selected = state.selected();
  if (selected.length === 0) return;
  state.change(phrase('history.delete'), (doc) => { for (const el of selected) doc.removeElement(el); });
  state.select([]);
}

function arrange(label, least, edit) {
  const selected = state.selected();
  if (selected.length < least) {
    say(phrase('arrange.tooFew', { least, action: { toString: () => String(label).toLowerCase() } }));
    return;
  }
  state.change(label, () => edit(selected));
}

function updateButtons() {
  $('undo').disabled = !state.history.canUndo;
  $('redo').disabled = !state.history.canRedo;
  $('undo').title = state.history.canUndo ? t('undo.title', { label: state.history.undoLabel }) : t('undo.none');
  $('redo').title = state.history.canRedo ? t('redo.title', { label: state.history.redoLabel }) : t('redo.none');
  const count = state.selection.size;
  $('duplicate').disabled = count === 0;
  $('delete').disabled = count === 0;
  for (const b of document.querySelectorAll('[data-align]')) b.disabled = count < 2;
  for (const b of document.querySelectorAll('[data-distribute]')) b.disabled = count < 3;
}

// Leaving the page (reload, closing the tab) with work not saved asks first.
window.addEventListener('beforeunload', (event) => {
  if (!state.unsaved) return;
  event.preventDefault();
  event.returnValue = '';
});

// For the browser's console and scripted checks: the state and the preview's last timing.
window.designer = { state, stage, preview, sample, printing, connection, findings, form };

// Another language: every view says again what it shows; the rule, the selection and what was
// typed stay as they are.
onLanguageChange(() => {
  connection.retranslate();
  status.retranslate();
  stage.render();
  elementList.render();
  properties.render();
  pagePanel.render();
  rows.render();
  form.render();
  sample.retranslate();
  printing.retranslate();
  findings.retranslate();
  preview.retranslate();
  updateButtons();
});

stage.render();
updateButtons();
$('stage').dataset.view = 'print';
connection.open();
