#!/usr/bin/env python3
"""End-to-end tests of sorvix.exe as a user runs it.

Each group starts its own Xvfb server, its own site simulator (sitesim.exe
under Wine, on free loopback ports) and copies sorvix.exe into a folder of
its own with a sorvix.ini pointing at the simulator, then drives the real
program with xdotool at the elements' screen coordinates (the main window's
client area starts at 50, 50 on the screen). The checks read what the
simulator was asked (its request log), the X clipboard (xclip), the files the
program wrote, and pixels of screenshots (ImageMagick's import). The
screenshots are kept as build/windows/artifacts/e2e-<name>.png.

Links the program opens reach a stand-in handler (open_recorder.exe)
registered in the test's Wine prefix for every scheme the program may open;
it records them in the file named by SORVIX_OPEN_LOG. No real browser or
handler is ever started.

  e2e_test.py --group search|appearance|update --exe sorvix.exe --sim sitesim.exe
              --recorder open_recorder.exe --work DIR --artifacts DIR
              --wine-run scripts/wine-run.sh --prefix WINEPREFIX
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import time
import traceback
import urllib.parse
import urllib.request

ORIGIN = (50, 50)          # the main window's client origin on the screen
APPEARANCE_ORIGIN = (50, 50)
BACKGROUND = (0x60, 0x60, 0x60)


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(predicate, timeout, what):
    end = time.time() + timeout
    while time.time() < end:
        value = predicate()
        if value:
            return value
        time.sleep(0.1)
    raise Failure("timed out waiting for " + what)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


# ---- Screen --------------------------------------------------------------------------

class Image:
    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, data

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def count(self, x0, y0, x1, y1, test):
        n = 0
        for y in range(y0, y1):
            for x in range(x0, x1):
                if test(self.pixel(x, y)):
                    n += 1
        return n


def near(a, b, tolerance=6):
    return all(abs(p - q) <= tolerance for p, q in zip(a, b))


def dark(p):
    return max(p) < 0x40


def reddish(p):
    return p[0] > 0x90 and p[1] < 0x50 and p[2] < 0x50


class Desk:
    """A private Xvfb server and the X tools on it."""

    def __init__(self, artifacts):
        self.artifacts = artifacts
        read, write = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
            pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read, 16)
            if not chunk:
                break
            number += chunk
        os.close(read)
        self.display = ":" + number.decode().strip()
        self.env = dict(os.environ, DISPLAY=self.display)
        self.clipboard_owner = None

    def close(self):
        if self.clipboard_owner and self.clipboard_owner.poll() is None:
            self.clipboard_owner.kill()
        self.server.terminate()
        self.server.wait()

    def xdo(self, *args):
        r = subprocess.run(["xdotool", *[str(a) for a in args]], env=self.env, capture_output=True, text=True)
        return r.stdout.strip()

    def move(self, x, y):
        self.xdo("mousemove", x, y)
        time.sleep(0.15)

    def click(self, x, y, button=1, pause=0.35):
        self.move(x, y)
        self.xdo("click", button)
        time.sleep(pause)

    def key(self, *keys, pause=0.3):
        for k in keys:
            self.xdo("key", k)
            time.sleep(0.05)
        time.sleep(pause)

    def type(self, text):
        self.xdo("type", "--delay", "40", text)
        time.sleep(0.3)

    def windows(self, name):
        out = self.xdo("search", "--onlyvisible", "--name", name)
        return [w for w in out.split() if w]

    def wait_window(self, name, timeout=20):
        return wait_for(lambda: (self.windows(name) or [None])[0], timeout, "a window named " + name)

    def wait_no_window(self, name, timeout=10):
        wait_for(lambda: not self.windows(name), timeout, "the window " + name + " to close")

    def geometry(self, window):
        out = self.xdo("getwindowgeometry", "--shell", window)
        values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def shot(self, name=None):
        data = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], env=self.env, capture_output=True,
                              check=True).stdout
        header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", data)
        width, height = int(header.group(1)), int(header.group(2))
        image = Image(width, height, data[header.end():])
        if name:
            path = os.path.join(self.artifacts, "e2e-" + name + ".png")
            subprocess.run(["convert", "ppm:-", "-crop", "1000x700+0+0", path], input=data, check=True)
        return image

    def set_clipboard(self, text):
        # The new owner takes the selection over from the old one, so there is
        # no moment without an owner (Wine would take that for an empty
        # clipboard and might not look again before the paste).
        previous = self.clipboard_owner
        self.clipboard_owner = subprocess.Popen(["xclip", "-selection", "clipboard", "-quiet", "-i"],
                                                stdin=subprocess.PIPE, env=self.env,
                                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.clipboard_owner.stdin.write(text.encode())
        self.clipboard_owner.stdin.close()
        # xclip owns the selection only once it has read its input; on a busy
        # machine that takes a while, and a paste before it finds nothing.
        wait_for(lambda: self.clipboard() == text, 10, "the clipboard to hold %r" % text)
        if previous and previous.poll() is None:
            previous.kill()
        time.sleep(0.5)   # Wine notices the new owner

    def clipboard(self):
        r = subprocess.run(["xclip", "-selection", "clipboard", "-o"], env=self.env, capture_output=True,
                           timeout=10)
        return r.stdout.decode("utf-8", "replace")


# ---- Wine, simulator, program --------------------------------------------------------

class Wine:
    def __init__(self, args, desk):
        self.run_script = args.wine_run
        self.env = dict(desk.env, WINEPREFIX=args.prefix, LANG="zh_CN.UTF-8", LC_ALL="zh_CN.UTF-8")
        self.env.pop("SORVIX_CONFIG", None)

    def start(self, program, *program_args, env=None, stdout=None):
        return subprocess.Popen(["bash", self.run_script, program, *program_args], env=dict(self.env, **(env or {})),
                                stdout=stdout or subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def call(self, *args):
        subprocess.run(["bash", self.run_script, *args], env=self.env, capture_output=True, timeout=120)

    def register_recorder(self, recorder):
        command = '"%s" "%%1"' % windows_path(recorder)
        # Wine reads the classes from the machine's part of the registry, so
        # the stand-in replaces the prefix's own handlers there.
        for scheme in ("http", "https", "magnet", "ed2k", "thunder"):
            for root in ("HKLM", "HKCU"):
                self.call("reg", "add", "%s\\Software\\Classes\\%s\\shell\\open\\command" % (root, scheme),
                          "/ve", "/d", command, "/f")
                self.call("reg", "add", "%s\\Software\\Classes\\%s" % (root, scheme), "/v", "URL Protocol",
                          "/d", "", "/f")


class Sim:
    def __init__(self, wine, exe, work, *options):
        self.log = os.path.join(work, "sitesim.log")
        open(self.log, "w").close()
        out = open(os.path.join(work, "sitesim.addresses"), "w+")
        ports = ["--magnet-port", "0", "--shareindex-port", "0", "--searchbase-port", "0", "--blog-port", "0"]
        if exe.endswith(".exe"):
            self.process = wine.start(exe, *ports, "--log", windows_path(self.log), *options, stdout=out)
        else:
            self.process = subprocess.Popen([exe, *ports, "--log", self.log, *options], stdout=out,
                                            stderr=subprocess.DEVNULL)

        def addresses():
            out.seek(0)
            lines = [l.split() for l in out.read().splitlines() if l.strip()]
            return dict(lines) if len(lines) >= 4 else None
        self.addresses = wait_for(addresses, 60, "the site simulator's addresses")

    def requests(self, site=None):
        with open(self.log, encoding="utf-8", errors="replace") as f:
            lines = [l.split(" ", 2) for l in f.read().splitlines() if l]
        return [l[2] for l in lines if site is None or l[0] == site]

    def page(self, site, target):
        return urllib.request.urlopen(self.addresses[site] + target, timeout=10).read().decode("utf-8")

    def close(self):
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()


class Program:
    """A copy of sorvix.exe in its own folder, started under Wine."""

    def __init__(self, args, wine, desk, sim, folder):
        self.wine, self.desk, self.folder = wine, desk, folder
        os.makedirs(folder, exist_ok=True)
        self.exe = os.path.join(folder, "sorvix.exe")
        if not os.path.exists(self.exe):
            shutil.copy(args.exe, self.exe)
        a = sim.addresses
        with open(os.path.join(folder, "sorvix.ini"), "w", encoding="utf-8") as f:
            f.write("[sites]\nmagnet = %s\nshareindex = %s\nsearchbase = %s\nblog = %s\n"
                    "[network]\nconnect_timeout_ms = 3000\nreceive_timeout_ms = 4000\n"
                    % (a["magnet"], a["shareindex"], a["searchbase"], a["blog"]))
        self.opened_log = os.path.join(folder, "opened.txt")
        self.process = None

    def start(self, expect_window=True):
        if not os.path.exists(self.opened_log):
            open(self.opened_log, "w").close()
        self.process = self.wine.start(self.exe, env={"SORVIX_OPEN_LOG": windows_path(self.opened_log)})
        if expect_window:
            self.window = self.desk.wait_window("Sorvix", 60)
            self.settle()
        return self

    def settle(self):
        """Waits until the window is in place and two pictures of it agree."""
        def placed():
            x, y, w, h = self.desk.geometry(self.window)
            return (x, y, w, h) == (ORIGIN[0], ORIGIN[1], 869, 550)
        wait_for(placed, 20, "the main window at its place")
        previous = None
        for _ in range(30):
            time.sleep(0.3)
            now = self.desk.shot().data
            if now == previous:
                return
            previous = now

    def running(self):
        return self.process is not None and self.process.poll() is None

    def stop(self):
        if self.running():
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
        self.process = None

    def opened(self):
        with open(self.opened_log, encoding="utf-8", errors="replace") as f:
            return [l for l in f.read().splitlines() if l]

    def file(self, name):
        path = os.path.join(self.folder, name)
        return open(path, "rb").read() if os.path.exists(path) else None

    # Screen points of the main window's elements (client rectangle centres).
    @staticmethod
    def at(x, y, w, h):
        return ORIGIN[0] + x + w // 2, ORIGIN[1] + y + h // 2

    def click_element(self, x, y, w, h, button=1):
        self.desk.click(*self.at(x, y, w, h), button=button)


KEYWORD_BOX = (110, 51, 482, 28)
SEARCH_BUTTON = (600, 51, 88, 30)
OPTIONS = {1: (45, 80, 70, 24), 2: (110, 80, 70, 24), 3: (175, 80, 80, 24)}
PREVIOUS = (550, 500, 80, 24)
PAGE_BOX = (650, 500, 30, 24)
NEXT = (700, 500, 80, 24)
TABLE = (51, 130, 768, 344)
OPERATION_LABEL = (51, 500, 120, 24)
DATA_LABEL = (300, 500, 120, 24)
KEYWORD_LABEL = (50, 51, 60, 24)
# The caption button of kind 64 (appearance): right of the window's 869
# pixels, 12 in, after close (39) and minimise (28); 28 wide, 7..26 high.
APPEARANCE_BUTTON = (869 - 12 - 39 - 28 - 28, 7, 28, 19)
# The table's rows: a 2-pixel frame, then the header, then rows of ROW_HEIGHT
# (the list view's line height of its 12-pixel default font plus padding).
TABLE_HEADER = 25.5
ROW_HEIGHT = 23.5


def row_point(row):
    x = ORIGIN[0] + TABLE[0] + 200
    y = ORIGIN[1] + TABLE[1] + 2 + TABLE_HEADER + (row - 1) * ROW_HEIGHT + ROW_HEIGHT / 2
    return x, int(round(y))


def element_pixels(image, rect, test, origin=ORIGIN):
    x, y, w, h = rect
    return image.count(origin[0] + x, origin[1] + y, origin[0] + x + w, origin[1] + y + h, test)


def dismiss_box(desk, title, shot=None):
    """Waits for a box titled `title`, keeps a screenshot, presses its default button."""
    box = desk.wait_window(title, 20)
    time.sleep(0.6)
    if shot:
        desk.shot(shot)
    x, y, w, h = desk.geometry(box)
    desk.move(x + w // 2, y + h // 2)
    desk.key("Return")
    desk.wait_no_window(title)


def type_keyword(desk, text, paste=False):
    desk.click(*Program.at(*KEYWORD_BOX))     # a click into a filled box empties it
    desk.key("ctrl+a", "BackSpace", pause=0.1)
    if paste:
        desk.set_clipboard(text)
        desk.key("ctrl+v")
    else:
        desk.type(text)


# The edit boxes' shared menu, opened at the pointer: 8 pixels of padding,
# rows of 22, a separator of 3 before "全部选择".
EDIT_MENU_ROWS = {"剪切": 8 + 11, "复制": 8 + 22 + 11, "粘贴": 8 + 44 + 11, "全部选择": 8 + 66 + 3 + 11}


def edit_menu(desk, box, item, shot=None):
    """Right-clicks the middle of an edit box and picks an item of its menu."""
    x, y = Program.at(*box)
    desk.click(x, y, button=3, pause=0.8)
    if shot:
        desk.shot(shot)
    desk.click(x + 30, y + EDIT_MENU_ROWS[item], pause=0.5)


def changed_below_right(desk, x, y, button=3):
    """Clicks `button` at x, y; how many pixels of the area a popup menu would
    cover (below and right of the point) changed."""
    desk.move(x, y)
    time.sleep(0.5)
    before = desk.shot()
    desk.xdo("click", button)
    time.sleep(0.8)
    after = desk.shot()
    return sum(1 for yy in range(y + 4, y + 44) for xx in range(x + 4, x + 90)
               if not near(before.pixel(xx, yy), after.pixel(xx, yy), 12))


def mean_colour(image, x0, y0, x1, y1):
    n = (x1 - x0) * (y1 - y0)
    sums = [0, 0, 0]
    for y in range(y0, y1):
        for x in range(x0, x1):
            for i, v in enumerate(image.pixel(x, y)):
                sums[i] += v
    return tuple(v / n for v in sums)


# ---- Groups ------------------------------------------------------------------------------

def group_search(args, wine, desk, results):
    work = os.path.join(args.work, "search")
    # Page 6 of every magnet walk hangs: the long search that Esc stops.
    sim = Sim(wine, args.sim, work, "--fault", "hang", "--fault-site", "magnet", "--fault-path", "&p=6")
    program = Program(args, wine, desk, sim, os.path.join(work, "prog"))
    try:
        program.start()

        def start_state():
            image = desk.shot("start")
            # Plain background: no picture file, so the theme colour shows.
            for x, y in ((20, 200), (840, 300), (400, 490), (700, 440)):
                check(near(image.pixel(ORIGIN[0] + x, ORIGIN[1] + y), BACKGROUND) or y == 440,
                      "background at %d,%d is %s" % (x, y, image.pixel(ORIGIN[0] + x, ORIGIN[1] + y)))
            # Black texts in both start labels and the keyword label.
            for rect in (OPERATION_LABEL, DATA_LABEL, KEYWORD_LABEL):
                check(element_pixels(image, rect, dark) > 30, "no dark text in %s" % (rect,))
            # Paging controls hidden: their places show only the background.
            for rect in (PREVIOUS, PAGE_BOX, NEXT):
                x, y, w, h = rect
                check(element_pixels(image, (x + 2, y + 2, w - 4, h - 4), lambda p: not near(p, BACKGROUND, 10)) < 5,
                      "something is drawn where the hidden %s is" % (rect,))
            check(sim.requests("blog") == ["/post/1d3adc9c_780596c"], "blog requests %s" % sim.requests("blog"))
        results.run("start state", start_state)

        def magnet_walk_and_copy():
            program.click_element(*OPTIONS[1])
            type_keyword(desk, "三体", paste=True)
            desk.shot("keyword-pasted")
            program.click_element(*SEARCH_BUTTON)
            dismiss_box(desk, "提示", shot="closing-message")
            magnet = sim.requests("magnet")
            check(magnet[0] == "/search?keyword=%E4%B8%89%E4%BD%93", "probe %s" % magnet[:1])
            check(magnet[1:] == ["/search?keyword=%E4%B8%89%E4%BD%93&p=" + str(p) for p in (1, 2, 3)],
                  "pages asked %s" % magnet)
            desk.shot("search-rows")
            expected = re.findall(r'href="(magnet:[^"]+)"', sim.page("magnet", "/search?keyword=%E4%B8%89%E4%BD%93&p=1"))
            desk.set_clipboard("before")
            x, y = row_point(3)
            desk.click(x, y, button=3, pause=0.8)
            menu_shot = desk.shot("row-menu")
            # The selected row's tint shows beside the open menu, on both sides.
            for x0, x1 in ((ORIGIN[0] + TABLE[0] + 3, ORIGIN[0] + TABLE[0] + 40), (x + 280, x + 500)):
                def band(row):
                    return sum(mean_colour(menu_shot, x0, row_point(row)[1] - 6, x1, row_point(row)[1] + 6)) / 3
                check(band(3) > band(2) + 25 and band(3) > band(4) + 25,
                      "row 3 is not tinted under the menu (%.0f against %.0f and %.0f)" % (band(3), band(2), band(4)))
            desk.click(x + 30, y + 33)   # the second item, "复制链接"
            clip = wait_for(lambda: desk.clipboard() != "before" and desk.clipboard(), 10, "the clipboard")
            check(clip == expected[2], "clipboard %r, row 3 holds %r" % (clip, expected[2]))
        results.run("magnet search walks all pages; copy link", magnet_walk_and_copy)

        def row_menu_only_over_table():
            # The table holds the magnet rows, so a row menu would copy a link.
            desk.set_clipboard("before")
            x, y = row_point(2)
            check(changed_below_right(desk, x, y) > 300, "no row menu over the table")
            desk.key("Escape", pause=0.6)
            places = {"background": (ORIGIN[0] + 20, ORIGIN[1] + 300), "caption title": (ORIGIN[0] + 200, ORIGIN[1] + 18),
                      "operation label": Program.at(*OPERATION_LABEL), "search button": Program.at(*SEARCH_BUTTON),
                      "option 1": Program.at(*OPTIONS[1])}
            for name, (px, py) in places.items():
                changed = changed_below_right(desk, px, py)
                check(changed < 30, "a menu opened over the %s (%d pixels changed)" % (name, changed))
            check(desk.clipboard() == "before", "the clipboard changed: %r" % desk.clipboard())
            check(not program.opened(), "something was opened: %s" % program.opened())
        results.run("a right-click beside the table opens no row menu", row_menu_only_over_table)

        def esc_stops():
            before = len(sim.requests("magnet"))
            type_keyword(desk, "ubuntu iso")
            desk.key("Return")           # Enter in the keyword box starts the search
            wait_for(lambda: any(t.endswith("&p=6") for t in sim.requests("magnet")[before:]), 20, "page 6")
            desk.move(*Program.at(*KEYWORD_BOX))
            desk.key("Escape", pause=1.0)
            image = desk.shot("stopped")
            time.sleep(5)                # longer than the hung page's time-out
            asked = sim.requests("magnet")[before:]
            check(asked[0] == "/search?keyword=%75%62%75%6E%74%75%20%69%73%6F", "probe %s" % asked[:1])
            check(not any(t.endswith("&p=7") for t in asked), "the walk went on: %s" % asked)
            check(not desk.windows("提示"), "a closing box appeared after Esc")
            check(element_pixels(image, OPERATION_LABEL, dark) > 30, "no operation text")
        results.run("Enter starts a search, Esc stops it", esc_stops)

        def disk_paging():
            before = len(sim.requests("searchbase"))
            program.click_element(*OPTIONS[3])
            # The keyword comes through the edit box's own menu: "粘贴".
            desk.set_clipboard("三体")
            desk.click(*Program.at(*KEYWORD_BOX))     # a click into a filled box empties it
            edit_menu(desk, KEYWORD_BOX, "粘贴", shot="edit-menu")
            program.click_element(*SEARCH_BUTTON)
            wait_for(lambda: len(sim.requests("searchbase")) > before, 10, "the disk search")
            first = sim.requests("searchbase")[before]
            check(any("三体" in urllib.parse.unquote(first, encoding=e, errors="replace") for e in ("utf-8", "gbk")),
                  "the disk search did not ask for the pasted keyword: %s" % first)
            program.click_element(*PREVIOUS)
            dismiss_box(desk, "提示", shot="first-page")
            program.click_element(*NEXT)
            wait_for(lambda: any("&start=10" in t for t in sim.requests("searchbase")[before:]), 10, "page 2")
            asked = sim.requests("searchbase")[before:]
            check(all("&wp=" in t for t in asked), "disk requests %s" % asked)
            # Page 10 typed into the page box, Enter goes there; then next.
            desk.click(*Program.at(*PAGE_BOX))
            desk.key("ctrl+a", "BackSpace", "1", "0", "Return", pause=1.0)
            wait_for(lambda: any("&start=90" in t for t in sim.requests("searchbase")), 10, "page 10")
            if desk.windows("提示"):
                dismiss_box(desk, "提示")    # page 10 has no hits: the notice
            program.click_element(*NEXT)
            dismiss_box(desk, "信息", shot="last-page")
            check(not any("&start=100" in t for t in sim.requests("searchbase")), "went past page 10")
        results.run("disk search pages with previous/next", disk_paging)

        def edit_menu_copy():
            # The keyword box still holds the pasted keyword: "全部选择", then "复制".
            desk.set_clipboard("before")
            edit_menu(desk, KEYWORD_BOX, "全部选择")
            edit_menu(desk, KEYWORD_BOX, "复制")
            clip = wait_for(lambda: desk.clipboard() != "before" and desk.clipboard(), 10, "the clipboard")
            check(clip == "三体", "the clipboard holds %r" % clip)
        results.run("the edit box menu copies the selection", edit_menu_copy)

        # The refusal runs first: after the shell has started the stand-in
        # handler, Wine hands the main window no input for a while.
        def dangerous_link():
            program.click_element(*OPTIONS[2])
            type_keyword(desk, "恶意 链接", paste=True)
            program.click_element(*SEARCH_BUTTON)
            wait_for(lambda: "/s/name/%E6%81%B6%E6%84%8F%20%E9%93%BE%E6%8E%A5" in sim.requests("shareindex"), 15,
                     "the search for the pasted keyword")
            dismiss_box(desk, "提示")
            before = len(program.opened())
            x, y = row_point(1)
            desk.click(x, y, button=3, pause=0.8)
            desk.click(x + 30, y + 13)
            dismiss_box(desk, "抱歉", shot="refused-link")
            time.sleep(1)
            check(len(program.opened()) == before, "something was launched: %s" % program.opened())
        results.run("a dangerous link is refused", dangerous_link)

        def share_index_open():
            asked_before = len(sim.requests("shareindex"))
            type_keyword(desk, "纪录片 地球脉动", paste=True)
            program.click_element(*SEARCH_BUTTON)
            dismiss_box(desk, "提示")
            x, y = row_point(1)
            desk.click(x, y, button=3, pause=0.8)
            desk.click(x + 30, y + 13)   # the first item, "打开链接"
            opened = wait_for(lambda: program.opened(), 15, "the stand-in handler")
            detail = [t for t in sim.requests("shareindex")[asked_before:] if t.startswith("/r/")]
            check(len(detail) == 1, "detail pages asked %s" % detail)
            page = sim.page("shareindex", detail[0])
            real = re.search(r'<a class="dbutton" href="([^"]+)" target="_blank"', page).group(1)
            check(opened == [real], "opened %s, the detail page offers %s" % (opened, real))
        results.run("share-index open resolves the detail page", share_index_open)
    finally:
        program.stop()
        sim.close()


def set_colour(desk, values):
    for index, value in enumerate(values):
        box = (264, (49, 81, 112)[index], 64, 20)
        desk.click(APPEARANCE_ORIGIN[0] + box[0] + 32, APPEARANCE_ORIGIN[1] + box[1] + 10)
        desk.key("ctrl+a", "BackSpace", pause=0.1)
        desk.type(value)
    desk.click(APPEARANCE_ORIGIN[0] + 224 + 52, APPEARANCE_ORIGIN[1] + 152 + 20)


def open_appearance(desk, program):
    program.click_element(*APPEARANCE_BUTTON)
    window = desk.wait_window("^设置$", 10)
    time.sleep(1.0)
    return window


def group_appearance(args, wine, desk, results):
    work = os.path.join(args.work, "appearance")
    sim = Sim(wine, args.sim, work)
    program = Program(args, wine, desk, sim, os.path.join(work, "prog"))
    try:
        program.start()

        def colour_and_restart():
            open_appearance(desk, program)
            desk.shot("appearance")
            set_colour(desk, ["255", "0", "0"])
            dismiss_box(desk, "提示", shot="colour-saved")
            check(program.file("参数.txt") == "红色：255红 绿色：0绿 蓝色：0蓝".encode("gbk"),
                  "colour file holds %r" % program.file("参数.txt"))
            program.stop()
            program.start()
            image = desk.shot("red-texts")
            for rect in (OPERATION_LABEL, DATA_LABEL, KEYWORD_LABEL, SEARCH_BUTTON):
                check(element_pixels(image, rect, reddish) > 20, "no red text in %s" % (rect,))
            for rect in (OPERATION_LABEL, DATA_LABEL, KEYWORD_LABEL):
                check(element_pixels(image, rect, dark) < 5, "dark text left in %s" % (rect,))
        results.run("set colour 255/0/0, restart draws red", colour_and_restart)

        picture = os.path.join(work, "picture.bmp")
        # Left half yellow, right half blue; larger than the window, since the
        # background shows a picture at its natural size.
        subprocess.run(["convert", "-size", "900x600", "xc:#2080E0", "-fill", "#E0C020", "-draw",
                        "rectangle 0,0 449,599", "BMP3:" + picture], check=True)

        def preview_and_save():
            try:
                if not program.running():
                    program.start()
                open_appearance(desk, program)
                desk.click(APPEARANCE_ORIGIN[0] + 16 + 44, APPEARANCE_ORIGIN[1] + 264 + 25)   # 预览
                try:
                    dialog = desk.wait_window("设置背景图片", 45)
                except Failure:
                    desk.shot("no-file-dialog")
                    raise
                time.sleep(1.0)
                x, y, w, h = desk.geometry(dialog)
                desk.move(x + w // 2, y + h // 2)
                desk.type(windows_path(picture))
                desk.key("Return", pause=0.5)
                desk.wait_no_window("设置背景图片", 20)
                time.sleep(1.0)
                image = desk.shot("preview")
                # The picture box at 16, 48 (200 x 200) shows the picture scaled.
                check(image.count(APPEARANCE_ORIGIN[0] + 30, APPEARANCE_ORIGIN[1] + 100, APPEARANCE_ORIGIN[0] + 60,
                                  APPEARANCE_ORIGIN[1] + 130, lambda p: p[0] > p[2] + 60) > 500,
                      "the picture box does not show the picture")
                desk.click(APPEARANCE_ORIGIN[0] + 128 + 44, APPEARANCE_ORIGIN[1] + 264 + 25)   # 保存
                time.sleep(1.5)
                image = desk.shot("picture-saved")
                check(program.file("bj.jpg") == open(picture, "rb").read(), "bj.jpg is not the picture's bytes")
                blue = lambda p: p[2] > p[0] + 60
                yellow = lambda p: p[0] > p[2] + 60
                # The appearance window (over the main window's top left) and
                # the main window to its right both show the picture.
                check(image.count(APPEARANCE_ORIGIN[0] + 100, APPEARANCE_ORIGIN[1] + 230, APPEARANCE_ORIGIN[0] + 120,
                                  APPEARANCE_ORIGIN[1] + 250, yellow) > 300, "the appearance window does not show it")
                check(image.count(ORIGIN[0] + 840, ORIGIN[1] + 300, ORIGIN[0] + 860, ORIGIN[1] + 320, blue) > 300,
                      "the main window does not show the picture")
            finally:
                program.stop()
        results.run("preview and save a picture", preview_and_save)

        def readonly_folder():
            folder = os.path.join(work, "readonly")
            ro = Program(args, wine, desk, sim, folder)
            old_colour = "红色：1红 绿色：2绿 蓝色：3蓝".encode("gbk")
            with open(os.path.join(folder, "参数.txt"), "wb") as f:
                f.write(old_colour)
            open(ro.opened_log, "w").close()
            # The folder becomes read-only: no entry can be made, renamed or
            # removed in it. Root ignores the permission bits, so as root the
            # folder is made immutable instead.
            lock = ["chattr", "+i", folder] if os.geteuid() == 0 else ["chmod", "555", folder]
            unlock = ["chattr", "-i", folder] if os.geteuid() == 0 else ["chmod", "755", folder]
            subprocess.run(lock, check=True)
            try:
                ro.start()
                open_appearance(desk, ro)
                set_colour(desk, ["255", "0", "0"])
                dismiss_box(desk, "抱歉", shot="write-failed")
                check(ro.file("参数.txt") == old_colour, "the old colour file changed")
                check(sorted(os.listdir(folder)) == sorted(["sorvix.exe", "sorvix.ini", "opened.txt", "参数.txt"]),
                      "files left behind: %s" % os.listdir(folder))
            finally:
                ro.stop()
                subprocess.run(unlock, check=True)
        results.run("write into a read-only folder", readonly_folder)
    finally:
        program.stop()
        sim.close()


def group_update(args, wine, desk, results):
    work = os.path.join(args.work, "update")

    def newer_version():
        sim = Sim(wine, args.sim, os.path.join(work, "v2"), "--blog-version", "V2.0")
        program = Program(args, wine, desk, sim, os.path.join(work, "prog-v2"))
        try:
            program.start(expect_window=False)
            box = desk.wait_window("信息", 30)
            time.sleep(0.8)
            desk.shot("update-prompt")
            check(not desk.windows("Sorvix神器"), "the main window showed before the prompt was answered")
            x, y, w, h = desk.geometry(box)
            desk.move(x + w // 2, y + h // 2)
            desk.key("n")                # No
            wait_for(lambda: not program.running(), 20, "the program to end")
            check(program.process.returncode == 0 if program.process else True, "exit code")
            check(not program.opened(), "something was opened: %s" % program.opened())
        finally:
            program.stop()
            sim.close()
    results.run("a post without V1.0 prompts and ends the program", newer_version)

    def unreadable_post():
        sim = Sim(wine, args.sim, os.path.join(work, "broken"), "--fault", "reset", "--fault-site", "blog")
        program = Program(args, wine, desk, sim, os.path.join(work, "prog-broken"))
        try:
            started = time.time()
            program.start()
            check(time.time() - started < 30, "start-up waited too long")
            check(not desk.windows("信息"), "a prompt appeared")
            check(sim.requests("blog") == ["/post/1d3adc9c_780596c"], "blog requests %s" % sim.requests("blog"))
        finally:
            program.stop()
            sim.close()
    results.run("an unreadable post lets the program start", unreadable_post)


# ---- Main ----------------------------------------------------------------------------------

class Results:
    def __init__(self, only=None):
        self.failed, self.passed, self.skipped = [], [], []
        self.only = only

    def run(self, name, fn):
        if self.only and not any(word in name for word in self.only):
            self.skip(name, "not asked for (--only)")
            return
        started = time.time()
        try:
            fn()
            self.passed.append(name)
            print("PASS  %s (%.1f s)" % (name, time.time() - started), flush=True)
        except Exception as e:  # noqa: BLE001 - every failure is reported, the rest still runs
            self.failed.append(name)
            print("FAIL  %s (%.1f s): %s" % (name, time.time() - started, e), flush=True)
            if not isinstance(e, Failure):
                traceback.print_exc()

    def skip(self, name, why):
        self.skipped.append(name)
        print("SKIP  %s: %s" % (name, why), flush=True)


def main():
    parser = argparse.ArgumentParser()
    for option in ("group", "exe", "sim", "recorder", "work", "artifacts", "wine-run", "prefix"):
        parser.add_argument("--" + option, required=True)
    # --only WORD...: run just the cases whose names hold one of the words
    # (while working on them; a case may need the ones before it).
    parser.add_argument("--only", nargs="*")
    args = parser.parse_args()
    args.work = os.path.abspath(args.work)
    os.makedirs(args.artifacts, exist_ok=True)
    group_work = os.path.join(args.work, args.group)
    if os.path.isdir(group_work) and os.geteuid() == 0:
        subprocess.run(["chattr", "-R", "-i", group_work], capture_output=True)
    shutil.rmtree(group_work, ignore_errors=True)
    os.makedirs(group_work)
    for sub in ("v2", "broken"):
        os.makedirs(os.path.join(group_work, sub), exist_ok=True)
    desk = Desk(args.artifacts)
    results = Results(args.only)
    try:
        wine = Wine(args, desk)
        wine.register_recorder(args.recorder)
        {"search": group_search, "appearance": group_appearance, "update": group_update}[args.group](
            args, wine, desk, results)
    finally:
        desk.close()
    print("%s: %d passed, %d failed, %d skipped" % (args.group, len(results.passed), len(results.failed),
                                                     len(results.skipped)))
    return 1 if results.failed else 0


if __name__ == "__main__":
    sys.exit(main())
