#!/usr/bin/python3
"""The real jukebox read by a screen reader's means: started under Xvfb on a
private session bus with the accessibility bus, on a scratch program folder
with the demo titles; a title is tapped into the queue twice with xdotool, and
the box that answers ("Titel ist schon vorhanden !") must be found in the
AT-SPI tree by its text with its role, as must the records of the grid and the
lamps of the screen.

Usage: screen_reader_check.py JUKEBOX TOOL DATA_FOLDER
Exits 77 (skipped) when Xvfb, the session bus, xdotool or the AT-SPI bindings
are missing: scripts/ensure-packages.sh installs them.
"""
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIP = 77
BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
DUPLICATE = "Titel ist schon vorhanden !"
TAKE = "In Abspielliste \u00fcbernehmen"


def missing_tools():
    missing = [t for t in ("xvfb-run", "dbus-run-session", "xdotool") if shutil.which(t) is None]
    if not os.access(BUS_LAUNCHER, os.X_OK):
        missing.append(BUS_LAUNCHER)
    try:
        import gi
        gi.require_version("Atspi", "2.0")
        from gi.repository import Atspi  # noqa: F401
    except (ImportError, ValueError):
        missing.append("the AT-SPI bindings (python3-gi, gir1.2-atspi-2.0)")
    return missing


def run_on_own_screen(script, jukebox, tool, data, prepare=lambda folder: []):
    """Makes a scratch program folder with the demo titles (prepare(folder) may
    change it, and returns more arguments), then runs `script --inside JUKEBOX
    FOLDER ARGS...` on a display and a session bus of its own; its exit status."""
    folder = tempfile.mkdtemp(prefix="orvela-" + os.path.basename(script).split(".")[0] + "-")
    try:
        for name in os.listdir(data):
            shutil.copy(os.path.join(data, name), folder)
        env = dict(os.environ, SDL_AUDIODRIVER="dummy")
        subprocess.run([tool, "demo", folder], check=True, env=env, stdout=subprocess.DEVNULL, timeout=120)
        extra = prepare(folder)
        # A display of its own away from 99, where other checks start theirs at the same moment.
        display = str(random.randrange(200, 4000))
        command = ["xvfb-run", "-n", display, "-a", "-s", "-screen 0 1280x1024x24", "dbus-run-session", "--",
                   sys.executable, os.path.abspath(script), "--inside", jukebox, folder] + extra
        return subprocess.run(command, env=env, timeout=240).returncode
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def start_jukebox(jukebox, folder):
    """The accessibility bus and the jukebox on it: (bus launcher, jukebox)."""
    launcher = subprocess.Popen([BUS_LAUNCHER, "--launch-immediately"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", SDL_AUDIODRIVER="dummy")
    return launcher, subprocess.Popen([jukebox, "--program-folder", folder], env=env)


def end_jukebox(launcher, program, failures):
    """Ends the jukebox as the kiosk's service does, and its bus; prints the
    failures and returns the exit status."""
    program.send_signal(signal.SIGTERM)
    try:
        program.wait(timeout=20)
    except subprocess.TimeoutExpired:
        program.kill()
        failures.append("the jukebox did not end on SIGTERM")
    launcher.terminate()
    launcher.wait(timeout=10)
    for failure in failures:
        print("FAILED: " + failure)
    return 1 if failures else 0


def outer(jukebox, tool, data):
    missing = missing_tools()
    if missing:
        print("skipped, missing: " + ", ".join(missing))
        return SKIP
    return run_on_own_screen(__file__, jukebox, tool, data)


class Tree:
    def __init__(self, Atspi):
        self.Atspi = Atspi

    def application(self, name, seconds, process):
        desktop = self.Atspi.get_desktop(0)
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline and process.poll() is None:
            for i in range(desktop.get_child_count()):
                app = desktop.get_child_at_index(i)
                if app is not None and app.get_name() == name:
                    return app
            time.sleep(0.2)
        return None

    def nodes(self, root, depth=0):
        """(role name, name, node) of every node below root."""
        if root is None or depth > 60:
            return
        try:
            yield root.get_role_name(), root.get_name(), root
            count = root.get_child_count()
        except Exception:  # a node that went away while it was read
            return
        for i in range(count):
            try:
                child = root.get_child_at_index(i)
            except Exception:
                continue
            yield from self.nodes(child, depth + 1)

    def find(self, root, role, name):
        for r, n, node in self.nodes(root):
            if r == role and n == name:
                return node
        return None

    def wait_for(self, root, role, name, seconds=10):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            node = self.find(root, role, name)
            if node is not None:
                return node
            time.sleep(0.2)
        return None

    def dump(self, root):
        return "\n".join("  [%s] %r" % (r, n) for r, n, _ in self.nodes(root))

    def tap(self, node):
        extents = node.get_extents(self.Atspi.CoordType.SCREEN)
        x = extents.x + extents.width // 2
        y = extents.y + extents.height // 2
        subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "1"], check=True)


def inside(jukebox, folder):
    import gi
    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi

    launcher, program = start_jukebox(jukebox, folder)
    failures = []
    tree = Tree(Atspi)
    try:
        app = tree.application("Orvela Jukebox", 40, program)
        if app is None:
            print("the jukebox never appeared in the accessibility tree (exit status %s)" % program.poll())
            return 1
        take = tree.wait_for(app, "push button", TAKE, 20)
        if take is None:
            print("no \"%s\" button:\n%s" % (TAKE, tree.dump(app)))
            return 1
        grid = tree.find(app, "list", "Musiksammlung")
        records = [n for r, n, _ in tree.nodes(grid) if r == "list item"]
        if len(records) != 6 or not all(", " in n for n in records):
            failures.append("the grid's panels are read as %r" % records)
        for lamp in ("Play: aus", "Suche nach Interpret: an", "Musiksammlung: an"):
            if tree.find(app, "label", lamp) is None:
                failures.append("no lamp read as \"%s\"" % lamp)

        # The same title twice: the second tap answers with the box.
        tree.tap(take)
        time.sleep(1.0)
        tree.tap(take)
        text = tree.wait_for(app, "label", DUPLICATE, 15)
        if text is None:
            failures.append("the box's text \"%s\" is not in the tree:\n%s" % (DUPLICATE, tree.dump(app)))
        else:
            box = text.get_parent()
            if box is None or tree.find(box, "push button", "OK") is None:
                failures.append("the text is not read together with its box's \"OK\"")
            if tree.find(box, "image", "Hinweis") is None:
                failures.append("the box's sign is not read as \"Hinweis\"")
            ok = tree.find(box, "push button", "OK")
            if ok is not None:
                tree.tap(ok)
                deadline = time.monotonic() + 10
                while time.monotonic() < deadline and tree.find(app, "label", DUPLICATE) is not None:
                    time.sleep(0.2)
                if tree.find(app, "label", DUPLICATE) is not None:
                    failures.append("the box stayed after \"OK\" was tapped")
    finally:
        status = end_jukebox(launcher, program, failures)
    return status


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "--inside":
        sys.exit(inside(sys.argv[2], sys.argv[3]))
    if len(sys.argv) != 4:
        print(__doc__)
        sys.exit(2)
    sys.exit(outer(*sys.argv[1:]))
