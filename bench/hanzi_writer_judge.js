// The writing benchmark's yardstick: judges a file of attempts (the format of
// `lorvanta-bench-writing --judge`) with the quiz matcher of the npm package
// hanzi-writer 3.7.3, its own `strokeMatches` with leniency 1 and the outline
// shown, and prints one line per stroke in the same form.
//
//   node hanzi_writer_judge.js FILE HANZI_WRITER_DIR HANZI_WRITER_DATA_DIR
//
// The package does not export the matcher, so its published bundle is run
// with the two functions handed out at the end.
'use strict';
const fs = require('fs');
const path = require('path');

const [file, writerDir, dataDir] = process.argv.slice(2);
if (!file || !writerDir || !dataDir) {
  process.stderr.write('usage: node hanzi_writer_judge.js FILE HANZI_WRITER_DIR HANZI_WRITER_DATA_DIR\n');
  process.exit(2);
}
const bundle = fs.readFileSync(path.join(writerDir, 'dist', 'index.cjs.js'), 'utf8');
const mod = { exports: {} };
new Function('module', 'exports', 'require',
  bundle + '\nmodule.exports = { strokeMatches, parseCharData };')(mod, mod.exports, require);
const { strokeMatches, parseCharData } = mod.exports;

const characters = new Map();
function character(symbol) {
  if (!characters.has(symbol)) {
    const json = JSON.parse(fs.readFileSync(path.join(dataDir, symbol + '.json'), 'utf8'));
    characters.set(symbol, parseCharData(symbol, json));
  }
  return characters.get(symbol);
}

const input = JSON.parse(fs.readFileSync(file, 'utf8'));
const out = [];
input.attempts.forEach((attempt, a) => {
  const model = character(attempt.char);
  attempt.strokes.forEach((points, k) => {
    const userStroke = { points: points.map(([x, y]) => ({ x, y })) };
    const { isMatch } = strokeMatches(userStroke, model, k, { leniency: 1, isOutlineVisible: true });
    out.push(`{"attempt": ${a}, "stroke": ${k}, "accepted": ${isMatch}, "reasons": []}`);
  });
});
process.stdout.write(out.join('\n') + '\n');
