// The watch page's module in node, for the checks and the benchmark: its C functions over
// its memory (which may grow, and be replaced, in any call), and pictures compared and
// written as PNG.
//
// The module is handed its .wasm bytes rather than left to fetch them: emscripten 3.1.6's
// glue fetches with a file path wherever a global fetch exists, which fails in node 18 and
// later (the other cure is node --no-experimental-fetch).

'use strict';

const fs = require('fs');
const path = require('path');
const zlib = require('zlib');

const Width = 600;
const Height = 600;
const PictureBytes = Width * Height * 4;

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

  framesPlayed() {
    return this.module._zorblet_frames_played();
  }

  seek(frames) {
    return this.module._zorblet_seek(frames);
  }

  play(frames) {
    return this.module._zorblet_play(frames);
  }

  // The game's and the decoration's state hashes as the native tool prints them.
  stateHashes() {
    const words = new Uint32Array(this.module.HEAPU8.buffer, this.module._zorblet_state_hashes(), 4);
    const hex = (low, high) => high.toString(16).padStart(8, '0') + low.toString(16).padStart(8, '0');
    return `${hex(words[0], words[1])} ${hex(words[2], words[3])}`;
  }

  // The picture of the last frame played, copied out of the module's memory.
  picture() {
    const pointer = this.module._zorblet_draw();
    if (pointer === 0) throw new Error('the module drew no picture');
    return Buffer.from(this.module.HEAPU8.subarray(pointer, pointer + PictureBytes));
  }
}

// The pixels that differ and the box around them.
function comparePictures(a, b) {
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

module.exports = { Viewer, Width, Height, PictureBytes, comparePictures, writePng };
