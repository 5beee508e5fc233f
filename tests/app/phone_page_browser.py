#!/usr/bin/python3
"""A guest's phone against the real jukebox: the program runs under Xvfb with
the demo titles and the phones' page on; the QR code is read from a picture of
the screen with zbarimg, and its address is opened in a real headless Chromium
at a phone's size (390x844), driven through Selenium. The phone searches
"Käpt", queues the title, sees it in its own queue while the screen's queue
(read through the accessibility bus) shows it too; each hit shows its picture; the house rules answer
with the screen's own texts (too soon, already queued, too many from one
phone); a title queued at the screen appears on the phone without a reload.

Usage: phone_page_browser.py JUKEBOX TOOL DATA_FOLDER
Exits 77 (skipped) when a tool is missing (scripts/ensure-packages.sh installs
them all) or the machine has no network address besides the loopback.
"""
import os
import re
import shutil
import socket
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from screen_reader_check import (  # noqa: E402
    Tree, end_jukebox, missing_tools as missing_screen_tools, run_on_own_screen, start_jukebox)

SKIP = 77
CHROMEDRIVER = "/usr/bin/chromedriver"
DUPLICATE = "Titel ist schon vorhanden !"
TAKE = "In Abspielliste \u00fcbernehmen"
# Short enough for a test, long enough to be seen refusing.
INTERVAL = 3
PER_PHONE = 2


def missing_tools():
    missing = missing_screen_tools()
    missing += [t for t in ("import", "zbarimg") if shutil.which(t) is None]
    if not os.access(CHROMEDRIVER, os.X_OK):
        missing.append(CHROMEDRIVER + " (chromium-driver)")
    try:
        import selenium  # noqa: F401
    except ImportError:
        missing.append("python3-selenium")
    return missing


def network_address():
    out = subprocess.run(["hostname", "-I"], capture_output=True, text=True).stdout.split()
    return out[0] if out else None


def free_port():
    with socket.socket() as s:
        s.bind(("", 0))
        return s.getsockname()[1]


def phone_settings(ini, port):
    """The delivered settings with the kiosk's screen and this run's port and limits
    put into the phones' own section; the file keeps its CR LF lines."""
    with open(ini, "rb") as f:
        text = f.read().decode("cp1252")
    extra = "Port=%d\r\nProHandy=%d\r\nAbstand=%d\r\n" % (port, PER_PHONE, INTERVAL)
    text, found = re.subn(r"^\[Handy\]\r\n", lambda m: m.group(0) + extra, text, flags=re.M)
    if found != 1:
        raise RuntimeError("the delivered Jukebox.ini has no [Handy] section")
    text = re.sub(r"^Kiosk=0", "Kiosk=1", text, flags=re.M)
    with open(ini, "wb") as f:
        f.write(text.encode("cp1252"))


def outer(jukebox, tool, data):
    missing = missing_tools()
    if missing:
        print("skipped, missing: " + ", ".join(missing))
        return SKIP
    if network_address() is None:
        print("skipped: no network address besides the loopback, nothing a phone could reach")
        return SKIP
    try:
        socket.gethostbyname("localhost")
    except OSError:
        # The browser's driver and the browser find each other by this name;
        # every installed system has it in /etc/hosts, a bare chroot may not.
        print("skipped: the name localhost is unknown here (no /etc/hosts)")
        return SKIP

    def prepare(folder):
        port = free_port()
        phone_settings(os.path.join(folder, "Jukebox.ini"), port)
        return [str(port)]
    return run_on_own_screen(__file__, jukebox, tool, data, prepare)


def read_qr(folder, seconds, program):
    """The address in the screen's QR code, as a camera reads it."""
    shot = os.path.join(folder, "screen.png")
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline and program.poll() is None:
        subprocess.run(["import", "-window", "root", shot], check=True)
        seen = subprocess.run(["zbarimg", "-q", "--raw", "-Sdisable", "-Sqrcode.enable", shot],
                              capture_output=True, text=True).stdout.split()
        if seen:
            return seen[0]
        time.sleep(0.5)
    return None


class Phone:
    """Headless Chromium at a phone's size, driven as a thumb would."""

    def __init__(self, address):
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        options = webdriver.ChromeOptions()
        options.binary_location = shutil.which("chromium") or "/usr/bin/chromium"
        for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                    "--window-size=390,844", "--lang=de-DE"):
            options.add_argument(arg)
        options.add_experimental_option("mobileEmulation", {
            "deviceMetrics": {"width": 390, "height": 844, "pixelRatio": 3.0, "touch": True}})
        self.driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
        self.driver.get(address)

    def quit(self):
        self.driver.quit()

    def by_id(self, name):
        from selenium.webdriver.common.by import By
        return self.driver.find_element(By.ID, name)

    def text(self, name):
        return self.by_id(name).text

    def wait(self, what, seconds=5.0):
        """Waits until what() is true; returns whether it became so."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            try:
                if what():
                    return True
            except Exception:  # an element replaced while it was read
                pass
            time.sleep(0.1)
        return False

    def search(self, text):
        from selenium.webdriver.common.keys import Keys
        field = self.by_id("text")
        # Erased by keys, as a thumb does: clear() alone fires no input event.
        field.send_keys(Keys.CONTROL + "a", Keys.BACKSPACE)
        if text:
            field.send_keys(text)

    def hits(self):
        from selenium.webdriver.common.by import By
        return self.driver.find_elements(By.CSS_SELECTOR, "#treffer li button")

    def tap_hit(self, starting):
        # The answer is read from the message box: an earlier answer must not pass for it.
        self.driver.execute_script("document.getElementById('meldung').textContent = ''")
        for hit in self.hits():
            if hit.text.startswith(starting):
                hit.click()
                return True
        return False

    def queue(self):
        """What the phone shows as playing and waiting, as one text."""
        return self.text("jetzt") + "\n" + self.text("schlange")

    def message(self):
        # Read whether shown or not: it hides itself after a few seconds.
        return self.by_id("meldung").get_attribute("textContent")


def screen_queue(tree, app):
    """The titles of the screen's queue, as the accessibility bus reads them."""
    names = []
    for role, _, node in tree.nodes(app):
        if role in ("tree", "tree table"):
            names += [n for _, n, _ in tree.nodes(node) if n]
    return "\n".join(names)


def inside(jukebox, folder, port):
    import gi
    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi

    launcher, program = start_jukebox(jukebox, folder)
    failures = []
    tree = Tree(Atspi)
    phone = None

    def check(ok, what):
        if not ok:
            failures.append(what)
        return ok

    try:
        app = tree.application("Orvela Jukebox", 40, program)
        if app is None:
            print("the jukebox never appeared (exit status %s)" % program.poll())
            return 1
        address = read_qr(folder, 30, program)
        if not address or ":%s/?k=" % port not in address:
            print("no QR code with the page's address on the screen (read %r)" % address)
            return 1
        phone = Phone(address)
        check(phone.driver.execute_script("return window.innerWidth") == 390, "the page is not at a phone's width")
        check(phone.wait(lambda: "Tippe auf einen Titel" in phone.text("stand")), "the page never became ready")

        # Searching as the guest types: the umlaut is matched as the screen matches it.
        phone.search("K\u00e4pt")
        found = phone.wait(lambda: phone.text("trefferkopf") == "1 Titel"
                           and phone.hits()[0].text.startswith("K\u00e4pt'n M\u00f6hre"))
        if not check(found, "\"K\u00e4pt\" did not find exactly Käpt'n Möhre: %r / %r"
                     % (phone.text("trefferkopf"), [h.text for h in phone.hits()])):
            return 1
        # Its picture (the demo titles have none: the artist's tile), served by the title's id.
        check(phone.wait(lambda: phone.driver.execute_script(
            "var b = document.querySelector('#treffer img.bild'); return b !== null && b.complete && b.naturalWidth"
        ) == 160), "the hit shows no picture")
        phone.tap_hit("K\u00e4pt'n M\u00f6hre")
        check(phone.wait(lambda: "Ahoi, Frau M\u00fcller!" in phone.queue()),
              "the chosen title is not in the phone's queue: %r" % phone.queue())
        # At once again: too soon, said in the page's words, and the phone counts down.
        phone.tap_hit("K\u00e4pt'n M\u00f6hre")
        check(phone.wait(lambda: "Sekunden wieder w\u00e4hlen" in phone.message()),
              "a second choice at once was not refused as too soon: %r" % phone.message())
        check("Sekunden wieder w\u00e4hlen" in phone.text("stand"), "the page does not say when to choose again")

        # The screen shows the phone's choice as its own.
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline and "Ahoi, Frau M\u00fcller!" not in screen_queue(tree, app):
            time.sleep(0.2)
        check("Ahoi, Frau M\u00fcller!" in screen_queue(tree, app),
              "the phone's choice is not in the screen's queue: %r" % screen_queue(tree, app))
        # The operator stops the music: the started title stays first and no
        # longer waits, and nothing moves on while the rest is checked however
        # slow the machine (the title is half a minute long).
        stop = tree.find(app, "push button", "Stop")
        if check(stop is not None, "no \"Stop\" on the screen"):
            tree.tap(stop)
            check(phone.wait(lambda: "angehalten" in phone.text("jetzt")),
                  "the phone does not show the stop: %r" % phone.text("jetzt"))

        # After the interval: the same title again is the screen's duplicate.
        time.sleep(INTERVAL + 0.5)
        phone.tap_hit("K\u00e4pt'n M\u00f6hre")
        check(phone.wait(lambda: phone.message() == DUPLICATE),
              "the same title again did not answer \"%s\": %r" % (DUPLICATE, phone.message()))

        # Other titles until the phone's share is waiting; one more is refused.
        phone.search("")
        check(phone.wait(lambda: len(phone.hits()) > PER_PHONE + 2), "the empty search shows no titles")
        chosen = []
        for hit in [h.text.split("\n")[0] for h in phone.hits()]:
            if hit.startswith("K\u00e4pt'n") or len(chosen) > PER_PHONE:
                continue
            phone.tap_hit(hit)
            expected = "Titel ist in der Warteschlange." if len(chosen) < PER_PHONE else "Von diesem Handy warten schon"
            if not check(phone.wait(lambda: phone.message().startswith(expected)),
                         "choice %d (%s) answered %r, not %r" % (len(chosen) + 1, hit, phone.message(), expected)):
                break
            chosen.append(hit)
            time.sleep(INTERVAL + 0.5)

        # The screen's choice appears on the phone without a reload.
        take = tree.find(app, "push button", TAKE)
        grid = tree.find(app, "list", "Musiksammlung")
        records = [(n, node) for r, n, node in tree.nodes(grid) if r == "list item"]
        queued = phone.queue()
        candidate = next(((n, node) for n, node in records if n.split(", ")[1] not in queued), None)
        if check(take is not None and candidate is not None, "no title on the screen left to queue: %r"
                 % [n for n, _ in records]):
            title = candidate[0].split(", ")[1]
            tree.tap(candidate[1])
            time.sleep(0.5)
            tree.tap(take)
            check(phone.wait(lambda: title in phone.queue(), 1.5),
                  "the screen's choice %r did not reach the phone within a second: %r" % (title, phone.queue()))
    finally:
        if phone is not None:
            phone.quit()
        status = end_jukebox(launcher, program, failures)
    return status


if __name__ == "__main__":
    if len(sys.argv) == 5 and sys.argv[1] == "--inside":
        sys.exit(inside(sys.argv[2], sys.argv[3], sys.argv[4]))
    if len(sys.argv) != 4:
        print(__doc__)
        sys.exit(2)
    sys.exit(outer(*sys.argv[1:]))
