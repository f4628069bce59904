#!/usr/bin/python3
"""Orvell with many scripts: an import of 10,000 files through the session bus
while another client reads a property every 50 ms, then libraries of 10,000
and 200,000 scripts opened, and SIGTERM at several moments. Prints its figures.

  python3 bench/library_scale.py [build-release/Orvell/orvell] [--sizes 10000,200000]

Runs Orvell on a virtual X server with a session bus of its own (started here),
in a temporary home; needs xvfb-run, dbus-daemon and python3-dbus."""
import json, os, shutil, signal, statistics, subprocess, sys, tempfile, threading, time, uuid

APP, PATH, IFACE = "org.orvell.Orvell", "/org/orvell/Orvell", "org.orvell.Orvell"


def private_bus():
    out = subprocess.check_output(["dbus-daemon", "--session", "--fork", "--print-address=1",
                                   "--print-pid=1", "--nosyslog"], text=True).split()
    return out[0], int(out[1])


class App:
    def __init__(self, binary, home, bus):
        env = dict(os.environ, XDG_CONFIG_HOME=f"{home}/config", XDG_DATA_HOME=f"{home}/data",
                   XDG_STATE_HOME=f"{home}/state", DBUS_SESSION_BUS_ADDRESS=bus,
                   QT_QPA_PLATFORM="xcb")
        self.started = time.monotonic()
        self.proc = subprocess.Popen([binary], env=env, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)

    def terminate(self):
        sent = time.monotonic()
        self.proc.send_signal(signal.SIGTERM)
        try:
            self.proc.wait(30)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            return None
        return time.monotonic() - sent


def connect(bus_address):
    import dbus
    return dbus.bus.BusConnection(bus_address)


def get_property(conn, name, timeout=30):
    obj = conn.get_object(APP, PATH, introspect=False)
    return obj.Get(IFACE, name, dbus_interface="org.freedesktop.DBus.Properties", timeout=timeout)


def wait_answering(conn, app, limit=120):
    """Seconds from the start until the app answers a property read on the bus."""
    import dbus
    while time.monotonic() - app.started < limit:
        try:
            get_property(conn, "Playing", timeout=0.5)
            return time.monotonic() - app.started
        except dbus.exceptions.DBusException:
            time.sleep(0.02)
    return None


def make_library(root, count):
    scripts = os.path.join(root, "Scripts")
    os.makedirs(scripts)
    entries, order = [], []
    stamp = "2026-12-01T10:00:00.000Z"
    for i in range(count):
        sid = str(uuid.uuid4()).upper()
        body = f"Script {i}\n\nGood evening, everyone. This is talk number {i} of the library."
        with open(os.path.join(scripts, sid + ".txt"), "w") as f:
            f.write(body)
        entries.append({"id": sid, "title": f"Script {i}", "createdAt": stamp, "updatedAt": stamp,
                        "isFavorite": False, "wordCount": len(body.split())})
        order.append(sid)
    with open(os.path.join(root, "library.json"), "w") as f:
        json.dump({"version": 1, "order": order, "selectedID": order[0], "entries": entries}, f)


def bench_import(binary, bus, files):
    home = tempfile.mkdtemp(prefix="orvell-bench-")
    try:
        folder = os.path.join(home, "talks")
        os.makedirs(folder)
        paths = []
        for i in range(files):
            p = os.path.join(folder, f"talk-{i:05d}.txt")
            with open(p, "w") as f:
                f.write(f"Talk {i}\n\nThank you all for coming tonight. Here is what we learned.")
            paths.append(p)
        app = App(binary, home, bus)
        conn = connect(bus)
        if wait_answering(conn, app) is None:
            print("import: Orvell never answered on the bus")
            return
        latencies, done = [], threading.Event()

        def poll():
            import dbus
            c = connect(bus)
            while not done.is_set():
                t = time.monotonic()
                try:
                    get_property(c, "SelectedScriptTitle")
                except dbus.exceptions.DBusException:
                    pass  # no answer within 30 s: counted as that long
                latencies.append(time.monotonic() - t)
                time.sleep(0.05)

        poller = threading.Thread(target=poll)
        poller.start()
        start = time.monotonic()
        obj = conn.get_object(APP, PATH, introspect=False)
        summary, imported, failed, _ = obj.Import(paths, dbus_interface=IFACE, timeout=600)
        total = time.monotonic() - start
        done.set()
        poller.join()
        print(f"import of {files} files through the bus: {total:.2f} s ({summary} "
              f"imported {imported}, failed {failed})")
        print(f"  property reads meanwhile: {len(latencies)}, median "
              f"{1000 * statistics.median(latencies):.1f} ms, worst {1000 * max(latencies):.1f} ms")
        quit_time = app.terminate()
        print(f"  SIGTERM after the import: exited in {quit_time:.2f} s" if quit_time is not None
              else "  SIGTERM after the import: still running after 30 s")
    finally:
        shutil.rmtree(home, ignore_errors=True)


def bench_open(binary, bus, count):
    home = tempfile.mkdtemp(prefix="orvell-bench-")
    try:
        t = time.monotonic()
        make_library(os.path.join(home, "data", APP), count)
        print(f"library of {count:,} scripts (made in {time.monotonic() - t:.1f} s):")
        app = App(binary, home, bus)
        conn = connect(bus)
        answered = wait_answering(conn, app)
        print(f"  answering on the bus after {answered:.2f} s" if answered is not None
              else "  not answering on the bus after 120 s")
        # Reads every 50 ms until the library is in (the selected script's
        # title appears) and a second after: the worst of them.
        worst, loaded, end = 0.0, None, time.monotonic() + 120
        while answered is not None and time.monotonic() < end:
            s = time.monotonic()
            title = get_property(conn, "SelectedScriptTitle")
            worst = max(worst, time.monotonic() - s)
            if title and loaded is None:
                loaded = time.monotonic() - app.started
                end = time.monotonic() + 1
            time.sleep(0.05)
        if loaded is not None:
            print(f"  library in after {loaded:.2f} s; worst property read until a second "
                  f"later: {1000 * worst:.0f} ms")
        quit_time = app.terminate()
        print(f"  SIGTERM once open: exited in {quit_time:.2f} s" if quit_time is not None
              else "  SIGTERM once open: still running after 30 s")
        for delay in (0.3, 1.0):
            app = App(binary, home, bus)
            time.sleep(delay)
            quit_time = app.terminate()
            print(f"  SIGTERM {delay} s after start: exited in {quit_time:.2f} s"
                  if quit_time is not None else f"  SIGTERM {delay} s after start: still running")
    finally:
        shutil.rmtree(home, ignore_errors=True)


def main():
    args = sys.argv[1:]
    sizes = [10000, 200000]
    if "--sizes" in args:
        at = args.index("--sizes")
        sizes = [int(s) for s in args[at + 1].split(",") if s]
        del args[at:at + 2]
    binary = os.path.abspath(args[0] if args else "build-release/Orvell/orvell")
    if "DISPLAY" not in os.environ:
        os.execvp("xvfb-run", ["xvfb-run", "-a", "-s", "-screen 0 1512x982x24 -nolisten tcp",
                               sys.executable] + sys.argv)
    bus, pid = private_bus()
    try:
        bench_import(binary, bus, 10000)
        for n in sizes:
            bench_open(binary, bus, n)
    finally:
        os.kill(pid, signal.SIGTERM)


if __name__ == "__main__":
    main()
