#!/usr/bin/env node
// Checks the watch page's WebAssembly module against the game's own code built natively:
// damaged records are refused for the reader's reasons; then a record is played in the
// module (glyphs from the atlas) and in zorblet-viewer-frames (the same playback built
// natively, glyphs from the game's fonts through SDL_ttf), and the pictures after the
// given numbers of frames are compared pixel for pixel. By default: the start, every
// five seconds of the game, and its end.
//
// Usage: node web/check/module-frames.js [--save DIR] MODULE_JS ATLAS FRAMES_TOOL RECORD [FRAME...]
// With --save, each differing picture is written to DIR as module-N.png and game-N.png.
// Exit status: 0 when every check holds and every picture is equal, 1 when something
// differs, 2 when the check cannot run.
//
// The module is handed its .wasm bytes rather than left to fetch them: emscripten 3.1.6's
// glue fetches with a file path wherever a global fetch exists, which fails in node 18 and
// later (the other cure is node --no-experimental-fetch).

'use strict';

const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const { spawnSync } = require('child_process');

const Width = 600;
const Height = 600;
const PictureBytes = Width * Height * 4;
const FpsShown = 121;           // zorblet-viewer-frames draws the same reading
const FramesPerSecond = 121;

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
    fail('usage: module-frames.js [--save DIR] MODULE_JS ATLAS FRAMES_TOOL RECORD [FRAME...]');
  }
  const [moduleJs, atlas, framesTool, record, ...frames] = argv;
  for (const frame of frames) {
    if (!/^\d+$/.test(frame)) fail(`not a frame number: ${frame}`);
  }
  return { saveDir, moduleJs, atlas, framesTool, record, frames: frames.map(Number) };
}

// The module's C functions over its memory, which may grow (and be replaced) in any call.
class Viewer {
  constructor(module) {
    this.module = module;
  }

  static async load(moduleJs) {
    const factory = require(path.resolve(moduleJs));
    const wasm = moduleJs.replace(/\.js$/, '.wasm');
    return new Viewer(await factory({ wasmBinary: fs.readFileSync(wasm) }));
  }

  withBytes(bytes, call) {
    const pointer = this.module._malloc(Math.max(bytes.length, 1));
    this.module.HEAPU8.set(bytes, pointer);
    try {
      return call(pointer, bytes.length);
    } finally {
      this.module._free(pointer);
    }
  }

  loadAtlas(bytes) {
    return this.withBytes(bytes, (p, n) => this.module._zorblet_load_atlas(p, n));
  }

  openRecord(bytes) {
    return this.withBytes(bytes, (p, n) => this.module._zorblet_open_record(p, n));
  }

  errorText() {
    const heap = this.module.HEAPU8;
    const start = this.module._zorblet_error_text();
    let end = start;
    while (heap[end] !== 0) end++;
    return new TextDecoder().decode(heap.subarray(start, end));
  }

  frameCount() {
    return this.module._zorblet_frame_count();
  }

  // The picture after `frames` frames, copied out of the module's memory.
  pictureAfter(frames) {
    this.module._zorblet_seek(frames);
    const pointer = this.module._zorblet_draw(FpsShown);
    if (pointer === 0) throw new Error('the module drew no picture');
    return Buffer.from(this.module.HEAPU8.subarray(pointer, pointer + PictureBytes));
  }
}

// What the record's reader says of damaged files (record::DecodeError), in the module
// as in the game: the module's zlib and CRC-32 at work.
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
    const ok = got === error && text.length > 0;
    if (!ok) failures++;
    console.log(`${ok ? 'ok  ' : 'FAIL'} record ${name}: reason ${got} (expected ${error}): ${text}`);
  }
  return failures;
}

function defaultFrames(frameCount) {
  const frames = [];
  for (let frame = 0; frame < frameCount; frame += 5 * FramesPerSecond) frames.push(frame);
  frames.push(frameCount);
  return frames;
}

function nativePictures(framesTool, record, frames) {
  const run = spawnSync(framesTool, [record, ...frames.map(String)], {
    maxBuffer: PictureBytes * frames.length + 1,
    stdio: ['ignore', 'pipe', 'inherit'],
  });
  if (run.error) fail(`${framesTool}: ${run.error.message}`);
  if (run.status !== 0) fail(`${framesTool} ended with status ${run.status}`);
  if (run.stdout.length !== PictureBytes * frames.length) {
    fail(`${framesTool} wrote ${run.stdout.length} bytes, not ${frames.length} pictures`);
  }
  return run.stdout;
}

// The pixels that differ and the box around them.
function compare(a, b) {
  let count = 0;
  let box = null;
  for (let i = 0; i < Width * Height; i++) {
    const o = 4 * i;
    if (a[o] === b[o] && a[o + 1] === b[o + 1] && a[o + 2] === b[o + 2] && a[o + 3] === b[o + 3]) continue;
    count++;
    const x = i % Width;
    const y = Math.floor(i / Width);
    box = box ? { x0: Math.min(box.x0, x), y0: Math.min(box.y0, y), x1: Math.max(box.x1, x), y1: Math.max(box.y1, y) }
              : { x0: x, y0: y, x1: x, y1: y };
  }
  return { count, box };
}

const crcTable = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});

function crc32(bytes) {
  let c = 0xffffffff;
  for (const byte of bytes) c = crcTable[(c ^ byte) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

function pngChunk(type, data) {
  const length = Buffer.alloc(4);
  length.writeUInt32BE(data.length);
  const body = Buffer.concat([Buffer.from(type, 'ascii'), data]);
  const crc = Buffer.alloc(4);
  crc.writeUInt32BE(crc32(body));
  return Buffer.concat([length, body, crc]);
}

function writePng(file, rgba) {
  const header = Buffer.alloc(13);
  header.writeUInt32BE(Width, 0);
  header.writeUInt32BE(Height, 4);
  header.set([8, 6, 0, 0, 0], 8);  // 8 bits, RGBA, no interlace
  const rows = Buffer.alloc((Width * 4 + 1) * Height);
  for (let y = 0; y < Height; y++) rgba.copy(rows, y * (Width * 4 + 1) + 1, y * Width * 4, (y + 1) * Width * 4);
  fs.writeFileSync(file, Buffer.concat([
    Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
    pngChunk('IHDR', header), pngChunk('IDAT', zlib.deflateSync(rows)), pngChunk('IEND', Buffer.alloc(0)),
  ]));
}

async function main() {
  const options = parseArguments(process.argv.slice(2));
  const viewer = await Viewer.load(options.moduleJs);
  if (viewer.loadAtlas(fs.readFileSync(options.atlas)) !== 0) fail(`atlas: ${viewer.errorText()}`);
  const record = fs.readFileSync(options.record);

  let failures = checkDamagedRecords(viewer, record);
  const opened = viewer.openRecord(record);
  if (opened !== 0) fail(`${options.record}: reason ${opened}: ${viewer.errorText()}`);
  const frames = options.frames.length > 0 ? options.frames : defaultFrames(viewer.frameCount());
  const native = nativePictures(options.framesTool, options.record, frames);
  if (options.saveDir) fs.mkdirSync(options.saveDir, { recursive: true });

  let differing = 0;
  frames.forEach((frame, index) => {
    const ours = viewer.pictureAfter(frame);
    const theirs = native.subarray(index * PictureBytes, (index + 1) * PictureBytes);
    const { count, box } = compare(ours, theirs);
    if (count === 0) {
      console.log(`ok   frame ${frame}: equal`);
      return;
    }
    differing++;
    console.log(`DIFF frame ${frame}: ${count} pixels differ, within (${box.x0},${box.y0})-(${box.x1},${box.y1})`);
    if (options.saveDir) {
      writePng(path.join(options.saveDir, `module-${frame}.png`), ours);
      writePng(path.join(options.saveDir, `game-${frame}.png`), theirs);
    }
  });
  console.log(`${frames.length - differing} of ${frames.length} pictures equal, ${failures} damaged-record checks failed`);
  process.exit(failures + differing === 0 ? 0 : 1);
}

main().catch((error) => fail(error.stack || String(error)));
