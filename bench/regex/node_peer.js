// Node's RegExp as a benchmark peer: node node_peer.js <dir> <pattern-file> <page>...
// The pattern file holds one or more patterns separated by zero bytes; each
// page is searched with every one of them in turn, as a site search does.
// Pages are GBK files; each is decoded once (not timed), then every match
// with its groups is collected as a site search does (global, ignore case,
// multi-line). Prints "<page> <MB/s> <matches>" or "<page> skipped (quadratic)";
// the caller also kills it at its own time limit.
'use strict';
const fs = require('fs');
const path = require('path');
const [dir, patternFile, ...pages] = process.argv.slice(2);
const patterns = new TextDecoder('gbk').decode(fs.readFileSync(path.join(dir, patternFile))).split('\0');
const kCapSeconds = 3;
let quadratic = false;
for (const page of pages) {
  if (quadratic) { console.log(page + ' skipped (quadratic)'); continue; }
  const bytes = fs.readFileSync(path.join(dir, page));
  const text = new TextDecoder('gbk').decode(bytes);
  const regexps = patterns.map((p) => new RegExp(p, 'gim'));
  const runOnce = () => {
    let m, count = 0, sink = 0;
    for (const re of regexps) {
      re.lastIndex = 0;
      while ((m = re.exec(text)) !== null) {
        ++count;
        for (let g = 1; g < m.length; ++g) sink += m[g] ? m[g].length : 0;
        if (m[0].length === 0) re.lastIndex++;
      }
    }
    return count + sink * 0;
  };
  // As in the C++ harness: one warm-up run, then samples of enough runs to
  // last 5 ms or more each; the median sample counts.
  const cpu = () => { const u = process.cpuUsage(); return (u.user + u.system) / 1e6; };
  let t0 = cpu();
  let count = runOnce();
  const once = cpu() - t0;
  if (once > kCapSeconds) quadratic = true;
  const reps = once >= 0.005 ? 1 : Math.max(1, Math.floor(0.005 / Math.max(once, 1e-6)));
  const times = [];
  let total = 0;
  while (!quadratic && times.length < 5 && (total < 1.0 || times.length < 3)) {
    // Processor time, as the C++ harness measures (the machine is shared).
    t0 = cpu();
    for (let r = 0; r < reps; ++r) count = runOnce();
    const s = (cpu() - t0) / reps;
    times.push(s);
    total += s * reps;
    if (s > kCapSeconds) { quadratic = true; break; }
  }
  if (times.length === 0) times.push(once);
  times.sort((a, b) => a - b);
  const median = times[Math.floor(times.length / 2)];
  console.log(page + ' ' + (bytes.length / 1e6 / median).toFixed(1) + ' ' + count);
}
