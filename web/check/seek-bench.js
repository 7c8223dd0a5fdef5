#!/usr/bin/env node
// The watch page's module in node: how fast it opens a record and shows the first
// picture, plays and draws a frame, and seeks in a long game, the first time (no snapshot
// kept yet beyond where it stands: the frames are replayed without drawing) and once the
// snapshots are kept (every two seconds of the game), backward and forward.
//
// Usage: node web/check/seek-bench.js MODULE_JS ATLAS RECORD [SEEKS]

'use strict';

const fs = require('fs');
const { performance } = require('perf_hooks');
const { Viewer } = require('./viewer-node');

const FramesPerSecond = 121;

function milliseconds(start) {
  return performance.now() - start;
}

function timeIt(action) {
  const start = performance.now();
  action();
  return milliseconds(start);
}

// A generator of its own, so that every run seeks the same frames.
function randomFrames(count, limit) {
  let state = 20261211;
  const frames = [];
  for (let i = 0; i < count; i++) {
    state = (Math.imul(state, 1103515245) + 12345) >>> 0;
    frames.push(1 + (state % limit));
  }
  return frames;
}

function summary(times) {
  const sorted = [...times].sort((a, b) => a - b);
  const mean = times.reduce((a, b) => a + b, 0) / times.length;
  return `mean ${mean.toFixed(2)} ms, 99th percentile ${sorted[Math.floor(sorted.length * 0.99)].toFixed(2)} ms, ` +
         `slowest ${sorted[sorted.length - 1].toFixed(2)} ms`;
}

async function main() {
  const [moduleJs, atlasPath, recordPath, seeksText] = process.argv.slice(2);
  if (!recordPath) {
    console.error('usage: seek-bench.js MODULE_JS ATLAS RECORD [SEEKS]');
    process.exit(2);
  }
  const seeks = Number(seeksText || 300);
  const loadStart = performance.now();
  const viewer = await Viewer.load(moduleJs);
  const loaded = milliseconds(loadStart);
  const atlas = fs.readFileSync(atlasPath);
  const record = fs.readFileSync(recordPath);
  let frames = 0;
  const opening = timeIt(() => {
    if (viewer.loadAtlas(atlas) !== 0) throw new Error(viewer.errorText());
    if (viewer.openRecord(record) !== 0) throw new Error(viewer.errorText());
    frames = viewer.frameCount();
    viewer.seek(1);
    viewer.picture();
  });
  const minutes = frames / FramesPerSecond / 60;
  console.log(`record: ${recordPath}, ${frames} frames (${minutes.toFixed(1)} minutes)`);
  console.log(`module compiled and started: ${loaded.toFixed(1)} ms; atlas and record read, first picture: ` +
              `${opening.toFixed(1)} ms`);

  // Played as the page plays it at 1x: a frame, then its picture (without reading it out
  // of the module's memory, which the page's putImageData does), after a second to warm up.
  const playSeconds = (count) => timeIt(() => {
    for (let i = 0; i < count * FramesPerSecond; i++) {
      viewer.play(1);
      viewer.module._zorblet_draw();
    }
  });
  const warming = playSeconds(1);
  const playing = playSeconds(5) / 5;
  console.log(`playing and drawing: ${(playing / FramesPerSecond).toFixed(3)} ms a frame, ${(playing / 10).toFixed(1)}% ` +
              `of one core at 1x (${(warming / FramesPerSecond).toFixed(3)} ms in the first second)`);

  // The first seek to the end replays the whole game without drawing, keeping snapshots.
  viewer.seek(1);
  const memoryBefore = viewer.module.HEAPU8.length;
  const toTheEnd = timeIt(() => {
    viewer.seek(frames);
    viewer.picture();
  });
  console.log(`first seek to the end (every frame replayed, no picture but the last): ${toTheEnd.toFixed(1)} ms, ` +
              `${(frames / toTheEnd / 1000).toFixed(2)} million frames a second`);

  const times = randomFrames(seeks, frames).map((frame) => timeIt(() => {
    viewer.seek(frame);
    viewer.picture();
  }));
  console.log(`${seeks} seeks to frames at random, with their pictures: ${summary(times)}`);
  const worst = [];
  for (let frame = 2 * FramesPerSecond * 10 - 1; frame < frames; frame += 2 * FramesPerSecond * 37) {
    viewer.seek(frames);
    worst.push(timeIt(() => {
      viewer.seek(frame);
      viewer.picture();
    }));
  }
  console.log(`seeks back to a frame just before a snapshot (the most frames to replay): ${summary(worst)}`);
  console.log(`the module's memory: ${(memoryBefore / 1048576).toFixed(1)} MiB before the snapshots of the whole ` +
              `game, ${(viewer.module.HEAPU8.length / 1048576).toFixed(1)} MiB with them`);
}

main().catch((error) => {
  console.error(error.stack || String(error));
  process.exit(2);
});
