// Rule texts the model tests share.
import { readFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';

export const sourceDir = fileURLToPath(new URL('../../../', import.meta.url));
export const invoiceRule = readFileSync(`${sourceDir}examples/invoice/rule.xml`, 'utf8');
export const waybillRule = readFileSync(`${sourceDir}examples/waybill/rule.xml`, 'utf8');

// Everything a hand-written rule may hold: blanks before the declaration, single quotes,
// comments, a head, a processing instruction, CDATA, entity and character references, a
// tab inside a tag, attribute names in other letter case, a leaf element that is no element,
// and `printing` one level below the body.
export const nastyRule = `  \n<?xml version='1.0' encoding='UTF-8'?>
<!-- a comment before the root -->
<rule>
  <head><service><handler>print</handler></service><createTime>42</createTime></head>
  <body>
    <wrap kind='a'>
      <!-- printing one level lower -->
      <printing PageWidth='210' pageHeight = "297"
         DPIX="96"\tlandscape='TRUE' >
        <?designer keep this?>
        <e type='text' LEFT='10' top="20" right='100' bottom='40' note="a &amp; b &#x4E2D;&#20013;"><![CDATA[dropped]]><text><![CDATA[<raw>]]> &amp; more</text></e>
        <e type="line" fromx="$10" fromy='0x1F' tox="100" toy="03" color="clred"><x/></e>
        <empty type="text" left="5"/>
        <p type="text"><prop name="text" value="from value">from text</prop></p>
      </printing>
    </wrap>
  </body>
</rule>
<!-- a comment after the root -->
`;
