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
const magnet = '<h5 class="h">(.*?)</h5>[\\s\\S]*?prop_val">(.*?)</span>[\\s\\S]*?prop_val">(.*?)</span>' +
  '[\\s\\S]*?prop_val">(.*?)</span>[\\s\\S]*?href="(.*?)">';
const entry = (name, date, size, files, link) =>
  '<div class="item"><h5 class="h">' + name + '</h5>\n<p><span class="prop_val">' + date +
  '</span> <span class="prop_val">' + size + '</span>\n<span class="prop_val">' + files +
  '</span></p><a class="go" href="' + link + '">下载</a></div>\n';
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
];

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
