"""Our writers, read by ffmpeg's lut3d and lut1d filters.

A small picture (random colours, the corners of the RGB cube, a grey ramp)
is graded by ffmpeg through a LUT file we wrote, and by `ombrane-cli apply`
through the same file; the pixels must agree within one code value. ffmpeg
interpolates trilinearly in 32-bit floats and truncates the result to 8 bits
where we round, so one code value is the bound; its 3dl reader also divides
by 4096 instead of 4095, which moves a value by at most 0.06 of a code value.

Where ffmpeg reads a file we write differently from the way the format is
laid out for us, the test builds the table as ffmpeg takes it, writes it as a
plain cube file, and checks that ffmpeg's pixels equal ours through that
table: this pins the difference down exactly instead of only noting it.
"""
import os

from interop_support import (
    InteropCase, cli, data_lines, export_look, ffmpeg_grade, main, make_test_pixels,
    pixel_differences, read_bmp, require_ffmpeg, write_bmp, write_cube,
)

# Profiles whose files ffmpeg reads as we write them; the 3dl profiles and
# "Dolby DD3" are handed over as .3dl, the FSI CFE file as .cube, the
# extensions ffmpeg knows.
MATCHING = [
    ("Cube 3D Iridas, Nuke, AfterEffects", "iridas.cube"),
    ("Cube 3D Davinci", "davinci.cube"),
    ("3DL Scratch, Autodesk, Blackmagic, Cine-tal", "scratch.3dl"),
    ("Dolby DD3", "dolby.3dl"),
    ("FSI CFE (Flanders Scientific) 3D", "fsi.cube"),
]

# Sizes the export dialog offers for "Cube 3D Davinci" besides its default.
DAVINCI_SIZES = (17, 64)


class FfmpegReadsOurFiles(InteropCase):

    def setUp(self):
        super().setUp()
        require_ffmpeg(self)
        self.reference = self.reference_picture()
        self.picture = self.path("picture.bmp")
        width, height, self.pixels = make_test_pixels()
        write_bmp(self.picture, width, height, self.pixels)

    def ours(self, lut_path):
        graded = lut_path + ".graded.bmp"
        cli("apply", lut_path, self.picture, "-o", graded)
        width, height, pixels = read_bmp(graded)
        self.assertEqual(len(pixels), len(self.pixels))
        return pixels

    def ffmpeg(self, lut_name, filter_name="lut3d"):
        pixels, message = ffmpeg_grade(self.folder, self.picture, lut_name, filter_name)
        if pixels is None:
            self.fail("ffmpeg did not read %s: %s" % (lut_name, message))
        self.assertEqual(len(pixels), len(self.pixels))
        return pixels

    def assertWithinOne(self, theirs, ours, what):
        histogram = pixel_differences(theirs, ours)
        self.assertLessEqual(max(histogram), 1, "%s: pixel differences %r" % (what, sorted(histogram.items())))
        signed = sorted({t - o for a, b in zip(theirs, ours) for t, o in zip(a, b)})
        # ffmpeg truncates its float result to 8 bits where we round to the
        # nearest: it is never above us.
        self.assertLessEqual(signed[-1], 0, "%s: ffmpeg above our value" % what)
        print("%s: pixels by largest channel difference %r, signed channel differences %r"
              % (what, sorted(histogram.items()), signed))
        # The look must change the picture, or the comparison proves nothing.
        changed = pixel_differences(ours, self.pixels)
        self.assertGreater(max(changed), 10, "%s: the look leaves the picture unchanged" % what)

    def test_profiles_grade_like_ours(self):
        for profile, name in MATCHING:
            with self.subTest(profile=profile):
                path = export_look(self.reference, self.path(name), profile)
                self.assertWithinOne(self.ffmpeg(name), self.ours(path), profile)

    def test_cube_sizes(self):
        for size in DAVINCI_SIZES:
            with self.subTest(size=size):
                name = "davinci%d.cube" % size
                path = export_look(self.reference, self.path(name), "Cube 3D Davinci", size)
                self.assertWithinOne(self.ffmpeg(name), self.ours(path), "Cube 3D Davinci at %d" % size)

    def test_cube_1d(self):
        """A curve written by our Cube 1D writer, through ffmpeg's lut1d."""
        source = self.path("source-curve.cube")
        length = 4096
        lines = ["LUT_1D_SIZE %d" % length]
        for i in range(length):
            x = i / (length - 1)
            lines.append("%.6f %.6f %.6f" % (x ** 0.6, x * x, 0.1 + 0.8 * x))
        with open(source, "w") as f:
            f.write("\n".join(lines) + "\n")
        name = "curve.cube"
        cli("convert", source, "-o", self.path(name), "--profile", "Cube 1D")
        self.assertWithinOne(self.ffmpeg(name, "lut1d"), self.ours(self.path(name)), "Cube 1D")

    # ---------------------------------------------------------------
    # Documented differences

    def assertReadAs(self, lut_name, size, table, ours_original):
        """ffmpeg's pixels equal ours through the table as ffmpeg takes it,
        and differ clearly from ours through the file as we read it."""
        as_read = self.path(lut_name + ".as-ffmpeg-reads.cube")
        write_cube(as_read, size, table)
        theirs = self.ffmpeg(lut_name)
        self.assertWithinOne(theirs, self.ours(as_read), lut_name + " as ffmpeg reads it")
        histogram = pixel_differences(theirs, ours_original)
        self.assertGreater(max(histogram), 10, "ffmpeg now reads %s as we do" % lut_name)

    def test_3dl_with_33_points_read_as_17(self):
        """ffmpeg's 3dl reader always takes 17 points per axis: of a 33-point
        file ("3DL Fusion") it reads the first 17^3 data lines as a 17-point
        cube (blue fastest, divided by 4096) and ignores the rest."""
        name = "fusion.3dl"
        path = export_look(self.reference, self.path(name), "3DL Fusion")
        lines = data_lines(path)[1:]  # the input-range line is not data
        self.assertEqual(len(lines), 33 ** 3)
        size = 17
        table = {}
        for k, line in enumerate(lines[:size ** 3]):
            r, rest = divmod(k, size * size)
            g, b = divmod(rest, size)
            table[(r, g, b)] = [int(v) / 4096 for v in line.split()]
        self.assertReadAs(name, size, table, self.ours(path))

    def test_pandora_index_column_read_as_red(self):
        """ffmpeg's m3d reader takes the first three numbers of each data line;
        the Pandora lines start with a running index, so ffmpeg reads the index
        as red and our red and green as green and blue (blue fastest, divided
        by the "out" value minus one)."""
        name = "pandora.m3d"
        path = export_look(self.reference, self.path(name), "Pandora 3D, Apple 3D m3d")
        size = 17
        with open(path) as f:
            text = f.read().split("\n")
        start = text.index("values\tred\tgreen\tblue") + 1
        lines = [line for line in text[start:] if line.strip()]
        self.assertEqual(len(lines), size ** 3)
        table = {}
        for k, line in enumerate(lines):
            r, rest = divmod(k, size * size)
            g, b = divmod(rest, size)
            table[(r, g, b)] = [int(v) / 65535 for v in line.split()[:3]]
        self.assertReadAs(name, size, table, self.ours(path))

    def test_davinci_dat_read_with_red_and_blue_exchanged(self):
        """ffmpeg's .dat reader takes each line as red, green, blue with the
        blue index fastest; we write blue, green, red with the red index
        fastest. ffmpeg therefore applies our cube mirrored: red and blue
        exchanged both on the way in and on the way out."""
        name = "davinci.dat"
        path = export_look(self.reference, self.path(name), "Davinci DAT 3D")
        size = 33
        lines = data_lines(path)[1:]  # after the 3DLUTSIZE line
        self.assertEqual(len(lines), size ** 3)
        table = {}
        for k, line in enumerate(lines):
            r, rest = divmod(k, size * size)
            g, b = divmod(rest, size)
            table[(r, g, b)] = [float(v) for v in line.split()]
        self.assertReadAs(name, size, table, self.ours(path))

    def test_files_refused(self):
        """ffmpeg's 3dl reader expects integer triples right after the input
        range line; the "Mesh" line of a Lustre file stops it. Its cube reader
        finds no "LUT_3D_SIZE" in a Truelight cube (which carries the
        profile's own .cube extension) and reports an empty table."""
        for profile, name, complaint in (("Autodesk Lustre 3D", "lustre.3dl", "Invalid data"),
                                         ("Cube 3D Truelight", "truelight.cube", "3D LUT is empty")):
            with self.subTest(profile=profile):
                export_look(self.reference, self.path(name), profile)
                pixels, message = ffmpeg_grade(self.folder, self.picture, name)
                self.assertIsNone(pixels, "ffmpeg now reads %s: test it for values" % name)
                self.assertIn(complaint, message)

    def test_extensions_ffmpeg_does_not_know(self):
        """ffmpeg chooses its reader by extension only; it refuses the
        Truelight .cub, the Technicolor .mga and the Dolby .dd3 names."""
        for profile, name in (("Cube 3D Truelight", "look.cub"), ("Technicolor 3D mga", "look.mga"),
                              ("Dolby DD3", "look.dd3")):
            with self.subTest(profile=profile):
                export_look(self.reference, self.path(name), profile)
                self.assertTrue(os.path.getsize(self.path(name)) > 0)
                pixels, message = ffmpeg_grade(self.folder, self.picture, name)
                self.assertIsNone(pixels)
                self.assertIn("Unrecognized", message)


if __name__ == "__main__":
    main()
