'use strict';
// The batch benchmark's invoices, from the peer's generator: COUNT data documents of one record
// each (inv-00001.xml ...) and one document holding all their records (all.xml).
//   node make-invoices.js DIR COUNT [SEED]
const fs = require('fs');
const path = require('path');
const { generateInvoices } = require('../peer/invoices.js');

const [dir, count, seed = '20261208'] = process.argv.slice(2);
fs.mkdirSync(dir, { recursive: true });
const documents = generateInvoices(Number(count), Number(seed));
const width = String(documents.length).length;
const records = [];
documents.forEach((text, i) => {
  fs.writeFileSync(path.join(dir, `inv-${String(i + 1).padStart(width, '0')}.xml`), text);
  records.push(text.match(/<record>[^]*<\/record>/)[0]);
});
const [head, tail] = documents[0].split(/<record>[^]*<\/record>/);
fs.writeFileSync(path.join(dir, 'all.xml'), head + records.join('\n') + tail);
