#!/usr/bin/python3
"""The highscore list's page in a real browser: Debian's headless Chromium, driven through
chromium-driver by Selenium, against the real zorblet-highscore-server filled for the test
through the game's own submission request.

    page_in_browser.py SERVER_BINARY

With ZORBLET_SCREENSHOT=FILE it also saves a screenshot of a page with a marked score
(the README's picture is made so)."""

import json
import math
import os
import re
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.error
import urllib.parse
import urllib.request

from selenium import webdriver
from selenium.common.exceptions import NoAlertPresentException, StaleElementReferenceException, WebDriverException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.wait import WebDriverWait

SERVER_BINARY = sys.argv.pop(1) if len(sys.argv) > 1 else None

# Player input that must show as its text and never run: names are at most 24 characters.
HOSTILE_NAMES = [
    "<script>alert()</script>",
    '"><svg onload=alert(1)>',
    "&amp;",
    "</style>",
    "€ „“ – Œ ™",          # the Windows-1252 letters 0x80-0x9F
    "Jörg Müßig-Äöü",
    "ABCDEFGHIJKLMNOPQRSTUVWX",  # 24 characters, no place to break
    "'; DROP TABLE scores;--",
]
# Names for the search: the same beginning in other cases, umlauts included.
SEARCHED_NAMES = ["jürgen", "JÜRGEN Ö", "Jürgen-Paul", "Juergen"]
ORDINARY_ENTRIES = 240
# Entries whose games the service replayed, written into the database before it starts:
# points and name.
VERIFIED_ENTRIES = [(30000, "Geprüft Eins"), (5500, "Geprüft Zwei"), (-50, "Geprüft Drei")]


def seed_verified_entries(database):
    """A database with the verified entries alone, in the layout the server keeps."""
    connection = sqlite3.connect(database)
    connection.execute("CREATE TABLE scores (id INTEGER PRIMARY KEY, points INTEGER NOT NULL, name BLOB NOT NULL,"
                       " date TEXT NOT NULL, stored_at INTEGER NOT NULL, verified INTEGER NOT NULL DEFAULT 0)")
    for points, name in VERIFIED_ENTRIES:
        connection.execute("INSERT INTO scores (points, name, date, stored_at, verified) VALUES (?, ?, ?, ?, 1)",
                           (points, name.encode("cp1252"), "10.12.26", int(time.time())))
    connection.commit()
    connection.close()


def check_text(points, name):
    """The game's check value: remainders of the points and of the name's first byte."""
    first = name.encode("cp1252")[0]
    parts = [int(math.fmod(value, divisor)) for value in (points, first) for divisor in (13, 7, 31, 59)]
    return "".join(str(part) for part in parts)


def contrast(first, second):
    """WCAG's contrast ratio of two colours given as (r, g, b)."""
    def luminance(colour):
        channels = []
        for value in colour:
            value /= 255
            channels.append(value / 12.92 if value <= 0.04045 else ((value + 0.055) / 1.055) ** 2.4)
        return 0.2126 * channels[0] + 0.7152 * channels[1] + 0.0722 * channels[2]
    lighter, darker = sorted((luminance(first), luminance(second)), reverse=True)
    return (lighter + 0.05) / (darker + 0.05)


def parse_rgb(text):
    return tuple(int(part) for part in re.findall(r"\d+", text)[:3])


class Service_:
    """The real server on a free loopback port with a fresh database."""

    def __init__(self, directory):
        self.log_path = os.path.join(directory, "server.log")
        self.log = open(self.log_path, "wb")
        self.process = subprocess.Popen(
            [SERVER_BINARY, "--db", os.path.join(directory, "scores.sqlite"), "--port", "0", "--submit-rate", "0",
             "--max-connections-per-address", "0"],
            stdout=subprocess.DEVNULL, stderr=self.log)
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            with open(self.log_path, encoding="utf-8", errors="replace") as log:
                match = re.search(r"listening on (http://\S+/)", log.read())
            if match:
                self.base = match.group(1)
                return
            if self.process.poll() is not None:
                break
            time.sleep(0.05)
        with open(self.log_path, encoding="utf-8", errors="replace") as log:
            raise RuntimeError("the server did not start:\n" + log.read())

    def fetch(self, path):
        with urllib.request.urlopen(self.base + path, timeout=10) as reply:
            return reply.read()

    def submit(self, points, name):
        query = "Punkte=%d&Name=%s&Check=%s" % (points, urllib.parse.quote(name.encode("cp1252"), safe=""),
                                                check_text(points, name))
        assert self.fetch("HighScoreSQL.php?" + query) == b"OK", name

    def game_reply(self, path):
        """The first line's number and the records of one of the game's replies, as text."""
        lines = self.fetch(path).decode("cp1252").split("\r\n")
        return int(lines[0]), [line.split("\t") for line in lines[1:-1]]

    def stop(self):
        self.process.terminate()
        status = self.process.wait(30)
        self.log.close()
        return status


def page_replaced(page):
    """True once the element's page is gone. Asked in the middle of the change, Chromium's
    driver can answer that the element belongs to no document instead of that it is stale."""
    try:
        page.is_enabled()
        return False
    except StaleElementReferenceException:
        return True
    except WebDriverException as error:
        if "does not belong to the document" in (error.msg or ""):
            return True
        raise


class PageInBrowserTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.directory = tempfile.mkdtemp(prefix="zorblet-browser-")
        seed_verified_entries(os.path.join(cls.directory, "scores.sqlite"))
        cls.service = Service_(cls.directory)
        for i, name in enumerate(HOSTILE_NAMES):
            cls.service.submit(52000 - i * 250, name)  # the top places
        for i, name in enumerate(SEARCHED_NAMES):
            cls.service.submit(5000 + i * 1000, name)
        for i in range(ORDINARY_ENTRIES):
            cls.service.submit((i * 7919) % 50000 - 100, "Spieler %d" % i)  # ties and negative points too
        options = webdriver.ChromeOptions()
        options.binary_location = shutil.which("chromium") or "/usr/bin/chromium"
        for argument in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                         "--disable-background-networking", "--disable-component-update", "--disable-sync", "--hide-scrollbars",
                         "--user-data-dir=" + os.path.join(cls.directory, "chromium"), "--window-size=1000,1200"):
            options.add_argument(argument)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        cls.driver = webdriver.Chrome(service=Service(executable_path="/usr/bin/chromedriver"), options=options)
        cls.driver.set_page_load_timeout(60)

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        status = cls.service.stop()
        shutil.rmtree(cls.directory, ignore_errors=True)
        assert status == 0, "the server did not stop cleanly: %d" % status

    def setUp(self):
        self.driver.get_log("browser")  # what earlier tests left

    def tearDown(self):
        # Whatever a test did, the browser logged no error and no CSP violation, and no
        # script ran: no alert is open and the page holds no script element.
        problems = [entry["message"] for entry in self.driver.get_log("browser")
                    if entry["level"] in ("SEVERE", "WARNING") or "Content Security Policy" in entry["message"]]
        self.assertEqual(problems, [])
        with self.assertRaises(NoAlertPresentException):
            self.driver.switch_to.alert.text
        self.assertEqual(self.driver.execute_script("return document.querySelectorAll('script, [onload]').length"), 0)

    def load(self, path):
        self.driver.get(self.service.base + path)
        self.assertEqual(self.driver.title, "Zorblet – Bestenliste")

    def navigate(self, act):
        """Clicks or submits, and waits until the next page has replaced this one."""
        page = self.driver.find_element(By.TAG_NAME, "html")
        act()
        WebDriverWait(self.driver, 30).until(lambda _: page_replaced(page))

    def follow(self, selector, by=By.CSS_SELECTOR):
        self.navigate(self.driver.find_element(by, selector).click)

    def send(self, field_id, text):
        field = self.driver.find_element(By.ID, field_id)
        field.clear()
        field.send_keys(text)
        self.navigate(field.submit)

    def rows(self, selector="#liste tbody tr"):
        """Each row of a table as its five cells' texts, exactly as the browser shows them."""
        return [[cell.get_attribute("textContent") for cell in row.find_elements(By.TAG_NAME, "td")]
                for row in self.driver.find_elements(By.CSS_SELECTOR, selector)]

    def expect_rows_as_api(self, rows, first, verified=False):
        """The rows are the list's entries from place `first` on, as the API gives them."""
        api = json.loads(self.service.fetch("api/v1/scores?from=%d&count=%d%s" %
                                            (first, len(rows), "&verified=1" if verified else "")))
        expected = [[str(entry["place"]), str(entry["points"]), entry["name"],
                     ".".join(reversed(entry["date"].split("-"))), "✓ geprüft" if entry["verified"] else ""]
                    for entry in api["entries"]]
        self.assertEqual(rows, expected)

    def test_the_list_pages_forward_and_back(self):
        self.load("")
        self.assertEqual(self.driver.find_element(By.TAG_NAME, "html").get_attribute("lang"), "de")
        headers = [cell.text for cell in self.driver.find_elements(By.CSS_SELECTOR, "#liste thead th")]
        self.assertEqual(headers, ["Platz", "Punkte", "Name", "Datum", "Geprüft"])
        rows = self.rows()
        self.assertEqual(len(rows), 100)
        total, best = self.service.game_reply("BestOffSQL.php")
        self.assertEqual(total, len(VERIFIED_ENTRIES) + len(HOSTILE_NAMES) + len(SEARCHED_NAMES) + ORDINARY_ENTRIES)
        for row, record in zip(rows[:50], best):  # the game's best-of table, as the page shows it
            self.assertEqual(row[1:3], record[:2])
            self.assertEqual(row[3], record[2][:6] + "20" + record[2][6:])
        self.expect_rows_as_api(rows, 1)
        self.assertEqual(self.driver.find_elements(By.CSS_SELECTOR, "a[rel=prev]"), [])

        self.follow("a[rel=next]")
        self.assertTrue(self.driver.current_url.endswith("/?ab=101"))
        self.expect_rows_as_api(self.rows(), 101)
        self.follow("a[rel=next]")
        last = self.rows()
        self.assertEqual(len(last), total - 200)
        self.expect_rows_as_api(last, 201)
        self.assertEqual(self.driver.find_elements(By.CSS_SELECTOR, "a[rel=next]"), [])
        self.follow("a[rel=prev]")
        self.assertTrue(self.driver.current_url.endswith("/?ab=101"))
        self.follow("Anfang", By.LINK_TEXT)
        self.assertEqual(self.driver.current_url, self.service.base)
        self.assertEqual(self.rows()[0][0], "1")

    def test_verified_entries_carry_the_word_and_show_alone_on_request(self):
        self.load("?name=Gepr%C3%BCft")
        marked = [row for row in self.rows() if row[4]]
        self.assertEqual([row[2] for row in marked], [name for _, name in VERIFIED_ENTRIES])
        cell = self.driver.find_element(By.CSS_SELECTOR, "#liste td.geprueft")
        self.assertEqual(cell.text, "✓ geprüft")  # a word, not a colour alone
        self.assertEqual(cell.find_element(By.TAG_NAME, "span").get_attribute("aria-hidden"), "true")
        note = self.driver.find_element(By.CSS_SELECTOR, "p.geprueft-hinweis").text
        self.assertIn("Geprüft heißt", note)
        self.follow("Nur geprüfte Einträge zeigen", By.LINK_TEXT)
        self.assertTrue(self.driver.current_url.endswith("/?geprueft=1"))
        rows = self.rows()
        self.assertEqual([row[2] for row in rows], [name for _, name in VERIFIED_ENTRIES])
        self.assertEqual([row[0] for row in rows], ["1", "2", "3"])
        self.expect_rows_as_api(rows, 1, verified=True)
        self.follow("Alle Einträge zeigen", By.LINK_TEXT)
        self.assertEqual(self.driver.current_url, self.service.base)

    def test_the_points_form_marks_the_place_the_game_would_give(self):
        self.load("?ab=101")
        self.assertEqual(self.driver.find_element(By.CSS_SELECTOR, "label[for=punkte]").text, "Punkte")
        self.send("punkte", "24000")
        self.assertIn("?punkte=24000", self.driver.current_url)
        place, records = self.service.game_reply("ListeSQL.php?Punkte=24000")
        rows = self.rows()
        marked = self.driver.find_elements(By.CSS_SELECTOR, "#liste tr[aria-current=true]")
        self.assertEqual(len(marked), 1)
        index = rows.index([cell.get_attribute("textContent") for cell in marked[0].find_elements(By.TAG_NAME, "td")])
        self.assertEqual(rows[index][:2], [str(place), "24000"])
        # Above it the entries as the game's list gives them; from its place on, one place down.
        first = max(1, place - 8)
        for row, record in zip(rows[index - (place - first):], records[:place - first]):
            self.assertEqual(row[1:3], record[:2])
        below = records[place - first:]
        for offset, record in enumerate(below, start=1):
            self.assertEqual(rows[index + offset][0], str(place + offset))
            self.assertEqual(rows[index + offset][1:3], record[:2])
        self.assertEqual(len(self.driver.find_elements(By.CSS_SELECTOR, "svg.diagramm rect.markiert")), 1)
        share = self.driver.find_element(By.CSS_SELECTOR, "p.anteil").text
        self.assertRegex(share, r"^Mit 24000 Punkten lägst du vor \d+,\d % aller Einträge\.$")

    def test_the_name_form_finds_names_by_their_beginning_ignoring_case(self):
        self.load("")
        self.assertEqual(self.driver.find_element(By.CSS_SELECTOR, "label[for=name]").text, "Name")
        self.send("name", "jÜ")
        names = [row[2] for row in self.rows()]
        self.assertEqual(sorted(names), sorted(["jürgen", "JÜRGEN Ö", "Jürgen-Paul"]))  # not Juergen
        api = json.loads(self.service.fetch("api/v1/search?name=" + urllib.parse.quote("jÜ")))
        self.assertEqual(names, [entry["name"] for entry in api["entries"]])
        self.assertEqual(self.driver.find_element(By.ID, "name").get_attribute("value"), "jÜ")

    def test_hostile_names_show_as_their_text_and_run_nothing(self):
        self.load("")
        shown = [row[2] for row in self.rows()[:len(HOSTILE_NAMES)]]
        self.assertEqual(shown, HOSTILE_NAMES)
        newest = [row[2] for row in self.rows("table.neueste tbody tr")]
        self.assertEqual(len(newest), 10)
        for name in HOSTILE_NAMES:  # sent through the form, and shown back in it
            self.send("name", name)
            self.assertEqual([row[2] for row in self.rows()], [name])
            self.assertEqual(self.driver.find_element(By.ID, "name").get_attribute("value"), name)
        self.assertEqual(self.driver.find_elements(By.TAG_NAME, "svg")[0].get_attribute("class"), "diagramm")

    def test_a_bad_query_gets_a_german_error_page(self):
        self.driver.get(self.service.base + "?punkte=zwölf")
        self.assertEqual(self.driver.title, "Zorblet – Bestenliste: Fehler")
        self.assertTrue(self.driver.find_element(By.CSS_SELECTOR, "p.fehler").text.startswith("Ungültige Anfrage: "))
        self.follow("Zur Bestenliste", By.LINK_TEXT)
        self.assertEqual(self.driver.current_url, self.service.base)
        # The browser reports the 400 itself; that is the answer this test asked for.
        self.driver.get_log("browser")

    def test_the_look_is_the_games_and_readable(self):
        self.load("?punkte=24000")
        style = lambda element, name: self.driver.execute_script(
            "return getComputedStyle(arguments[0])[arguments[1]]", element, name)
        body = self.driver.find_element(By.TAG_NAME, "body")
        self.assertIn("Courier New", style(body, "fontFamily"))  # the stylesheet loaded under the policy
        ground = parse_rgb(style(self.driver.find_element(By.TAG_NAME, "html"), "backgroundColor"))
        self.assertEqual(ground, (0, 0, 0))
        for selector in ("body", "#liste td", "#liste tr[aria-current=true] td", "a", "p.anteil", "label"):
            element = self.driver.find_element(By.CSS_SELECTOR, selector)
            colour = parse_rgb(style(element, "color"))
            self.assertGreaterEqual(contrast(colour, ground), 4.5, selector)
        striped = self.driver.find_element(By.CSS_SELECTOR, "#liste tbody tr:nth-child(even)")
        self.assertGreaterEqual(contrast(parse_rgb(style(striped, "color")),
                                         parse_rgb(style(striped, "backgroundColor"))), 4.5)
        for field in ("punkte", "name"):
            self.assertTrue(self.driver.find_element(By.CSS_SELECTOR, "label[for=%s]" % field).is_displayed())
        screenshot = os.environ.get("ZORBLET_SCREENSHOT")
        if screenshot:
            self.driver.set_window_size(820, 1400)
            self.load("?punkte=24000")
            self.driver.save_screenshot(screenshot)
            self.driver.set_window_size(1000, 1200)

    def test_nothing_scrolls_sideways_on_a_phone(self):
        self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                                    {"width": 375, "height": 812, "deviceScaleFactor": 2, "mobile": True})
        try:
            for path in ("", "?punkte=24000", "?name=ABCDEFGHIJKLMNOPQRSTUVWX", "?ab=101"):
                self.load(path)
                widths = self.driver.execute_script(
                    "return [document.documentElement.scrollWidth, document.documentElement.clientWidth,"
                    " window.innerWidth]")
                self.assertEqual(widths[2], 375, path)
                self.assertLessEqual(widths[0], widths[1], path)
        finally:
            self.driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})


if __name__ == "__main__":
    if SERVER_BINARY is None:
        sys.exit(__doc__)
    unittest.main(verbosity=2)
