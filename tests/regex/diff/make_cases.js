// Generates the differential fixture cases.txt: hand-picked and generated
// pattern/subject pairs with the matches Node's RegExp finds for them.
// Run: node tests/regex/diff/make_cases.js > tests/regex/diff/cases.txt
// Deterministic (fixed seed), so regenerating gives the same file.
//
// Each case is written as lines:
//   case <flags>            flags: i (ignore case), m (multi-line), g (global)
//   pattern <hex GBK>
//   subject <hex GBK>
//   matches <count>
//   match =<hex> =<hex>|- ...   (one line per match: whole match, then each group;
//                                "-" = the group did not take part)
//   end
// Matches are collected as RegexObject does: exec from lastIndex, an empty
// match steps one character on, only the first unless global.
'use strict';

// ---- GBK encoder built from the platform decoder --------------------------------
const decoder = new TextDecoder('gbk');
const toGbk = new Map();
for (let lead = 0x81; lead <= 0xfe; ++lead) {
  for (let trail = 0x40; trail <= 0xfe; ++trail) {
    if (trail === 0x7f) continue;
    const s = decoder.decode(new Uint8Array([lead, trail]));
    if (s.length === 1 && s !== '\ufffd' && !toGbk.has(s)) toGbk.set(s, [lead, trail]);
  }
}
function gbkHex(str) {
  const out = [];
  for (const ch of str) {
    const c = ch.codePointAt(0);
    if (c < 0x80) out.push(c);
    else if (c === 0x20ac) out.push(0x80);
    else if (toGbk.has(ch)) out.push(...toGbk.get(ch));
    else throw new Error('not in GBK: U+' + c.toString(16));
  }
  return out.map((b) => b.toString(16).padStart(2, '0')).join('');
}
function hexOrDash(s) { return s === undefined ? '-' : '=' + gbkHex(s); }

// ---- Random generation -------------------------------------------------------------
let seed = 20260101;
function rnd(n) {
  seed = (Math.imul(seed, 1103515245) + 12345) >>> 0;
  return (seed >>> 8) % n;
}
function pick(a) { return a[rnd(a.length)]; }

const atoms = ['a', 'b', 'c', 'A', '中', '文', '<', '>', '"', ' ', '.', '[ab]', '[^a]', '[a-c]',
  '[^<]', '[\\s\\S]', '\\d', '\\w', '\\W', '\\s', '\\S', '[\\u4e00-\\u9fa5]', '[^\\u4e00-\\u9fa5]',
  '\\u4e2d', '\\x41', '\\n', '[\\n]', 'ａ', 'α', 'ё', '[一-龥]', '[Ａ-Ｚ]', '€', '1', '_'];
const quants = ['*', '+', '?', '*?', '+?', '??', '{2}', '{1,2}', '{0,2}?', '{2,}', '{1,}?'];
const asserts = ['^', '$', '\\b', '\\B'];

function genRegex(depth) {
  const n = 1 + rnd(4);
  let s = '';
  for (let i = 0; i < n; ++i) {
    const r = rnd(20);
    let atom;
    if (r < 3 && depth < 3) atom = '(' + genAlt(depth + 1) + ')';
    else if (r < 5 && depth < 3) atom = '(?:' + genAlt(depth + 1) + ')';
    else if (r < 6) { s += pick(asserts); continue; }
    else atom = pick(atoms);
    if (rnd(3) === 0) atom += pick(quants);
    s += atom;
  }
  return s;
}
function genAlt(depth) {
  let s = genRegex(depth);
  while (rnd(4) === 0) s += '|' + genRegex(depth);
  return s;
}
const subjectChars = ['a', 'b', 'c', 'A', 'B', '中', '文', '一', '丂', '<', '>', '"', '\n', '\r', ' ',
  '1', '_', 'ａ', 'Ａ', 'α', 'Α', 'ё', 'Ё', '\u3000', '€', 'x'];
function genSubject() {
  const n = rnd(16);
  let s = '';
  for (let i = 0; i < n; ++i) s += pick(subjectChars);
  return s;
}

// ---- Matching as RegexObject does ------------------------------------------------
function run(pattern, subject, flags) {
  const re = new RegExp(pattern, flags.replace('g', '') + 'g');
  const global = flags.includes('g');
  const found = [];
  let last = 0;
  while (last <= subject.length) {
    re.lastIndex = last;
    const m = re.exec(subject);
    if (!m) break;
    found.push(m);
    if (!global) break;
    last = m.index + m[0].length;
    if (m[0].length === 0) last += 1;
  }
  return found;
}

function emit(pattern, subject, flags) {
  let found;
  try { found = run(pattern, subject, flags); } catch (e) { return false; }
  let out = 'case ' + (flags || '-') + '\n';
  out += 'pattern ' + gbkHex(pattern) + '\n';
  out += 'subject ' + gbkHex(subject) + '\n';
  out += 'matches ' + found.length + '\n';
  for (const m of found) {
    out += ['match'].concat(Array.from(m, hexOrDash)).join(' ') + '\n';
  }
  out += 'end\n';
  process.stdout.write(out);
  return true;
}

// ---- Hand-picked cases -------------------------------------------------------------
// ---- The site patterns, read from the header the site routines use ------------------
// sites/site_patterns.h is the one home of the patterns; the literals there
// (raw strings, or ordinary ones with \xHH, \n, \t, \", \\ escapes, adjacent
// ones joined) are GBK bytes, decoded here to text.
const fs = require('fs');
const path = require('path');
const header = fs.readFileSync(path.join(__dirname, '../../../sites/site_patterns.h'), 'latin1');
// Tokens of a piece of C++: joined string literals (as byte arrays), and
// the punctuation '{', '}', ',', ';'.
function tokens(src) {
  const out = [];
  let i = 0;
  let pendingLiteral = null;
  const flush = () => { if (pendingLiteral) { out.push(pendingLiteral); pendingLiteral = null; } };
  const append = (bytes) => { pendingLiteral = pendingLiteral ? pendingLiteral.concat(bytes) : bytes; };
  while (i < src.length) {
    const ch = src[i];
    if (src.startsWith('//', i)) { i = src.indexOf('\n', i); if (i < 0) break; continue; }
    if (ch === 'R' && src[i + 1] === '"') {
      const open = src.indexOf('(', i);
      const delim = ')' + src.slice(i + 2, open) + '"';
      const close = src.indexOf(delim, open);
      append(Array.from(src.slice(open + 1, close), (x) => x.charCodeAt(0)));
      i = close + delim.length;
    } else if (ch === '"') {
      const bytes = [];
      for (++i; src[i] !== '"'; ++i) {
        if (src[i] !== '\\') { bytes.push(src.charCodeAt(i)); continue; }
        const e = src[++i];
        if (e === 'x') {
          const m = /^[0-9A-Fa-f]+/.exec(src.slice(i + 1));
          bytes.push(parseInt(m[0], 16));
          i += m[0].length;
        } else {
          bytes.push({ n: 10, t: 9, r: 13, '"': 34, '\\': 92, "'": 39 }[e]);
        }
      }
      ++i;
      append(bytes);
    } else if ('{},;'.includes(ch)) {
      flush();
      out.push(ch);
      ++i;
    } else {
      ++i;
    }
  }
  flush();
  return out;
}
const gbkText = (bytes) => decoder.decode(new Uint8Array(bytes));
function sitePattern(name) {
  const at = header.indexOf(' ' + name + ' =');
  if (at < 0) throw new Error('no ' + name + ' in sites/site_patterns.h');
  return gbkText(tokens(header.slice(at, header.indexOf(';', at)))[0]);
}
// The first literal of each { ... } row of an array of FieldPattern.
function siteFieldPatterns(name) {
  const at = header.indexOf(' ' + name + ' =');
  const toks = tokens(header.slice(at, header.indexOf('}};', at) + 3));
  const out = [];
  let depth = 0;
  let first = false;
  for (const t of toks) {
    if (t === '{') { ++depth; first = depth === 3 || depth === 2; continue; }
    if (t === '}') { --depth; continue; }
    if (Array.isArray(t) && first) { out.push(gbkText(t)); first = false; }
    else if (t === ',') first = false;
  }
  return out;
}
const magnet = sitePattern('kMagnetEntry');
const diskHit = sitePattern('kDiskHit');
const shareFields = siteFieldPatterns('kShareFields');
if (shareFields.length !== 6) throw new Error('expected six share-index fields');
const entry = (name, date, size, files, link) =>
  '<div class="item"><h5 class="h">' + name + '</h5>\n<p><span class="prop_val">' + date +
  '</span> <span class="prop_val">' + size + '</span>\n<span class="prop_val">' + files +
  '</span></p><a class="go" href="' + link + '">下载</a></div>\n';
const diskEntry = (link, title, closingTabs) =>
  '<div class="item">\n<a class="cse-search-result_content_item_top_a" href="https://pan.example/s/' + link +
  '" target="_blank" rel="external nofollow" onclick="track(\'' + link + '\');" >\n' + '\t'.repeat(11) + title +
  '\t'.repeat(closingTabs) + '</a>\n</div>\n';
const shareRow = (name, id) =>
  '<tr><td><a class="blue" target="_blank" title="' + name + '" href="/r/' + id + '">' + name +
  '</a></td><td> 2019-01-0' + id.length + ' </td><td><a href="/c/' + id + '">c</a></td><td class="t2">' + id +
  ' MB</td><td><a target="_blank" title="王' + id + '资源，点击查看该用户分享的所有文件">o</a></td></tr>\n';
const hand = [
  ['<b>(.*?)</b>', '<B>x</B> <b>y</b>', 'img'],
  ['a.c', 'a\nc abc', 'img'],
  ['a[\\s\\S]c', 'a\nc abc', 'img'],
  ['(a)|b', 'ab', 'img'],
  ['(a|ab)(c|bcd)(d*)', 'abcd', 'img'],
  ['x*', 'axxb', 'img'],
  ['', 'ab中', 'img'],
  ['(?:(a)|b)+', 'ab', 'img'],
  ['(a*)*b', 'aab', 'img'],
  ['(a|)*b', 'b', 'img'],
  ['(|a)+', 'aa', 'img'],
  ['(a?)+?b', 'aab', 'img'],
  ['^\\w+$', 'foo\nbar\r\nbaz', 'img'],
  ['^\\w+$', 'foo\nbar', 'ig'],
  ['\\bfoo\\b', 'foo afoo foo_ foo', 'img'],
  ['\\Boo\\B', 'foo fooo', 'img'],
  ['中(.)文', '中国文 中人文', 'img'],
  ['[一-龥]+', 'abc中文def一二三', 'img'],
  ['[\\u4e00-\\u9fa5]+', 'ab中文c', 'img'],
  ['\\u4e2d', '中', 'img'],
  ['[^\\u4e00-\\u9fa5]+', 'ab中文c', 'img'],
  ['ａ', 'Ａａ', 'img'],
  ['ａ', 'Ａａ', 'mg'],
  ['α+', 'αΑα', 'img'],
  ['ё', 'Ёё', 'ig'],
  ['\\s+', 'a \u3000\tb', 'img'],
  ['\\S+', 'a \u3000\tb中', 'img'],
  ['.', '€a', 'img'],
  ['@', '丂@', 'img'],
  ['[@]', '丂@', 'img'],
  ['a{2,3}?', 'aaaaaaa', 'img'],
  ['a{2,}', 'aaaaa b aa a', 'img'],
  ['a{0}', 'aa', 'img'],
  ['(a{2})*', 'aaaaa', 'img'],
  ['<td> 20.*? </td>', '<td> 2019-01-02 </td><td> 2020-03-04 </td>', 'img'],
  ['href="/r.*?">', '<a href="/r/abc">x</a><a HREF="/r/d">', 'img'],
  ['x{', 'x{', 'img'],
  ['a]', 'a]', 'img'],
  ['\\x41\\u0042', 'ab AB', 'img'],
  ['[\\b]', 'a\bb', 'img'],
  ['\\cJ', 'a\nb', 'img'],
  ['[^]', 'ab', 'img'],
  ['[]a', 'ab', 'img'],
  ['a|b|', 'cab', 'img'],
  ['((a)|(b))+', 'ab', 'img'],
  ['(a)|(b)', 'ba', 'img'],
  ['$', 'a\nb', 'mg'],
  ['^', 'a\nb', 'mg'],
  ['^', 'a\nb', 'g'],
  ['a$', 'a\na', 'g'],
  ['^(?:[^a]{0,2}?|@){1,2}', '@Ab', 'g'],
  ['(?:a?|b)*?c', 'abc', 'g'],
  ['(a?){2,3}b', 'ab', 'g'],
  ['((?:x|)*?)y', 'xxy', 'g'],
  ['(?:(a)|b|)+', 'ab', 'g'],
  [magnet, entry('<span class=\'highlight\'>中文</span>电影', '2024-01-02', '1.2 GB', '3', 'magnet:?xt=urn:btih:ABC') +
    entry('第二', '2023-05-06', '700 MB', '1', 'magnet:?xt=urn:btih:DEF'), 'img'],
  [magnet, '<h5 class="h">x</h5>'.repeat(20), 'img'],
  [magnet, entry('a\nb', '1', '2', '3', 'm1') + entry('c', '4', '5', '6', 'm2'), 'img'],
  [diskHit, diskEntry('1a', '<b>电影</b>合集', 10) + diskEntry('2b', 'x', 9) + diskEntry('3c', '第三', 10), 'img'],
  [diskHit, diskEntry('1a', 'one', 10).replace(/\n/g, ' '), 'img'],
];
for (const field of shareFields) hand.push([field, shareRow('电影 合集.mp4', '1') + shareRow('软件.zip', '22'), 'img']);

let count = 0;
for (const [p, s, f] of hand) if (emit(p, s, f)) ++count;
const flagSets = ['img', 'img', 'img', 'mg', 'ig', 'g', 'im', ''];
let generated = 0;
while (generated < 400) {
  const p = genAlt(0);
  const s = genSubject();
  if (emit(p, s, pick(flagSets))) ++generated;
}
process.stderr.write(`cases: ${count} hand-picked, ${generated} generated\n`);
