"""The 1D family: our curve writers against OpenColorIO, and round trips.

A non-trivial curve (a different shape per channel, within 0..1) is written
as a plain Cube 1D source file and converted with `ombrane-cli convert` into
our 1D formats:

* Codex 1D ("LUT: 3 N" followed by the red, green and blue lists) is the
  layout OpenColorIO reads as "Discreet 1D LUT"; under the .lut extension it
  picks that reader first, under the profile's own .dat it finds it after
  trying the readers for that extension;
* our Cube 1D file is read by OpenColorIO's cube readers;
* S.two 1D has no peer here; it is round-tripped through our own readers.
"""
import os
import subprocess

from interop_support import (
    CLI, FLOAT_SLACK, SIX_DECIMALS, InteropCase, cli, half_step, main, ocio_apply,
    ocio_file_processor, our_lookup, ramp_points, random_points, require_ocio,
)

LENGTH = 1024
CODEX = "Codex 1D, Sony SRW-1, Scratch 1D"


def curve(x):
    return (x ** 0.6, x * x, 0.1 + 0.8 * x)


def write_source(path, length=LENGTH):
    lines = ["TITLE \"source\"", "LUT_1D_SIZE %d" % length]
    for i in range(length):
        lines.append("%.6f %.6f %.6f" % curve(i / (length - 1)))
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")
    return path


class OneDimensionalFormats(InteropCase):

    def setUp(self):
        super().setUp()
        self.source = write_source(self.path("source.cube"))
        self.ramp = ramp_points(LENGTH)
        self.points = self.ramp + random_points(300, seed=5)
        _, self.source_values = our_lookup(self.source, self.points)
        # The source file itself must read as the curve it was written from.
        expected = [curve(p[0]) for p in self.ramp]
        self.assertClose(self.source_values[:LENGTH], expected, SIX_DECIMALS + FLOAT_SLACK,
                         "the source curve as we read it", self.ramp)

    def convert(self, name, profile, *extra):
        path = self.path(name)
        cli("convert", self.source, "-o", path, "--profile", profile, *extra)
        return path

    def test_codex_1d_read_as_discreet_1d(self):
        require_ocio(self)
        for name in ("codex.lut", "codex.dat"):
            with self.subTest(file=name):
                path = self.convert(name, CODEX)
                with open(path) as f:
                    self.assertIn("LUT: 3 %d" % LENGTH, f.read())
                info, ours = our_lookup(path, self.points)
                self.assertEqual((info["name"], info["kind"], info["curve"]),
                                 ("Codex 1D, Scratch 1D", 0, LENGTH))
                peer = ocio_apply(ocio_file_processor(path), self.points)
                self.assertClose(peer, ours, FLOAT_SLACK,
                                 "%s: OpenColorIO against our reading" % name, self.points)
                self.assertClose(peer, self.source_values, half_step(10) + SIX_DECIMALS + FLOAT_SLACK,
                                 "%s: OpenColorIO against the source curve" % name, self.points)

    def test_codex_1d_longer_than_its_bit_depth(self):
        """The format itself scales by 2^bits - 1 (1023 at the profile's 10
        bits) while every reader, OpenColorIO's and ours, divides by the entry
        count minus one: only a 1024-entry file reads back as meant. The
        converter therefore refuses another length and resamples a longer
        source to 1024 entries, which OpenColorIO then reads as we do."""
        require_ocio(self)
        refused = subprocess.run([CLI, "convert", self.source, "-o",
                                  self.path("codex4096.lut"), "--profile", CODEX,
                                  "--size", "4096"], capture_output=True, text=True)
        self.assertNotEqual(refused.returncode, 0, "a 4096-entry Codex 1D file was written")
        self.assertFalse(os.path.exists(self.path("codex4096.lut")))

        long_source = write_source(self.path("source4096.cube"), 4096)
        path = self.path("codex-from-4096.lut")
        cli("convert", long_source, "-o", path, "--profile", CODEX)
        ramp = ramp_points(LENGTH)
        info, ours = our_lookup(path, ramp)
        self.assertEqual(info["curve"], LENGTH)
        peer = ocio_apply(ocio_file_processor(path), ramp)
        self.assertClose(peer, ours, FLOAT_SLACK, "OpenColorIO against our reading", ramp)
        expected = [curve(p[0]) for p in ramp]
        # Resampling a 4096-entry curve at 1024 points is exact up to the
        # source's six decimals and its linear interpolation of the curve.
        self.assertClose(ours, expected, half_step(10) + 1e-3,
                         "the resampled Codex file as read back", ramp)

    def test_codex_1d_values_outside_full_scale(self):
        """Documented difference: the Codex 1D writer does not clamp. A value
        above 1 becomes an integer above 1023, which OpenColorIO reads as a
        value above 1, as we do; a value below 0 becomes a negative integer,
        which OpenColorIO's Discreet 1D reader refuses as a syntax error while
        we read it back."""
        require_ocio(self)
        for name, entry, value in (("above.lut", LENGTH - 1, 1.2), ("below.lut", 0, -0.01)):
            with self.subTest(value=value):
                source = self.path("source-" + name + ".cube")
                lines = ["LUT_1D_SIZE %d" % LENGTH]
                for i in range(LENGTH):
                    red, green, blue = curve(i / (LENGTH - 1))
                    if i == entry:
                        red = value
                    lines.append("%.6f %.6f %.6f" % (red, green, blue))
                with open(source, "w") as f:
                    f.write("\n".join(lines) + "\n")
                path = self.path(name)
                cli("convert", source, "-o", path, "--profile", CODEX)
                x = entry / (LENGTH - 1)
                _, ours = our_lookup(path, [(x, x, x)])
                self.assertAlmostEqual(ours[0][0], round(value * 1023) / 1023, delta=FLOAT_SLACK)
                if value > 0:
                    peer = ocio_apply(ocio_file_processor(path), [(x, x, x)])
                    self.assertClose(peer, ours, FLOAT_SLACK, "OpenColorIO above full scale", [(x, x, x)])
                else:
                    with self.assertRaises(Exception) as refused:
                        ocio_file_processor(path)
                    self.assertIn("Syntax error", str(refused.exception))

    def test_cube_1d_read_by_ocio(self):
        require_ocio(self)
        path = self.convert("curve.cube", "Cube 1D")
        info, ours = our_lookup(path, self.points)
        self.assertEqual((info["name"], info["curve"]), ("Cube 1D", LENGTH))
        peer = ocio_apply(ocio_file_processor(path), self.points)
        self.assertClose(peer, ours, FLOAT_SLACK, "OpenColorIO against our reading", self.points)
        self.assertClose(peer, self.source_values, 2 * SIX_DECIMALS + FLOAT_SLACK,
                         "OpenColorIO against the source curve", self.points)

    def test_filmlight_1d_read_by_ocio(self):
        """Our Filmlight Truelight 1D file is a Truelight cube file holding only
        its input table; OpenColorIO's Truelight reader takes it under .cub and
        also under the profile's own .cube extension."""
        require_ocio(self)
        for name in ("filmlight.cub", "filmlight.cube"):
            with self.subTest(file=name):
                path = self.convert(name, "Filmlight Truelight 1D")
                info, ours = our_lookup(path, self.points)
                self.assertEqual((info["name"], info["curve"]), ("Filmlight Truelight 1D", LENGTH))
                peer = ocio_apply(ocio_file_processor(path), self.points)
                self.assertClose(peer, ours, FLOAT_SLACK, "%s: OpenColorIO against our reading" % name,
                                 self.points)
                self.assertClose(peer, self.source_values, 2 * SIX_DECIMALS + FLOAT_SLACK,
                                 "%s: OpenColorIO against the source curve" % name, self.points)

    def test_lustre_1d_not_discreet_1d(self):
        """The Lustre 1D file shares the .lut extension with the Discreet 1D
        layout but not its header: OpenColorIO's reader stops at "LUT16".
        We read it back."""
        require_ocio(self)
        path = self.convert("lustre.lut", "Autodesk Lustre 1D")
        info, ours = our_lookup(path, self.points)
        self.assertEqual((info["name"], info["curve"]), ("Autodesk Lustre 1D", LENGTH))
        self.assertClose(ours, self.source_values, half_step(16) + FLOAT_SLACK,
                         "the Lustre 1D file as we read it", self.points)
        with self.assertRaises(Exception) as refused:
            ocio_file_processor(path)
        self.assertIn("'LUT16'", str(refused.exception))

    def test_stwo_round_trip(self):
        """Source -> S.two (10-bit integers) -> Cube 1D, each step read back."""
        stwo = self.convert("look.swto.xml", "S.two 1D")
        info, values = our_lookup(stwo, self.points)
        self.assertEqual((info["name"], info["curve"]), ("S.two 1D", LENGTH))
        self.assertClose(values, self.source_values, half_step(10) + FLOAT_SLACK,
                         "S.two against the source curve", self.points)

        back = self.path("back.cube")
        cli("convert", stwo, "-o", back, "--profile", "Cube 1D")
        info, again = our_lookup(back, self.points)
        self.assertEqual(info["curve"], LENGTH)
        self.assertClose(again, values, SIX_DECIMALS + FLOAT_SLACK,
                         "S.two converted back to Cube 1D", self.points)

    def test_cube_1d_round_trip(self):
        """Cube 1D -> Cube 1D keeps every entry to the sixth decimal."""
        first = self.convert("first.cube", "Cube 1D")
        second = self.path("second.cube")
        cli("convert", first, "-o", second, "--profile", "Cube 1D")
        _, once = our_lookup(first, self.points)
        _, twice = our_lookup(second, self.points)
        self.assertClose(once, self.source_values, SIX_DECIMALS + FLOAT_SLACK, "first conversion", self.points)
        self.assertClose(twice, once, FLOAT_SLACK, "second conversion", self.points)
        with open(second) as f:
            signatures = [line for line in f if "Converted by Quor LUT Converter" in line]
        self.assertEqual(len(signatures), 1, "the signature line piles up on conversion")


if __name__ == "__main__":
    main()
