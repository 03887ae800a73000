"""Shared pieces of the interoperability tests.

The tests drive our own programs (ombrane-cli and the lut_eval tool, whose
paths arrive in the environment variables OMBRANE_CLI and LUT_EVAL) and two
independent readers of LUT files: OpenColorIO's Python bindings and ffmpeg.
Everything runs in a fresh temporary folder per test case.
"""
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

CLI = os.environ.get("OMBRANE_CLI", "")
LUT_EVAL = os.environ.get("LUT_EVAL", "")

# Grading options used for every exported look: none at its default of 100,
# so each slider moves the cube away from the plain transfer.
LOOK_OPTIONS = [
    "--gain", "130", "--saturation", "120", "--yellow", "90", "--orange", "115",
    "--red", "80", "--violet", "125", "--blue", "70", "--green", "140",
    "--low", "110", "--middle", "95", "--high", "105",
]

# Floating-point slack between a peer that computes in 32-bit floats and our
# 64-bit lookups of the same table values: an input or table value rounded to
# float32 moves by at most 6e-8 relative, and the dozen products and sums of a
# trilinear lookup add a few more of those. Measured differences stay below
# 1e-6; the bound leaves a margin of ten.
FLOAT_SLACK = 1e-5

# Half a step of the six-decimal text that the decimal formats write.
SIX_DECIMALS = 0.5e-6


def half_step(bits):
    """Largest rounding error of a value written as an integer at bits."""
    return 0.5 / (2 ** bits - 1)


# ---------------------------------------------------------------------------
# Peers


def load_ocio():
    """PyOpenColorIO, or None when the bindings are not installed."""
    try:
        import PyOpenColorIO  # noqa: WPS433 (import inside: the peer may be missing)
    except ImportError:
        return None
    return PyOpenColorIO


OCIO = load_ocio()
FFMPEG = shutil.which("ffmpeg")
OCIOBAKELUT = shutil.which("ociobakelut")


def require_ocio(case):
    if OCIO is None:
        case.skipTest("OpenColorIO's Python bindings (python3-pyopencolorio) are not installed")


def require_ociobakelut(case):
    require_ocio(case)
    if OCIOBAKELUT is None:
        case.skipTest("ociobakelut (opencolorio-tools) is not installed")


def require_ffmpeg(case):
    if FFMPEG is None:
        case.skipTest("ffmpeg is not installed")


def ocio_file_processor(path, interpolation=None):
    """A CPU processor that applies one LUT file as OpenColorIO reads it."""
    if interpolation is None:
        interpolation = OCIO.INTERP_DEFAULT
    transform = OCIO.FileTransform(src=path, interpolation=interpolation)
    config = OCIO.Config.CreateRaw()
    return config.getProcessor(transform).getDefaultCPUProcessor()


def ocio_apply(processor, points):
    flat = [c for p in points for c in p]
    out = processor.applyRGB(flat)
    return [tuple(out[i:i + 3]) for i in range(0, len(out), 3)]


# ---------------------------------------------------------------------------
# Our programs


def run(args, **kwargs):
    """Runs a program; raises AssertionError with its messages when it fails."""
    done = subprocess.run(args, capture_output=True, text=True, **kwargs)
    if done.returncode != 0:
        raise AssertionError("%s failed (exit %d):\n%s%s" % (
            " ".join(args), done.returncode, done.stdout, done.stderr))
    return done


def cli(*args):
    return run([CLI] + [str(a) for a in args])


def export_look(reference, output, profile, size=None):
    args = ["look", reference, "-o", output, "--profile", profile]
    if size is not None:
        args += ["--size", str(size)]
    cli(*(args + LOOK_OPTIONS))
    return output


def our_lookup(path, points, format_index=None):
    """Our LookupNormalized at the points, on the file as our reader reads it.

    Returns (info, values); info is a dict with format, name, kind, cube and
    curve taken from lut_eval's first line.
    """
    args = [LUT_EVAL]
    if format_index is not None:
        args += ["--format", str(format_index)]
    args.append(path)
    text = "".join("%.17g %.17g %.17g\n" % tuple(p) for p in points)
    done = run(args, input=text)
    lines = done.stdout.splitlines()
    head = lines[0].split("\t")
    info = {
        "format": int(head[0].split()[-1]),
        "name": head[1],
        "kind": int(head[2].split()[1]),
        "cube": int(head[3].split()[1]),
        "curve": int(head[4].split()[1]),
    }
    values = [tuple(float(v) for v in line.split()) for line in lines[1:]]
    if len(values) != len(points):
        raise AssertionError("lut_eval answered %d of %d points" % (len(values), len(points)))
    return info, values


# ---------------------------------------------------------------------------
# Points and comparisons


def grid_points(size):
    """Every grid point of a cube, red slowest, blue fastest."""
    step = size - 1
    return [(r / step, g / step, b / step)
            for r in range(size) for g in range(size) for b in range(size)]


def random_points(count, seed):
    rng = random.Random(seed)
    return [(rng.random(), rng.random(), rng.random()) for _ in range(count)]


def ramp_points(length):
    """Grey inputs at the entries of a curve of this length."""
    return [(i / (length - 1),) * 3 for i in range(length)]


def max_difference(first, second):
    """Largest channel difference, with the point where it occurs."""
    worst, where = -1.0, None
    for index, (a, b) in enumerate(zip(first, second)):
        for x, y in zip(a, b):
            d = abs(x - y)
            if d != d:  # NaN on either side is a failure of its own
                return float("inf"), index
            if d > worst:
                worst, where = d, index
    return worst, where


def clamp01(values):
    return [tuple(min(1.0, max(0.0, c)) for c in v) for v in values]


class InteropCase(unittest.TestCase):
    """A test case with its own temporary folder."""

    def setUp(self):
        if not CLI or not os.access(CLI, os.X_OK):
            self.fail("OMBRANE_CLI does not name the built ombrane-cli: %r" % CLI)
        if not LUT_EVAL or not os.access(LUT_EVAL, os.X_OK):
            self.fail("LUT_EVAL does not name the built lut_eval: %r" % LUT_EVAL)
        self._folder = tempfile.TemporaryDirectory(prefix="ombrane-interop-")
        self.folder = self._folder.name

    def tearDown(self):
        self._folder.cleanup()

    def path(self, name):
        return os.path.join(self.folder, name)

    def assertClose(self, actual, expected, bound, what, points=None):
        worst, where = max_difference(actual, expected)
        if worst > bound:
            at = ""
            if where is not None:
                at = " at %r: got %r, expected %r" % (
                    points[where] if points else where, actual[where], expected[where])
            self.fail("%s: largest difference %.3g exceeds %.3g%s" % (what, worst, bound, at))
        return worst

    def reference_picture(self):
        """A small reference still with a colour cast and a spread of tones."""
        path = self.path("reference.bmp")
        if not os.path.exists(path):
            write_bmp(path, *make_reference_pixels())
        return path


# ---------------------------------------------------------------------------
# Pictures


def make_reference_pixels(width=120, height=90):
    """A warm sunset-like still: an orange sky over a teal, shadowed ground,
    with texture, so all three luma ranges hold pixels of distinct chroma."""
    rng = random.Random(20260)
    pixels = []
    for y in range(height):
        for x in range(width):
            t = y / (height - 1)
            u = x / (width - 1)
            if t < 0.55:  # sky: bright orange to yellow
                r = 250 - 40 * t + 10 * u
                g = 150 + 60 * t - 30 * u
                b = 60 + 50 * t
            else:  # ground: teal shadows to dark blue-green
                s = (t - 0.55) / 0.45
                r = 40 + 30 * u - 30 * s
                g = 110 - 60 * s + 20 * u
                b = 120 - 40 * s + 25 * (1 - u)
            n = rng.uniform(-18, 18)
            pixels.append(tuple(int(min(255, max(0, c + n))) for c in (r, g, b)))
    return width, height, pixels


def make_test_pixels(width=48, height=32, seed=7):
    """Random colours plus the corners of the RGB cube and a grey ramp."""
    rng = random.Random(seed)
    pixels = [(rng.randrange(256), rng.randrange(256), rng.randrange(256))
              for _ in range(width * height)]
    corners = [(r, g, b) for r in (0, 255) for g in (0, 255) for b in (0, 255)]
    pixels[:len(corners)] = corners
    for i in range(width):
        v = round(255 * i / (width - 1))
        pixels[width + i] = (v, v, v)
    return width, height, pixels


def write_bmp(path, width, height, pixels):
    """A 24-bit bottom-up BMP from (r, g, b) tuples in rows from the top."""
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for r, g, b in pixels[y * width:(y + 1) * width]:
            row += bytes((b, g, r))
        row += b"\0" * (stride - len(row))
        rows.append(bytes(row))
    data = b"".join(rows)
    header = b"BM" + struct.pack("<IHHI", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def read_bmp(path):
    """(width, height, pixels) of an uncompressed 24- or 32-bit BMP."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"BM":
        raise AssertionError("%s is not a BMP file" % path)
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, _, bpp, compression = struct.unpack_from("<iiHHI", data, 18)
    if bpp not in (24, 32) or compression not in (0, 3):
        raise AssertionError("%s: unexpected BMP layout (%d bits, compression %d)" % (path, bpp, compression))
    step = bpp // 8
    stride = (width * step + 3) & ~3
    top_down = height < 0
    height = abs(height)
    pixels = []
    for y in range(height):
        row = y if top_down else height - 1 - y
        start = offset + row * stride
        for x in range(width):
            b, g, r = data[start + x * step:start + x * step + 3]
            pixels.append((r, g, b))
    return width, height, pixels


def ffmpeg_grade(folder, picture, lut_name, filter_name="lut3d"):
    """ffmpeg's rgb24 output of the picture through one LUT file, as pixels.

    Runs inside the folder so the file name needs no escaping in the filter
    description; trilinear (3D) or linear (1D) interpolation, as ours."""
    vf = "%s=file=%s" % (filter_name, lut_name)
    vf += ":interp=" + ("trilinear" if filter_name == "lut3d" else "linear")
    done = subprocess.run(
        [FFMPEG, "-v", "error", "-nostdin", "-i", picture, "-vf", vf,
         "-f", "rawvideo", "-pix_fmt", "rgb24", "-"],
        capture_output=True, cwd=folder)
    if done.returncode != 0:
        return None, done.stderr.decode(errors="replace").strip()
    raw = done.stdout
    return [tuple(raw[i:i + 3]) for i in range(0, len(raw), 3)], ""


def pixel_differences(first, second):
    """Histogram {difference: count} of the largest channel difference per pixel."""
    histogram = {}
    for a, b in zip(first, second):
        d = max(abs(x - y) for x, y in zip(a, b))
        histogram[d] = histogram.get(d, 0) + 1
    return histogram


# ---------------------------------------------------------------------------
# Text LUT helpers for writing tables as a peer reads them


def write_cube(path, size, table):
    """A plain .cube file (red fastest, six decimals) from table[(r, g, b)]."""
    lines = ["LUT_3D_SIZE %d" % size]
    for b in range(size):
        for g in range(size):
            for r in range(size):
                lines.append("%.6f %.6f %.6f" % tuple(table[(r, g, b)]))
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def data_lines(path):
    """The lines of a text LUT that are neither empty nor '#' comments."""
    with open(path) as f:
        return [line.strip() for line in f if line.strip() and not line.lstrip().startswith("#")]


def main():
    """Runs the module's tests; exit 77 (ctest's skip code) when every test
    was skipped because a peer is missing, so the skip shows in ctest."""
    program = unittest.main(exit=False, verbosity=2)
    result = program.result
    if not result.wasSuccessful():
        sys.exit(1)
    if result.testsRun > 0 and len(result.skipped) == result.testsRun:
        sys.exit(77)
    if result.testsRun == 0:
        print("no test ran", file=sys.stderr)
        sys.exit(1)
    sys.exit(0)
