#!/usr/bin/python3
"""Walks the running program with a real accessibility client (pyatspi over the AT-SPI
registry), as a screen reader would: the main window's list and its rows, every toolbar button
by name, the format dialog's controls, the progress window's rows with their values, and the
player's sliders with values that move while it plays. Every control that can take focus or be
pressed must have a name.

Run inside a private session bus and an X server of its own (the CMake test wraps it in
dbus-run-session and xvfb-run). Exit 0 when every check holds, 1 otherwise, 77 when something
outside the project is missing.

Usage: atspi_test.py --ostrel build/bin/ostrel
"""
import argparse
import datetime
import os
import subprocess
import sys
import tempfile
import time

try:
    import pyatspi
    from gi.repository import GLib
except ImportError:
    print("atspi: SKIPPED: python3-pyatspi is not installed", flush=True)
    sys.exit(77)

FAULTS = []

# Roles of the controls a user operates; each must carry a name.
NAMED_ROLES = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_SLIDER,
    pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_TEXT, pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE,
    pyatspi.ROLE_TREE, pyatspi.ROLE_LIST, pyatspi.ROLE_PAGE_TAB,
}
TOOLBAR_BUTTONS = {"Add", "Remove", "Play", "Move Up", "Move Down", "Convert"}


def fault(text):
    FAULTS.append(text)
    print("FAULT: " + text, flush=True)


def walk(node, depth=0):
    """Every accessible under node, the node included, skipping what went away meanwhile."""
    if node is None or depth > 40:
        return
    yield node
    try:
        count = node.childCount
    except Exception:
        return
    # Tables list a child per cell; the first rows are enough to look at.
    for index in range(min(count, 400)):
        try:
            child = node.getChildAtIndex(index)
        except Exception:
            continue
        yield from walk(child, depth + 1)


def showing(node):
    try:
        return node.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:
        return False


def find(root, role, name=None):
    for node in walk(root):
        try:
            if node.getRole() == role and (name is None or node.name == name):
                return node
        except Exception:
            continue
    return None


def find_list(root, name):
    """A tree, tree table or table of that name: Qt reads item views as any of these."""
    for role in (pyatspi.ROLE_TREE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TABLE):
        found = find(root, role, name)
        if found is not None:
            return found
    return None


def wait_for(function, seconds=20.0, step=0.2):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = function()
        if value:
            return value
        # The events of the registry arrive while the main context runs.
        pause = time.monotonic() + step
        while time.monotonic() < pause:
            if not GLib.MainContext.default().iteration(False):
                time.sleep(0.02)
    return None


def press(node, opens_modal=False):
    """Runs the node's press action. A button that opens a modal window (the player) answers
    only once that window closes; its call is left to time out while the window opens."""
    action = node.queryAction()
    index = 0
    for candidate in range(action.nActions):
        if action.getName(candidate).lower() in ("press", "click"):
            index = candidate
    if not opens_modal:
        action.doAction(index)
        return
    pyatspi.setTimeout(1000, 15000)
    try:
        action.doAction(index)
    except Exception:
        pass
    finally:
        pyatspi.setTimeout(25000, 15000)


def window(app, name_start):
    for index in range(app.childCount):
        child = app.getChildAtIndex(index)
        if child is not None and child.name.startswith(name_start) and showing(child):
            return child
    return None


def check_names(root, where):
    """Every showing control of the window has a name."""
    for node in walk(root):
        try:
            role = node.getRole()
            if role not in NAMED_ROLES or not showing(node):
                continue
            if role == pyatspi.ROLE_TEXT and node.parent.getRole() in (
                    pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_TABLE_CELL):
                continue  # the editor inside a combo box or cell is named by its owner
            if not node.name.strip():
                fault("%s: a %s without a name" % (where, node.getRoleName()))
        except Exception:
            continue


def table_rows(table):
    """The rows of a table or tree table as lists of cell names."""
    try:
        grid = table.queryTable()
    except NotImplementedError:
        return []
    rows = []
    for row in range(grid.nRows):
        cells = []
        for column in range(grid.nColumns):
            cell = grid.getAccessibleAt(row, column)
            cells.append(cell.name if cell is not None else "")
        rows.append(cells)
    return rows


def make_clip(path):
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                    "testsrc2=size=320x240:rate=25:duration=8", "-f", "lavfi", "-i",
                    "sine=frequency=440:duration=8", "-c:v", "mpeg4", "-c:a", "mp2",
                    "-shortest", path], check=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--ostrel", required=True)
    args = parser.parse_args()
    if not os.environ.get("DISPLAY") or not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
        print("atspi: SKIPPED: no X display or session bus (run under xvfb-run and "
              "dbus-run-session)", flush=True)
        return 77

    home = tempfile.mkdtemp(prefix="ostrel-atspi-")
    config = os.path.join(home, ".config", "Ostrel Software")
    os.makedirs(config)
    today = datetime.date.today()
    with open(os.path.join(config, "Ostrel Media Converter.conf"), "w") as settings:
        # The update prompt is not due; the output goes into the test's folder.
        settings.write("[General]\nLastCheckUpdate=%d-%d-%d\nOutPath=%s\n"
                       % (today.year, today.month, today.day, os.path.join(home, "out")))
    os.makedirs(os.path.join(home, "out"))
    clip = os.path.join(home, "clip.avi")
    make_clip(clip)

    runtime = os.path.join(home, "runtime")
    os.makedirs(runtime, mode=0o700)
    # A runtime folder of its own: a window the user has open elsewhere does not take the file.
    env = dict(os.environ, HOME=home, XDG_RUNTIME_DIR=runtime, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
               QT_ACCESSIBILITY="1", SDL_AUDIODRIVER="dummy", QT_QPA_PLATFORM="xcb",
               XDG_CONFIG_HOME=os.path.join(home, ".config"))
    process = subprocess.Popen([args.ostrel, clip], env=env)
    try:
        return run_checks(process, clip)
    finally:
        process.kill()
        process.wait()


def run_checks(process, clip):
    desktop = pyatspi.Registry.getDesktop(0)

    def the_app():
        for index in range(desktop.childCount):
            app = desktop.getChildAtIndex(index)
            try:
                if app is not None and app.get_process_id() == process.pid:
                    return app
            except Exception:
                continue
        return None

    app = wait_for(the_app, 30)
    if app is None:
        print("atspi: the program never appeared in the AT-SPI registry", flush=True)
        return 1
    main_window = wait_for(lambda: window(app, "Ostrel Media Converter"))
    if main_window is None:
        fault("no main window")
        return 1

    # The list, named, with the added file as a row.
    listed = wait_for(lambda: find_list(main_window, "Files"))
    if listed is None:
        fault("main window: no list named \"Files\"")
    else:
        rows = wait_for(lambda: table_rows(listed))
        if not rows or not any(os.path.basename(clip) in cell for cell in rows[0]):
            fault("main window: the list's rows do not show the file: %r" % (rows,))
    toolbar = find(main_window, pyatspi.ROLE_TOOL_BAR)
    names = set()
    for node in walk(toolbar):
        if node is toolbar:
            continue
        if node.getRole() != pyatspi.ROLE_SEPARATOR and not node.name.strip():
            fault("toolbar: a %s without a name" % node.getRoleName())
        names.add(node.name)
    if not TOOLBAR_BUTTONS <= names:
        fault("toolbar: buttons missing: %s" % sorted(TOOLBAR_BUTTONS - names))
    check_names(main_window, "main window")

    # The format dialog, then OK: the progress window with its rows.
    press(find(toolbar, pyatspi.ROLE_PUSH_BUTTON, "Convert"))
    dialog = wait_for(lambda: window(app, "Output Settings"))
    if dialog is None:
        fault("the format dialog did not open")
        return 1
    print("atspi: format dialog %r" % dialog.name, flush=True)
    check_names(dialog, "format dialog")
    grid = find_list(dialog, "Settings")
    if grid is None or not table_rows(grid):
        fault("format dialog: no settings grid named \"Settings\" with rows")
    elif not any(len(row) == 2 and row[0] and row[1] for row in table_rows(grid)):
        fault("format dialog: no grid row reads as name and value: %r" % table_rows(grid))
    press(find(dialog, pyatspi.ROLE_PUSH_BUTTON, "OK"))
    progress = wait_for(lambda: window(app, "Please wait") or window(app, "Convert "))
    if progress is None:
        fault("the progress window did not open: %s" % [
            (c.getRoleName(), c.name) for c in walk(app) if showing(c)][:40])
        return 1
    table = wait_for(lambda: find_list(progress, "Files"))
    rows = wait_for(lambda: [r for r in table_rows(table) if r[-1] == "OK"] if table else None,
                    60)
    if not rows:
        fault("progress window: no row reads file, percent and \"OK\": %r"
              % (table_rows(table) if table else None,))
    else:
        output, percent, status = rows[0]
        if not output.endswith(".mp4") and "." not in output or percent != "100%":
            fault("progress window: row reads %r" % (rows[0],))
    check_names(progress, "progress window")
    press(find(progress, pyatspi.ROLE_PUSH_BUTTON, "Close"))
    wait_for(lambda: window(app, "Convert ") is None)

    # The player: two named sliders with values, the position moving while it plays.
    press(find(toolbar, pyatspi.ROLE_PUSH_BUTTON, "Play"), opens_modal=True)
    player = wait_for(lambda: window(app, clip))
    if player is None:
        fault("the player did not open")
        return 1
    seek = wait_for(lambda: find(player, pyatspi.ROLE_SLIDER, "Seek"))
    volume = find(player, pyatspi.ROLE_SLIDER, "Volume")
    if seek is None or volume is None:
        fault("player: sliders \"Seek\" and \"Volume\" not found")
    else:
        level = volume.queryValue()
        if not level.minimumValue <= level.currentValue <= level.maximumValue \
                or level.maximumValue <= 0:
            fault("player: volume reads %s of %s..%s" % (level.currentValue,
                                                          level.minimumValue,
                                                          level.maximumValue))
        announced = []

        def on_value(event):
            try:
                if event.source.getRole() == pyatspi.ROLE_SLIDER and event.source.name == "Seek":
                    announced.append(event.source.queryValue().currentValue)
            except Exception:
                pass

        pyatspi.Registry.registerEventListener(on_value,
                                               "object:property-change:accessible-value")
        # The player may open paused: its button then reads "Play".
        start = find(player, pyatspi.ROLE_PUSH_BUTTON, "Play")
        if start is not None:
            press(start)
        first = seek.queryValue().currentValue
        moved = wait_for(lambda: seek.queryValue().currentValue > first, 15)
        if not moved:
            fault("player: the seek slider's value stays at %s of %s while playing: %s" % (
                first, seek.queryValue().maximumValue,
                [(n.getRoleName(), n.name) for n in walk(player)]))
        else:
            print("atspi: seek moved from %s to %s of %s" % (
                first, seek.queryValue().currentValue, seek.queryValue().maximumValue),
                  flush=True)
            if not wait_for(lambda: any(value > first for value in announced), 5):
                fault("player: no value-changed event announced the seek slider's moves")
            print("atspi: %d value-changed events of the seek slider" % len(announced), flush=True)
    mute = find(player, pyatspi.ROLE_PUSH_BUTTON, "Mute")
    if mute is None:
        fault("player: no button named \"Mute\"")
    else:
        press(mute)
        if not wait_for(lambda: find(player, pyatspi.ROLE_PUSH_BUTTON, "Unmute"), 5):
            fault("player: pressing Mute did not make it \"Unmute\"")
    check_names(player, "player")

    print("atspi: %d faults" % len(FAULTS), flush=True)
    return 1 if FAULTS else 0


if __name__ == "__main__":
    sys.exit(main())
