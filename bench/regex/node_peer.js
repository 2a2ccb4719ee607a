// Node's RegExp as a benchmark peer: node node_peer.js <dir> <pattern-file> <page>...
// Pages are GBK files; each is decoded once (not timed), then every match
// with its groups is collected as a site search does (global, ignore case,
// multi-line). Prints "<page> <MB/s> <matches>" or "<page> skipped (quadratic)";
// the caller also kills it at its own time limit.
'use strict';
const fs = require('fs');
const path = require('path');
const [dir, patternFile, ...pages] = process.argv.slice(2);
const pattern = new TextDecoder('gbk').decode(fs.readFileSync(path.join(dir, patternFile)));
const kCapSeconds = 3;
let quadratic = false;
for (const page of pages) {
  if (quadratic) { console.log(page + ' skipped (quadratic)'); continue; }
  const bytes = fs.readFileSync(path.join(dir, page));
  const text = new TextDecoder('gbk').decode(bytes);
  const re = new RegExp(pattern, 'gim');
  const runOnce = () => {
    re.lastIndex = 0;
    let m, count = 0, sink = 0;
    while ((m = re.exec(text)) !== null) {
      ++count;
      for (let g = 1; g < m.length; ++g) sink += m[g] ? m[g].length : 0;
      if (m[0].length === 0) re.lastIndex++;
    }
    return count + sink * 0;
  };
  const times = [];
  let count = 0, total = 0;
  while (times.length < 5 && (total < 1.0 || times.length < 3)) {
    // Processor time, as the C++ harness measures (the machine is shared).
    const t0 = process.cpuUsage();
    count = runOnce();
    const used = process.cpuUsage(t0);
    const s = (used.user + used.system) / 1e6;
    times.push(s);
    total += s;
    if (s > kCapSeconds) { quadratic = true; break; }
  }
  times.sort((a, b) => a - b);
  const median = times[Math.floor(times.length / 2)];
  console.log(page + ' ' + (bytes.length / 1e6 / median).toFixed(1) + ' ' + count);
}
