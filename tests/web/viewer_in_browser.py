#!/usr/bin/python3
"""The watch page's viewer in a real browser: Debian's headless Chromium, driven through
chromium-driver by Selenium, loading the viewer's script, the WebAssembly module and the
glyph atlas from a small static site of the test's own, under the content security
policy the service's page is to send. For each record the viewer plays, pauses and
seeks, and the canvas read back at the telling frames (the first, the first contact,
the ring, the gate, the last in play, the last) equals zorblet --replay's picture of the
same frame as zorblet-viewer-frames draws it natively, 0 pixels different. A damaged
record, one the site no longer keeps and a module that does not load each give a German
sentence on the page.

    viewer_in_browser.py [--service SERVICE] ASSETS ATLAS FRAMES_TOOL RECORD...
    viewer_in_browser.py --measure N [--service SERVICE] ASSETS ATLAS RECORD
    viewer_in_browser.py --real-service SERVER BOT_RECORD ASSETS ATLAS FRAMES_TOOL

ASSETS is the folder of the module's build (build/wasm/web: zorblet-viewer-module.js and
.wasm, zorblet-viewer.js and .css), ATLAS the glyph atlas, FRAMES_TOOL the native
zorblet-viewer-frames. With --measure N it runs no tests but opens the record's page N
times, uncached, and prints the first picture's time after opening it and the time of
seeks by the slider (scripts/bench-viewer).

The site (LocalSite) serves the routes the highscore service is to serve: the page at
partie/ID, the record at api/v1/games/ID and the viewer's files under content-hashed
links. With --service the same tests run against the service's own pages instead
(ServiceSite): SERVICE is zorblet-watch-service, the real list in SQLite, the real web
service and HTTP listener, given the module's build and the atlas as its viewer's folder
and the records as kept; there a game whose record is not kept gets the list's German 404
page, and the list links each kept game to its page. With --real-service the game comes
the whole way: SERVER (zorblet-highscore-server) gives a ticket, BOT_RECORD
(zorblet-bot-record) plays a minute on it, the service replays, stores and keeps it, and
the list's link opens its page, which shows zorblet --replay's pictures of it."""

import base64
import hashlib
import html
import http.server
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.wait import WebDriverWait

WIDTH = HEIGHT = 600
PICTURE_BYTES = WIDTH * HEIGHT * 4
FRAMES_PER_SECOND = 121
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

# What the service's viewer page sends: scripts from itself only, WebAssembly compiled,
# nothing inline, nothing from elsewhere.
PAGE_POLICY = ("default-src 'none'; script-src 'self' 'wasm-unsafe-eval'; style-src 'self'; img-src 'self'; "
               "connect-src 'self'; base-uri 'none'; form-action 'self'; frame-ancestors 'none'")
ASSET_POLICY = "default-src 'none'; frame-ancestors 'none'"
VERSIONED_CACHING = "public, max-age=31536000, immutable"

# The viewer's files: their names and content types.
ASSET_TYPES = {
    "zorblet-viewer.js": "text/javascript; charset=utf-8",
    "zorblet-viewer.css": "text/css; charset=utf-8",
    "zorblet-viewer-module.js": "text/javascript; charset=utf-8",
    "zorblet-viewer-module.wasm": "application/wasm",
    "zorblet-glyphs.bin": "application/octet-stream",
}

SENTENCES = {
    "damaged": "Die Aufzeichnung dieser Partie ist beschädigt: ihre Prüfsumme stimmt nicht.",
    "not kept": "Die Aufzeichnung dieser Partie ist nicht mehr gespeichert.",
    "load failed": "Die Partie konnte nicht geladen werden. Bitte die Seite später noch einmal laden.",
}


def usage():
    sys.exit(__doc__)


def run_tool(tool, arguments):
    return subprocess.run([tool, *arguments], check=True, stdout=subprocess.PIPE).stdout


class NativeGame:
    """A record as zorblet --replay shows it: its telling frames and their pictures."""

    def __init__(self, tool, path):
        self.path = path
        self.name = os.path.splitext(os.path.basename(path))[0]
        lines = run_tool(tool, ["--telling", path]).decode().split("\n")
        kind, value = lines[0].split(" ")
        if kind != "frames":
            raise RuntimeError("%s cannot be replayed (%s)" % (path, lines[0]))
        self.frames = int(value)
        self.telling = []  # (frame, name)
        for line in lines[1:]:
            if line and " every-1000 " not in line:
                _, frame, name, _, _ = line.split(" ")
                self.telling.append((int(frame), name))
        pictures = run_tool(tool, [path] + [str(frame) for frame, _ in self.telling])
        self.pictures = {frame: pictures[i * PICTURE_BYTES:(i + 1) * PICTURE_BYTES]
                         for i, (frame, _) in enumerate(self.telling)}


class LocalSite:
    """The viewer's routes as the service is to serve them, from memory, on a free port."""

    def __init__(self, assets, atlas, records):
        self.files = {}
        self.links = {}
        for name, content_type in ASSET_TYPES.items():
            source = atlas if name == "zorblet-glyphs.bin" else os.path.join(assets, name)
            with open(source, "rb") as file:
                body = file.read()
            version = hashlib.sha256(body).hexdigest()[:16]
            self.links[name] = "/%s?v=%s" % (name, version)
            self.files["/" + name] = (content_type, body, VERSIONED_CACHING, ASSET_POLICY)
        # The list's own stylesheet and icon, which the service's pages link.
        for path, source, content_type in (("/zorblet.css", "server/web/zorblet.css", "text/css; charset=utf-8"),
                                           ("/zorblet.svg", "data/icons/zorblet.svg", "image/svg+xml")):
            with open(os.path.join(ROOT, source), "rb") as file:
                self.files[path] = (content_type, file.read(), VERSIONED_CACHING, ASSET_POLICY)
        self.ids = {}
        for name, body in records.items():
            self.add_game(name, body)
        site = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                path = self.path.split("?", 1)[0]
                found = site.files.get(path)
                if found is None:
                    self.send_error(404)
                    return
                content_type, body, caching, policy = found
                self.send_response(200)
                self.send_header("Content-Type", content_type)
                self.send_header("Content-Length", str(len(body)))
                self.send_header("Cache-Control", caching)
                self.send_header("Content-Security-Policy", policy)
                self.send_header("X-Content-Type-Options", "nosniff")
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *arguments):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.base = "http://127.0.0.1:%d/" % self.server.server_address[1]
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def add_game(self, name, record, module_link=None):
        """The page of a game; its record is kept unless record is None."""
        game_id = len(self.ids) + 1
        self.ids[name] = game_id
        if record is not None:
            self.files["/api/v1/games/%d" % game_id] = ("application/octet-stream", record, "max-age=10", ASSET_POLICY)
        self.files["/partie/%d" % game_id] = ("text/html; charset=utf-8", self.page(game_id, module_link),
                                              "max-age=10", PAGE_POLICY)

    def page(self, game_id, module_link):
        """The viewer's page as the service is to make it (name, points and date aside)."""
        link = lambda name: html.escape(self.links[name])
        return ("""<!DOCTYPE html>
<html lang="de">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Zorblet – Partie</title>
<link rel="stylesheet" href="/zorblet.css">
<link rel="icon" href="/zorblet.svg" type="image/svg+xml">
<link rel="stylesheet" href="%s">
<script src="%s" defer></script>
<script src="%s" defer></script>
</head>
<body>
<h1>Partie</h1>
<div class="partie" data-record="/api/v1/games/%d" data-wasm="%s" data-atlas="%s">
<noscript><p>Diese Seite braucht JavaScript, um die Partie abzuspielen.</p></noscript>
</div>
</body>
</html>
""" % (link("zorblet-viewer.css"), html.escape(module_link or self.links["zorblet-viewer-module.js"]),
            link("zorblet-viewer.js"), game_id, link("zorblet-viewer-module.wasm"),
            link("zorblet-glyphs.bin"))).encode()

    def page_url(self, name):
        return "%spartie/%d" % (self.base, self.ids[name])

    def stop(self):
        self.server.shutdown()
        self.server.server_close()


def gather_viewer_folder(directory, assets, atlas):
    """The viewer's folder the service is given: the module's build and the atlas."""
    viewer = os.path.join(directory, "viewer")
    os.mkdir(viewer)
    for name in ASSET_TYPES:
        shutil.copy(atlas if name == "zorblet-glyphs.bin" else os.path.join(assets, name), viewer)
    return viewer


class ServiceSite:
    """The service's own watch pages: zorblet-watch-service on a new list holding an entry
    for each record (None: its record is not kept), the viewer's folder put together from
    the module's build and the atlas."""

    def __init__(self, service, assets, atlas, records):
        self.directory = tempfile.mkdtemp(prefix="zorblet-watch-service-")
        viewer = gather_viewer_folder(self.directory, assets, atlas)
        arguments = []
        for points, (name, record) in enumerate(records.items(), start=1000):
            path = "-"
            if record is not None:
                path = os.path.join(self.directory, name + ".zrec")
                with open(path, "wb") as file:
                    file.write(record)
            arguments += [name, str(points), "11.12.26", path]
        self.process = subprocess.Popen([service, os.path.join(self.directory, "list.sqlite"), viewer] + arguments,
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        port = self.process.stdout.readline().split()
        if port[:1] != ["port"]:
            self.stop()
            raise RuntimeError("%s did not start" % service)
        self.base = "http://127.0.0.1:%s/" % port[1]
        self.ids = {}
        for _ in records:
            _, name, game_id = self.process.stdout.readline().split()
            self.ids[name] = int(game_id)

    def page_url(self, name):
        return "%spartie/%d" % (self.base, self.ids[name])

    def stop(self):
        self.process.stdin.close()
        self.process.wait(timeout=30)
        shutil.rmtree(self.directory, ignore_errors=True)


class RealServiceSite:
    """The real zorblet-highscore-server with the viewer's folder: a game the play bot plays
    on a ticket the service gave is sent as the game sends its games, replayed, stored
    verified and kept, and watched through the list's link."""

    def __init__(self, server, bot_record, assets, atlas, minutes):
        self.directory = tempfile.mkdtemp(prefix="zorblet-real-service-")
        viewer = gather_viewer_folder(self.directory, assets, atlas)
        self.log_path = os.path.join(self.directory, "server.log")
        with open(self.log_path, "wb") as log:
            self.process = subprocess.Popen(
                [server, "--db", os.path.join(self.directory, "scores.sqlite"), "--port", "0", "--submit-rate", "0",
                 "--viewer-dir", viewer], stdout=subprocess.DEVNULL, stderr=log)
        self.base = self.wait_for_address()
        ticket = json.loads(self.post("api/v1/games/new", b""))
        self.record_path = os.path.join(self.directory, "played.zrec")
        run_tool(bot_record, [self.record_path, str(ticket["seed"]), str(minutes), ticket["ticket"]])
        with open(self.record_path, "rb") as file:
            stored = json.loads(self.post("api/v1/games?name=Bot", file.read()))
        if not stored.get("verified"):
            raise RuntimeError("the bot's game was not stored verified: %s" % stored)
        self.id = stored["id"]

    def wait_for_address(self):
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline and self.process.poll() is None:
            with open(self.log_path, encoding="utf-8", errors="replace") as log:
                match = re.search(r"listening on (http://\S+/)", log.read())
            if match:
                return match.group(1)
            time.sleep(0.05)
        self.stop()
        raise RuntimeError("the server did not start")

    def post(self, path, body):
        request = urllib.request.Request(self.base + path, data=body, method="POST",
                                         headers={"Content-Type": "application/octet-stream"})
        with urllib.request.urlopen(request, timeout=30) as reply:
            return reply.read()

    def page_url(self, _name):
        return "%spartie/%d" % (self.base, self.id)

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=30)
        shutil.rmtree(self.directory, ignore_errors=True)


def start_chromium(directory):
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium") or "/usr/bin/chromium"
    for argument in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                     "--hide-scrollbars", "--user-data-dir=" + os.path.join(directory, "chromium"),
                     "--window-size=1000,1200"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=Service(executable_path="/usr/bin/chromedriver"), options=options)
    driver.set_page_load_timeout(60)
    return driver


# The canvas's pixels as base64, read back as a page's script would.
READ_CANVAS = """
const pixels = document.querySelector('canvas.partie-bild').getContext('2d').getImageData(0, 0, 600, 600).data;
let text = '';
for (let i = 0; i < pixels.length; i += 0x8000) text += String.fromCharCode.apply(null, pixels.subarray(i, i + 0x8000));
return btoa(text);
"""


class ViewerInBrowserTest(unittest.TestCase):
    ASSETS = ATLAS = FRAMES_TOOL = None
    RECORDS = []

    @classmethod
    def setUpClass(cls):
        records = cls.read_records()
        cls.site = LocalSite(cls.ASSETS, cls.ATLAS, records)
        damaged = bytearray(records[cls.games[-1].name])
        damaged[-1] ^= 0x10  # in the checksum
        cls.site.add_game("damaged", bytes(damaged))
        cls.site.add_game("not kept", None)
        cls.site.add_game("module missing", records[cls.games[-1].name], module_link="/missing-module.js")
        cls.driver = start_chromium(cls.directory)

    @classmethod
    def read_records(cls):
        """Makes the test's folder and reads the records given: their bytes by game name."""
        cls.directory = tempfile.mkdtemp(prefix="zorblet-viewer-")
        cls.games = [NativeGame(cls.FRAMES_TOOL, path) for path in cls.RECORDS]
        records = {}
        for game in cls.games:
            with open(game.path, "rb") as file:
                records[game.name] = file.read()
        return records

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.site.stop()
        shutil.rmtree(cls.directory, ignore_errors=True)

    def setUp(self):
        self.driver.get_log("browser")

    def tearDown(self):
        # No error, no warning and no content security policy violation in the browser's
        # log, but Chromium's advice to a canvas this test reads back often.
        problems = [entry["message"] for entry in self.driver.get_log("browser")
                    if (entry["level"] in ("SEVERE", "WARNING") or "Content Security Policy" in entry["message"])
                    and "willReadFrequently" not in entry["message"]]
        self.assertEqual(problems, [])

    def viewer(self):
        return self.driver.find_element(By.CSS_SELECTOR, "div.partie")

    def wait_for(self, condition, what, seconds=30):
        WebDriverWait(self.driver, seconds).until(lambda _: condition(), what)

    def state(self):
        return self.viewer().get_attribute("data-state")

    def frame(self):
        return int(self.viewer().get_attribute("data-frame") or 0)

    def open(self, name):
        self.driver.get(self.site.page_url(name))
        self.wait_for(lambda: self.state() not in (None, "loading"), "the viewer loads")

    def click(self, selector):
        self.driver.find_element(By.CSS_SELECTOR, selector).click()

    def seek(self, frame):
        self.driver.execute_script(
            "const slider = document.querySelector('input.partie-zeit');"
            "slider.value = arguments[0]; slider.dispatchEvent(new Event('input'));", frame)
        self.wait_for(lambda: self.frame() == frame, "the viewer shows frame %d" % frame)

    def canvas_pixels(self):
        return base64.b64decode(self.driver.execute_script(READ_CANVAS))

    def expect_picture(self, game, frame, name):
        shown = self.canvas_pixels()
        native = game.pictures[frame]
        self.assertEqual(len(shown), PICTURE_BYTES)
        if shown != native:
            different = sum(1 for i in range(0, PICTURE_BYTES, 4) if shown[i:i + 4] != native[i:i + 4])
            self.fail("%s, frame %d (%s): %d pixels differ from zorblet --replay's" % (game.name, frame, name,
                                                                                     different))

    def pace(self, seconds):
        """Frames played a second of the page's own clock, measured over `seconds`."""
        read = "return [performance.now(), Number(document.querySelector('div.partie').dataset.frame)]"
        start_time, start_frame = self.driver.execute_script(read)
        time.sleep(seconds)
        end_time, end_frame = self.driver.execute_script(read)
        return (end_frame - start_frame) * 1000 / (end_time - start_time)

    def test_each_game_plays_pauses_and_seeks_to_the_pictures_of_zorblet_replay(self):
        for game in self.games:
            with self.subTest(game.name):
                self.open(game.name)
                self.assertEqual(self.state(), "playing")
                self.wait_for(lambda: self.frame() > 30, "the game plays")
                self.click("button.partie-abspielen")
                self.assertEqual(self.state(), "paused")
                held = self.frame()
                time.sleep(0.3)
                self.assertEqual(self.frame(), held, "paused, the picture stays")
                # Forward through the telling frames as a player drags the slider, then back.
                for frame, name in game.telling:
                    self.seek(frame)
                    self.expect_picture(game, frame, name)
                for frame, name in reversed(game.telling):
                    self.seek(frame)
                    self.expect_picture(game, frame, name)
                self.assertEqual(self.driver.find_element(By.CSS_SELECTOR, "output.partie-uhr").text,
                                 "0:00 / %d:%02d" % divmod(game.frames // FRAMES_PER_SECOND, 60))

    def test_it_plays_at_the_games_pace_at_each_speed_with_its_tones_and_stops_at_the_end(self):
        game = max(self.games, key=lambda g: g.frames)
        self.open(game.name)
        # With the sound on, the tones go to Web Audio as the game plays (an error in
        # them would stop the playing and show in the browser's log).
        self.click("button.partie-ton")
        self.assertEqual(self.driver.find_element(By.CSS_SELECTOR, "button.partie-ton").get_attribute("aria-pressed"),
                         "true")
        # The fixed step holds the game's 121 frames a second, whatever the display's rate;
        # a machine too busy to draw in time may fall behind, never ahead.
        for speed in (1, 2, 4):
            self.click("button.partie-tempo[data-speed='%d']" % speed)
            pressed = [b.get_attribute("aria-pressed") for b in self.driver.find_elements(By.CSS_SELECTOR,
                                                                                       "button.partie-tempo")]
            self.assertEqual(pressed, ["true" if s == speed else "false" for s in (1, 2, 4)])
            pace = self.pace(1.5)
            self.assertLessEqual(pace, FRAMES_PER_SECOND * speed * 1.1, "%dx" % speed)
            self.assertGreaterEqual(pace, FRAMES_PER_SECOND * speed * 0.5, "%dx" % speed)
        # The keyboard on the slider: to the end, where it stops, and to the start.
        self.click("button.partie-abspielen")
        slider = self.driver.find_element(By.CSS_SELECTOR, "input.partie-zeit")
        slider.send_keys(Keys.END)
        self.wait_for(lambda: self.frame() == game.frames, "the last frame")
        self.click("button.partie-abspielen")
        self.wait_for(lambda: self.frame() < game.frames, "play at the end starts again")
        slider.send_keys(Keys.END)
        self.wait_for(lambda: self.state() == "paused", "it stops at the end")
        self.assertEqual(self.frame(), game.frames)
        slider.send_keys(Keys.HOME)
        self.wait_for(lambda: self.frame() == 1, "the first frame")

    def test_a_game_that_cannot_be_shown_gets_a_german_sentence(self):
        for name, sentence in (("damaged", SENTENCES["damaged"]), ("not kept", SENTENCES["not kept"]),
                               ("module missing", SENTENCES["load failed"])):
            with self.subTest(name):
                self.open(name)
                self.assertEqual(self.state(), "failed")
                message = self.driver.find_element(By.CSS_SELECTOR, "p.partie-meldung")
                self.assertTrue(message.is_displayed())
                self.assertEqual(message.text, sentence)
                self.assertFalse(self.driver.find_element(By.CSS_SELECTOR, "canvas.partie-bild").is_displayed())
                self.driver.get_log("browser")  # the missing files' 404s are expected here

    def test_the_picture_fits_a_phone_with_crisp_pixels(self):
        self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                                    {"width": 375, "height": 812, "deviceScaleFactor": 2, "mobile": True})
        try:
            self.open(self.games[0].name)
            canvas = self.driver.find_element(By.CSS_SELECTOR, "canvas.partie-bild")
            width, height, rendering, page_width, window_width = self.driver.execute_script(
                "const c = arguments[0], box = c.getBoundingClientRect();"
                "return [box.width, box.height, getComputedStyle(c).imageRendering,"
                " document.documentElement.scrollWidth, window.innerWidth]", canvas)
            self.assertLessEqual(width, 375)
            self.assertGreater(width, 300)
            self.assertAlmostEqual(width, height, delta=1)
            self.assertEqual(rendering, "pixelated")
            self.assertLessEqual(page_width, window_width, "nothing scrolls sideways")
            self.assertEqual((canvas.get_attribute("width"), canvas.get_attribute("height")), ("600", "600"))
        finally:
            self.driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})


class ViewerOnServiceTest(ViewerInBrowserTest):
    """The same viewer on the service's own pages: the page, its policy and the viewer's
    files as the service makes and serves them, the list's links to kept games, and the
    list's German 404 page for a game whose record is not kept."""
    SERVICE = None

    @classmethod
    def setUpClass(cls):
        records = cls.read_records()
        damaged = bytearray(records[cls.games[-1].name])
        damaged[-1] ^= 0x10  # in the checksum
        records["damaged"] = bytes(damaged)
        records["not-kept"] = None
        cls.site = ServiceSite(cls.SERVICE, cls.ASSETS, cls.ATLAS, records)
        cls.driver = start_chromium(cls.directory)

    # The pace at each speed is the viewer's own, the same from any site.
    test_it_plays_at_the_games_pace_at_each_speed_with_its_tones_and_stops_at_the_end = None

    def test_a_game_that_cannot_be_shown_gets_a_german_sentence(self):
        self.open("damaged")
        self.assertEqual(self.state(), "failed")
        message = self.driver.find_element(By.CSS_SELECTOR, "p.partie-meldung")
        self.assertTrue(message.is_displayed())
        self.assertEqual(message.text, SENTENCES["damaged"])
        self.assertFalse(self.driver.find_element(By.CSS_SELECTOR, "canvas.partie-bild").is_displayed())
        # A game whose record is not kept, and an id no entry has: the list's 404 page.
        for url in (self.site.page_url("not-kept"), self.site.base + "partie/999"):
            with self.subTest(url):
                self.driver.get(url)
                self.assertEqual(self.driver.find_element(By.CSS_SELECTOR, "p.fehler").text,
                                 "Diese Partie ist hier nicht zu sehen: Es gibt sie nicht, oder ihre Aufzeichnung "
                                 "ist nicht mehr gespeichert.")
                self.assertEqual(self.driver.find_elements(By.CSS_SELECTOR, "div.partie"), [])
                self.assertEqual(self.driver.find_element(By.LINK_TEXT, "Zur Bestenliste").get_attribute("href"),
                                 self.site.base)
                self.driver.get_log("browser")  # the 404 itself is logged

    def test_the_list_links_each_kept_game_to_its_page_which_shows_its_entry(self):
        self.driver.get(self.site.base)
        self.assertEqual(self.driver.find_elements(By.TAG_NAME, "script"), [])
        rows = self.driver.find_elements(By.CSS_SELECTOR, "#liste tbody tr")
        linked = {}
        for row in rows:
            name = row.find_element(By.CSS_SELECTOR, "td.name").text.replace(" ansehen", "")
            links = row.find_elements(By.CSS_SELECTOR, "a.ansehen")
            linked[name] = links[0].get_attribute("href") if links else None
        expected = {name: self.site.page_url(name) for name in self.site.ids}
        expected["not-kept"] = None
        self.assertEqual(linked, expected)
        game = self.games[0]
        self.driver.find_element(By.CSS_SELECTOR, "a.ansehen[href$='/partie/%d']" % self.site.ids[game.name]).click()
        self.wait_for(lambda: self.state() not in (None, "loading"), "the viewer loads")
        self.assertEqual(self.state(), "playing")
        self.assertEqual(self.driver.find_element(By.TAG_NAME, "h2").text, "Partie von " + game.name)
        points = 1000 + list(self.site.ids).index(game.name)
        self.assertEqual(self.driver.find_element(By.CSS_SELECTOR, "p.partie-eintrag").text,
                         "%d Punkte am 11.12.2026" % points)
        self.click("button.partie-abspielen")
        first, name = game.telling[0]
        self.seek(first)
        self.expect_picture(game, first, name)


# Seeks through the slider as a player drags it, timed by the page's clock: the input
# event's handler seeks and draws before it returns.
TIMED_SEEKS = """
const slider = document.querySelector('input.partie-zeit');
document.querySelector('button.partie-abspielen').click();
const seek = (frame) => {
  const start = performance.now();
  slider.value = frame;
  slider.dispatchEvent(new Event('input'));
  return performance.now() - start;
};
const last = Number(slider.max);
const times = [seek(last)];
let state = 7;
for (let i = 0; i < 50; i++) {
  state = (Math.imul(state, 1103515245) + 12345) >>> 0;
  times.push(seek(1 + state % last));
}
return times;
"""


class ViewerOnRealServiceTest(ViewerInBrowserTest):
    """The whole way of a game to the page: played on the service's ticket, verified and
    kept by the real service, linked from its list and played on its page pixel for pixel."""
    SERVER = BOT_RECORD = None

    @classmethod
    def setUpClass(cls):
        cls.directory = tempfile.mkdtemp(prefix="zorblet-viewer-")
        cls.site = RealServiceSite(cls.SERVER, cls.BOT_RECORD, cls.ASSETS, cls.ATLAS, 1)
        cls.games = [NativeGame(cls.FRAMES_TOOL, cls.site.record_path)]
        cls.driver = start_chromium(cls.directory)

    test_it_plays_at_the_games_pace_at_each_speed_with_its_tones_and_stops_at_the_end = None
    test_a_game_that_cannot_be_shown_gets_a_german_sentence = None
    test_the_picture_fits_a_phone_with_crisp_pixels = None

    def test_the_lists_link_opens_the_verified_game(self):
        self.driver.get(self.site.base)
        self.driver.find_element(By.CSS_SELECTOR, "a.ansehen").click()
        self.wait_for(lambda: self.state() not in (None, "loading"), "the viewer loads")
        self.assertEqual(self.driver.current_url, self.site.page_url(None))
        self.assertEqual(self.state(), "playing")


def measure(times, record, service=None):
    """Opens the record's page `times` times, uncached: the first picture's time after
    opening it, the first seek to the end and 50 seeks after it; from the static site, or
    with `service` from the service's own pages."""
    directory = tempfile.mkdtemp(prefix="zorblet-viewer-")
    name = os.path.splitext(os.path.basename(record))[0]
    with open(record, "rb") as file:
        records = {name: file.read()}
    if service:
        site = ServiceSite(service, ViewerInBrowserTest.ASSETS, ViewerInBrowserTest.ATLAS, records)
    else:
        site = LocalSite(ViewerInBrowserTest.ASSETS, ViewerInBrowserTest.ATLAS, records)
    driver = start_chromium(directory)
    try:
        first, to_end, later = [], [], []
        for _ in range(times):
            driver.execute_cdp_cmd("Network.clearBrowserCache", {})
            driver.get(site.page_url(name))
            WebDriverWait(driver, 30).until(lambda d: d.execute_script(
                "return performance.getEntriesByName('zorblet-first-picture').length") == 1)
            first.append(driver.execute_script(
                "return performance.getEntriesByName('zorblet-first-picture')[0].startTime"))
            seeks = driver.execute_script(TIMED_SEEKS)
            to_end.append(seeks[0])
            later.append(max(seeks[1:]))
        frames = driver.execute_script("return Number(document.querySelector('input.partie-zeit').max)")
        print("Chromium, %s (%d frames, %.1f minutes), %d page loads, uncached, from %s:" % (
            name, frames, frames / FRAMES_PER_SECOND / 60, times, "the service" if service else "a static site"))
        print("  first picture after opening the page: median %.0f ms, slowest %.0f ms" % (statistics.median(first),
                                                                                           max(first)))
        print("  first seek to the end by the slider: median %.0f ms, slowest %.0f ms" % (statistics.median(to_end),
                                                                                          max(to_end)))
        print("  slowest of 50 seeks after it, each page: median %.1f ms, slowest %.1f ms" % (
            statistics.median(later), max(later)))
    finally:
        driver.quit()
        site.stop()
        shutil.rmtree(directory, ignore_errors=True)


def main():
    arguments = sys.argv[1:]
    times = 0
    service = None
    if arguments[:1] == ["--measure"]:
        times = int(arguments[1])
        arguments = arguments[2:]
    if arguments[:1] == ["--real-service"]:
        tests = ViewerOnRealServiceTest
        tests.SERVER, tests.BOT_RECORD = arguments[1:3]
        tests.ASSETS, tests.ATLAS, tests.FRAMES_TOOL = arguments[3:6]
        result = unittest.TextTestRunner(verbosity=2).run(unittest.defaultTestLoader.loadTestsFromTestCase(tests))
        sys.exit(0 if result.wasSuccessful() else 1)
    if arguments[:1] == ["--service"]:
        service = arguments[1]
        arguments = arguments[2:]
    if times and len(arguments) == 3:
        ViewerInBrowserTest.ASSETS, ViewerInBrowserTest.ATLAS = arguments[:2]
        measure(times, arguments[2], service)
        return
    if len(arguments) < 4 or times:
        usage()
    tests = ViewerOnServiceTest if service else ViewerInBrowserTest
    tests.SERVICE = service
    tests.ASSETS, tests.ATLAS, tests.FRAMES_TOOL = arguments[:3]
    tests.RECORDS = arguments[3:]
    result = unittest.TextTestRunner(verbosity=2).run(unittest.defaultTestLoader.loadTestsFromTestCase(tests))
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
