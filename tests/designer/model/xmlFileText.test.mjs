// Rule and data files are read as the control reads them, so a GBK rule file opens with its
// Chinese texts intact, and is saved in UTF-8 saying so.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { decodeXmlFile, textToSave } from '../../../web/designer/app/xmlFileText.js';

const bytes = (...parts) => {
  const chunks = parts.map((p) => (typeof p === 'string' ? Buffer.from(p, 'latin1') : Buffer.from(p)));
  const all = Buffer.concat(chunks);
  return all.buffer.slice(all.byteOffset, all.byteOffset + all.length);
};
const FAPIAO_GBK = [0xb7, 0xa2, 0xc6, 0xb1]; // 发票

test('a file is read by its byte-order mark, else its declared encoding, else as UTF-8', () => {
  const gbk = decodeXmlFile(bytes('<?xml version="1.0" encoding="GBK"?><r><t>', FAPIAO_GBK, '</t></r>'));
  assert.equal(gbk.encoding, 'gbk');
  assert.match(gbk.text, /<t>发票<\/t>/);
  const gb2312 = decodeXmlFile(bytes("<?xml version='1.0' encoding='gb2312'?><r>", FAPIAO_GBK, '</r>'));
  assert.match(gb2312.text, /<r>发票<\/r>/);
  const marked = decodeXmlFile(bytes([0xef, 0xbb, 0xbf], '<?xml version="1.0" encoding="GBK"?><r/>'));
  assert.equal(marked.encoding, 'utf-8');
  const plain = decodeXmlFile(bytes(Buffer.from('<r>发票</r>', 'utf8')));
  assert.deepEqual(plain, { text: '<r>发票</r>', encoding: 'utf-8' });
  assert.throws(() => decodeXmlFile(bytes('<?xml version="1.0" encoding="x-no-such"?><r/>')),
    /x-no-such is not one a browser can read/);
});

test('what is saved declares the UTF-8 it is written in, and a UTF-8 rule is saved as it was', () => {
  assert.equal(textToSave('<?xml version="1.0" encoding="GBK"?>\n<r>发票</r>'),
    '<?xml version="1.0" encoding="UTF-8"?>\n<r>发票</r>');
  for (const text of ['<?xml version="1.0" encoding="utf-8"?><r/>', "<?xml version='1.0' encoding='UTF8'?><r/>",
    '<?xml version="1.0"?><r/>', '<r encoding="GBK"/>']) {
    assert.equal(textToSave(text), text);
  }
});
