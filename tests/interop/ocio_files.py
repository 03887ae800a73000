"""Reading LUT files with OpenColorIO and with our format library, and
saying for each file whether both give the same values.

Used by test_ocio_test_files.py and by bench/ocio_test_files. A file is

  match         both read it; the values agree within the bound
  differ        both read it; the values differ
  we refuse     OpenColorIO reads it, our reader refuses it
  both refuse   neither reads it
  ocio refuses  we read a file OpenColorIO refuses
  not ours      no format of ours recognises the file

Each file is evaluated at a 9-point grid over 0..1 and 300 random colours.
The bound is 1e-5, or the change that OpenColorIO's 32-bit floats make: our
value at each input moved by a float's rounding (six parts in 10^8) on every
channel spans the values OpenColorIO may give, so a steep table is judged
at the precision its input has in 32 bits.
"""
import os
import random
import subprocess
import tempfile

SKIP_EXTENSIONS = {".ocio", ".ociom", ".ocioz", ".yaml", ".icc", ".icm", ".jpg",
                   ".txt", ".md", ".py", ".exr", ".tif", ".license"}
FLOAT_ROUNDING = 6e-8


def points():
    grid = [(r / 8, g / 8, b / 8) for r in range(9) for g in range(9) for b in range(9)]
    rng = random.Random(5)
    return grid + [(rng.random(), rng.random(), rng.random()) for _ in range(300)]


def ocio_values(ocio, path, pts):
    """OpenColorIO's values, or (None, its message)."""
    try:
        transform = ocio.FileTransform(src=path, interpolation=ocio.INTERP_DEFAULT)
        # Without optimisation: OpenColorIO's optimiser drops an operation
        # followed by its inverse even where clamps make the pair no identity.
        processor = ocio.Config.CreateRaw().getProcessor(transform).getOptimizedCPUProcessor(
            ocio.BIT_DEPTH_F32, ocio.BIT_DEPTH_F32, ocio.OPTIMIZATION_NONE)
        flat = processor.applyRGB([c for p in pts for c in p])
    except Exception as error:  # OpenColorIO raises its own exception types
        return None, str(error).splitlines()[0][:200]
    return [tuple(flat[i:i + 3]) for i in range(0, len(flat), 3)], ""


def our_values(lut_eval, path, pts):
    """Our values, or (None, our message)."""
    text = "".join("%.17g %.17g %.17g\n" % tuple(p) for p in pts)
    done = subprocess.run([lut_eval, path], input=text, capture_output=True, text=True, timeout=120)
    if done.returncode != 0:
        lines = done.stderr.strip().splitlines()
        return None, lines[-1][:240] if lines else "failed"
    lines = done.stdout.splitlines()
    return [tuple(float(v) for v in line.split()) for line in lines[1:]], lines[0]


def _moved(pts, factor):
    return [tuple(c * factor for c in p) for p in pts]


def largest_excess(ours, low, high, theirs):
    """The largest difference beyond the bound, relative to it (1.0 is on
    the bound), and the index of its point."""
    worst, where = 0.0, -1
    for index, (a, a_low, a_high, b) in enumerate(zip(ours, low, high, theirs)):
        for x, x_low, x_high, y in zip(a, a_low, a_high, b):
            if x != x or y != y:
                if (x != x) != (y != y):
                    return float("inf"), index
                continue
            lo, hi = min(x, x_low, x_high), max(x, x_low, x_high)
            slack = 1e-5 + FLOAT_ROUNDING * 4 * abs(y)
            distance = max(lo - y, y - hi, 0.0)
            if distance / slack > worst:
                worst, where = distance / slack, index
    return worst, where


def cut_copies_accepted(lut_eval, path, cuts=8):
    """Byte counts at which a cut copy of the file is still read by us: the
    copies read by one process (a sanitized process costs more to start
    than to read a file)."""
    with open(path, "rb") as source:
        data = source.read()
    with tempfile.TemporaryDirectory() as folder:
        copies = {}
        for k in range(1, cuts + 1):
            cut = len(data) * k // (cuts + 1)
            if cut <= 0 or cut >= len(data) or not data[cut:].strip():
                continue
            # Each copy keeps the file's name, which detection may read.
            copy = os.path.join(folder, str(k), os.path.basename(path))
            os.mkdir(os.path.dirname(copy))
            with open(copy, "wb") as out:
                out.write(data[:cut])
            copies[copy] = cut
        if not copies:
            return []
        done = subprocess.run([lut_eval, "--reads"] + list(copies), capture_output=True, text=True, timeout=300)
        lines = done.stdout.splitlines()
        if done.returncode != 0 or len(lines) != len(copies):
            raise RuntimeError("lut_eval --reads failed on cut copies of %s: %s" % (path, done.stderr.strip()[-300:]))
        return [cut for cut, line in zip(copies.values(), lines) if line == "read"]


def classify(ocio, lut_eval, path, pts, cut=False):
    """(verdict, detail, accepted cuts) for one file."""
    theirs, their_error = ocio_values(ocio, path, pts)
    ours, our_head = our_values(lut_eval, path, pts)
    if ours is None and "no format reads" in our_head:
        return "not ours", "", []
    if theirs is None and ours is None:
        return "both refuse", "ours: %s | ocio: %s" % (our_head, their_error), []
    if theirs is None:
        return "ocio refuses", their_error, []
    if ours is None:
        return "we refuse", our_head, []
    worst, where = largest_excess(ours, ours, ours, theirs)
    if worst > 1.0:  # judged again at the precision the inputs have in 32 bits
        low, _ = our_values(lut_eval, path, _moved(pts, 1 - FLOAT_ROUNDING))
        high, _ = our_values(lut_eval, path, _moved(pts, 1 + FLOAT_ROUNDING))
        worst, where = largest_excess(ours, low, high, theirs)
    verdict, detail = "match", ""
    if worst > 1.0:
        verdict = "differ"
        detail = "at %s: ours %s, ocio %s" % (
            tuple(round(c, 4) for c in pts[where]), tuple(round(c, 6) for c in ours[where]),
            tuple(round(c, 6) for c in theirs[where]))
    return verdict, detail, cut_copies_accepted(lut_eval, path) if cut else []


def lut_files(folder):
    for root, _, files in sorted(os.walk(folder)):
        for name in sorted(files):
            if os.path.splitext(name)[1].lower() not in SKIP_EXTENSIONS and name != "LICENSE":
                yield os.path.join(root, name)
