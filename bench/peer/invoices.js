'use strict';
// The comparison's invoices: data documents for the sample rule, made from a fixed seed so every
// run prints the same ones. Names, numbers, amounts and 1 to 8 goods rows vary.

const BUYERS = [
  '上海远景办公用品有限公司', '北京华信科技发展有限公司', '广州南方电子商务有限公司',
  '深圳市前海数据服务有限公司', '成都天府软件园管理有限公司', '武汉光谷新材料股份有限公司',
];
const SELLERS = ['杭州拓沃信息技术有限公司', '南京金陵办公设备有限公司', '苏州工业园区文具贸易有限公司'];
const PEOPLE = ['李娜', '王强', '张伟', '刘洋', '陈静', '杨帆', '赵磊', '黄敏'];
const GOODS = [
  ['*纸制品*复印纸 A4 70g（每箱5包，每包500张）', 'A4-70g', '箱'],
  ['*办公用品*中性笔 0.5mm 黑色', 'GP-1008', '盒'],
  ['*办公用品*文件夹', 'A4 双夹', '个'],
  ['*计算机外部设备*无线键盘鼠标套装', 'KM-220', '套'],
  ['*办公用品*订书机', '12#', '个'],
  ['*纸制品*便利贴', '76×76', '本'],
  ['*计算机外部设备*激光打印机硒鼓', 'CF-230A', '个'],
  ['*办公用品*白板笔', '蓝色', '支'],
  ['*电子计算机*笔记本电脑 14英寸 16G/512G 商务办公版', 'X14-G6', '台'],
];

// mulberry32: small, fast and the same on every machine.
function random(seed) {
  let state = seed >>> 0;
  return () => {
    state = (state + 0x6d2b79f5) >>> 0;
    let t = state;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

function money(cents) {
  const yuan = Math.floor(cents / 100).toString().replace(/\B(?=(\d{3})+$)/g, ',');
  return `${yuan}.${String(cents % 100).padStart(2, '0')}`;
}

// The amount in capital numerals, as invoices write it.
function capitalAmount(cents) {
  const digits = '零壹贰叁肆伍陆柒捌玖';
  const units = ['', '拾', '佰', '仟'];
  const groups = ['', '万', '亿'];
  let yuan = Math.floor(cents / 100);
  let text = '';
  for (let group = 0; yuan > 0; ++group, yuan = Math.floor(yuan / 10000)) {
    const part = yuan % 10000;
    let partText = '';
    let zero = false;
    for (let i = 3; i >= 0; --i) {
      const digit = Math.floor(part / 10 ** i) % 10;
      if (digit === 0) {
        zero = partText !== '';
      } else {
        partText += (zero ? '零' : '') + digits[digit] + units[i];
        zero = false;
      }
    }
    // A group under a thousand after a higher one reads with a zero: 壹万零壹拾.
    const gap = part > 0 && part < 1000 && yuan >= 10000 ? '零' : '';
    if (part > 0) text = gap + partText + groups[group] + text;
  }
  text = (text || '零') + '元';
  const jiao = Math.floor(cents / 10) % 10;
  const fen = cents % 10;
  if (jiao === 0 && fen === 0) return text + '整';
  return text + (jiao ? digits[jiao] + '角' : '零') + (fen ? digits[fen] + '分' : '');
}

function escapeXml(text) {
  return text.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;');
}

function tag(name, value) {
  return `<${name}>${escapeXml(String(value))}</${name}>`;
}

function invoiceData(next, number) {
  const pick = (list) => list[Math.floor(next() * list.length)];
  const rowCount = 1 + Math.floor(next() * 8);
  let rows = '';
  let total = 0;
  let tax = 0;
  for (let i = 0; i < rowCount; ++i) {
    const [name, model, unit] = pick(GOODS);
    const quantity = 1 + Math.floor(next() * 200);
    const price = 100 + Math.floor(next() * 50000);
    const amount = quantity * price;
    const rowTax = Math.round(amount * 0.13);
    total += amount;
    tax += rowTax;
    rows += `<row>${tag('spmc', name)}${tag('ggxh', model)}${tag('dw', unit)}${tag('sl', quantity)}` +
      `${tag('dj', money(price))}${tag('je', money(amount))}${tag('slv', '13%')}` +
      `${tag('se', money(rowTax))}</row>`;
  }
  const month = 1 + Math.floor(next() * 12);
  const day = 1 + Math.floor(next() * 28);
  return '<?xml version="1.0" encoding="UTF-8"?>\n<invoice><body><data><record>' +
    tag('fphm', String(number).padStart(8, '0')) +
    tag('kprq', `2026年${String(month).padStart(2, '0')}月${String(day).padStart(2, '0')}日`) +
    tag('gmfmc', pick(BUYERS)) +
    tag('gmfsbh', `9131${Math.floor(next() * 1e10).toString().padStart(10, '0')}X2P`) +
    tag('xsfmc', pick(SELLERS)) +
    tag('hjje', `¥${money(total)}`) + tag('hjse', `¥${money(tax)}`) +
    tag('jshjdx', capitalAmount(total + tax)) + tag('jshj', `¥${money(total + tax)}`) +
    tag('skr', pick(PEOPLE)) + tag('fh', pick(PEOPLE)) + tag('kpr', pick(PEOPLE)) +
    `<rows>${rows}</rows></record></data></body></invoice>\n`;
}

// `count` data documents (UTF-8 XML text), the same for the same seed.
function generateInvoices(count, seed) {
  const next = random(seed);
  const documents = [];
  for (let i = 0; i < count; ++i) documents.push(invoiceData(next, 10000000 + i * 37));
  return documents;
}

module.exports = { generateInvoices, capitalAmount, money };
