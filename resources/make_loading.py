#!/usr/bin/env python3
"""Draws the loading animations with ImageMagick: a rotating accent arc over a light track on
a white matte. loading_16(@2x).gif for inline use, loading(@2x).gif for the waiting pages.
Run once after a change; the GIFs are committed."""
import math
import os
import subprocess
import tempfile

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "image", "common")


def make_gif(size, width, name, frames=12, sweep=110):
    c = size / 2.0
    r = (size - width) / 2.0 - 0.5
    with tempfile.TemporaryDirectory() as tmp:
        files = []
        for i in range(frames):
            a0 = math.radians(i * 360.0 / frames)
            a1 = math.radians(i * 360.0 / frames + sweep)
            x0, y0 = c + r * math.cos(a0), c + r * math.sin(a0)
            x1, y1 = c + r * math.cos(a1), c + r * math.sin(a1)
            # Drawn as overlapping round dots: a stroked arc with round caps, which this
            # ImageMagick draws reliably (its arc and path primitives fill the chord).
            f = os.path.join(tmp, "f%02d.png" % i)
            steps = max(8, int(r * (a1 - a0) * 2))
            dots = []
            for k in range(steps + 1):
                a = a0 + (a1 - a0) * k / steps
                x, y = c + r * math.cos(a), c + r * math.sin(a)
                dots.append("circle %.2f,%.2f %.2f,%.2f" % (x, y, x + width / 2.0, y))
            subprocess.check_call([
                "convert", "-size", "%dx%d" % (size, size), "xc:white", "-fill", "none",
                "-stroke", "#e5ebfa", "-strokewidth", str(width),
                "-draw", "circle %.2f,%.2f %.2f,%.2f" % (c, c, c, c - r),
                "-stroke", "none", "-fill", "#2f6bff", "-draw", " ".join(dots),
                f])
            files.append(f)
        subprocess.check_call(["convert", "-delay", "7", "-loop", "0"] + files +
                              [os.path.join(OUT, name)])


make_gif(16, 2, "loading_16.gif")
make_gif(32, 4, "loading_16@2x.gif")
make_gif(40, 4, "loading.gif")
make_gif(80, 8, "loading@2x.gif")
