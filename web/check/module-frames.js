#!/usr/bin/env node
// Checks the watch page's WebAssembly module against zorblet --replay's own code built
// natively (zorblet-viewer-frames: replay::RecordPlayer, render::DrawReplayFrame and the
// game's fonts through SDL_ttf). For each record given:
// - a record these rules do not replay is refused with the same reason natively and in
//   the module;
// - otherwise the module plays forward through the telling frames the native tool names
//   (the first, the first paddle contact, the bumper ring, the gate, the last in play, the
//   last, and every 1000th), as the viewer plays, and seeks back through them in reverse
//   order, as the slider does; at each, the state's hashes and the picture's 360,000
//   pixels must equal the native ones.
// Then damaged records are refused for the reader's reasons, in the module as in the game.
//
// Usage: node web/check/module-frames.js [--save DIR] MODULE_JS ATLAS FRAMES_TOOL RECORD...
// With --save, each differing picture is written to DIR as RECORD-module-N.png and
// RECORD-game-N.png. Exit status: 0 when everything holds, 1 when something differs, 2
// when the check cannot run.

'use strict';

const fs = require('fs');
const path = require('path');
const { spawnSync } = require('child_process');
const { Viewer, PictureBytes, writePng, comparePictures } = require('./viewer-node');

function fail(message) {
  console.error(`module-frames: ${message}`);
  process.exit(2);
}

function parseArguments(argv) {
  let saveDir = null;
  if (argv[0] === '--save') {
    saveDir = argv[1];
    argv = argv.slice(2);
  }
  if (argv.length < 4) {
    fail('usage: module-frames.js [--save DIR] MODULE_JS ATLAS FRAMES_TOOL RECORD...');
  }
  const [moduleJs, atlas, framesTool, ...records] = argv;
  return { saveDir, moduleJs, atlas, framesTool, records };
}

function run(tool, args, maxBuffer) {
  const result = spawnSync(tool, args, { maxBuffer, stdio: ['ignore', 'pipe', 'inherit'] });
  if (result.error) fail(`${tool}: ${result.error.message}`);
  if (result.status !== 0) fail(`${tool} ${args.join(' ')} ended with status ${result.status}`);
  return result.stdout;
}

// What the native tool says of a record: { refused: CODE } or { frames, telling: [{frame,
// name, hashes}] }.
function tellingFrames(framesTool, record) {
  const lines = run(framesTool, ['--telling', record], 1 << 20).toString().trim().split('\n');
  const [kind, value] = lines[0].split(' ');
  if (kind === 'refused') return { refused: Number(value) };
  if (kind !== 'frames') fail(`${framesTool} --telling: unexpected line: ${lines[0]}`);
  const telling = lines.slice(1).map((line) => {
    const [, frame, name, gameHash, decorationHash] = line.split(' ');
    return { frame: Number(frame), name, hashes: `${gameHash} ${decorationHash}` };
  });
  return { frames: Number(value), telling };
}

function nativePictures(framesTool, record, frames) {
  const out = run(framesTool, [record, ...frames.map(String)], PictureBytes * frames.length + 1);
  if (out.length !== PictureBytes * frames.length) {
    fail(`${framesTool} wrote ${out.length} bytes, not ${frames.length} pictures`);
  }
  return frames.map((_, i) => out.subarray(i * PictureBytes, (i + 1) * PictureBytes));
}

// Compares what the module shows now with the native frame; returns the failures.
function checkFrame(viewer, native, picture, options, label, how) {
  const hashes = viewer.stateHashes();
  const { count, box } = comparePictures(viewer.picture(), picture);
  const sameState = hashes === native.hashes;
  if (count === 0 && sameState) return 0;
  const where = box ? `, within (${box.x0},${box.y0})-(${box.x1},${box.y1})` : '';
  console.log(`DIFF ${label} frame ${native.frame} (${native.name}, ${how}): ${count} pixels differ${where}` +
              (sameState ? '' : `; state ${hashes}, natively ${native.hashes}`));
  if (options.saveDir && count > 0) {
    writePng(path.join(options.saveDir, `${label}-module-${native.frame}.png`), viewer.picture());
    writePng(path.join(options.saveDir, `${label}-game-${native.frame}.png`), picture);
  }
  return 1;
}

function checkRecord(viewer, options, record) {
  const label = path.basename(record, '.zrec');
  const native = tellingFrames(options.framesTool, record);
  const opened = viewer.openRecord(fs.readFileSync(record));
  if (native.refused !== undefined) {
    const ok = opened === native.refused;
    console.log(`${ok ? 'ok  ' : 'FAIL'} ${label}: refused with reason ${opened} (natively ${native.refused}): ` +
                viewer.errorText());
    return { failures: ok ? 0 : 1, pictures: 0 };
  }
  if (opened !== 0) {
    console.log(`FAIL ${label}: the module refuses it (reason ${opened}: ${viewer.errorText()})`);
    return { failures: 1, pictures: 0 };
  }
  if (viewer.frameCount() !== native.frames) {
    console.log(`FAIL ${label}: ${viewer.frameCount()} frames, natively ${native.frames}`);
    return { failures: 1, pictures: 0 };
  }
  const pictures = nativePictures(options.framesTool, record, native.telling.map((t) => t.frame));
  let failures = 0;
  native.telling.forEach((frame, i) => {
    viewer.play(frame.frame - viewer.framesPlayed());
    failures += checkFrame(viewer, frame, pictures[i], options, label, 'played');
  });
  for (let i = native.telling.length - 1; i >= 0; i--) {
    viewer.seek(native.telling[i].frame);
    failures += checkFrame(viewer, native.telling[i], pictures[i], options, label, 'sought');
  }
  const names = native.telling.filter((t) => t.name !== 'every-1000').map((t) => `${t.name} ${t.frame}`);
  console.log(`${failures === 0 ? 'ok  ' : 'FAIL'} ${label}: ${native.telling.length} frames played and sought ` +
              `equal to the game's (${names.join(', ')})`);
  return { failures, pictures: 2 * native.telling.length };
}

// What the record's reader says of damaged files (record::DecodeError), in the module as
// in the game: the module's zlib and CRC-32 at work.
function checkDamagedRecords(viewer, record) {
  const flipped = Buffer.from(record);
  flipped[flipped.length - 1] ^= 0x10;  // in the CRC-32, so in any record
  const cases = [
    { name: 'no bytes', bytes: Buffer.alloc(0), error: 1 },
    { name: 'another file', bytes: Buffer.from('GIF89a, not a record'), error: 2 },
    { name: 'cut short', bytes: record.subarray(0, record.length - 5), error: 3 },
    { name: 'one bit of its checksum flipped', bytes: flipped, error: 5 },
  ];
  let failures = 0;
  for (const { name, bytes, error } of cases) {
    const got = viewer.openRecord(bytes);
    const text = viewer.errorText();
    const ok = got === error && text.length > 0 && viewer.frameCount() === 0;
    if (!ok) failures++;
    console.log(`${ok ? 'ok  ' : 'FAIL'} record ${name}: reason ${got} (expected ${error}): ${text}`);
  }
  return failures;
}

async function main() {
  const options = parseArguments(process.argv.slice(2));
  const viewer = await Viewer.load(options.moduleJs);
  if (viewer.loadAtlas(fs.readFileSync(options.atlas)) !== 0) fail(`atlas: ${viewer.errorText()}`);
  if (options.saveDir) fs.mkdirSync(options.saveDir, { recursive: true });

  let failures = 0;
  let pictures = 0;
  for (const record of options.records) {
    const outcome = checkRecord(viewer, options, record);
    failures += outcome.failures;
    pictures += outcome.pictures;
  }
  failures += checkDamagedRecords(viewer, fs.readFileSync(options.records[options.records.length - 1]));
  console.log(`${options.records.length} records, ${pictures} pictures compared: ` +
              `${failures === 0 ? 'all equal' : `${failures} failures`}`);
  process.exit(failures === 0 ? 0 : 1);
}

main().catch((error) => fail(error.stack || String(error)));
