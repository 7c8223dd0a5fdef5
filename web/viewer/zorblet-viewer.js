// The watch page's viewer: plays a recorded game on a 600x600 canvas, every picture drawn
// by the game's own world and drawing code in WebAssembly (zorblet-viewer-module.js and
// .wasm), exactly as zorblet --replay draws it. A static script, no inline code: the page
// needs a content security policy of script-src 'self' 'wasm-unsafe-eval'.
//
// The page holds one element for it, and loads the module's glue before this script:
//
//   <div class="partie" data-record="RECORD_URL" data-wasm="WASM_URL" data-atlas="ATLAS_URL">
//     <noscript><p>Diese Seite braucht JavaScript, um die Partie abzuspielen.</p></noscript>
//   </div>
//   <script src="zorblet-viewer-module.js?v=HASH" defer></script>
//   <script src="zorblet-viewer.js?v=HASH" defer></script>
//
// It fetches the record, the glyph atlas and the module at once, builds the canvas and its
// controls in the element (play and pause, speed 1x, 2x, 4x, a slider over the game's
// time, the sound), shows the first frame and plays at the game's 121 frames a second
// whatever the display's refresh rate. A record that cannot be played, or a file that
// cannot be loaded, gets a German sentence in the element instead.
//
// For tests and measurements the element carries data-state ("loading", "playing",
// "paused", "failed") and data-frame (the frame shown: the frames played up to it), and
// the first picture sets the performance mark "zorblet-first-picture".

(function () {
  'use strict';

  const FramesPerSecond = 121;
  const Width = 600;
  const Height = 600;
  const Speeds = [1, 2, 4];
  // After a pause of the page (a hidden tab) the game goes on where it was, not ahead.
  const LongestStepMs = 100;

  // The module's reasons for refusing a record (record::DecodeError, then the rules').
  const RefusalSentences = {
    1: 'Die Aufzeichnung dieser Partie ist leer.',
    2: 'Diese Datei ist keine Aufzeichnung einer Zorblet-Partie.',
    3: 'Die Aufzeichnung dieser Partie ist unvollständig: sie bricht ab.',
    4: 'Die Aufzeichnung dieser Partie ist beschädigt: hinter ihrem Ende folgen weitere Daten.',
    5: 'Die Aufzeichnung dieser Partie ist beschädigt: ihre Prüfsumme stimmt nicht.',
    6: 'Die Aufzeichnung dieser Partie stammt von einer neueren Zorblet-Version, die diese Seite noch nicht abspielen kann.',
    7: 'Die Aufzeichnung dieser Partie ist beschädigt: die Partie wäre länger als drei Stunden.',
    8: 'Die Aufzeichnung dieser Partie ist beschädigt: ihr Inhalt ist keine lesbare Partie.',
    9: 'Die Aufzeichnung dieser Partie ist beschädigt: ihr Inhalt ist keine lesbare Partie.',
    20: 'Diese Partie wurde nach anderen Spielregeln gespielt, als diese Seite kennt.',
    21: 'Die Aufzeichnung dieser Partie nennt einen Startwert, den die Spielregeln nicht kennen.',
  };
  const Sentences = {
    loading: 'Die Partie wird geladen …',
    notKept: 'Die Aufzeichnung dieser Partie ist nicht mehr gespeichert.',
    loadFailed: 'Die Partie konnte nicht geladen werden. Bitte die Seite später noch einmal laden.',
    noWebAssembly: 'Dieser Browser kann die Partie nicht abspielen: ihm fehlt WebAssembly.',
    unreadable: 'Die Aufzeichnung dieser Partie ist beschädigt.',
  };

  // A failure that carries the sentence the page shows for it.
  class ViewerError extends Error {
    constructor(sentence, detail) {
      super(detail || sentence);
      this.sentence = sentence;
    }
  }

  function fetchBytes(url, notFound) {
    return fetch(url, { credentials: 'same-origin' }).then((response) => {
      if (response.status === 404 && notFound) throw new ViewerError(notFound, `${url}: 404`);
      if (!response.ok) throw new ViewerError(Sentences.loadFailed, `${url}: HTTP ${response.status}`);
      return response.arrayBuffer();
    }, (error) => {
      throw new ViewerError(Sentences.loadFailed, `${url}: ${error.message}`);
    }).then((buffer) => new Uint8Array(buffer));
  }

  // The module's C functions over its memory, which may grow (and be replaced) in any call.
  class Game {
    constructor(module) {
      this.module = module;
    }

    static load(wasmUrl) {
      if (typeof WebAssembly !== 'object') return Promise.reject(new ViewerError(Sentences.noWebAssembly));
      if (typeof ZorbletViewerModule !== 'function') {
        return Promise.reject(new ViewerError(Sentences.loadFailed, 'the module\'s script did not load'));
      }
      return ZorbletViewerModule({
        locateFile: (name) => (name.endsWith('.wasm') ? wasmUrl : name),
        print: () => {},
        printErr: () => {},
      }).then((module) => new Game(module), (error) => {
        throw new ViewerError(Sentences.loadFailed, `the module: ${error}`);
      });
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

    errorText() {
      const heap = this.module.HEAPU8;
      const start = this.module._zorblet_error_text();
      let end = start;
      while (heap[end] !== 0) end++;
      return new TextDecoder().decode(heap.subarray(start, end));
    }

    loadAtlas(bytes) {
      const outcome = this.withBytes(bytes, (p, n) => this.module._zorblet_load_atlas(p, n));
      if (outcome !== 0) throw new ViewerError(Sentences.loadFailed, `the glyph atlas: ${this.errorText()}`);
    }

    openRecord(bytes) {
      const outcome = this.withBytes(bytes, (p, n) => this.module._zorblet_open_record(p, n));
      if (outcome !== 0) {
        throw new ViewerError(RefusalSentences[outcome] || Sentences.unreadable, `the record: ${this.errorText()}`);
      }
    }

    frameCount() { return this.module._zorblet_frame_count(); }
    framesPlayed() { return this.module._zorblet_frames_played(); }
    seek(frames) { return this.module._zorblet_seek(frames); }

    // Plays up to `frames` frames; the tone effects they started, each as its steps
    // [[hz, ms], ...].
    play(frames) {
      this.module._zorblet_play(frames);
      const count = this.module._zorblet_tone_words();
      if (count === 0) return [];
      const words = new Int32Array(this.module.HEAPU8.buffer, this.module._zorblet_tone_numbers(), count);
      const tones = [];
      for (let i = 0; i < count;) {
        const steps = [];
        const stepCount = words[i + 1];
        for (let s = 0; s < stepCount; s++) steps.push([words[i + 2 + 2 * s], words[i + 3 + 2 * s]]);
        tones.push(steps);
        i += 2 + 2 * stepCount;
      }
      return tones;
    }

    draw(context) {
      const pointer = this.module._zorblet_draw();
      const pixels = new Uint8ClampedArray(this.module.HEAPU8.buffer, pointer, Width * Height * 4);
      context.putImageData(new ImageData(pixels, Width, Height), 0, 0);
    }
  }

  // The game's tones as Web Audio plays them: sines with a fade of half a millisecond at
  // each end, as the game's mixer makes them. Silent until turned on, which needs a click.
  class Sound {
    constructor() {
      this.context = null;
      this.on = false;
    }

    toggle() {
      if (!this.context) {
        const AudioContextType = window.AudioContext || window.webkitAudioContext;
        if (!AudioContextType) return false;
        this.context = new AudioContextType();
        this.output = this.context.createDynamicsCompressor();
        this.output.connect(this.context.destination);
      }
      this.on = !this.on;
      if (this.on) this.context.resume();
      return this.on;
    }

    playEffects(effects) {
      if (!this.on || effects.length === 0) return;
      const start = this.context.currentTime + 0.01;
      for (const steps of effects.slice(0, 16)) this.playSteps(steps, start);
    }

    playSteps(steps, start) {
      const fade = 0.0005;
      const oscillator = this.context.createOscillator();
      const gain = this.context.createGain();
      gain.gain.setValueAtTime(0, start);
      let time = start;
      for (const [hz, ms] of steps) {
        const end = time + ms / 1000;
        if (hz > 0) {
          oscillator.frequency.setValueAtTime(hz, time);
          gain.gain.setValueAtTime(0, time);
          gain.gain.linearRampToValueAtTime(0.4, time + fade);
          gain.gain.setValueAtTime(0.4, end - fade);
          gain.gain.linearRampToValueAtTime(0, end);
        }
        time = end;
      }
      oscillator.connect(gain).connect(this.output);
      oscillator.start(start);
      oscillator.stop(time);
    }
  }

  function element(tag, properties, children) {
    const made = document.createElement(tag);
    Object.assign(made, properties || {});
    for (const child of children || []) made.append(child);
    return made;
  }

  function clock(frames) {
    const seconds = Math.floor(frames / FramesPerSecond);
    return `${Math.floor(seconds / 60)}:${String(seconds % 60).padStart(2, '0')}`;
  }

  // The canvas and its controls, built hidden while the game loads.
  function buildControls(root) {
    const canvas = element('canvas', { className: 'partie-bild', width: Width, height: Height });
    canvas.setAttribute('role', 'img');
    canvas.setAttribute('aria-label', 'Die Partie, gezeichnet vom Spiel selbst');
    const playButton = element('button', { type: 'button', className: 'partie-abspielen', textContent: 'Abspielen' });
    const speedButtons = Speeds.map((speed) => {
      const button = element('button', { type: 'button', className: 'partie-tempo', textContent: `${speed}x` });
      button.dataset.speed = speed;
      button.setAttribute('aria-pressed', String(speed === 1));
      return button;
    });
    const speedGroup = element('span', { className: 'partie-tempi' }, speedButtons);
    speedGroup.setAttribute('role', 'group');
    speedGroup.setAttribute('aria-label', 'Tempo');
    const soundButton = element('button', { type: 'button', className: 'partie-ton', textContent: 'Ton' });
    soundButton.setAttribute('aria-pressed', 'false');
    const slider = element('input', { type: 'range', className: 'partie-zeit', min: 1, max: 1, step: 1, value: 1 });
    slider.setAttribute('aria-label', 'Spielzeit');
    const time = element('output', { className: 'partie-uhr' });
    const controls = element('div', { className: 'partie-steuerung', hidden: true },
                             [playButton, speedGroup, soundButton, slider, time]);
    const message = element('p', { className: 'partie-meldung', textContent: Sentences.loading });
    message.setAttribute('role', 'status');
    canvas.hidden = true;
    root.append(canvas, controls, message);
    return { root, canvas, controls, playButton, speedButtons, soundButton, slider, time, message };
  }

  class Viewer {
    constructor(ui, game) {
      this.ui = ui;
      this.game = game;
      this.context = ui.canvas.getContext('2d', { alpha: false });
      this.frames = game.frameCount();
      this.speed = 1;
      this.playing = false;
      this.sound = new Sound();
      this.lastTime = null;
      this.owedMs = 0;  // game time due but not yet played, at the speed chosen
      this.tick = this.tick.bind(this);
    }

    start() {
      const ui = this.ui;
      ui.slider.max = Math.max(this.frames, 1);
      ui.playButton.addEventListener('click', () => (this.playing ? this.pause() : this.play()));
      for (const button of ui.speedButtons) {
        button.addEventListener('click', () => this.setSpeed(Number(button.dataset.speed)));
      }
      ui.soundButton.addEventListener('click', () => {
        ui.soundButton.setAttribute('aria-pressed', String(this.sound.toggle()));
      });
      ui.slider.addEventListener('input', () => this.seek(Number(ui.slider.value)));
      ui.canvas.hidden = false;
      ui.controls.hidden = false;
      ui.message.textContent = '';
      this.seek(1);
      performance.mark('zorblet-first-picture');
      this.play();
    }

    show() {
      const played = this.game.framesPlayed();
      this.game.draw(this.context);
      this.ui.slider.value = played;
      this.ui.time.textContent = `${clock(played)} / ${clock(this.frames)}`;
      this.ui.root.dataset.frame = played;
    }

    seek(frames) {
      this.game.seek(Math.max(1, Math.min(frames, this.frames)));
      this.owedMs = 0;
      this.show();
    }

    play() {
      if (this.game.framesPlayed() >= this.frames) this.seek(1);  // from the start again
      this.playing = true;
      this.lastTime = null;
      this.owedMs = 0;
      this.showState();
      requestAnimationFrame(this.tick);
    }

    pause() {
      this.playing = false;
      this.showState();
    }

    setSpeed(speed) {
      this.speed = speed;
      for (const button of this.ui.speedButtons) {
        button.setAttribute('aria-pressed', String(Number(button.dataset.speed) === speed));
      }
    }

    showState() {
      this.ui.playButton.textContent = this.playing ? 'Anhalten' : 'Abspielen';
      this.ui.root.dataset.state = this.playing ? 'playing' : 'paused';
    }

    // A fixed step of 1/121 s of game time: the frames due since the last display frame
    // are played, whatever the display's rate, and the picture is drawn once.
    tick(now) {
      if (!this.playing) return;
      if (this.lastTime !== null) this.owedMs += Math.min(now - this.lastTime, LongestStepMs) * this.speed;
      this.lastTime = now;
      const due = Math.floor(this.owedMs * FramesPerSecond / 1000);
      if (due > 0) {
        this.owedMs -= due * 1000 / FramesPerSecond;
        this.sound.playEffects(this.game.play(due));
        this.show();
        if (this.game.framesPlayed() >= this.frames) {
          this.pause();
          return;
        }
      }
      requestAnimationFrame(this.tick);
    }
  }

  function fail(ui, error) {
    ui.canvas.hidden = true;
    ui.controls.hidden = true;
    ui.message.textContent = error instanceof ViewerError ? error.sentence : Sentences.loadFailed;
    ui.message.setAttribute('role', 'alert');
    ui.root.dataset.state = 'failed';
    if (!(error instanceof ViewerError) || error.message !== error.sentence) {
      console.info(`zorblet-viewer: ${error.message || error}`);
    }
  }

  function open(root) {
    const ui = buildControls(root);
    root.dataset.state = 'loading';
    const loading = [
      Game.load(root.dataset.wasm),
      fetchBytes(root.dataset.atlas),
      fetchBytes(root.dataset.record, Sentences.notKept),
    ];
    Promise.all(loading).then(([game, atlas, record]) => {
      game.loadAtlas(atlas);
      game.openRecord(record);
      if (game.frameCount() === 0) throw new ViewerError(Sentences.unreadable, 'the record holds no frame');
      new Viewer(ui, game).start();
    }).catch((error) => fail(ui, error));
  }

  const root = document.querySelector('div.partie[data-record]');
  if (root) open(root);
})();
