// The native colortext in a pseudo-terminal, its output fed to xterm.js
// (headless), which fills the rows it scrolls in with the background
// colour current then, as xterm, VS Code's terminal and Windows Terminal
// do. The rows each case names must hold exactly the text and the
// backgrounds given: '.' for the terminal's own, else the palette index.
//   usage: node screen.js path/to/colortext
'use strict';
const { execFileSync } = require('child_process');
const { Terminal } = require('@xterm/headless');

const program = process.argv[2];
const cases = [
  ['a run wrapping on the bottom row', '10*9 /1F 65*25', {
    8: ['A'.repeat(20), '4'.repeat(20)],
    9: ['AAAAA', '44444' + '.'.repeat(15)],
  }],
  ['a long run from the bottom row', '10*9 /2E 66*70', {
    9: ['B'.repeat(10), '2'.repeat(10) + '.'.repeat(10)],
  }],
  ['a line feed inside a run', `10*9 /1F '"a\nb"'`, {
    8: ['a', '4' + '.'.repeat(19)],
    9: ['b', '4' + '.'.repeat(19)],
  }],
  ['a wide character that does not fit the bottom row', `10*9 /1F 65*19 '"\u6771"'`, {
    9: ['\u6771', '44' + '.'.repeat(18)],
  }],
  ['a run ending in the last column, then another', `10*9 /1F 65*20 /4E '"x"'`, {
    8: ['A'.repeat(20), '4'.repeat(20)],
    9: ['x', '1' + '.'.repeat(19)],
  }],
];

function screen(args, cols, rows) {
  const bytes = execFileSync(
    'script', ['-qfec', `stty cols ${cols} rows ${rows}; exec ${program} ${args}`, '/dev/null']);
  const terminal = new Terminal({ cols, rows, allowProposedApi: true });
  return new Promise((resolve) => terminal.write(bytes, () => resolve(terminal)));
}

function row(terminal, y) {
  const line = terminal.buffer.active.getLine(terminal.buffer.active.viewportY + y);
  let colours = '';
  for (let x = 0; x < terminal.cols; ++x) {
    const cell = line.getCell(x);
    colours += cell.isBgDefault() ? '.' : cell.getBgColor().toString(16);
  }
  return [line.translateToString(true), colours];
}

(async () => {
  let failed = 0;
  for (const [name, args, rows] of cases) {
    const terminal = await screen(args, 20, 10);
    const wrong = Object.entries(rows).filter(([y, want]) => {
      return JSON.stringify(row(terminal, Number(y))) !== JSON.stringify(want);
    });
    for (const [y, want] of wrong) {
      console.log(`FAIL: ${name}: row ${y} is ${JSON.stringify(row(terminal, Number(y)))},` +
                  ` expected ${JSON.stringify(want)}`);
    }
    if (wrong.length === 0) console.log(`ok: ${name}`);
    failed += wrong.length > 0 ? 1 : 0;
  }
  console.log(`${cases.length - failed} passed, ${failed} failed`);
  process.exit(failed === 0 ? 0 : 1);
})();
