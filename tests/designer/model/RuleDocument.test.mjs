import { test } from 'node:test';
import assert from 'node:assert/strict';

import { RuleDocument, RuleSyntaxError } from '../../../web/designer/rule/RuleDocument.js';
import { invoiceRule, nastyRule, waybillRule } from './fixtures.mjs';

/** The lines of b that differ from the same line of a (both must have as many lines). */
function changedLines(a, b) {
  const la = a.split('\n');
  const lb = b.split('\n');
  assert.equal(lb.length, la.length, 'the number of lines changed');
  return lb.map((line, i) => (line === la[i] ? null : { before: la[i], after: line })).filter(Boolean);
}

test('a rule opened and saved without a change comes back byte for byte', () => {
  for (const text of [invoiceRule, waybillRule, nastyRule, nastyRule.replace(/\n/g, '\r\n'), '\uFEFF<r/>']) {
    assert.equal(RuleDocument.parse(text).serialize(), text);
  }
});

test('the engine\'s printing element, elements and values are found as the engine reads them', () => {
  const doc = RuleDocument.parse(nastyRule);
  assert.equal(doc.printing.tagName, 'printing');
  assert.equal(doc.engineFindsPrinting, true);
  assert.equal(doc.setting('pageWidth'), '210');
  assert.equal(doc.setting('dpix'), '96');
  assert.equal(doc.setting('landscape'), 'TRUE');
  assert.equal(doc.setting('offsetLeft'), null);

  const elements = doc.elements();
  // The empty element has no child element: a property of printing, never drawn.
  assert.deepEqual(elements.map((e) => e.tagName), ['e', 'e', 'p']);
  assert.deepEqual(elements.map((e) => e.kind), ['text', 'line', 'text']);
  assert.deepEqual(doc.ignoredElements().map((e) => [e.tagName, e.get('left')]), [['empty', '5']]);
  assert.strictEqual(doc.elements()[1], elements[1], 'the same element yields the same object');
  assert.notEqual(elements[0].uid, elements[1].uid);

  const [label, line, prop] = elements;
  assert.equal(label.get('left'), '10');
  assert.equal(label.get('note'), 'a & b 中中');
  assert.equal(label.text, '<raw> & more');
  assert.deepEqual(label.bounds(), { left: 10, top: 20, right: 100, bottom: 40 });
  assert.deepEqual(line.bounds(), { left: 16, top: 31, right: 100, bottom: 3 });
  assert.equal(line.text, '', 'a line has no text property');
  assert.equal(prop.text, 'from value');

  // Printing straight under the body wins over one below; an element named Printing is none.
  const two = RuleDocument.parse(
    '<r><body><w><printing a="deep"><x/></printing></w><printing a="top"><x/></printing><Printing a="no"><x/></Printing></body></r>');
  assert.equal(two.setting('a'), 'top');
  const envelope = RuleDocument.parse(
    '<r><body><request><p>1</p><items><printing a="req"><x/></printing></items></request></body></r>');
  assert.equal(envelope.setting('a'), 'req');
  assert.equal(RuleDocument.parse('<r><printing a="1"><x/></printing></r>').printing, null, 'no body, no rule');
});

test('editing one value changes exactly its text; names keep their spelling and quotes', () => {
  const doc = RuleDocument.parse(nastyRule);
  const [label] = doc.elements();
  label.set('left', '12');
  assert.equal(doc.serialize(), nastyRule.replace("LEFT='10'", "LEFT='12'"));

  doc.setSetting('PAGEWIDTH', '200');
  label.set('note', 'it\'s "x" & <y>');
  label.set('wordBreak', 'false');
  const expected = nastyRule
    .replace("LEFT='10'", "LEFT='12'")
    .replace("PageWidth='210'", "PageWidth='200'")
    .replace('note="a &amp; b &#x4E2D;&#20013;"', 'note="it\'s &quot;x&quot; &amp; &lt;y&gt;" wordBreak="false"');
  assert.equal(doc.serialize(), expected);
  const again = RuleDocument.parse(doc.serialize()).elements()[0];
  assert.equal(again.get('note'), 'it\'s "x" & <y>');

  // Setting a value that already reads the same keeps its references.
  label.set('note', 'it\'s "x" & <y>');
  assert.equal(doc.serialize(), expected);
  label.set('NOTE', null);
  assert.equal(label.get('note'), null);
  doc.setSetting('landscape', null);
  assert.equal(doc.setting('landscape'), null);
  assert.ok(!doc.serialize().includes("landscape='TRUE'"));
  assert.ok(doc.serialize().includes('DPIX="96" >'), 'the blanks of the tag stay');

  // A value in single quotes keeps them, and its apostrophes are escaped.
  const line = doc.elements()[1];
  line.set('fromy', "1'2");
  assert.ok(doc.serialize().includes("fromy='1&apos;2'"));
  assert.equal(RuleDocument.parse(doc.serialize()).elements()[1].get('fromy'), "1'2");

  // What XML cannot hold is refused, and the rule stays as it was.
  const saved = doc.serialize();
  assert.throws(() => line.set('my key', '1'), RangeError);
  assert.throws(() => line.set('fromx', 'a\u0001b'), /U\+0001/);
  assert.throws(() => { line.text = '\u0008'; }, RangeError);
  assert.throws(() => doc.addElement('text', { '1x': '2' }), RangeError);
  assert.equal(doc.serialize(), saved);
  line.set('note', 'tab\tand\nbreak');
  assert.equal(RuleDocument.parse(doc.serialize()).elements()[1].get('note'), 'tab\tand\nbreak');
});

test('the text property is edited in place, and a new one is written where none was', () => {
  const doc = RuleDocument.parse(invoiceRule);
  const [title, , field] = doc.elements();
  title.text = '普通发票 & <copy>';
  field.text = 'sample';
  const after = RuleDocument.parse(doc.serialize()).elements();
  assert.equal(after[0].text, '普通发票 & <copy>');
  assert.equal(after[2].text, 'sample');
  const lines = changedLines(invoiceRule, doc.serialize());
  assert.equal(lines.length, 2);
  assert.ok(lines[1].after.endsWith('<text>sample</text></field>'));

  const nasty = RuleDocument.parse(nastyRule);
  const [, line, prop] = nasty.elements();
  prop.text = 'new value';
  assert.ok(nasty.serialize().includes('<prop name="text" value="new value">from text</prop>'));
  line.text = 'on a line';
  assert.ok(nasty.serialize().includes('<x/><text>on a line</text></e>'));
  assert.equal(RuleDocument.parse(nasty.serialize()).elements()[1].text, 'on a line');
  const before = nasty.serialize();
  line.text = 'on a line';
  assert.equal(nasty.serialize(), before, 'the same text changes nothing');

  // An empty tag the engine ignores becomes a drawn element once it has its text child.
  const [ignored] = nasty.ignoredElements();
  ignored.text = '';
  assert.ok(nasty.serialize().includes('<empty type="text" left="5"><text/></empty>'));
  assert.deepEqual(RuleDocument.parse(nasty.serialize()).elements().map((e) => e.tagName), ['e', 'e', 'empty', 'p']);
});

test('moving one element by 10 px changes only that element\'s coordinate values', () => {
  const doc = RuleDocument.parse(invoiceRule);
  const elements = doc.elements();
  const field = elements.find((e) => e.get('id') === 'gmfmc');
  const b = field.bounds();
  field.setBounds({ ...b, left: b.left + 10, right: b.right + 10 });
  const lines = changedLines(invoiceRule, doc.serialize());
  assert.equal(lines.length, 1);
  assert.equal(lines[0].after, lines[0].before.replace('left="140"', 'left="150"').replace('right="600"', 'right="610"'));

  const line = elements.find((e) => e.kind === 'line');
  const lb = line.bounds();
  line.setBounds({ left: lb.left, top: lb.top + 10, right: lb.right, bottom: lb.bottom + 10 });
  const after = changedLines(invoiceRule, doc.serialize());
  assert.equal(after.length, 2);
  const moved = after.find((l) => l.before.includes('<line '));
  assert.equal(moved.after, moved.before.replace('fromy="170"', 'fromy="180"').replace('toy="170"', 'toy="180"'));
});

test('add, remove and duplicate touch only their own lines, with the siblings\' indentation', () => {
  const doc = RuleDocument.parse(invoiceRule);
  const added = doc.addElement('field', { bottom: '40', left: '10', id: 'bz', index: '0', top: '20', right: '90', custom: 'x' }, 'A&B');
  const addedLine = '      <field type="field" id="bz" index="0" left="10" top="20" right="90" bottom="40" custom="x"><text>A&amp;B</text></field>';
  assert.equal(doc.serialize(), invoiceRule.replace('\n    </printing>', `\n${addedLine}\n    </printing>`));
  assert.equal(doc.elements().at(-1), added);
  assert.equal(added.kind, 'field');

  doc.removeElement(added);
  assert.equal(doc.serialize(), invoiceRule);

  const source = doc.elements()[5]; // the frame
  const copy = doc.duplicateElement(source, 5, -5);
  const sourceLine = invoiceRule.split('\n').find((l) => l.includes('<frame '));
  const copyLine = sourceLine.replace('left="30" top="110" right="882" bottom="482"', 'left="35" top="105" right="887" bottom="477"');
  assert.equal(doc.serialize(), invoiceRule.replace(sourceLine, `${sourceLine}\n${copyLine}`));
  assert.equal(doc.elements()[6], copy);

  doc.removeElement(doc.elements()[0]);
  doc.removeElement(copy);
  const first = invoiceRule.split('\n').find((l) => l.includes('增值税普通发票'));
  assert.equal(doc.serialize(), invoiceRule.replace(`${first}\n`, ''));
});

test('a blank rule gets its first elements inside printing, which the engine then finds', () => {
  const doc = RuleDocument.blank({ pageWidth: 241, pageHeight: 140, landscape: true });
  assert.equal(doc.engineFindsPrinting, false);
  assert.equal(doc.setting('landscape'), 'true');
  assert.deepEqual(doc.elements(), []);
  doc.addElement('line', { fromx: '0', fromy: '10', tox: '100', toy: '10', size: '1' });
  doc.addElement('text', { left: '0', top: '0', right: '50', bottom: '20' }, '标题');
  assert.equal(doc.engineFindsPrinting, true);
  const text = doc.serialize();
  assert.match(text, /landscape="true">\n      <line type="line" fromx="0" fromy="10" tox="100" toy="10" size="1" color="clBlack"><text\/><\/line>\n      <label type="text" left="0" top="0" right="50" bottom="20"><text>标题<\/text><\/label>\n    <\/printing>\n/);
  assert.equal(RuleDocument.parse(text).elements().length, 2);
  // A field added without index still receives its data when rows are indexed.
  assert.equal(doc.addElement('field', { id: 'fphm' }).get('index'), '0');
  assert.equal(doc.addElement('image', { id: 'logo', index: '2' }).get('index'), '2');
  assert.throws(() => doc.addElement('circle', {}), RangeError);
});

test('text that is not well-formed is refused with its line and column', () => {
  const cases = [
    ['<r>\n  <a></b>\n</r>', 2, 6, /does not match <a>/],
    ['<r>\n  <a>\n</r>', 3, 1, /does not match <a>/],
    ['<r>\n  <a x="1">', 2, 3, /<a> is not closed/],
    ['<r><a x=1/></r>', 1, 9, /must be quoted/],
    ['<r><a x="1" x="2"/></r>', 1, 13, /given twice/],
    ['<r><a x="1"y="2"/></r>', 1, 12, /separated by blanks/],
    ['<r><a x="<"/></r>', 1, 10, /"<" is not allowed/],
    ['<r>\n a & b</r>', 2, 4, /reference/],
    ['<r>&nbsp;</r>', 1, 4, /not defined/],
    ['<r>&#0;</r>', 1, 4, /not an XML character/],
    ['<r/>\n<s/>', 2, 1, /only one root/],
    ['text<r/>', 1, 1, /before the root/],
    ['<r/>\ntail', 2, 1, /after the root/],
    ['<r><!-- a -- b --></r>', 1, 4, /"--"/],
    ['<r><![CDATA[x</r>', 1, 4, /CDATA section is not closed/],
    ['<r/><?xml version="1.0"?>', 1, 5, /XML declaration/],
    ['<?xml version="1.0" encoding!"UTF-8"?><r/>', 1, 1, /XML declaration must read/],
    ['<r><?pi&x?></r>', 1, 8, /blank or "\?>" expected/],
    ['<r>\u0001</r>', 1, 4, /not allowed in XML/],
    ['   ', 1, 4, /empty/],
  ];
  for (const [text, line, column, message] of cases) {
    assert.throws(() => RuleDocument.parse(text), (error) => {
      assert.ok(error instanceof RuleSyntaxError, `${JSON.stringify(text)}: ${error}`);
      assert.match(error.message, message, JSON.stringify(text));
      assert.deepEqual([error.line, error.column], [line, column], `${JSON.stringify(text)}: ${error.message}`);
      return true;
    });
  }
});

test('hostile input is refused or read in bounded time, never by unbounded recursion', () => {
  assert.throws(() => RuleDocument.parse('<r>' + 'x'.repeat(16 * 1024 * 1024) + '</r>'), /larger than 16 MiB/);
  assert.throws(() => RuleDocument.parse('<a>'.repeat(100000)), /nested deeper than 256/);
  const wide = `<r><body><printing a="1"><e${' k="v"'.replace('k', 'k0')}${Array.from({ length: 20000 }, (_, i) => ` k${i + 1}="v"`).join('')}><t/></e></printing></body></r>`;
  const started = process.hrtime.bigint();
  const doc = RuleDocument.parse(wide);
  assert.equal(doc.elements()[0].get('K19999'), 'v');
  assert.equal(doc.serialize(), wide);
  assert.ok(process.hrtime.bigint() - started < 5_000_000_000n, 'twenty thousand attributes read in seconds');
  assert.throws(() => RuleDocument.parse('<r a="' + '&amp;'.repeat(100000)), /not closed/);
});
