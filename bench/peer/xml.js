'use strict';
// A small XML reader for the rule and data documents: elements, attributes, text, CDATA and the
// predefined and numeric entities. Declarations, comments and doctypes are skipped.

const ENTITIES = { amp: '&', lt: '<', gt: '>', quot: '"', apos: "'" };

function decodeEntities(text) {
  return text.replace(/&(#x[0-9a-fA-F]+|#[0-9]+|[a-zA-Z]+);/g, (whole, name) => {
    if (name[0] === '#') {
      const code = name[1] === 'x' ? parseInt(name.slice(2), 16) : parseInt(name.slice(1), 10);
      return String.fromCodePoint(code);
    }
    return name in ENTITIES ? ENTITIES[name] : whole;
  });
}

function parseAttributes(source) {
  const attributes = {};
  const pattern = /([^\s=]+)\s*=\s*("([^"]*)"|'([^']*)')/g;
  for (let match; (match = pattern.exec(source)); ) {
    attributes[match[1]] = decodeEntities(match[3] !== undefined ? match[3] : match[4]);
  }
  return attributes;
}

// Returns the root element: { name, attributes, children: [element], text }.
function parseXml(source) {
  const root = { name: '#document', attributes: {}, children: [], text: '' };
  const stack = [root];
  let at = 0;
  while (at < source.length) {
    const open = source.indexOf('<', at);
    const textEnd = open < 0 ? source.length : open;
    if (textEnd > at) stack[stack.length - 1].text += decodeEntities(source.slice(at, textEnd));
    if (open < 0) break;
    if (source.startsWith('<!--', open)) {
      at = source.indexOf('-->', open) + 3;
    } else if (source.startsWith('<![CDATA[', open)) {
      const end = source.indexOf(']]>', open);
      stack[stack.length - 1].text += source.slice(open + 9, end);
      at = end + 3;
    } else if (source.startsWith('<?', open) || source.startsWith('<!', open)) {
      at = source.indexOf('>', open) + 1;
    } else if (source.startsWith('</', open)) {
      const end = source.indexOf('>', open);
      const name = source.slice(open + 2, end).trim();
      const closed = stack.pop();
      if (!closed || closed.name !== name) throw new Error(`mismatched </${name}>`);
      at = end + 1;
    } else {
      const end = source.indexOf('>', open);
      if (end < 0) throw new Error('unterminated tag');
      const selfClosing = source[end - 1] === '/';
      const inner = source.slice(open + 1, selfClosing ? end - 1 : end);
      const nameEnd = inner.search(/\s|$/);
      const element = {
        name: inner.slice(0, nameEnd),
        attributes: parseAttributes(inner.slice(nameEnd)),
        children: [],
        text: '',
      };
      stack[stack.length - 1].children.push(element);
      if (!selfClosing) stack.push(element);
      at = end + 1;
    }
    if (at <= 0) throw new Error('unterminated markup');
  }
  if (stack.length !== 1) throw new Error(`unclosed <${stack[stack.length - 1].name}>`);
  if (root.children.length !== 1) throw new Error('expected one root element');
  return root.children[0];
}

module.exports = { parseXml };
