#!/usr/bin/python3
"""Reads Orvell's controls through AT-SPI, as a screen reader would.

Usage: atspi_check.py  (Orvell runs on the same session, its deck shown)
Prints what it found; exits 1 naming the first thing missing.
"""
import sys
import time

import pyatspi


def find_app():
    for _ in range(100):
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name and "orvell" in app.name.lower():
                return app
        time.sleep(0.1)
    return None


def walk(node, out, depth=0):
    if node is None or depth > 30:
        return
    out.append(node)
    for child in node:
        walk(child, out, depth + 1)


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


app = find_app()
if app is None:
    fail("Orvell is not on the accessibility bus")
nodes = []
walk(app, nodes)
named = {}
for n in nodes:
    named.setdefault(n.name, []).append(n)
print("accessible objects: %d" % len(nodes))

for name in ("Orvell Controls", "Play", "Restart", "Hide Controls", "Speed"):
    if name not in named:
        fail("no object named %r (names: %s)" % (name, sorted(k for k in named if k)[:40]))
play = named["Play"][0]
if play.getRoleName() not in ("push button", "button"):
    fail("Play is a %s" % play.getRoleName())

# Every button and slider under the deck has a name.
unnamed = [n.getRoleName() for n in nodes
           if n.getRoleName() in ("push button", "slider", "check box", "toggle button")
           and not n.name]
if unnamed:
    fail("controls without a name: %s" % unnamed)

sliders = [n for n in named["Speed"] if n.getRoleName() == "slider"]
if not sliders:
    fail("the speed is not a slider: %s" % [n.getRoleName() for n in named["Speed"]])
speed = sliders[0]
value = speed.queryValue()
print("speed: %s (%s to %s, step %s)" % (value.currentValue, value.minimumValue,
                                         value.maximumValue, value.minimumIncrement))
if (value.minimumValue, value.maximumValue) != (60, 260):
    fail("the speed runs from %s to %s" % (value.minimumValue, value.maximumValue))
value.currentValue = 200
for _ in range(50):
    if abs(speed.queryValue().currentValue - 200) < 1:
        break
    time.sleep(0.1)
else:
    fail("the speed did not step to 200: %s" % speed.queryValue().currentValue)
print("PASS: the deck's controls are named and the speed reads and steps")
