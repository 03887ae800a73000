"""Our deep pictures, read by OpenImageIO's oiiotool.

oiiotool writes the input pictures (a 16-bit TIFF gradient, a float OpenEXR
with values outside 0..1, a 16-bit PNG with alpha); `ombrane-cli apply`
grades them through a look cube at their own precision and writes every
format and depth it offers; oiiotool reads each file back. Its values must be
our own LookupNormalized of the input values (clamped into 0..1), as lut_eval
prints it, within one code value at the output's depth (1e-6 for float), and
its header must show the storage we meant.
"""
import re
import shutil

from interop_support import InteropCase, cli, clamp01, export_look, main, our_lookup, run

OIIOTOOL = shutil.which("oiiotool")

PIXEL = re.compile(r"^\s*Pixel \((\d+), (\d+)\): ([^(]*)(?:\((.*)\))?\s*$")


def read_pixels(path):
    """The picture's values as oiiotool reads them, normalised floats, in
    rows from the top; (header line, pixels)."""
    done = run([OIIOTOOL, "--dumpdata", path])
    lines = done.stdout.splitlines()
    pixels = []
    for line in lines[1:]:
        match = PIXEL.match(line)
        if match:
            values = match.group(4) if match.group(4) is not None else match.group(3)
            pixels.append([float(v) for v in values.split()])
    return lines[0], pixels


def quantised(value, bits):
    levels = 2 ** bits - 1
    return round(min(max(value, 0.0), 1.0) * levels) / levels


class OiiotoolReadsOurPictures(InteropCase):

    def setUp(self):
        super().setUp()
        if not OIIOTOOL:
            self.skipTest("oiiotool (openimageio-tools) is not installed")
        self.cube = export_look(self.reference_picture(), self.path("look.cube"), "Cube 3D Davinci")

    def make(self, name, pattern, depth):
        path = self.path(name)
        run([OIIOTOOL, "--pattern", pattern, "96x24", "3", "-d", depth, "-o", path])
        return path

    def check(self, source, output, header, bound, bits=None):
        cli("apply", self.cube, source, "-o", output)
        _, inputs = read_pixels(source)
        head, outputs = read_pixels(output)
        self.assertIn(header, head, output)
        self.assertEqual(len(outputs), len(inputs))
        points = clamp01([p[:3] for p in inputs])
        _, expected = our_lookup(self.cube, points)
        got = [p[:3] for p in outputs]
        if bits is not None:
            # Compared in code values: oiiotool prints 8 significant digits.
            levels = 2 ** bits - 1
            expected = [[quantised(v, bits) * levels for v in p] for p in expected]
            got = [[round(v * levels) for v in p] for p in got]
            bound *= levels
        worst = self.assertClose(got, [list(p) for p in expected], bound, output, points)
        return worst, inputs, outputs

    def test_sixteen_bit_tiff_in_every_output(self):
        source = self.make("in.tif", "fill:topleft=0,0,0.1:topright=1,0.2,0.5:"
                           "bottomleft=0,1,0.7:bottomright=1,1,1", "uint16")
        code16 = 1 / 65535
        self.check(source, self.path("same.tif"), "uint16 tiff", code16, 16)
        self.check(source, self.path("o.png"), "uint16 png", code16, 16)
        self.check(source, self.path("o.dpx"), "uint10 dpx", 1 / 1023, 10)
        # Half keeps 11 significant bits: one step below 1 is 2^-11.
        self.check(source, self.path("o.exr"), "half openexr", 2 ** -11)
        # The 16-bit output keeps far more levels than 8 bits could.
        _, _, outputs = self.check(source, self.path("again.tif"), "uint16 tiff", code16, 16)
        self.assertGreater(len({round(p[0] * 65535) for p in outputs}), 256)

    def test_float_exr_is_clamped_and_stays_float(self):
        source = self.make("in.exr", "fill:topleft=-0.5,0,0.2:topright=1.5,0.3,0.6:"
                           "bottomleft=0,1.25,0.7:bottomright=1,1,-0.1", "float")
        self.check(source, self.path("same.exr"), "float openexr", 1e-6)
        self.check(source, self.path("o.tif"), "uint16 tiff", 1 / 65535, 16)
        source16 = self.make("half.exr", "fill:topleft=0,0,0:topright=1,0,1:"
                             "bottomleft=0,1,0:bottomright=1,1,1", "half")
        self.check(source16, self.path("same-half.exr"), "half openexr", 2 ** -11)

    def test_alpha_is_carried_untouched(self):
        source = self.path("alpha.png")
        run([OIIOTOOL, "--pattern", "fill:topleft=0,0,0.2,1:topright=1,0.5,0,0.5:"
             "bottomleft=0,1,1,0.25:bottomright=1,1,1,0", "64x16", "4", "-d", "uint16",
             "--attrib", "oiio:UnassociatedAlpha", "1", "-o", source])
        cli("apply", self.cube, source, "-o", self.path("out.png"))
        head_in, inputs = read_pixels(source)
        head_out, outputs = read_pixels(self.path("out.png"))
        self.assertIn("4 channel, uint16 png", head_out)
        self.assertEqual([p[3] for p in outputs], [p[3] for p in inputs])

    def test_zip_tiff_strips_are_those_of_a_one_thread_writer(self):
        # Our 16-bit zip TIFF is written with its strips compressed on every
        # core; oiiotool on one thread, keeping our tags, must write the
        # same bytes: a strip compressed out of order or cut differently
        # would show. A noise pattern keeps the strips of unequal sizes.
        source = self.path("noise.tif")
        run([OIIOTOOL, "--pattern", "noise:type=uniform:min=0:max=1", "700x333", "3", "-d", "uint16",
             "--compression", "zip", "-o", source])
        ours = self.path("ours.tif")
        cli("apply", self.cube, source, "-o", ours)
        serial = self.path("serial.tif")
        run([OIIOTOOL, "--threads", "1", "--nosoftwareattrib", ours, "-o", serial])
        with open(ours, "rb") as a, open(serial, "rb") as b:
            mine, theirs = a.read(), b.read()
        self.assertGreater(len(mine), 700 * 333)
        self.assertEqual(mine, theirs)


if __name__ == "__main__":
    main()
